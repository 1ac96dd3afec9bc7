// The upload's windows: "アップロード設定" and "アップロード" (F6) in the
// main window, the latter against a real SFTP server on 127.0.0.1.

#include "forms/frmmain.h"
#include "forms/frmupload.h"
#include "forms/uploadflow.h"
#include "generation/generationrun.h"
#include "msgboxrecorder.h"
#include "testdata.h"
#include "testutil.h"
#include "uploadservers.h"
#include "widgettest.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

class TestFrmUpload : public QObject
{
    Q_OBJECT

private:
    std::optional<MsgBoxRecorder> m_box;
    QTemporaryDir m_dir;

private slots:
    void init() { m_box.emplace(); }
    void cleanup() { m_box.reset(); }

    // The destination goes into [UPLOAD]; the rest of the file and the
    // password stay out of it.
    void saveWritesTheUploadSection()
    {
        const QString ini = m_dir.filePath(u"save.ini"_s);
        const QByteArray before = TestData::settingsFile({u"3"_s, u"店の名前"_s});
        QVERIFY(TestUtil::writeFile(ini, before));
        frmUpload window(ini);
        control<QComboBox>(&window, "cboProtocol")->setCurrentIndex(1);
        control<QLineEdit>(&window, "txtHost")->setText(u"example.jp"_s);
        control<QLineEdit>(&window, "txtUser")->setText(u"shop"_s);
        control<QLineEdit>(&window, "txtPassword")->setText(u"Secret-9"_s);
        control<QLineEdit>(&window, "txtFolder")->setText(u"public_html"_s);
        control<QLineEdit>(&window, "txtConnections")->setText(u"2"_s);
        QTest::mouseClick(control<QPushButton>(&window, "cmdSave"), Qt::LeftButton);
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(m_box->texts().last(), u"保存しました。"_s);
        const QByteArray after = TestUtil::readFile(ini);
        QVERIFY(after.startsWith(before));
        QVERIFY(after.contains("[UPLOAD]\r\nPROTOCOL=sftp\r\nHOST=example.jp\r\nPORT=\r\n"
                               "USER=shop\r\nFOLDER=public_html\r\nCONNECTIONS=2\r\n"));
        frmUpload again(ini);
        QCOMPARE(control<QLineEdit>(&again, "txtConnections")->text(), u"2"_s);
        QVERIFY(!after.contains("Secret-9"));
        for (const QString& message : m_box->texts())
            QVERIFY(!message.contains(u"Secret-9"_s));
    }

    // A character Shift_JIS cannot hold is never saved as "?": はい makes
    // option.ini UTF-8 with a byte-order mark, いいえ saves nothing.
    void charactersTheFileCannotHold_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::newRow("saved as UTF-8") << true;
        QTest::newRow("back to the window") << false;
    }
    void charactersTheFileCannotHold()
    {
        QFETCH(bool, agree);
        const QString ini = m_dir.filePath(u"emoji.ini"_s);
        const QByteArray before = TestData::settingsFile({u"3"_s, u"店の名前"_s});
        QVERIFY(TestUtil::writeFile(ini, before));
        m_box->toQuestions = agree ? MsgBox::Answer::Yes : MsgBox::Answer::No;
        frmUpload window(ini);
        control<QLineEdit>(&window, "txtHost")->setText(u"example.jp"_s);
        control<QLineEdit>(&window, "txtFolder")->setText(u"www/\U0001F381"_s);
        QTest::mouseClick(control<QPushButton>(&window, "cmdSave"), Qt::LeftButton);
        QCOMPARE(m_box->shown.first().icon, MessageIcon::Question);
        QVERIFY(m_box->texts().first().contains(u"リモートフォルダ：　\U0001F381"_s));
        const QByteArray after = TestUtil::readFile(ini);
        if (agree) {
            QCOMPARE(window.result(), int(QDialog::Accepted));
            QVERIFY(after.startsWith("\xEF\xBB\xBF"));
            QVERIFY(after.contains(u"FOLDER=www/\U0001F381\r\n"_s.toUtf8()));
            QVERIFY(after.contains(u"店の名前"_s.toUtf8()));
        } else {
            QCOMPARE(m_box->shown.size(), 1);
            QCOMPARE(after, before);
        }
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("connections");
        QTest::newRow("no host") << QString() << QString() << QString();
        QTest::newRow("port out of range") << u"h"_s << u"99999"_s << QString();
        QTest::newRow("port not a number") << u"h"_s << u"2l"_s << QString();
        QTest::newRow("connections out of range") << u"h"_s << QString() << u"9"_s;
        QTest::newRow("connections zero") << u"h"_s << QString() << u"0"_s;
    }
    void refusals()
    {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, connections);
        const QString ini = m_dir.filePath(u"refused.ini"_s);
        frmUpload window(ini);
        control<QLineEdit>(&window, "txtHost")->setText(host);
        control<QLineEdit>(&window, "txtPort")->setText(port);
        control<QLineEdit>(&window, "txtConnections")->setText(connections);
        QTest::mouseClick(control<QPushButton>(&window, "cmdSave"), Qt::LeftButton);
        QCOMPARE(m_box->shown.size(), 1);
        QVERIFY(!QFile::exists(ini));
    }

    void plainFtpOnlyAfterWarning_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::addColumn<int>("selected");
        QTest::newRow("agreed") << true << 2;
        QTest::newRow("declined") << false << 0;
    }
    void plainFtpOnlyAfterWarning()
    {
        QFETCH(bool, agree);
        QFETCH(int, selected);
        m_box->toQuestions = agree ? MsgBox::Answer::Yes : MsgBox::Answer::No;
        frmUpload window(m_dir.filePath(u"ftp.ini"_s));
        auto* protocol = control<QComboBox>(&window, "cboProtocol");
        QCOMPARE(protocol->currentIndex(), 0); // FTPS by default
        protocol->setCurrentIndex(2);
        QCOMPARE(m_box->shown.size(), 1);
        QVERIFY(m_box->texts().first().contains(u"暗号化されず"_s));
        QCOMPARE(protocol->currentIndex(), selected);
        QCOMPARE(control<QLineEdit>(&window, "txtPort")->placeholderText(), u"21"_s);
    }

    void portFollowsProtocol_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("usual port follows") << u"21"_s << QString();
        QTest::newRow("own port stays") << u"2121"_s << u"2121"_s;
    }
    void portFollowsProtocol()
    {
        QFETCH(QString, typed);
        QFETCH(QString, after);
        frmUpload window(m_dir.filePath(u"port.ini"_s));
        auto* port = control<QLineEdit>(&window, "txtPort");
        port->setText(typed);
        control<QComboBox>(&window, "cboProtocol")->setCurrentIndex(1); // SFTP
        QCOMPARE(port->text(), after);
        QCOMPARE(port->placeholderText(), u"22"_s);
    }

    // Enter moves on, as in the site settings: it never saves half a destination.
    void enterMovesOn()
    {
        const auto window = shownWindow<frmUpload>(m_dir.filePath(u"enter.ini"_s));
        window->activateWindow();
        auto* host = control<QLineEdit>(window.get(), "txtHost");
        host->setFocus();
        host->setText(u"example.jp"_s);
        QTest::keyClick(host, Qt::Key_Return);
        QVERIFY(window->isVisible());
        QVERIFY(m_box->shown.isEmpty());
        QTRY_COMPARE(QApplication::focusWidget(), control<QLineEdit>(window.get(), "txtPort"));
    }

    // 参照 in the question picks another folder, in a folder dialog that
    // starts in the data folder; the question comes again with the folder
    // that would go up.
    void otherFolderPicked_data()
    {
        QTest::addColumn<QString>("picked"); // in the data folder; empty: cancelled
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("refused");
        QTest::newRow("older output folder") << u"20250101000000"_s << u"20250101000000"_s << false;
        QTest::newRow("folder without pages") << u"notes"_s << u"20260102030405"_s << true;
        QTest::newRow("dialog cancelled") << QString() << u"20260102030405"_s << false;
    }
    void otherFolderPicked()
    {
        QFETCH(QString, picked);
        QFETCH(QString, asked);
        QFETCH(bool, refused);
        const QString data = m_dir.filePath(u"pick"_s);
        for (const char* file : {"20260102030405/A1.html", "20250101000000/B1.html", "notes/a.txt"}) {
            const QString path = data + u'/' + QString::fromLatin1(file);
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QVERIFY(TestUtil::writeFile(path, file));
        }
        QString startedIn;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        frmMain::SetFileDialogRunner([&](QFileDialog& dialog) -> std::optional<QString> {
            startedIn = dialog.directory().absolutePath();
            mode = dialog.fileMode();
            if (picked.isEmpty())
                return std::nullopt;
            return data + u'/' + picked;
        });
        m_box->answers = {MsgBox::Answer::Browse};
        if (refused)
            m_box->answers.append(MsgBox::Answer::Ok);
        m_box->answers.append(MsgBox::Answer::No);

        frmMain window;
        window.Folder().SetProgramFolder(data);
        window.findChild<QAction*>(u"mnuFileUpload"_s)->trigger();
        frmMain::SetFileDialogRunner({});

        QCOMPARE(startedIn, QDir(data).absolutePath());
        QCOMPARE(mode, QFileDialog::Directory);
        const QStringList messages = m_box->texts();
        QCOMPARE(messages.size(), refused ? 3 : 2);
        QCOMPARE(m_box->shown.first().buttons, MsgBox::Buttons::YesNoBrowse);
        QVERIFY(messages.first().contains(u"20260102030405"_s));
        QCOMPARE(messages[1].contains(u"ページ（.html ファイル）がありません"_s), refused);
        QVERIFY(messages.last().contains(QDir::toNativeSeparators(data + u'/' + asked)));
    }

    // A folder of a run that stopped or was cancelled is never the folder
    // offered: the newest finished one is, with a plain word about it; with
    // no folder to offer, 参照 is (pages may have been made elsewhere).
    void unfinishedFolderIsNotOffered_data()
    {
        QTest::addColumn<QStringList>("folders"); // oldest first; "!" marks an unfinished run
        QTest::addColumn<QString>("offered");     // empty: none, only 参照
        QTest::addColumn<bool>("warned");
        QTest::newRow("newest finished") << QStringList{u"20250101000000"_s, u"20260102030405"_s}
                                         << u"20260102030405"_s << false;
        QTest::newRow("newest stopped") << QStringList{u"20250101000000"_s, u"!20260102030405"_s}
                                        << u"20250101000000"_s << true;
        QTest::newRow("only a stopped one") << QStringList{u"!20260102030405"_s} << QString() << true;
        QTest::newRow("no folder yet") << QStringList{} << QString() << false;
    }
    void unfinishedFolderIsNotOffered()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, offered);
        QFETCH(bool, warned);
        QTemporaryDir dir;
        const QString data = dir.path();
        for (QString name : folders) {
            const bool unfinished = name.startsWith(u'!');
            name.remove(u'!');
            QVERIFY(QDir().mkpath(data + u'/' + name));
            QVERIFY(TestUtil::writeFile(data + u'/' + name + u"/A1.html"_s, "a"));
            if (unfinished)
                QVERIFY(TestUtil::writeFile(UnfinishedMarkerPath(data + u'/' + name),
                                            "lines=25\r\npages=3\r\n"));
        }
        m_box->answers = {MsgBox::Answer::No};
        QCOMPARE(UploadFlow::ChooseFolder(nullptr, QString(), data), std::nullopt);
        QCOMPARE(m_box->shown.size(), 1);
        const QString text = m_box->shown[0].text;
        QCOMPARE(m_box->shown[0].buttons,
                 offered.isEmpty() ? MsgBox::Buttons::BrowseCancel : MsgBox::Buttons::YesNoBrowse);
        if (!offered.isEmpty())
            QVERIFY2(text.contains(QDir::toNativeSeparators(data + u'/' + offered) + u"\n"_s),
                     qPrintable(text));
        else
            QVERIFY(text.contains(u"「参照...」で選んでください"_s));
        QCOMPARE(text.contains(u"は作成が途中で止まったものです（25 行のうち 3 ページ）。"_s), warned);
    }

    // The removal question says what the server keeps and what it loses.
    void removalQuestionCounts()
    {
        const QString text = UploadFlow::RemovalQuestion(22, 3, u"A4.html\nA5.html"_s);
        QVERIFY(text.contains(u"サーバーに残るのはこのフォルダの 3 ページで、次の 22 ページがなくなります。"_s));
        QVERIFY(text.contains(u"A4.html\nA5.html"_s));
    }

    // A changed SSH host key: a warning first, then trusted only by はい.
    void changedHostKeyAfterAWarning_data()
    {
        QTest::addColumn<bool>("agree");
        QTest::newRow("checked with the administrator") << true;
        QTest::newRow("refused") << false;
    }
    void changedHostKeyAfterAWarning()
    {
        QFETCH(bool, agree);
        m_box->toQuestions = agree ? MsgBox::Answer::Yes : MsgBox::Answer::No;
        QCOMPARE(UploadFlow::AskTrust(nullptr, UploadUi::KeyQuestion::ChangedHostKey, u"h:22"_s,
                                      u"SHA256:abc"_s),
                 agree);
        QCOMPARE(m_box->shown.size(), 1);
        QCOMPARE(m_box->shown[0].icon, MessageIcon::Exclamation);
        QVERIFY(m_box->shown[0].text.contains(u"サーバーの管理者にホスト鍵を変更したことを確かめ"_s));
        QVERIFY(m_box->shown[0].text.contains(u"SHA256:abc"_s));
    }

    // 接続テスト with an empty password field asks for it, as the upload does.
    void connectionTestAsksForThePassword()
    {
        frmUpload window(m_dir.filePath(u"test.ini"_s));
        control<QLineEdit>(&window, "txtHost")->setText(u"no-such-host.invalid"_s);
        control<QLineEdit>(&window, "txtUser")->setText(u"shop"_s);
        QStringList prompts;
        UploadFlow::SetPasswordPrompt([&](const QString& prompt) -> std::optional<QString> {
            prompts.append(prompt);
            return std::nullopt;
        });
        QTest::mouseClick(control<QPushButton>(&window, "cmdTest"), Qt::LeftButton);
        UploadFlow::SetPasswordPrompt({});
        QCOMPARE(prompts, QStringList{u"shop@no-such-host.invalid のパスワード:"_s});
        QVERIFY(m_box->shown.isEmpty()); // cancelled: nothing tried
    }

    // F6 sends the newest output folder, asking about the host key once.
    // キャンセル at the summary sends and records nothing; the next F6 sends.
    void uploadFromTheMainWindow()
    {
        const QString missing = UploadServers::Missing();
        if (!missing.isEmpty())
            QSKIP(qPrintable(u"needs "_s + missing + u" (scripts/deps installs the servers)"_s));
        UploadServers servers;
        QString error;
        QVERIFY2(servers.start(&error), qPrintable(error));

        // option.ini and the state live in the working folder, as in the program.
        QFile::remove(u"option.ini"_s);
        QDir(u"upload"_s).removeRecursively();
        QVERIFY(TestUtil::writeFile(
            u"option.ini"_s, "[UPLOAD]\r\nPROTOCOL=sftp\r\nHOST=127.0.0.1\r\nPORT="
                                 + QByteArray::number(servers.port(UploadServers::Sftp))
                                 + "\r\nUSER=" + servers.user().toUtf8() + "\r\nFOLDER=www\r\n"));
        const QString data = m_dir.filePath(u"data"_s);
        const QString pages = data + u"/20260102030405"_s;
        QVERIFY(QDir().mkpath(pages));
        QVERIFY(QDir().mkpath(data + u"/20250101000000"_s));
        for (const char* name : {"A1.html", "A2.html", "B1.html"})
            QVERIFY(TestUtil::writeFile(pages + u'/' + QString::fromLatin1(name), name));
        UploadFlow::SetPasswordPrompt([&](const QString&) { return servers.password(); });

        frmMain window;
        window.Folder().SetProgramFolder(data);
        auto* upload = window.findChild<QAction*>(u"mnuFileUpload"_s);
        QVERIFY(upload);
        QCOMPARE(upload->shortcut(), QKeySequence(Qt::Key_F6));
        QVERIFY(window.findChild<QAction*>(u"mnuOptionUpload"_s));
        m_box->answers = {MsgBox::Answer::Yes, MsgBox::Answer::Yes, MsgBox::Answer::No};
        upload->trigger();
        QCOMPARE(m_box->shown.size(), 3); // the folder, the host key, the summary; no result
        QVERIFY(m_box->texts()[1].contains(servers.fingerprint(UploadServers::Sftp)));
        QCOMPARE(m_box->shown[2].buttons, MsgBox::Buttons::SendCancel);
        QVERIFY2(m_box->texts()[2].contains(u"新規 3 ページ\n変更 0 ページ\n変更なし 0 ページ\n削除 0 ページ"_s),
                 qPrintable(m_box->texts()[2]));
        QVERIFY(TestUtil::folderContents(servers.home() + u"/www"_s).isEmpty());
        QCOMPARE(QDir(u"upload"_s).entryList(QDir::Files), QStringList{u"trusted-keys.txt"_s});

        m_box.emplace();
        upload->trigger();
        UploadFlow::SetPasswordPrompt({});

        const QStringList messages = m_box->texts();
        QCOMPARE(messages.size(), 3);
        QVERIFY(messages[0].contains(QDir::toNativeSeparators(pages)));
        QVERIFY(messages[1].contains(u"新規 3 ページ"_s));
        QVERIFY2(messages[2].startsWith(u"アップロードが終わりました。"_s), qPrintable(messages[2]));
        QVERIFY(messages[2].contains(u"送信 3 ページ"_s));
        QCOMPARE(TestUtil::folderContents(servers.home() + u"/www"_s), TestUtil::folderContents(pages));
        QVERIFY(!TestUtil::readFile(u"option.ini"_s).contains(servers.password().toUtf8()));
    }
};

QTEST_MAIN(TestFrmUpload)
#include "tst_frmupload.moc"
