#pragma once

#include <QObject>
#include <QPointer>

#include <QLineEdit>

class QInputMethodEvent;
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

    // The most characters that typing may leave in the field; 0 for no
    // limit. Unlike QLineEdit::setMaxLength it never shortens text that the
    // program sets or that the sign toggle makes ("-12" stays whole).
    int MaxLength() const { return m_maxLength; }
    void SetMaxLength(int length);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPress(QKeyEvent* event);
    void inputMethod(QInputMethodEvent* event);
    bool roomFor(qsizetype typed) const;
    void toggleSign();
    void repairText();
    void caretToEnd();

    QPointer<QLineEdit> m_field;
    int m_maxLength = 0;
};
