#pragma once

#include <QObject>
#include <QPointer>

#include <QLineEdit>

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void repairText();

    QPointer<QLineEdit> m_field;
};
