#pragma once

#include <QObject>
#include <QPointer>

#include <QLineEdit>

class QKeyEvent;

// Turns a one-line text field into an input box for a signed whole number:
// digits and Backspace pass, minus toggles the sign, everything else is
// dropped; the text is kept from being empty, a lone "-" or starting with 0,
// and the caret stays at the end.
class numberText : public QObject
{
    Q_OBJECT
public:
    explicit numberText(QObject* parent = nullptr);

    // The attached field; setting it moves the attachment there.
    QLineEdit* NumberText() const { return m_field; }
    void SetNumberText(QLineEdit* field);

    // The most characters that typing may make (0: no limit). Unlike the
    // field's own maximum length it never cuts text set by the program, such
    // as a stored "-12" or the result of the sign toggle.
    int MaxLength() const { return m_maxLength; }
    void SetMaxLength(int length) { m_maxLength = length; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void repairText();
    void caretToEnd();
    bool filterKey(QKeyEvent* event);

    QPointer<QLineEdit> m_field;
    QMetaObject::Connection m_textChanged;
    int m_maxLength = 0;
    bool m_inRelease = false;
};
