#include "widgets/artwork.h"
#include "forms/frmabout.h"
#include "widgets/shell.h"
#include "base/appinfo.h"
#include "testutil.h"
#include "widgettest.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace Qt::StringLiterals;

class TestFrmAbout : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();

    void window();
    void layout_data();
    void layout();
    void fields_showTitleAndVersion();
    void tabOrder();
    void supportButton_opensPageAndStaysOpen();
    void okButton_closes();
    void artworkSizes_data();
    void artworkSizes();
    void uiFont_resolvesToAJapaneseFont();
};

void TestFrmAbout::cleanup()
{
    Shell::SetUrlOpener({});
}

void TestFrmAbout::window()
{
    const auto dialog = shownWindow<frmAbout>();
    QVERIFY(dialog->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(control<QWidget>(dialog.get(), "fraClient")->size(), QSize(417, 193));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QCOMPARE(dialog->font().family(), u"MS UI Gothic"_s);
    QCOMPARE(dialog->font().pointSizeF(), 9.75);
    QCOMPARE(control<QLabel>(dialog.get(), "lblProject")->font().pointSizeF(), 15.75);
    for (const char* name : {"cmdURL", "cmdOK"}) {
        auto* button = control<QPushButton>(dialog.get(), name);
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
    }
}

void TestFrmAbout::layout_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("container");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption"); // null: not looked at

    auto row = [](const char* name, const char* container, QRect geometry, const QString& caption = {}) {
        QTest::newRow(name) << QByteArray(name) << QByteArray(container) << geometry << caption;
    };
    row("fraButton", "fraClient", QRect(16, 152, 385, 25));
    row("cmdURL", "fraButton", QRect(0, 0, 289, 25), u"サポートページ"_s);
    row("cmdOK", "fraButton", QRect(304, 0, 81, 25), u"OK"_s);
    row("txtVersion", "fraClient", QRect(104, 112, 297, 19));
    row("txtSeihinmei", "fraClient", QRect(104, 80, 297, 19));
    row("Label1", "fraClient", QRect(16, 112, 73, 17), u"バージョン："_s);
    row("lineGray", "fraClient", QRect(0, 64, 417, 1));
    row("lblSeihinmei", "fraClient", QRect(16, 80, 73, 17), u"製品名："_s);
    row("lblProject", "fraClient", QRect(72, 24, 321, 25), u"Hotaru"_s);
    row("Image1", "fraClient", QRect(16, 16, 32, 32));
}

void TestFrmAbout::layout()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, container);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);

    const auto dialog = shownWindow<frmAbout>();
    QWidget* widget = control<QWidget>(dialog.get(), name);
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), QString::fromLatin1(container));
    QCOMPARE(widget->geometry(), geometry);
    if (caption.isNull())
        return;
    if (auto* label = qobject_cast<QLabel*>(widget))
        QCOMPARE(label->text(), caption);
    else
        QCOMPARE(qobject_cast<QPushButton*>(widget)->text(), caption);
}

void TestFrmAbout::fields_showTitleAndVersion()
{
    const auto dialog = shownWindow<frmAbout>();
    auto* version = control<QLineEdit>(dialog.get(), "txtVersion");
    auto* name = control<QLineEdit>(dialog.get(), "txtSeihinmei");
    QCOMPARE(version->text(), u" Ver. "_s + TestUtil::version());
    QCOMPARE(version->text(), AppInfo::VersionText());
    QCOMPARE(name->text(), u"Sorabi"_s);
    QVERIFY(version->isReadOnly());
    QVERIFY(name->isReadOnly());
    const QPixmap icon = control<QLabel>(dialog.get(), "Image1")->pixmap();
    QCOMPARE(icon.size(), QSize(32, 32));
}

void TestFrmAbout::tabOrder()
{
    const auto dialog = shownWindow<frmAbout>();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    control<QWidget>(dialog.get(), "txtSeihinmei")->setFocus();
    const char* const order[] = {"txtVersion", "cmdURL", "cmdOK", "txtSeihinmei"};
    for (const char* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(next));
    }
}

void TestFrmAbout::supportButton_opensPageAndStaysOpen()
{
    QList<QUrl> opened;
    Shell::SetUrlOpener([&opened](const QUrl& url) { opened.append(url); });
    const auto dialog = shownWindow<frmAbout>();
    QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdURL"), Qt::LeftButton);
    QCOMPARE(opened, QList<QUrl>{QUrl(AppInfo::SupportUrl())});
    QVERIFY(dialog->isVisible());
}

void TestFrmAbout::okButton_closes()
{
    const auto dialog = shownWindow<frmAbout>();
    QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdOK"), Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
}

void TestFrmAbout::artworkSizes_data()
{
    QTest::addColumn<QPixmap>("picture");
    QTest::addColumn<QSize>("size");
    QTest::newRow("icon 32") << Look::ProgramIconPixmap(32) << QSize(32, 32);
    QTest::newRow("icon 256") << Look::ProgramIconPixmap(256) << QSize(256, 256);
    QTest::newRow("title banner") << Look::TitleBanner() << QSize(700, 100);
    QTest::newRow("edition caption") << Look::EditionCaption() << QSize(500, 60);
    QTest::newRow("sample page") << Look::SamplePage() << QSize(344, 244);
    QTest::newRow("settings banner") << Look::OptionBanner() << QSize(700, 50);
}

void TestFrmAbout::artworkSizes()
{
    QFETCH(QPixmap, picture);
    QFETCH(QSize, size);
    QCOMPARE(picture.size(), size);
    // Something was drawn: not one flat colour.
    const QImage image = picture.toImage();
    const QRgb first = image.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 3) {
        for (int x = 0; x < image.width() && !varied; x += 3)
            varied = image.pixel(x, y) != first;
    }
    QVERIFY(varied);
}

void TestFrmAbout::uiFont_resolvesToAJapaneseFont()
{
    Look::RegisterFontSubstitutes();
    const QStringList substitutes = QFont::substitutes(Look::UiFontFamily());
    // Qt keeps family names in lower case here.
    QCOMPARE(substitutes.value(0).toLower(), u"noto sans cjk jp"_s);
    QCOMPARE(substitutes.value(1).toLower(), u"ipagothic"_s);

    const QString actual = QFontInfo(Look::UiFont(12)).family();
    if (!QFontDatabase::families().contains(u"Noto Sans CJK JP"_s)
        && !QFontDatabase::families().contains(u"IPAGothic"_s))
        QSKIP("neither Japanese font is installed here");
    QVERIFY2(substitutes.contains(actual, Qt::CaseInsensitive), qPrintable(actual));
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
