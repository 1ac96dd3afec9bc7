#include "forms/numbertext.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool isAsciiDigits(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
}

} // namespace

numberText::numberText(QObject* parent) : QObject(parent) {}

void numberText::SetNumberText(QLineEdit* field)
{
    if (m_field == field)
        return;
    if (m_field) {
        m_field->removeEventFilter(this);
        disconnect(m_field, nullptr, this, nullptr);
    }
    m_field = field;
    if (!field)
        return;
    field->installEventFilter(this);
    connect(field, &QLineEdit::textChanged, this, &numberText::repairText);
    // Setting an empty field to empty raises no change, so a field that is
    // attached empty would keep showing nothing: repair it once now.
    repairText();
}

void numberText::SetMaxLength(int length)
{
    m_maxLength = std::max(length, 0);
}

bool numberText::eventFilter(QObject* watched, QEvent* event)
{
    // The event type is looked at first: while the field is being destroyed
    // it still gets events but is no QLineEdit any more.
    switch (event->type()) {
    case QEvent::KeyPress:
        if (watched == m_field)
            return keyPress(static_cast<QKeyEvent*>(event));
        break;
    case QEvent::InputMethod:
        if (watched == m_field)
            inputMethod(static_cast<QInputMethodEvent*>(event));
        break;
    case QEvent::MouseButtonRelease:
        // The field moves neither caret nor selection on release, so
        // ending them here, before it sees the event, gives the same
        // result as doing it afterwards.
        if (watched == m_field)
            caretToEnd();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

// True when the event is consumed here and the field must not see it.
bool numberText::keyPress(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
        // With the caret at the end Delete alone would do nothing; the queued
        // Backspace runs after the field has handled the Delete itself.
        QCoreApplication::postEvent(
            m_field, new QKeyEvent(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier, u"\b"_s));
        return false;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    default:
        break;
    }

    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers.testFlag(Qt::ControlModifier) && !modifiers.testFlag(Qt::AltModifier)) {
        // Paste and cut would bring in or take away text behind the filter's
        // back; as before, both copy instead.
        if (event->key() == Qt::Key_V || event->key() == Qt::Key_X) {
            m_field->copy();
            return true;
        }
        return false;
    }

    const QString typed = event->text();
    // Keys without a character of their own (Backspace, Enter, Tab, Escape,
    // Home, End, function keys) are the field's business.
    if (typed.isEmpty() || typed.front().category() == QChar::Other_Control)
        return false;
    if (typed == u"-") {
        toggleSign();
        return true;
    }
    if (isAsciiDigits(typed))
        return !roomFor(typed.size());
    return true;
}

// Text composed by an input method is filtered like typed text.
void numberText::inputMethod(QInputMethodEvent* event)
{
    const QString typed = event->commitString();
    if (typed.isEmpty() || (isAsciiDigits(typed) && roomFor(typed.size())))
        return;
    if (typed == u"-")
        toggleSign();
    // The event still ends any composition shown in the field.
    event->setCommitString(QString());
}

bool numberText::roomFor(qsizetype typed) const
{
    if (m_maxLength == 0)
        return true;
    // Typing replaces the selection, so the selected characters make room.
    const qsizetype kept = m_field->text().size() - m_field->selectedText().size();
    return kept + typed <= m_maxLength;
}

void numberText::toggleSign()
{
    if (m_field->isReadOnly())
        return;
    const QString text = m_field->text();
    if (text == u"0")
        return;
    if (!text.contains(u'-')) {
        m_field->setText(u"-"_s + text);
    } else {
        QString withoutSign = text;
        m_field->setText(withoutSign.remove(u'-'));
    }
}

// Runs for every change of the text, also for the changes it makes itself:
// each setText below re-enters here and completes before this call goes on,
// so "007" loses one zero per level until "7" is left.
void numberText::repairText()
{
    QLineEdit* const field = m_field;
    if (!field)
        return;
    if (field->text().isEmpty())
        field->setText(u"0"_s);
    if (field->text() == u"-")
        field->setText(u"0"_s);
    const QString text = field->text();
    if (text.size() > 1 && text.front() == u'0')
        field->setText(text.mid(1));
    caretToEnd();
}

void numberText::caretToEnd()
{
    if (!m_field)
        return;
    m_field->deselect();
    m_field->setCursorPosition(int(m_field->text().size()));
}
