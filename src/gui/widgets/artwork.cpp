#include "widgets/artwork.h"

#include <QDialog>
#include <QEvent>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <initializer_list>

using namespace Qt::StringLiterals;

namespace Look {

namespace {

QFont artFont(int pixelSize, bool bold)
{
    QFont font(UiFontFamily());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QPixmap blank(int width, int height, const QColor& fill = Qt::transparent)
{
    QPixmap pixmap(width, height);
    pixmap.fill(fill);
    return pixmap;
}

// White text with a soft darker copy behind it, so that it stays readable
// on the pale end of a gradient.
void drawShadowedText(QPainter& painter, const QRectF& rect, int flags, const QString& text,
                      const QColor& shadow)
{
    painter.setPen(shadow);
    painter.drawText(rect.translated(1.5, 1.5), flags, text);
    painter.setPen(Qt::white);
    painter.drawText(rect, flags, text);
}

// A soft cloud made of overlapping circles; the sky in the product's name.
void drawCloud(QPainter& painter, QPointF at, qreal scale, int alpha)
{
    QPainterPath cloud;
    cloud.setFillRule(Qt::WindingFill);
    cloud.addEllipse(QPointF(0, 0), 18 * scale, 11 * scale);
    cloud.addEllipse(QPointF(-16 * scale, 4 * scale), 12 * scale, 8 * scale);
    cloud.addEllipse(QPointF(17 * scale, 4 * scale), 13 * scale, 8 * scale);
    cloud.addRect(QRectF(-26 * scale, 4 * scale, 54 * scale, 8 * scale));
    painter.save();
    painter.translate(at);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, alpha));
    painter.drawPath(cloud.simplified());
    painter.restore();
}

// The mark of the icon, in a 32-unit square.
void drawMark(QPainter& painter)
{
    QLinearGradient sky(0, 1, 0, 31);
    sky.setColorAt(0, QColor(0x4F, 0x74, 0xF0));
    sky.setColorAt(1, QColor(0xA4, 0x9C, 0xFF));
    painter.setPen(QPen(QColor(0x3A, 0x4F, 0xB8), 1));
    painter.setBrush(sky);
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);

    // A page with a folded corner.
    QPainterPath page;
    page.moveTo(8, 5);
    page.lineTo(19.5, 5);
    page.lineTo(24.5, 10);
    page.lineTo(24.5, 27);
    page.lineTo(8, 27);
    page.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(page);
    QPainterPath fold;
    fold.moveTo(19.5, 5);
    fold.lineTo(19.5, 10);
    fold.lineTo(24.5, 10);
    fold.closeSubpath();
    painter.setBrush(QColor(0xC8, 0xCC, 0xF4));
    painter.drawPath(fold);

    // Its header band, the red price and two lines of text.
    painter.setBrush(QColor(0x8C, 0x7C, 0xF0));
    painter.drawRect(QRectF(10, 8, 8, 4));
    painter.setBrush(QColor(0xE0, 0x30, 0x30));
    painter.drawRect(QRectF(10, 15, 8, 2.5));
    painter.setBrush(QColor(0xA8, 0xAC, 0xC8));
    painter.drawRect(QRectF(10, 20, 12.5, 1.5));
    painter.drawRect(QRectF(10, 23.5, 9, 1.5));
}

QLinearGradient horizontal(qreal width, const QColor& left, const QColor& right)
{
    QLinearGradient gradient(0, 0, width, 0);
    gradient.setColorAt(0, left);
    gradient.setColorAt(1, right);
    return gradient;
}

// The light upper half that makes a flat gradient read as a band.
void drawSheen(QPainter& painter, const QRectF& rect)
{
    QLinearGradient sheen(0, rect.top(), 0, rect.bottom());
    sheen.setColorAt(0, QColor(255, 255, 255, 90));
    sheen.setColorAt(0.5, QColor(255, 255, 255, 20));
    sheen.setColorAt(0.51, QColor(255, 255, 255, 0));
    sheen.setColorAt(1, QColor(0, 0, 80, 18));
    painter.fillRect(rect, sheen);
}

// Lays the caption's lines out one em apart, the pitch the windows were
// designed for; the fallback fonts' taller line spacing would push the
// second line to the cell's lower edge.
class HeadingCellPainter : public QObject
{
public:
    explicit HeadingCellPainter(QLabel* label) : QObject(label), m_label(label)
    {
        setObjectName(u"headingCellPainter"_s);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_label || event->type() != QEvent::Paint)
            return false;
        QPainter painter(m_label);
        painter.setFont(m_label->font());
        painter.setPen(m_label->palette().color(QPalette::WindowText));
        const int em = QFontInfo(m_label->font()).pixelSize();
        QString text = m_label->text();
        text.remove(u'\r');
        const QStringList lines = text.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QRect line(0, int(i) * em, m_label->width(), em);
            painter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, lines[i]);
        }
        return true;
    }

private:
    QLabel* m_label;
};

void textBars(QPainter& painter, qreal x, qreal y, std::initializer_list<qreal> widths)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xC4, 0xC6, 0xD2));
    for (qreal width : widths) {
        painter.drawRoundedRect(QRectF(x, y, width, 3), 1, 1);
        y += 8;
    }
}

} // namespace

QColor HeadingColor()
{
    return QColor(0xAA, 0xAA, 0xFF);
}

QColor FrameLineColor()
{
    return QColor(0xCC, 0xCC, 0xFF);
}

QColor PanelColor()
{
    return QColor(Qt::white);
}

QColor WindowFrameColor()
{
    return QColor(0x64, 0x64, 0x78);
}

QString UiFontFamily()
{
    return u"MS UI Gothic"_s;
}

QFont UiFont(qreal pointSize)
{
    QFont font(UiFontFamily());
    font.setPointSizeF(pointSize);
    return font;
}

void RegisterFontSubstitutes()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    // Naming the Japanese font first also keeps Han characters from being
    // drawn in their Chinese forms by a general fallback.
    QFont::insertSubstitutions(UiFontFamily(), {u"Noto Sans CJK JP"_s, u"IPAGothic"_s});
}

void MakeHeadingCell(QLabel* label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, HeadingColor());
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    if (!label->findChild<HeadingCellPainter*>(QString(), Qt::FindDirectChildrenOnly))
        label->installEventFilter(new HeadingCellPainter(label));
}

QWidget* MakeFramedClient(QDialog* dialog, QSize clientSize, const QColor& background)
{
    QPalette framePalette = dialog->palette();
    framePalette.setColor(QPalette::Window, WindowFrameColor());
    dialog->setPalette(framePalette);
    dialog->setAutoFillBackground(true);
    dialog->setFixedSize(clientSize + QSize(2, 2));

    auto* client = new QWidget(dialog);
    client->setObjectName(u"fraClient"_s);
    QPalette clientPalette = client->palette();
    clientPalette.setColor(QPalette::Window, background);
    client->setPalette(clientPalette);
    client->setAutoFillBackground(true);
    client->setGeometry(QRect(QPoint(1, 1), clientSize));
    return client;
}

void CentreOver(QWidget* window, const QWidget* opener)
{
    const QWidget* top = opener ? opener->window() : nullptr;
    QScreen* screen = top ? top->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    const QRect area = top && top->isVisible() ? top->frameGeometry() : available;

    QRect placed(QPoint(0, 0), window->frameGeometry().size());
    placed.moveCenter(area.center());
    // Without a title bar the user cannot drag the window back, so it must
    // stay wholly on the screen even when its opener does not.
    if (available.isValid()) {
        placed.moveRight(qMin(placed.right(), available.right()));
        placed.moveBottom(qMin(placed.bottom(), available.bottom()));
        placed.moveLeft(qMax(placed.left(), available.left()));
        placed.moveTop(qMax(placed.top(), available.top()));
    }
    window->move(placed.topLeft());
}

QPixmap ProgramIconPixmap(int size)
{
    QPixmap pixmap = blank(size, size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    drawMark(painter);
    return pixmap;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(ProgramIconPixmap(size));
    return icon;
}

QPixmap TitleBanner()
{
    QPixmap pixmap = blank(700, 100);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF all(0, 0, 700, 100);
    painter.fillRect(all, horizontal(700, QColor(0x5E, 0x7C, 0xEE), QColor(0xC2, 0xCE, 0xFF)));
    drawSheen(painter, all);
    drawCloud(painter, QPointF(470, 30), 1.3, 70);
    drawCloud(painter, QPointF(590, 62), 1.8, 90);
    drawCloud(painter, QPointF(665, 24), 0.9, 60);

    painter.save();
    painter.translate(24, 18);
    painter.scale(2, 2);
    drawMark(painter);
    painter.restore();

    const QColor shadow(0x22, 0x33, 0x99, 120);
    painter.setFont(artFont(54, true));
    drawShadowedText(painter, QRectF(104, 4, 400, 66), Qt::AlignLeft | Qt::AlignBottom, u"Sorabi"_s,
                     shadow);
    painter.setFont(artFont(15, false));
    drawShadowedText(painter, QRectF(108, 70, 400, 24), Qt::AlignLeft | Qt::AlignVCenter,
                     u"商品ページ作成ツール"_s, shadow);
    return pixmap;
}

QPixmap EditionCaption()
{
    QPixmap pixmap = blank(500, 60, Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF plate(0.5, 0.5, 499, 59);
    QPainterPath rounded;
    rounded.addRoundedRect(plate, 10, 10);
    painter.setClipPath(rounded);
    painter.fillRect(plate, horizontal(500, QColor(0x72, 0x8C, 0xF2), QColor(0xBE, 0xC8, 0xFF)));
    drawSheen(painter, plate);
    drawCloud(painter, QPointF(455, 44), 1.1, 60);
    painter.setClipping(false);
    painter.setPen(QPen(QColor(0x6A, 0x7E, 0xE0), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(rounded);

    painter.setFont(artFont(22, true));
    drawShadowedText(painter, plate, Qt::AlignCenter, u"商品ページテンプレート　スタンダード版"_s,
                     QColor(0x22, 0x33, 0x99, 130));
    return pixmap;
}

QPixmap SamplePage()
{
    QPixmap pixmap = blank(344, 244, Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // Header band with the site name and a catch-copy line.
    const QRectF header(0, 0, 344, 44);
    painter.fillRect(header, horizontal(344, QColor(0xB4, 0xAC, 0xFF), QColor(0xE6, 0xE2, 0xFF)));
    drawCloud(painter, QPointF(300, 22), 0.8, 110);
    painter.setPen(Qt::black);
    painter.setFont(artFont(14, true));
    painter.drawText(QRectF(0, 5, 344, 20), Qt::AlignCenter, u"サイト名"_s);
    painter.setFont(artFont(9, false));
    painter.drawText(QRectF(0, 25, 344, 14), Qt::AlignCenter, u"キャッチコピーが入ります"_s);

    // Product image box with a parcel in it, and the thumbnails below.
    const QRectF imageBox(12, 54, 120, 104);
    painter.setPen(QPen(QColor(0xC8, 0xC8, 0xD8), 1));
    painter.setBrush(QColor(0xF4, 0xF4, 0xF8));
    painter.drawRect(imageBox);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xD9, 0xB0, 0x7C));
    painter.drawRect(QRectF(44, 88, 56, 44));
    painter.setBrush(QColor(0xE8, 0xC6, 0x98));
    QPainterPath lid;
    lid.moveTo(44, 88);
    lid.lineTo(56, 76);
    lid.lineTo(112, 76);
    lid.lineTo(100, 88);
    lid.closeSubpath();
    painter.drawPath(lid);
    painter.setBrush(QColor(0xC4, 0x98, 0x62));
    QPainterPath side;
    side.moveTo(100, 88);
    side.lineTo(112, 76);
    side.lineTo(112, 120);
    side.lineTo(100, 132);
    side.closeSubpath();
    painter.drawPath(side);
    painter.setBrush(QColor(0xE0, 0x40, 0x40));
    painter.drawRect(QRectF(68, 88, 8, 44));
    for (int i = 0; i < 3; ++i) {
        painter.setPen(QPen(QColor(0xC8, 0xC8, 0xD8), 1));
        painter.setBrush(QColor(0xF4, 0xF4, 0xF8));
        painter.drawRect(QRectF(12.5 + i * 41, 164.5, 37, 27));
    }

    // Name, red price, cart button and the product's text.
    painter.setPen(QColor(0x20, 0x20, 0x20));
    painter.setFont(artFont(12, true));
    painter.drawText(QRectF(144, 54, 196, 18), Qt::AlignLeft | Qt::AlignVCenter,
                     u"商品名が入ります"_s);
    painter.setPen(QPen(QColor(0xDD, 0xDD, 0xEE), 1));
    painter.drawLine(QPointF(144, 76.5), QPointF(332, 76.5));
    painter.setPen(QColor(0xD0, 0x10, 0x10));
    painter.setFont(artFont(14, true));
    painter.drawText(QRectF(144, 80, 196, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     u"2,980円"_s);
    painter.setFont(artFont(9, false));
    painter.drawText(QRectF(202, 82, 100, 18), Qt::AlignLeft | Qt::AlignVCenter, u"（税込）"_s);

    const QRectF cart(144, 106, 112, 24);
    painter.setPen(QPen(QColor(0xC8, 0x60, 0x10), 1));
    QLinearGradient orange(0, cart.top(), 0, cart.bottom());
    orange.setColorAt(0, QColor(0xFF, 0xA8, 0x4C));
    orange.setColorAt(1, QColor(0xE8, 0x78, 0x18));
    painter.setBrush(orange);
    painter.drawRoundedRect(cart, 4, 4);
    painter.setPen(Qt::white);
    painter.setFont(artFont(11, true));
    painter.drawText(cart, Qt::AlignCenter, u"カートに入れる"_s);

    textBars(painter, 144, 140, {186, 170, 180, 122});
    textBars(painter, 144, 176, {164});
    textBars(painter, 12, 200, {320, 300, 312});

    // Footer band.
    painter.fillRect(QRectF(0, 230, 344, 14), HeadingColor());
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    for (int i = 0; i < 5; ++i)
        painter.drawRoundedRect(QRectF(60 + i * 48, 235, 36, 3), 1, 1);

    painter.setPen(QPen(QColor(0xA0, 0xA0, 0xB4), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(0.5, 0.5, 343, 243));
    return pixmap;
}

QPixmap OptionBanner()
{
    QPixmap pixmap = blank(700, 50);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF all(0, 0, 700, 50);
    painter.fillRect(all, horizontal(700, QColor(0x8A, 0x78, 0xE6), QColor(0xDE, 0xD8, 0xFF)));
    drawSheen(painter, all);

    painter.save();
    painter.translate(14, 9);
    drawMark(painter);
    painter.restore();

    painter.setFont(artFont(24, true));
    drawShadowedText(painter, QRectF(58, 0, 600, 50), Qt::AlignLeft | Qt::AlignVCenter,
                     u"サイト情報登録"_s, QColor(0x33, 0x22, 0x88, 130));
    return pixmap;
}

} // namespace Look
