#include "numbertext.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>

using namespace Qt::StringLiterals;

numberText::numberText(QObject* parent) : QObject(parent) {}

void numberText::SetNumberText(QLineEdit* field)
{
    if (m_field) {
        m_field->removeEventFilter(this);
        disconnect(m_textChanged);
    }
    m_field = field;
    if (!m_field)
        return;
    m_field->installEventFilter(this);
    m_textChanged = connect(m_field, &QLineEdit::textChanged, this, &numberText::repairText);
    repairText();
}

void numberText::caretToEnd()
{
    m_field->deselect();
    m_field->setCursorPosition(int(m_field->text().size()));
}

// Runs after every change, also the ones it makes itself: each removed
// leading zero changes the text again, and that nested repair finishes first.
void numberText::repairText()
{
    if (!m_field)
        return;
    const QString text = m_field->text();
    if (text.isEmpty() || text == u"-"_s)
        m_field->setText(u"0"_s);
    else if (text.size() > 1 && text.front() == u'0')
        m_field->setText(text.mid(1));
    caretToEnd();
}

bool numberText::filterKey(QKeyEvent* event)
{
    const int key = event->key();
    switch (key) {
    case Qt::Key_Delete:
        // The caret stands at the end, so Delete acts as Backspace: queue one
        // and let Delete itself through.
        QCoreApplication::postEvent(m_field, new QKeyEvent(QEvent::KeyPress, Qt::Key_Backspace,
                                                           Qt::NoModifier));
        return false;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Home:
    case Qt::Key_End:
        return false;
    default:
        break;
    }
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) {
        // Pasting and cutting by key copy instead, as the old field did.
        m_field->copy();
        return true;
    }
    const QString text = event->text();
    if (text.isEmpty())
        return false; // modifiers, function keys and the like
    const QChar c = text.front();
    if (c.unicode() < 0x20) {
        if (event->matches(QKeySequence::Copy))
            return false;
        m_field->copy(); // every other control character is a copy too
        return true;
    }
    if (c == u'-') {
        const QString current = m_field->text();
        if (current == u"0"_s)
            return true;
        if (current.contains(u'-'))
            m_field->setText(QString(current).remove(u'-'));
        else
            m_field->setText(u'-' + current);
        return true;
    }
    if (c >= u'0' && c <= u'9' && text.size() == 1) {
        const bool full = m_maxLength > 0 && m_field->text().size() >= m_maxLength
                          && !m_field->hasSelectedText();
        return full;
    }
    return true; // letters, blanks, points: nothing is inserted
}

bool numberText::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_field)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress:
        return filterKey(static_cast<QKeyEvent*>(event));
    case QEvent::MouseButtonRelease:
        if (m_inRelease)
            break;
        // Let the field finish with the click first, then take the caret back.
        m_inRelease = true;
        QCoreApplication::sendEvent(m_field, event);
        m_inRelease = false;
        caretToEnd();
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
