#pragma once

// Helpers for tests of windows.

#include <QAnyStringView>
#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDebug>
#include <QImage>
#include <QSize>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

// The control of `window` with that objectName; null, with a warning, when
// there is none.
template <typename T = QWidget> T* control(const QObject* window, QAnyStringView name)
{
    T* found = window->findChild<T*>(name.toString());
    if (!found)
        qWarning() << "no control" << name.toString();
    return found;
}

// A new window, shown and exposed.
template <typename T, typename... Args> std::unique_ptr<T> shownWindow(Args&&... args)
{
    auto window = std::make_unique<T>(std::forward<Args>(args)...);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning() << "window not exposed:" << window->objectName();
    return window;
}

// Does `act` once for the first modal window that is open and waiting. It
// looks every 20 ms, so a test that opens one must run an event loop, as the
// modal window itself does.
class ModalWatcher
{
public:
    explicit ModalWatcher(std::function<void(QWidget* modal)> act) : m_act(std::move(act))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible())
                return;
            m_timer.stop();
            m_act(modal);
        });
        m_timer.start(20);
    }

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
};

// A JPEG picture of one colour.
inline QByteArray jpeg(QSize size, QColor colour = QColor(0x88, 0x77, 0xEE))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}
