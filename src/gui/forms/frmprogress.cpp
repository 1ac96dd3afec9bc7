#include "forms/frmprogress.h"

#include "widgets/artwork.h"
#include "widgets/msgbox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int TrackWidth = 345;
constexpr int TrackHeight = 33;
// One screen refresh is about 16 ms; showing more often is never seen.
constexpr int ShowInterval = 15;

void fill(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

frmProgress::frmProgress(QWidget* centreOver)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_centreOver(centreOver)
{
    setObjectName(u"frmProgress"_s);
    setFixedSize(363, 124);
    setFont(Look::UiFont(12));
    fill(this, Qt::white);

    m_cmdCancel = new QPushButton(u"中断"_s, this);
    m_cmdCancel->setObjectName(u"cmdCancel"_s);
    m_cmdCancel->setGeometry(132, 76, 101, 41);

    m_picProgress = new QWidget(this);
    m_picProgress->setObjectName(u"picProgress"_s);
    m_picProgress->setGeometry(8, 36, TrackWidth, TrackHeight);
    m_picProgress->setFont(Look::UiFont(9.75));
    fill(m_picProgress, Qt::white);

    // A child of the track, so that the track clips it.
    m_lblValue = new QWidget(m_picProgress);
    m_lblValue->setObjectName(u"lblValue"_s);
    m_lblValue->setGeometry(0, 0, 0, TrackHeight);
    fill(m_lblValue, QColor(0xAA, 0xAA, 0xFF));

    m_lblMessage = new QLabel(this);
    m_lblMessage->setObjectName(u"lblMessage"_s);
    m_lblMessage->setGeometry(16, 16, 129, 17);
    m_lblMessage->setTextFormat(Qt::PlainText);
    m_lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fill(m_lblMessage, Qt::white);

    m_pendingShow = new QTimer(this);
    m_pendingShow->setSingleShot(true);
    connect(m_pendingShow, &QTimer::timeout, this, &frmProgress::showState);
    connect(m_cmdCancel, &QPushButton::clicked, this, [this] { m_cancel = true; });

    // A run makes a new window each time, so this is the load.
    m_cancel = false;
    m_message = u"処理中です…"_s;
    m_maxValue = 1;
    m_value = 0;
}

void frmProgress::SetTitle(const QString& title)
{
    setWindowTitle(title);
}

// The upload's text (pages, size, connections and rate) is longer than a
// page run's count: it gets three lines across the window, which grows to
// hold them.
void frmProgress::UseWideMessage()
{
    // Japanese lines come from a fallback font, often taller than the UI font's own.
    const int labelHeight = m_lblMessage->fontMetrics()
                                .boundingRect(QRect(0, 0, TrackWidth, 1000), 0, u"あ\nあ\nあ"_s)
                                .height();
    const int extra = 6 + labelHeight + 4 - m_picProgress->y();
    setFixedSize(width(), height() + extra);
    m_lblMessage->setGeometry(8, 6, TrackWidth, labelHeight);
    m_lblMessage->setWordWrap(true);
    m_lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picProgress->move(m_picProgress->x(), m_picProgress->y() + extra);
    m_cmdCancel->move(m_cmdCancel->x(), m_cmdCancel->y() + extra);
}

void frmProgress::SetMessage(const QString& message)
{
    m_message = message;
}

void frmProgress::ShowRefusal(const QString& text)
{
    MsgBox::Show(this, text, MessageIcon::None);
}

void frmProgress::SetValue(int vlngValue)
{
    m_value = vlngValue;
}

void frmProgress::Show()
{
    if (!isVisible())
        Look::CentreOver(this, m_centreOver);
    show();
}

// Called once per CSV line, up to 100,000 times a run: the events must run
// every time, so that a click on 中断 is seen at the next line, but the
// controls are only brought up to date once per screen refresh.
void frmProgress::ReDraw()
{
    const bool due = !m_sinceShown.isValid() || m_sinceShown.elapsed() >= ShowInterval;
    if (due) {
        m_pendingShow->stop();
        showState();
    }
    m_cancel = false;

    // A handler run from here may delete this window.
    const QPointer<frmProgress> alive(this);
    QCoreApplication::processEvents();
    if (!alive)
        return;

    if (due) {
        repaint();
    } else if (!m_pendingShow->isActive()) {
        // So that the display is current whenever the event loop runs, for
        // instance while a message box stands over this window.
        m_pendingShow->start(int(std::max<qint64>(ShowInterval - m_sinceShown.elapsed(), 0)));
    }
}

void frmProgress::Close()
{
    m_pendingShow->stop();
    m_closing = true;
    close();
    m_closing = false;
}

void frmProgress::closeEvent(QCloseEvent* event)
{
    // The run expects its window open until it closes it itself, and without
    // the window it could no longer be stopped: the window system's close
    // command asks for a stop, as 中断 does.
    if (!m_closing) {
        if (event->spontaneous())
            m_cancel = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

int frmProgress::barWidth() const
{
    const auto width = float(double(TrackWidth) / m_maxValue * m_value);
    if (!(width > 0))
        return 0;
    if (width >= float(TrackWidth))
        return TrackWidth;
    return int(std::lround(width));
}

// Hands the message and the bar to the controls; each of them repaints only
// when its content changed.
void frmProgress::showState()
{
    if (m_lblMessage->text() != m_message)
        m_lblMessage->setText(m_message);
    const int width = barWidth();
    if (m_lblValue->width() != width)
        m_lblValue->resize(width, TrackHeight);
    m_sinceShown.start();
}
