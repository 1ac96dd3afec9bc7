#include "forms/frmoption.h"
#include "base/textcodec.h"
#include "template/hosts.h"
#include "msgboxrecorder.h"
#include "testutil.h"
#include "widgettest.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Header pictures on 127.0.0.1: NNN.jpg is 100+NNN pixels wide and 20 high,
// 003.jpg is larger than the preview area, 050.jpg is missing.
class PictureServer : public QObject
{
public:
    PictureServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            }
        });
    }
    QString baseUrl() const { return u"http://127.0.0.1:%1/header/"_s.arg(m_server.serverPort()); }
    QList<QByteArray> paths;

private:
    void answer(QTcpSocket* socket)
    {
        const QByteArray request = socket->readAll(); // small enough to come whole
        const QByteArray path = request.left(request.indexOf("\r\n")).split(' ').value(1);
        paths.append(path);
        const int number = path.startsWith("/header/") && path.endsWith(".jpg") ? path.mid(8, 3).toInt() : 0;
        const bool found = number >= 1 && number <= 100 && number != 50;
        const QByteArray body = found ? jpeg(number == 3 ? QSize(400, 60) : QSize(100 + number, 20)) : QByteArray();
        socket->write((found ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") + "\r\nContent-Length: "_ba
                      + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
};

const char* const TabOrder[] = {"txtSiteName",   "txtCatchCopy1", "txtCatchCopy2", "txtCatchCopy3",
                                "txtSiteUrl",    "cboHeaderImage", "txtShopID",    "txtSiteMaster", "txtTax",
                                "cmdSave",       "cmdCancel"};

} // namespace

class TestFrmOption : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void window();
    void layout_data();
    void layout();
    void headerImageList();
    void focusChain_data();
    void focusChain();
    void freshStart_showsDefaults();
    void freshStart_saveUntouched_writesDefaults();
    void roundTrip_whatIsSavedIsShownNextTime();
    void headerImageSetting_data();
    void headerImageSetting();
    void cancel_leavesFileAsItWas_data();
    void cancel_leavesFileAsItWas();
    void escape_doesNotDiscardInput();
    void saveFailure_reportsAndKeepsWindowOpen();
    void unencodableCharacters_areNeverLostUnasked_data();
    void unencodableCharacters_areNeverLostUnasked();
    void siteUrl_checkedWhenSaved_data();
    void siteUrl_checkedWhenSaved();
    void preview_followsTheSelection();

private:
    std::unique_ptr<PictureServer> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_startFolder;
    std::optional<MsgBoxRecorder> m_box;
};

void TestFrmOption::initTestCase()
{
    m_startFolder = QDir::currentPath();
    m_server = std::make_unique<PictureServer>();
    frmOption::SetPreviewBaseUrl(m_server->baseUrl());
}

void TestFrmOption::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_box.emplace();
    m_server->paths.clear();
}

void TestFrmOption::cleanup()
{
    m_box.reset();
    QDir::setCurrent(m_startFolder);
    m_dir.reset();
}

void TestFrmOption::cleanupTestCase()
{
    frmOption::SetPreviewBaseUrl({});
    QCOMPARE(frmOption::PreviewBaseUrl(),
             u"http://"_s + QStringView(Hosts::ServiceHost) + QStringView(Hosts::HeaderPicturePath));
}

void TestFrmOption::window()
{
    const auto dialog = shownWindow<frmOption>();
    QVERIFY(dialog->windowFlags().testFlag(Qt::FramelessWindowHint));
    QWidget* client = control<QWidget>(dialog.get(), "fraClient");
    QVERIFY(client);
    QCOMPARE(client->size(), QSize(700, 590));
    QCOMPARE(client->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(dialog->font().family(), u"MS UI Gothic"_s);
    QCOMPARE(dialog->font().pointSizeF(), 12.0);
    QCOMPARE(control<QLabel>(dialog.get(), "imgBanner")->pixmap().size(), QSize(700, 50));
    for (const char* name : TabOrder) {
        auto* field = qobject_cast<QLineEdit*>(control(dialog.get(), name));
        if (!field)
            continue;
        const bool ascii = qstrcmp(name, "txtShopID") == 0 || qstrcmp(name, "txtTax") == 0;
        const bool address = qstrcmp(name, "txtSiteUrl") == 0;
        QCOMPARE(field->testAttribute(Qt::WA_InputMethodEnabled), !ascii && !address);
        QCOMPARE(field->alignment().testFlag(Qt::AlignRight), ascii);
    }
    QLabel* percent = control<QLabel>(dialog.get(), "lblPercent");
    QCOMPARE(percent->text(), u"％"_s);
    QCOMPARE(percent->pos(), QPoint(236, 476));
}

void TestFrmOption::layout_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption"); // null: not looked at

    auto row = [](const char* name, QRect geometry, const QString& caption = {}) {
        QTest::newRow(name) << QByteArray(name) << geometry << caption;
    };
    row("imgBanner", QRect(0, 0, 700, 50));
    row("lblSiteName", QRect(20, 72, 150, 48), u"\nサイト名"_s);
    row("lblCatchCopy1", QRect(21, 120, 149, 49), u"\nキャッチコピー　１"_s);
    row("lblCatchCopy2", QRect(21, 168, 149, 49), u"\nキャッチコピー　２"_s);
    row("lblCatchCopy3", QRect(21, 216, 149, 49), u"\nキャッチコピー　３"_s);
    // The public address takes a row below the catch copies; the rest move down.
    row("lblSiteUrl", QRect(21, 264, 149, 49), u"\n公開URL"_s);
    row("lblHeaderImage", QRect(21, 312, 149, 49), u"\n画像 (1から100)"_s);
    row("lblShopID", QRect(21, 360, 149, 49), u"\nショップＩＤ"_s);
    row("lblSiteMaster", QRect(21, 408, 149, 49), u"\nサイト管理者"_s);
    row("lblTax", QRect(21, 456, 149, 49), u"\n税率 (1から100)"_s);
    row("txtSiteName", QRect(188, 84, 265, 27));
    row("txtCatchCopy1", QRect(188, 132, 469, 27));
    row("txtCatchCopy2", QRect(188, 180, 469, 27));
    row("txtCatchCopy3", QRect(188, 228, 469, 27));
    row("txtSiteUrl", QRect(188, 276, 469, 27));
    row("cboHeaderImage", QRect(188, 324, 69, 24));
    row("picHeaderImage", QRect(268, 320, 389, 33));
    row("txtShopID", QRect(188, 372, 193, 27));
    row("txtSiteMaster", QRect(188, 420, 145, 27));
    row("txtTax", QRect(188, 468, 41, 27));
    row("cmdSave", QRect(21, 528, 105, 41), u"保存"_s);
    row("cmdCancel", QRect(133, 528, 101, 41), u"キャンセル"_s);
}

void TestFrmOption::layout()
{
    QFETCH(QByteArray, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);

    const auto dialog = shownWindow<frmOption>();
    QWidget* widget = control<QWidget>(dialog.get(), name.constData());
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), u"fraClient"_s);
    QCOMPARE(widget->geometry(), geometry);
    if (caption.isNull())
        return;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->palette().color(QPalette::Window), QColor(0xAA, 0xAA, 0xFF));
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
        QVERIFY(label->autoFillBackground());
    } else {
        QCOMPARE(qobject_cast<QPushButton*>(widget)->text(), caption);
    }
}

void TestFrmOption::headerImageList()
{
    const auto dialog = shownWindow<frmOption>();
    auto* list = control<QComboBox>(dialog.get(), "cboHeaderImage");
    QVERIFY(!list->isEditable());
    QCOMPARE(list->count(), 100);
    for (int i = 0; i < 100; ++i)
        QCOMPARE(list->itemText(i), u"%1"_s.arg(i + 1, 3, 10, QChar(u'0')));
}

void TestFrmOption::focusChain_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Tab") << int(Qt::Key_Tab);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void TestFrmOption::focusChain()
{
    QFETCH(int, key);
    const auto dialog = shownWindow<frmOption>();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    control<QWidget>(dialog.get(), "txtSiteName")->setFocus();
    QCOMPARE(QApplication::focusWidget()->objectName(), u"txtSiteName"_s);

    // Round the whole chain and back to the start.
    for (size_t step = 1; step <= std::size(TabOrder); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(QApplication::focusWidget()->objectName(),
                 QString::fromLatin1(TabOrder[step % std::size(TabOrder)]));
    }
    // Enter went past both buttons without pressing them and put nothing
    // into any field.
    QVERIFY(dialog->isVisible());
    QVERIFY(m_box->shown.isEmpty());
    QVERIFY(!QFile::exists(u"option.ini"_s));
    for (QLineEdit* field : dialog->findChildren<QLineEdit*>()) {
        if (field->objectName() != u"txtTax"_s)
            QCOMPARE(field->text(), QString());
    }
    QCOMPARE(control<QLineEdit>(dialog.get(), "txtTax")->text(), u"0"_s);
}

void TestFrmOption::freshStart_showsDefaults()
{
    const auto dialog = shownWindow<frmOption>();
    QCOMPARE(control<QComboBox>(dialog.get(), "cboHeaderImage")->currentText(), u"001"_s);
    for (const char* name : {"txtSiteName", "txtCatchCopy1", "txtCatchCopy2", "txtCatchCopy3",
                             "txtShopID", "txtSiteMaster"})
        QCOMPARE(control<QLineEdit>(dialog.get(), name)->text(), QString());
    QCOMPARE(control<QLineEdit>(dialog.get(), "txtTax")->text(), u"0"_s);
    // The preview of 001 arrived while the window was being made, fetched once.
    QCOMPARE(m_server->paths, QList<QByteArray>{"/header/001.jpg"});
    QCOMPARE(control<QLabel>(dialog.get(), "picHeaderImage")->pixmap().size(), QSize(101, 20));
}

void TestFrmOption::freshStart_saveUntouched_writesDefaults()
{
    const auto dialog = shownWindow<frmOption>();
    QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdSave"), Qt::LeftButton);

    QCOMPARE(TestUtil::readFile(u"option.ini"_s), QByteArray("[OPTION]\r\nHEADERIMAGE=0\r\nSITENAME=\r\nCATCHCOPY1=\r\n"
                                   "CATCHCOPY2=\r\nCATCHCOPY3=\r\nSHOPID=\r\nSITEMASTER=\r\nTAX=0\r\n"));
    QCOMPARE(m_box->shown.size(), 1);
    QCOMPARE(m_box->shown[0].text,
             u"保存しました。\r\n\r\n再登録したい場合は、メイン画面のオプションメニューから行います。"_s);
    QCOMPARE(m_box->shown[0].icon, MessageIcon::Information);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
}

void TestFrmOption::roundTrip_whatIsSavedIsShownNextTime()
{
    const QList<QPair<const char*, QString>> texts = {
        {"txtSiteName", u"雑貨の店　そらび"_s},     {"txtCatchCopy1", u"毎日がちょっと楽しくなる"_s},
        {"txtCatchCopy2", u"送料無料キャンペーン中！"_s}, {"txtCatchCopy3", u"ABC-123 & <b>"_s},
        {"txtShopID", u"shop0042"_s},                {"txtSiteMaster", u"山田 花子"_s},
    };
    {
        const auto dialog = shownWindow<frmOption>();
        for (const auto& [name, text] : texts)
            control<QLineEdit>(dialog.get(), name)->setText(text);
        control<QLineEdit>(dialog.get(), "txtTax")->setText(u"8"_s);
        control<QComboBox>(dialog.get(), "cboHeaderImage")->setCurrentIndex(99);
        QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdSave"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
    }
    QVERIFY(TestUtil::readFile(u"option.ini"_s).contains("\r\nHEADERIMAGE=99\r\n"));
    QVERIFY(TestUtil::readFile(u"option.ini"_s).contains("\r\nTAX=8\r\n"));

    m_server->paths.clear();
    const auto again = shownWindow<frmOption>();
    QCOMPARE(control<QComboBox>(again.get(), "cboHeaderImage")->currentText(), u"100"_s);
    QCOMPARE(m_server->paths, QList<QByteArray>{"/header/100.jpg"});
    for (const auto& [name, text] : texts)
        QCOMPARE(control<QLineEdit>(again.get(), name)->text(), text);
    QCOMPARE(control<QLineEdit>(again.get(), "txtTax")->text(), u"8"_s);
}

void TestFrmOption::headerImageSetting_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("selected");

    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("4 is picture 005") << QByteArray("4") << 4;
    QTest::newRow("99 is picture 100") << QByteArray("99") << 99;
    QTest::newRow("12 followed by letters") << QByteArray("12abc") << 12;
    QTest::newRow("letters only") << QByteArray("abc") << 0;
    QTest::newRow("half rounds to even, down") << QByteArray("2.5") << 2;
    QTest::newRow("half rounds to even, up") << QByteArray("3.5") << 4;
    QTest::newRow("exponent") << QByteArray("1e1") << 10;
    QTest::newRow("-1 selects nothing") << QByteArray("-1") << -1;
    QTest::newRow("100 has no entry") << QByteArray("100") << 0;
    QTest::newRow("-2 has no entry") << QByteArray("-2") << 0;
    QTest::newRow("beyond 32 bits") << QByteArray("99999999999") << 0;
}

void TestFrmOption::headerImageSetting()
{
    QFETCH(QByteArray, stored);
    QFETCH(int, selected);

    QVERIFY(TestUtil::writeFile(u"option.ini"_s, "[OPTION]\r\nHEADERIMAGE=" + stored + "\r\n"));
    const auto dialog = shownWindow<frmOption>();
    auto* list = control<QComboBox>(dialog.get(), "cboHeaderImage");
    QCOMPARE(list->currentIndex(), selected);
    if (selected < 0) {
        QVERIFY(m_server->paths.isEmpty());
        QVERIFY(control<QLabel>(dialog.get(), "picHeaderImage")->pixmap().isNull());
    } else {
        const QByteArray path = "/header/" + list->currentText().toLatin1() + ".jpg";
        QCOMPARE(m_server->paths, QList<QByteArray>{path});
    }
    // Whatever the file held, the window saves what it shows.
    QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdSave"), Qt::LeftButton);
    const QByteArray line = "\r\nHEADERIMAGE=" + QByteArray::number(selected) + "\r\n";
    QVERIFY(TestUtil::readFile(u"option.ini"_s).contains(line));
}

void TestFrmOption::cancel_leavesFileAsItWas_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file
    QTest::newRow("no file") << QByteArray();
    QTest::newRow("file with values")
        << QByteArray("[OPTION]\r\nHEADERIMAGE=6\r\nSITENAME=\x83\x5c\x83\x89\r\nTAX=5\r\n");
}

void TestFrmOption::cancel_leavesFileAsItWas()
{
    QFETCH(QByteArray, before);
    if (!before.isNull())
        QVERIFY(TestUtil::writeFile(u"option.ini"_s, before));

    const auto dialog = shownWindow<frmOption>();
    control<QLineEdit>(dialog.get(), "txtSiteName")->setText(u"変更"_s);
    control<QLineEdit>(dialog.get(), "txtTax")->setText(u"10"_s);
    control<QComboBox>(dialog.get(), "cboHeaderImage")->setCurrentIndex(20);
    QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdCancel"), Qt::LeftButton);

    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(m_box->shown.isEmpty());
    QCOMPARE(QFile::exists(u"option.ini"_s), !before.isNull());
    if (!before.isNull())
        QCOMPARE(TestUtil::readFile(u"option.ini"_s), before);
}

void TestFrmOption::escape_doesNotDiscardInput()
{
    const auto dialog = shownWindow<frmOption>();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    auto* name = control<QLineEdit>(dialog.get(), "txtSiteName");
    name->setFocus();
    name->setText(u"入力中"_s);
    QTest::keyClick(name, Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    QCOMPARE(name->text(), u"入力中"_s);
}

void TestFrmOption::saveFailure_reportsAndKeepsWindowOpen()
{
    // A folder where the settings file should be: nothing can be written.
    QVERIFY(QDir().mkdir(u"option.ini"_s));
    const auto dialog = shownWindow<frmOption>();
    auto* name = control<QLineEdit>(dialog.get(), "txtSiteName");
    name->setText(u"消えてはいけない入力"_s);
    QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdSave"), Qt::LeftButton);

    QCOMPARE(m_box->shown.size(), 1);
    QCOMPARE(m_box->shown[0].icon, MessageIcon::Critical);
    QVERIFY(m_box->shown[0].text.startsWith(u"サイト情報を保存できませんでした。"_s));
    QVERIFY(m_box->shown[0].text.contains(QDir::toNativeSeparators(QDir::current().filePath(u"option.ini"_s))));
    QVERIFY(!m_box->shown[0].text.contains(u"保存しました"_s));
    // The number and the system's text, and what to check.
    QVERIFY2(m_box->shown[0].text.contains(u"75:パスまたはファイルにアクセスできません。"_s), qPrintable(m_box->shown[0].text));
    QVERIFY(m_box->shown[0].text.contains(u"option.ini がメモ帳などほかのプログラムで開かれていないか"_s));
    QVERIFY(dialog->isVisible());
    QCOMPARE(name->text(), u"消えてはいけない入力"_s);

    // Once the obstacle is gone the same window saves.
    QVERIFY(QDir().rmdir(u"option.ini"_s));
    QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdSave"), Qt::LeftButton);
    QCOMPARE(m_box->shown.size(), 2);
    QCOMPARE(m_box->shown[1].icon, MessageIcon::Information);
    QVERIFY(!dialog->isVisible());
    QVERIFY(TestUtil::readFile(u"option.ini"_s).contains("SITENAME="));
}

void TestFrmOption::unencodableCharacters_areNeverLostUnasked_data()
{
    QTest::addColumn<QByteArray>("before");  // option.ini before saving
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("answer");         // MsgBox::Answer to the question
    QTest::addColumn<QByteArray>("after");   // the whole file after, or empty: unchanged

    // Shift_JIS, with a section of the upload that must keep its meaning.
    const QByteArray sjis = TextCodec::EncodeShiftJis(
        u"[OPTION]\r\nSITENAME=店\r\nCATCHCOPY3=旧\r\n[UPLOAD]\r\nFOLDER=/ページ\r\n"_s);
    QTest::newRow("no: back to the window, nothing saved")
        << sjis << true << int(MsgBox::Answer::No) << QByteArray();
    QTest::newRow("yes: UTF-8 with a byte-order mark, the rest kept") << sjis << true
                                                                        << int(MsgBox::Answer::Yes) << QByteArray("utf8");
    QTest::newRow("a UTF-8 file holds it: no question")
        << "\xEF\xBB\xBF[OPTION]\r\n"_ba << false << int(MsgBox::Answer::Ok) << QByteArray("utf8");
}

void TestFrmOption::unencodableCharacters_areNeverLostUnasked()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, asked);
    QFETCH(int, answer);
    QFETCH(QByteArray, after);
    QVERIFY(TestUtil::writeFile(u"option.ini"_s, before));
    m_box->answers = {MsgBox::Answer(answer)};
    const QString typed = u"贈り物🎁付き"_s;
    {
        const auto dialog = shownWindow<frmOption>();
        control<QLineEdit>(dialog.get(), "txtCatchCopy3")->setText(typed);
        control<QLineEdit>(dialog.get(), "txtSiteMaster")->setText(u"髙橋①"_s); // cp932 holds both
        QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdSave"), Qt::LeftButton);

        if (asked) {
            QVERIFY(m_box->shown.size() >= 1);
            const auto& question = m_box->shown[0];
            QCOMPARE(question.icon, MessageIcon::Question);
            QCOMPARE(question.buttons, MsgBox::Buttons::YesNo);
            QVERIFY2(question.text.contains(u"キャッチコピー　３：　🎁"_s), qPrintable(question.text));
            QVERIFY(!question.text.contains(u"サイト管理者"_s));
            QVERIFY(question.text.contains(u"UTF-8 で保存しますか？"_s));
        }
        if (after.isEmpty()) {
            QCOMPARE(m_box->shown.size(), 1);
            QVERIFY(!m_box->shown[0].text.contains(u"保存しました"_s));
            QCOMPARE(TestUtil::readFile(u"option.ini"_s), before);
            QVERIFY(dialog->isVisible());
            QCOMPARE(QApplication::focusWidget(), control<QLineEdit>(dialog.get(), "txtCatchCopy3"));
            QCOMPARE(control<QLineEdit>(dialog.get(), "txtCatchCopy3")->text(), typed);
            return;
        }
        QCOMPARE(m_box->shown.size(), asked ? 2 : 1);
        QVERIFY(m_box->shown.last().text.startsWith(u"保存しました。"_s));
        QVERIFY(!dialog->isVisible());
    }
    const QByteArray file = TestUtil::readFile(u"option.ini"_s);
    QVERIFY(file.startsWith("\xEF\xBB\xBF"));
    QVERIFY(file.contains(u"CATCHCOPY3=贈り物🎁付き\r\n"_s.toUtf8()));
    QVERIFY(!file.contains('?'));
    if (asked) {
        QVERIFY(file.contains(u"SITENAME=店\r\n"_s.toUtf8()));
        QVERIFY(file.contains(u"[UPLOAD]\r\nFOLDER=/ページ\r\n"_s.toUtf8()));
    }
    // What was typed is what the window shows again.
    const auto again = shownWindow<frmOption>();
    QCOMPARE(control<QLineEdit>(again.get(), "txtCatchCopy3")->text(), typed);
    QCOMPARE(control<QLineEdit>(again.get(), "txtSiteMaster")->text(), u"髙橋①"_s);
}

// 公開URL: stored as SITEURL with a final "/" added; a wrong address keeps
// the window open with an exclamation message and writes nothing.
void TestFrmOption::siteUrl_checkedWhenSaved_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored"); // empty: refused
    QTest::addColumn<QString>("why");
    QTest::newRow("folder") << u"https://example.jp/items"_s << QByteArray("https://example.jp/items/") << QString();
    QTest::newRow("root, http") << u" http://example.jp "_s << QByteArray("http://example.jp/") << QString();
    QTest::newRow("no scheme") << u"example.jp/items/"_s << QByteArray() << u"「http://」か「https://」"_s;
    QTest::newRow("ftp") << u"ftp://example.jp/"_s << QByteArray() << u"「http://」か「https://」"_s;
    QTest::newRow("query") << u"https://example.jp/?a=1"_s << QByteArray() << u"「?」や「#」"_s;
}

void TestFrmOption::siteUrl_checkedWhenSaved()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, stored);
    QFETCH(QString, why);
    const auto dialog = shownWindow<frmOption>();
    control<QLineEdit>(dialog.get(), "txtSiteUrl")->setText(typed);
    QTest::mouseClick(control<QPushButton>(dialog.get(), "cmdSave"), Qt::LeftButton);
    QCOMPARE(m_box->shown.size(), 1);
    if (stored.isEmpty()) {
        QCOMPARE(m_box->shown[0].icon, MessageIcon::Exclamation);
        QVERIFY2(m_box->shown[0].text.contains(why), qPrintable(m_box->shown[0].text));
        QVERIFY(dialog->isVisible());
        QVERIFY(!QFileInfo::exists(u"option.ini"_s));
        return;
    }
    QCOMPARE(m_box->shown[0].icon, MessageIcon::Information);
    QVERIFY(TestUtil::readFile(u"option.ini"_s).endsWith(QByteArray("\r\nSITEURL=" + stored + "\r\n")));
    const auto again = shownWindow<frmOption>();
    QCOMPARE(control<QLineEdit>(again.get(), "txtSiteUrl")->text(), QString::fromLatin1(stored));
}

void TestFrmOption::preview_followsTheSelection()
{
    const auto dialog = shownWindow<frmOption>();
    auto* list = control<QComboBox>(dialog.get(), "cboHeaderImage");
    auto* preview = control<QLabel>(dialog.get(), "picHeaderImage");
    QCOMPARE(preview->pixmap().size(), QSize(101, 20));

    // Missing on the server: the previous picture must not stay.
    list->setCurrentIndex(49);
    QVERIFY(preview->pixmap().isNull());
    QVERIFY(m_box->shown.isEmpty());

    // Larger than the area: shown at its own size, the area keeps its size.
    list->setCurrentIndex(2);
    QCOMPARE(preview->pixmap().size(), QSize(400, 60));
    QCOMPARE(preview->size(), QSize(389, 33));
    QVERIFY(!preview->hasScaledContents());
    QVERIFY(preview->alignment().testFlag(Qt::AlignLeft) && preview->alignment().testFlag(Qt::AlignTop));

    // The keyboard changes the selection too.
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentText(), u"004"_s);
    QCOMPARE(preview->pixmap().size(), QSize(104, 20));

    QCOMPARE(m_server->paths, (QList<QByteArray>{"/header/001.jpg", "/header/050.jpg",
                                                 "/header/003.jpg", "/header/004.jpg"}));
}

QTEST_MAIN(TestFrmOption)
#include "tst_frmoption.moc"
