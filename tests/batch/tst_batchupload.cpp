// "sorabi-batch upload" from the outside: pages made by sorabi-batch go to
// real servers on 127.0.0.1, with the options, exit statuses and the summary
// line a script relies on.

#include "batchrunner.h"
#include "testutil.h"
#include "uploadservers.h"

#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestBatchUpload : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_work;
    std::unique_ptr<UploadServers> m_servers;
    QString m_pages;
    QStringList m_outputs;

    // "sorabi-batch upload", with the password in the environment only.
    ProgramResult run(const QStringList& arguments, const QString& password)
    {
        const ProgramResult o = runBatch(QStringList{u"upload"_s} + arguments, m_work.path(),
                                         [&](QProcess& process) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove(u"DBUS_SESSION_BUS_ADDRESS"_s);
            env.remove(u"SORABI_UPLOAD_PASSWORD"_s);
            if (!password.isEmpty())
                env.insert(u"SORABI_UPLOAD_PASSWORD"_s, password);
            process.setProcessEnvironment(env);
            process.setStandardInputFile(QProcess::nullDevice());
        });
        m_outputs << o.out << o.err;
        return o;
    }

    QString writeSettings(const QString& name, const QByteArray& upload)
    {
        const QString path = m_work.filePath(name);
        const QByteArray option = TestUtil::readFile(TestUtil::examples() + u"/option.ini"_s);
        TestUtil::writeFile(path, option + "[UPLOAD]\r\n" + upload);
        return path;
    }

private slots:
    void initTestCase()
    {
        // Pages as a run makes them.
        const ProgramResult make = runBatch(
            {u"--settings"_s, TestUtil::examples() + u"/option.ini"_s, u"--output-dir"_s, m_work.path(),
             TestUtil::examples() + u"/products.csv"_s},
            m_work.path());
        QCOMPARE(make.exitCode, 0);
        m_pages = make.outputFolder();
        QVERIFY(QDir(m_pages).count() > 3);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("upload");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no folder") << QStringList() << QByteArray("HOST=h\r\n") << 2
                                   << u"フォルダを 1 つ"_s;
        QTest::newRow("malformed fingerprint")
            << QStringList{u"--trust"_s, u"SHA256:abc"_s, u"x"_s} << QByteArray("HOST=h\r\n") << 2
            << u"--trust"_s;
        QTest::newRow("short certificate fingerprint")
            << QStringList{u"--trust"_s, u"AB:CD:EF"_s, u"x"_s} << QByteArray("HOST=h\r\n") << 2
            << u"--trust"_s;
        QTest::newRow("no host") << QStringList{u"x"_s} << QByteArray() << 1 << u"HOST"_s;
        QTest::newRow("connections out of range")
            << QStringList{u"--connections"_s, u"9"_s, u"x"_s} << QByteArray("HOST=h\r\n") << 2
            << u"--connections"_s;
        QTest::newRow("CONNECTIONS not a number") << QStringList{u"x"_s}
                                                  << QByteArray("HOST=h\r\nCONNECTIONS=many\r\n") << 1
                                                  << u"CONNECTIONS"_s;
        QTest::newRow("unknown protocol") << QStringList{u"x"_s}
                                          << QByteArray("PROTOCOL=webdav\r\nHOST=h\r\n") << 1
                                          << u"PROTOCOL"_s;
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, upload);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QString ini = writeSettings(u"refusal.ini"_s, upload);
        const ProgramResult o = run(QStringList{u"--settings"_s, ini} + arguments, u"pw"_s);
        QCOMPARE(o.exitCode, exitCode);
        QVERIFY2(o.err.contains(message), qPrintable(o.err));
    }

    void noPasswordWithoutTerminal()
    {
        const QString ini = writeSettings(u"nopw.ini"_s, "HOST=127.0.0.1\r\n");
        const ProgramResult o = run({u"--settings"_s, ini, m_pages}, QString());
        QCOMPARE(o.exitCode, 1);
        QVERIFY2(o.err.contains(u"SORABI_UPLOAD_PASSWORD"_s), qPrintable(o.err));
    }

    // sorabi-batch starts the upload as a program of its own; where that is
    // missing, it says so and what to do rather than failing unexplained.
    void missingUploadProgram()
    {
#ifdef Q_OS_WIN
        QSKIP("the upload is inside sorabi-batch.exe");
#endif
        const QString alone = m_work.filePath(u"alone/bin/sorabi-batch"_s);
        QVERIFY(QDir().mkpath(QFileInfo(alone).path()));
        QVERIFY(QFile::copy(batchProgram(), alone));
        const ProgramResult o = runProgram(alone, {u"upload"_s, m_pages}, m_work.path());
        QCOMPARE(o.exitCode, 1);
        QVERIFY2(o.err.contains(u"インストールし直して"_s), qPrintable(o.err));
    }

    void endToEnd_data()
    {
        QTest::addColumn<QByteArray>("protocol");
        QTest::newRow("ftps") << QByteArray("ftps");
        QTest::newRow("sftp") << QByteArray("sftp");
    }
    void endToEnd()
    {
        QFETCH(QByteArray, protocol);
        if (!m_servers) {
            const QString missing = UploadServers::Missing();
            if (!missing.isEmpty())
                QSKIP(qPrintable(u"needs "_s + missing + u" (scripts/deps installs the servers)"_s));
            m_servers = std::make_unique<UploadServers>();
            QString error;
            QVERIFY2(m_servers->start(&error), qPrintable(error));
        }
        const UploadServers::Kind kind = protocol == "sftp" ? UploadServers::Sftp
                                                            : UploadServers::Ftps;
        const QString ini = writeSettings(
            QString::fromLatin1(protocol) + u".ini"_s,
            "PROTOCOL=" + protocol + "\r\nHOST=127.0.0.1\r\nPORT="
                + QByteArray::number(m_servers->port(kind)) + "\r\nUSER="
                + m_servers->user().toUtf8() + "\r\nFOLDER=shop/" + protocol + "\r\n");
        const QByteArray settingsBefore = TestUtil::readFile(ini);
        const QString remote = m_servers->home() + u"/shop/"_s + QString::fromLatin1(protocol);
        const QString password = m_servers->password();
        const int pages = int(QDir(m_pages).entryList(QDir::Files).size());
        const QString fingerprint = m_servers->fingerprint(kind);

        // An unknown key stops the upload and names its fingerprint.
        ProgramResult o = run({u"--settings"_s, ini, m_pages}, password);
        QCOMPARE(o.exitCode, 1);
        QVERIFY2(o.err.contains(u"--trust "_s + fingerprint), qPrintable(o.err));
        QCOMPARE(lastLine(o.out), u"sent 0, unchanged 0, deleted 0, failed 0"_s);

        // A certificate's fingerprint may be typed in lower case, without colons.
        const QString typed = kind == UploadServers::Sftp ? fingerprint
                                                          : fingerprint.toLower().remove(u':');
        o = run({u"--settings"_s, ini, u"--dry-run"_s, u"--trust"_s, typed, m_pages}, password);
        QCOMPARE(o.exitCode, 0);
        QCOMPARE(lastLine(o.out), u"sent %1, unchanged 0, deleted 0, failed 0"_s.arg(pages));
        QVERIFY2(o.out.startsWith(u"新規 %1 ページ\n変更 0 ページ\n変更なし 0 ページ\n削除 0 ページ\n"_s.arg(pages)),
                 qPrintable(o.out));
        QVERIFY(TestUtil::folderContents(remote).isEmpty());

        // Trusted once (by the dry run), then remembered. Over at most the
        // connections asked for, said on the line before the summary.
        o = run({u"--settings"_s, ini, u"--connections"_s, u"2"_s, m_pages}, password);
        QVERIFY2(o.exitCode == 0, qPrintable(o.err));
        QCOMPARE(lastLine(o.out), u"sent %1, unchanged 0, deleted 0, failed 0"_s.arg(pages));
        QVERIFY2(o.out.contains(u"connections 1\n"_s) || o.out.contains(u"connections 2\n"_s),
                 qPrintable(o.out));
        QCOMPARE(TestUtil::folderContents(remote), TestUtil::folderContents(m_pages));

        // A removed page is named, and deleted only with --delete.
        const QString copy = m_work.filePath(u"copy-"_s + QString::fromLatin1(protocol));
        QDir().mkpath(copy);
        const QStringList names = QDir(m_pages).entryList(QDir::Files);
        for (const QString& name : names.mid(1))
            QFile::copy(m_pages + u'/' + name, copy + u'/' + name);
        o = run({u"--settings"_s, ini, u"--dry-run"_s, copy}, password);
        QVERIFY2(o.out.startsWith(u"新規 0 ページ\n変更 0 ページ\n変更なし %1 ページ\n削除 1 ページ\n"
                                  "削除するページ:\n  %2\n"_s.arg(pages - 1).arg(names.first())),
                 qPrintable(o.out));
        o = run({u"--settings"_s, ini, copy}, password);
        QCOMPARE(o.exitCode, 0);
        QCOMPARE(lastLine(o.out), u"sent 0, unchanged %1, deleted 0, failed 0"_s.arg(pages - 1));
        QVERIFY2(o.err.contains(names.first()) && o.err.contains(u"--delete"_s), qPrintable(o.err));
        o = run({u"--settings"_s, ini, u"--delete"_s, copy}, password);
        QCOMPARE(lastLine(o.out), u"sent 0, unchanged %1, deleted 1, failed 0"_s.arg(pages - 1));
        QCOMPARE(TestUtil::folderContents(remote), TestUtil::folderContents(copy));

        o = run({u"--settings"_s, ini, copy}, u"wrong"_s);
        QCOMPARE(o.exitCode, 1);
        QVERIFY2(o.err.contains(u"ログインできませんでした"_s), qPrintable(o.err));

        // The upload never writes the settings file, and the password is
        // nowhere: not in the output, not in any file in the working folder.
        QCOMPARE(TestUtil::readFile(ini), settingsBefore);
        for (const QString& text : std::as_const(m_outputs))
            QVERIFY(!text.contains(password));
        const auto files = TestUtil::folderContents(m_work.path());
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY2(!it.value().contains(password.toUtf8()), qPrintable(it.key()));
    }
};

QTEST_GUILESS_MAIN(TestBatchUpload)
#include "tst_batchupload.moc"
