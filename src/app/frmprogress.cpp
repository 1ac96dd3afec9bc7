#include "frmprogress.h"

#include "artwork.h"
#include "msgbox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {

constexpr int kTrackWidth = 345;
constexpr int kTrackHeight = 33;
// A repaint sooner than the next screen refresh would never be seen.
constexpr qint64 kRepaintIntervalMs = 15;

void fill(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

frmProgress::frmProgress(QWidget* centreOver)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_centreOver(centreOver)
{
    setObjectName(u"frmProgress"_s);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFont(Look::UiFont(12));
    setFixedSize(363, 124);
    fill(this, Qt::white);

    m_cmdCancel = new QPushButton(u"中断"_s, this);
    m_cmdCancel->setObjectName(u"cmdCancel"_s);
    m_cmdCancel->setGeometry(132, 76, 101, 41);
    m_cmdCancel->setAutoDefault(false);

    m_picProgress = new QWidget(this);
    m_picProgress->setObjectName(u"picProgress"_s);
    m_picProgress->setGeometry(8, 36, kTrackWidth, kTrackHeight);
    m_picProgress->setFont(Look::UiFont(9.75));
    fill(m_picProgress, Qt::white);

    m_lblValue = new QWidget(m_picProgress);
    m_lblValue->setObjectName(u"lblValue"_s);
    m_lblValue->setGeometry(0, 0, 0, kTrackHeight);
    fill(m_lblValue, Look::HeadingColor());

    m_lblMessage = new QLabel(this);
    m_lblMessage->setObjectName(u"lblMessage"_s);
    m_lblMessage->setGeometry(16, 16, 129, 17);
    fill(m_lblMessage, Qt::white);

    // A fresh window is a fresh state: every run creates its own.
    m_cancel = false;
    m_message = u"処理中です…"_s;
    m_maxValue = 1;
    m_value = 0;

    connect(m_cmdCancel, &QPushButton::clicked, this, [this] { m_cancel = true; });
}

void frmProgress::SetTitle(const QString& title)
{
    setWindowTitle(title);
}

void frmProgress::SetMessage(const QString& message)
{
    m_message = message;
}

void frmProgress::SetMaxValue(int vlngMaxValue)
{
    if (vlngMaxValue == 0) {
        MsgBox::Show(this, u"MaxValue ﾌﾟﾛﾊﾟﾃｨに 0 は設定できません。"_s, MessageIcon::None);
        return;
    }
    m_maxValue = vlngMaxValue;
}

void frmProgress::SetValue(int vlngValue)
{
    m_value = vlngValue;
}

void frmProgress::Show()
{
    Look::CentreOver(this, m_centreOver);
    show();
    raise();
}

int frmProgress::BarWidth() const
{
    const float width = float(double(kTrackWidth) / double(m_maxValue) * double(m_value));
    if (!(width > 0))
        return 0; // also a negative ratio
    return width >= kTrackWidth ? kTrackWidth : qRound(width);
}

void frmProgress::ReDraw()
{
    if (m_lblMessage->text() != m_message)
        m_lblMessage->setText(m_message);
    const int width = BarWidth();
    if (m_lblValue->width() != width)
        m_lblValue->resize(width, kTrackHeight);

    // A click on 中断 that waits in the queue is handled here and raises the
    // request again, so IsCancel right after tells of clicks since last time.
    m_cancel = false;
    QCoreApplication::processEvents();

    if (!isVisible())
        return;
    if (m_sinceRepaint.isValid() && m_sinceRepaint.elapsed() < kRepaintIntervalMs) {
        update(); // painted at the next turn of the event loop at the latest
        return;
    }
    repaint();
    m_sinceRepaint.start();
}

void frmProgress::Close()
{
    m_closing = true;
    close();
}

void frmProgress::closeEvent(QCloseEvent* event)
{
    // Only the run closes its progress window; it expects it open until then.
    if (!m_closing) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
