#include "widgets/entertab.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {

// Watches the whole application, since the key goes to whichever control has
// the focus, and a filter on each control would miss those made later.
class EnterAsTab : public QObject
{
public:
    EnterAsTab(QWidget* window, std::function<void()> focusNext)
        : QObject(window), m_window(window), m_focusNext(std::move(focusNext))
    {
        qApp->installEventFilter(this);
    }
    ~EnterAsTab() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto* widget = qobject_cast<QWidget*>(watched);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && widget
            && widget->window() == m_window && !key->modifiers().testFlag(Qt::AltModifier)) {
            m_focusNext();
            return true;
        }
        return false;
    }

private:
    QWidget* m_window;
    std::function<void()> m_focusNext;
};

} // namespace

void InstallEnterAsTab(QWidget* window, std::function<void()> focusNext)
{
    new EnterAsTab(window, std::move(focusNext));
}
