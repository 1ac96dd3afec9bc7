// What sorabi-batch and the desktop program do with paths and options that
// real users get wrong: all said in Japanese, with the right exit status.

#include "batchrunner.h"
#include "testutil.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestBatchOptions : public QObject
{
    Q_OBJECT
private slots:
    void paths_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // on standard error
        const QString csv = TestUtil::examples() + u"/products.csv"_s;
        const QString ini = TestUtil::examples() + u"/option.ini"_s;
        QTest::newRow("settings file missing")
            << QStringList{u"--settings"_s, u"optoin.ini"_s, csv} << 2
            << u"設定ファイル「optoin.ini」が見つからないか"_s;
        QTest::newRow("settings are a folder") << QStringList{u"--settings"_s, u"."_s, csv} << 2
                                               << u"設定ファイル「.」"_s;
        QTest::newRow("no option.ini in the working folder")
            << QStringList{csv} << 0 << u"設定ファイル option.ini がありません。サイト情報は空のまま作成します。"_s;
        QTest::newRow("output folder made with its parents")
            << QStringList{u"--settings"_s, ini, u"--output-dir"_s, u"a/b/c"_s, csv} << 0 << QString();
        QTest::newRow("output folder below a file")
            << QStringList{u"--settings"_s, ini, u"--output-dir"_s, u"file/out"_s, csv} << 1
            << u"はフォルダではありません。"_s;
        QTest::newRow("header only") << QStringList{u"--settings"_s, ini, u"header.csv"_s} << 0
                                     << u"ページは 1 つも作成されませんでした。"_s;
        QTest::newRow("unknown option") << QStringList{u"--frobnicate"_s, csv} << 2
                                        << u"知らないオプションです: --frobnicate"_s;
        QTest::newRow("value missing") << QStringList{csv, u"--settings"_s} << 2
                                       << u"--settings の後に値を指定してください。"_s;
    }
    void paths()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(TestUtil::writeFile(dir.filePath(u"file"_s), "x"));
        QVERIFY(TestUtil::writeFile(dir.filePath(u"header.csv"_s), "ID,name\r\n"));
        const ProgramResult outcome = runBatch(arguments, dir.path());
        QCOMPARE(outcome.exitCode, exitCode);
        QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
        QVERIFY2(!outcome.err.contains(u"Usage"_s) && !outcome.err.contains(u"Unknown"_s),
                 qPrintable(outcome.err));
        if (exitCode == 0) {
            const QString folder = outcome.outputFolder();
            QVERIFY2(QFileInfo(folder).isDir(), qPrintable(outcome.out));
            if (arguments.contains(u"a/b/c"_s))
                QCOMPARE(QFileInfo(folder).dir().canonicalPath(),
                         QDir(dir.filePath(u"a/b/c"_s)).canonicalPath());
        }
    }

    void helpIsJapanese()
    {
        const ProgramResult outcome = runBatch({u"--help"_s}, QDir::tempPath());
        QCOMPARE(outcome.exitCode, 0);
        for (const QString& text : {u"使い方: sorabi-batch"_s, u"--output-dir DIR"_s, u"終了コード"_s})
            QVERIFY2(outcome.out.contains(text), qPrintable(outcome.out));
        QVERIFY(!outcome.out.contains(u"Usage"_s) && !outcome.out.contains(u"Options:"_s));
    }

    // Over SSH or in a console the desktop program says what to use instead.
    void desktopWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("start") << QStringList() << 1 << QString() << u"sorabi-batch"_s;
        QTest::newRow("version") << QStringList{u"--version"_s} << 0
                                 << u"Sorabi Ver. "_s + TestUtil::version() + u'\n' << QString();
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << u"使い方: sorabi"_s << QString();
    }
    void desktopWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString& name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            environment.remove(name);
        const ProgramResult outcome =
            runProgram(desktopProgram(), arguments, QDir::tempPath(),
                       [&](QProcess& process) { process.setProcessEnvironment(environment); });
        QCOMPARE(outcome.exitCode, exitCode);
        QVERIFY2(outcome.out.contains(out), qPrintable(outcome.out));
        QVERIFY2(outcome.err.contains(err), qPrintable(outcome.err));
        if (!err.isEmpty())
            QVERIFY(outcome.err.contains(u"画面（ディスプレイ）が見つからない"_s));
    }
};

QTEST_GUILESS_MAIN(TestBatchOptions)
#include "tst_batchoptions.moc"
