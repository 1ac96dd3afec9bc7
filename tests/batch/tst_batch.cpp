#include "base/textcodec.h"
#include "batchrunner.h"
#include "generation/generationrun.h"
#include "recordingui.h"
#include "runsandbox.h"
#include "testutil.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class TestBatch : public QObject
{
    Q_OBJECT
private slots:
    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output");
        QTest::newRow("version") << QStringList{u"--version"_s} << 0 << u"Sorabi Ver. "_s + TestUtil::version() + u'\n';
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << u"--output-dir"_s;
        QTest::newRow("no file") << QStringList() << 2 << QString();
        QTest::newRow("two files") << QStringList{u"a.csv"_s, u"b.csv"_s} << 2 << QString();
        QTest::newRow("unknown option") << QStringList{u"--frobnicate"_s, u"a.csv"_s} << 2
                                        << QString();
        QTest::newRow("option without value") << QStringList{u"a.csv"_s, u"--settings"_s} << 2
                                              << QString();
    }
    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        const ProgramResult outcome = runBatch(arguments);
        QCOMPARE(outcome.exitCode, exitCode);
        if (exitCode == 0)
            QVERIFY2(outcome.out.contains(output), qPrintable(outcome.out));
        else
            QVERIFY(!outcome.err.isEmpty() && outcome.out.isEmpty());
    }

    void missingCsvFails()
    {
        QTemporaryDir dir;
        const ProgramResult outcome = runBatch({u"--output-dir"_s, dir.path(), u"missing.csv"_s});
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY(outcome.err.contains(u"CSVファイルに指定したパスは無効です。"_s));
        QVERIFY(outcome.out.isEmpty());
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    // The headless run writes what the desktop run writes, byte for byte.
    void sameFolderAsTheDesktopRun()
    {
        QTemporaryDir dir;
        const QString batchParent = dir.filePath(u"batch"_s);
        const QString desktopParent = dir.filePath(u"desktop"_s);
        QDir().mkpath(batchParent);
        QDir().mkpath(desktopParent);
        const QString csv = TestUtil::examples() + u"/products.csv"_s;
        const QString ini = TestUtil::examples() + u"/option.ini"_s;

        const ProgramResult outcome =
            runBatch({u"--settings"_s, ini, u"--output-dir"_s, batchParent, csv});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.err.contains(u"ホームページを作成しました。"_s));
        const QString folder = outcome.outputFolder();
        QCOMPARE(QFileInfo(folder).absolutePath(), QFileInfo(batchParent).absoluteFilePath());
        QVERIFY(QFileInfo(folder).fileName().contains(QRegularExpression(u"^\\d{14}$"_s)));

        RecordingUi ui;
        const RunResult desktop = CreatePages(ui, runOptions(csv, ini, desktopParent));
        QCOMPARE(desktop.outcome, RunOutcome::Completed);

        const auto batchFiles = TestUtil::folderContents(folder);
        QCOMPARE(batchFiles.size(), 25);
        QVERIFY(batchFiles == TestUtil::folderContents(desktop.outputFolder));
    }

    void settingsDefaultToTheWorkingFolder()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(TestUtil::examples() + u"/option.ini"_s, dir.filePath(u"option.ini"_s)));
        QVERIFY(QFile::copy(TestUtil::examples() + u"/products.csv"_s, dir.filePath(u"p.csv"_s)));
        const ProgramResult outcome = runBatch({u"p.csv"_s}, dir.path());
        QCOMPARE(outcome.exitCode, 0);
        const QString folder = outcome.outputFolder();
        QCOMPARE(QFileInfo(folder).absolutePath(), QFileInfo(dir.path()).canonicalFilePath());
        const QByteArray page = TestUtil::readFile(folder + u"/A1001.html"_s);
        QVERIFY(page.contains(TextCodec::EncodeShiftJis(u"暮らしの道具店 そらび"_s)));
        QVERIFY(!QFileInfo::exists(dir.filePath(u"articles.csv"_s))); // no working copy
    }

    void noShopIdWarnsOnceAndGoesOn()
    {
        QTemporaryDir dir;
        QVERIFY(TestUtil::writeFile(dir.filePath(u"option.ini"_s), "[OPTION]\r\nSITENAME=s\r\nSHOPID=  \r\n"));
        QVERIFY(QFile::copy(TestUtil::examples() + u"/products.csv"_s, dir.filePath(u"p.csv"_s)));
        const ProgramResult outcome = runBatch({u"p.csv"_s}, dir.path());
        QCOMPARE(outcome.exitCode, 0);
        // One warning line on standard error for the whole run, not one per line.
        QCOMPARE(outcome.err.count(u"警告: "_s + MissingShopIdText() + u"ショップIDなしで作成を続けます。\n"_s), 1);
        QVERIFY(outcome.out.isEmpty() == false);
        QCOMPARE(TestUtil::folderContents(outcome.outputFolder()).size(), 25);
    }

    void lineFailureExitsOne()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath(u"bad.csv"_s);
        QVERIFY(TestUtil::writeFile(csv, "h\r\nonly,three,fields\r\n"));
        const ProgramResult outcome = runBatch({u"--output-dir"_s, dir.path(), csv}, dir.path());
        QCOMPARE(outcome.exitCode, 1);
        QVERIFY(outcome.err.contains(u"2 行目（商品ID「only」）"_s));
        QVERIFY(QFileInfo(outcome.outputFolder()).isDir()); // the folder is named even so
    }

    void interruptKeepsWholePages()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath(u"many.csv"_s);
        QByteArray bytes = "h\r\n";
        for (int i = 0; i < 200000; ++i)
            bytes += "P" + QByteArray::number(i) + ",n,,,,,,,100,,,,,,1,1\r\n";
        QVERIFY(TestUtil::writeFile(csv, bytes));
        QProcess process;
        process.start(batchProgram(), {u"--output-dir"_s, dir.path(), csv});
        QVERIFY(process.waitForStarted());
        // Interrupt once the first pages exist.
        QString folder;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QStringList made = QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
                if (made.isEmpty())
                    return false;
                folder = dir.filePath(made.first());
                return QDir(folder).entryList(QDir::Files).size() > 10;
            }(),
            20000);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        QCOMPARE(lastLine(QString::fromUtf8(process.readAllStandardOutput())), folder);
        QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains(u"中断しました。作成済みの"_s));
        const QStringList written = QDir(folder).entryList(QDir::Files);
        QVERIFY(written.size() < 200000);
        for (const QString& name : written)
            QVERIFY2(TestUtil::readFile(folder + u'/' + name).endsWith("</html>\r\n\r\n"),
                     qPrintable(name));
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
