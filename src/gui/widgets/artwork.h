#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

class QDialog;
class QLabel;
class QWidget;

// The look the windows share and the program's own artwork, drawn at run
// time so that no picture files have to travel with the program.
namespace Look {

// Heading cells: white centred text on this lavender.
QColor HeadingColor();
// Table frame lines.
QColor FrameLineColor();
// Content panels.
QColor PanelColor();
// The one-pixel frame of the windows that have no title bar.
QColor WindowFrameColor();

// The windows are laid out for this family; on Debian it is mapped to a
// Japanese font that is installed (RegisterFontSubstitutes).
QString UiFontFamily();
QFont UiFont(qreal pointSize);
// Maps "MS UI Gothic" to "Noto Sans CJK JP", then "IPAGothic". Call once at
// start, before the first window; calling it again does no harm.
void RegisterFontSubstitutes();

// Makes the label a heading cell of a table: lavender background, white
// text centred across, its lines one em apart from the top (captions start
// with a line break so the words stand on the second line).
void MakeHeadingCell(QLabel* label);

// Turns a dialog without title bar into a one-pixel frame around a client
// panel of the given size and background, and returns that panel: the
// window's controls belong in it, at client coordinates.
QWidget* MakeFramedClient(QDialog* dialog, QSize clientSize, const QColor& background);
// Places the window centred over the opener's window, or on the screen
// when the opener is missing or not shown yet.
void CentreOver(QWidget* window, const QWidget* opener);

// The program icon in the given square size, and as an icon with the usual
// sizes from 16 to 256 pixels.
QPixmap ProgramIconPixmap(int size = 32);
QIcon ProgramIcon();

// The main window's title banner, 700 × 100: the product name.
QPixmap TitleBanner();
// The caption naming the page template's edition, 500 × 60.
QPixmap EditionCaption();
// A miniature of a generated product page, 344 × 244.
QPixmap SamplePage();
// The settings window's banner, 700 × 50: "サイト情報登録".
QPixmap OptionBanner();

} // namespace Look
