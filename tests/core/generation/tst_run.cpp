#include "generation/generationrun.h"
#include "base/clstextfile.h"
#include "settings/clsoption.h"
#include "recordingui.h"
#include "runsandbox.h"
#include "testdata.h"
#include "testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// A product with its name, in Shift_JIS.
QByteArray product(const QString& id, const QString& name = u"商品"_s)
{
    return TestData::productLine(TextCodec::EncodeShiftJis(id), {{1, TextCodec::EncodeShiftJis(name)}});
}

} // namespace

class TestRun : public QObject
{
    Q_OBJECT

    RunSandbox m_box;

    RunOptions options() const { return m_box.options(); }
    QString outputFolder() const { return m_box.outputFolder(); }
    void writeCsv(const QByteArrayList& lines, const QByteArray& end = "\r\n")
    {
        QVERIFY(TestUtil::writeFile(m_box.csv, TestData::csvFile(lines, end)));
    }
    QStringList pages() const { return RunSandbox::entries(outputFolder()); }

private slots:
    void init() { QVERIFY(m_box.reset(TestData::settingsFile(TestData::testShop()))); }

    void outputFolderName()
    {
        QCOMPARE(OutputFolderName(kRunTime), u"20261206185626"_s);
        QCOMPARE(OutputFolderName(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5))),
                 u"20270102030405"_s);
    }

    void invalidPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << QString();
        QTest::newRow("missing") << u"missing.csv"_s;
        QTest::newRow("folder") << u"."_s;
    }
    void invalidPath()
    {
        QFETCH(QString, path);
        RecordingUi ui;
        RunOptions o = options();
        o.csvPath = path.isEmpty() ? path : m_box.path(path);
        const RunResult result = CreatePages(ui, o);
        QCOMPARE(result.outcome, RunOutcome::InvalidPath);
        QCOMPARE(ui.messageTexts(), QStringList{u"CSVファイルに指定したパスは無効です。"_s});
        QCOMPARE(ui.messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(ui.cursorChanges.isEmpty());
        QVERIFY(ui.statusTexts.isEmpty());
        QVERIFY(!QFileInfo::exists(outputFolder()));
    }

    void threeLinesAndATrailingBreak()
    {
        writeCsv({product(u"A1"_s), product(u"A2"_s), product(u"A3"_s)});
        RecordingUi ui;
        const RunResult result = CreatePages(ui, options());
        QCOMPARE(result.outcome, RunOutcome::Completed);
        QCOMPARE(result.pagesWritten, 3);
        QCOMPARE(result.outputFolder, outputFolder());
        QCOMPARE(pages(), (QStringList{u"A1.html"_s, u"A2.html"_s, u"A3.html"_s}));
        QCOMPARE(ui.progressWindows.size(), 1);
        const auto& progress = ui.progressWindows[0];
        QCOMPARE(progress.title, u"ホームページを作成中..."_s);
        QCOMPARE(progress.maxValue, 4);
        QCOMPARE(progress.messages,
                 (QStringList{u"1 / 4"_s, u"2 / 4"_s, u"3 / 4"_s, u"4 / 4"_s}));
        QCOMPARE(progress.values, (QList<int>{1, 2, 3, 4}));
        QVERIFY(progress.shown && progress.closed);
        QCOMPARE(ui.statusTexts, (QStringList{u"ファイルをコピーしています..."_s,
                                              u"データを読み込んでいます..."_s,
                                              u"ホームページを作成しています..."_s, QString()}));
        QCOMPARE(ui.cursorChanges, (QList<bool>{true, false}));
        QCOMPARE(ui.messageTexts(), QStringList{u"ホームページを作成しました。"_s});
        QCOMPARE(ui.messages[0].icon, MessageIcon::Information);

        // The page file is the page and one more line break.
        const QByteArray page = TestUtil::readFile(outputFolder() + u"/A2.html"_s);
        QVERIFY(page.startsWith("<!DOCTYPE HTML PUBLIC "));
        QVERIFY(page.endsWith("</html>\r\n\r\n"));
        QVERIFY(page.contains(TextCodec::EncodeShiftJis(u"<h1 class=\"inline-center\" style=\"color: #000000;\">テスト店</h1>"_s)));
        QVERIFY(page.contains("(2178"));
        // The working copy holds the file as it was.
        QCOMPARE(TestUtil::readFile(m_box.program + u"/articles.csv"_s), TestUtil::readFile(m_box.csv));
    }

    void twentyFiveLinesWithoutFinalBreak()
    {
        QByteArrayList lines;
        for (int i = 1; i <= 25; ++i)
            lines.append(product(u"P%1"_s.arg(i)));
        writeCsv(lines, QByteArray());
        RecordingUi ui;
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::Completed);
        QCOMPARE(pages().size(), 25);
        QCOMPARE(ui.progressWindows[0].messages.last(), u"25 / 25"_s);
    }

    void blankLinesAreSkippedButCounted()
    {
        writeCsv({product(u"B1"_s), QByteArray(), "   ", product(u"B2"_s)}, QByteArray());
        RecordingUi ui;
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::Completed);
        QCOMPARE(pages(), (QStringList{u"B1.html"_s, u"B2.html"_s}));
        QCOMPARE(ui.progressWindows[0].messages.last(), u"4 / 4"_s);
        QCOMPARE(ui.messages.size(), 1);
    }

    // A repeated article ID (also one that differs only in case, as Windows
    // compares file names) stops the run at its second line, naming both.
    void repeatedIdStops_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("message");
        QTest::newRow("same ID") << u"D1"_s << u"商品ID「D1」が 3 行目と 5 行目で重複しています。"_s;
        QTest::newRow("other case") << u"d1"_s
                                    << u"商品ID「d1」（5 行目）と「D1」（3 行目）は、大文字と小文字の違いしかないため"_s;
        QTest::newRow("full-width other case") << u"ｄ１"_s << u"「ｄ１」（5 行目）と「Ｄ１」（3 行目）"_s;
    }
    void repeatedIdStops()
    {
        QFETCH(QString, second);
        QFETCH(QString, message);
        const QString first = second == u"ｄ１"_s ? u"Ｄ１"_s : u"D1"_s;
        writeCsv({product(u"A"_s), product(first, u"最初"_s), product(u"B"_s), product(second, u"二番目"_s),
                  product(u"C"_s)});
        RecordingUi ui;
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::LineFailed);
        QCOMPARE(pages().size(), 3); // the pages before it stay
        const QString text = TextCodec::DecodeShiftJis(TestUtil::readFile(outputFolder() + u'/' + first + u".html"_s));
        QCOMPARE(text.count(u"<!DOCTYPE"_s), 1);
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY2(ui.messages[0].text.contains(message), qPrintable(ui.messages[0].text));
        QVERIFY(ui.messages[0].text.startsWith(u"5 行目"_s));
    }

    void headerOnlyAndEmpty_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("header only")
            << "ID,name"_ba
            << QStringList{u"MaxValue ﾌﾟﾛﾊﾟﾃｨに 0 は設定できません。"_s, u"ホームページを作成しました。"_s};
        QTest::newRow("empty file") << QByteArray() << QStringList{u"ホームページを作成しました。"_s};
        QTest::newRow("header and a break") << "ID\r\n"_ba << QStringList{u"ホームページを作成しました。"_s};
    }
    void headerOnlyAndEmpty()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, messages);
        QVERIFY(TestUtil::writeFile(m_box.csv, bytes));
        RecordingUi ui;
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::Completed);
        QCOMPARE(ui.messageTexts(), messages);
        QVERIFY(QFileInfo(outputFolder()).isDir());
        QVERIFY(pages().isEmpty());
    }

    void cancel_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void cancel()
    {
        QFETCH(bool, yes);
        writeCsv({product(u"C1"_s), product(u"C2"_s), product(u"C3"_s)}, QByteArray());
        RecordingUi ui;
        // The unfinished run's record, beside its folder while it runs.
        const QString marker = UnfinishedMarkerPath(outputFolder());
        bool markedWhileRunning = false;
        ui.pressCancel = [&](int redraw) {
            markedWhileRunning = markedWhileRunning || QFile::exists(marker);
            return redraw == 1; // while line 2 is shown
        };
        ui.cancelAnswers = {yes};
        const RunResult result = CreatePages(ui, options());
        QCOMPARE(ui.questions, QStringList{u"キャンセルしますか？"_s});
        QVERIFY(markedWhileRunning);
        QCOMPARE(QFileInfo(marker).path(), QFileInfo(outputFolder()).path());
        const OutputFolderState state = ReadOutputFolderState(outputFolder());
        if (yes) {
            QCOMPARE(result.outcome, RunOutcome::Cancelled);
            QCOMPARE(pages(), QStringList{u"C1.html"_s}); // the folder holds only the pages
            QVERIFY(ui.messages.isEmpty());
            QVERIFY(!state.finished);
            QCOMPARE(state.pagesWritten, 1);
            QCOMPARE(state.lines, 3);
            QCOMPARE(UnfinishedFolderText(state), u"（3 行のうち 1 ページ）"_s);
            QCOMPARE(NewestOutputFolder(QFileInfo(outputFolder()).path(), true), QString());
        } else {
            QCOMPARE(result.outcome, RunOutcome::Completed);
            QCOMPARE(pages().size(), 3);
            QVERIFY(state.finished);
            QVERIFY(!QFile::exists(marker));
            QCOMPARE(NewestOutputFolder(QFileInfo(outputFolder()).path(), true),
                     QDir::cleanPath(outputFolder()));
        }
        QVERIFY(ui.progressWindows[0].closed);
        QCOMPARE(ui.waitCursor, false);
        QCOMPARE(ui.statusText, QString());
    }

    void lineFailureKeepsEarlierPages()
    {
        writeCsv({product(u"E1"_s), "E2,too,short", product(u"E3"_s)});
        RecordingUi ui;
        const RunResult result = CreatePages(ui, options());
        QCOMPARE(result.outcome, RunOutcome::LineFailed);
        QVERIFY(ui.messages[0].progressOpen);
        QCOMPARE(pages(), QStringList{u"E1.html"_s});
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY2(ui.messages[0].text.startsWith(u"3 行目（商品ID「E2」）"_s), qPrintable(ui.messages[0].text));
        // A stopped run's folder is recorded as such, with its counts.
        const OutputFolderState state = ReadOutputFolderState(outputFolder());
        QVERIFY(!state.finished);
        QCOMPARE(state.pagesWritten, 1);
        QCOMPARE(state.lines, 3);
        QVERIFY(ui.progressWindows[0].closed);
        QCOMPARE(ui.waitCursor, false);
        QCOMPARE(ui.statusText, QString());
    }

    // Pages are written while the next lines are filled: whatever the line
    // after a failing page does, the failure is what the run reports, and
    // nothing after it is written.
    void writeFailureStopsTheRun_data()
    {
        QTest::addColumn<QByteArray>("next");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("next line fine") << product(u"G3"_s) << false;
        QTest::newRow("next line fails") << QByteArray("G3,too,short") << false;
        QTest::newRow("next line repeats an ID") << product(u"G1"_s) << false;
        QTest::newRow("cancel at the next line") << product(u"G3"_s) << true;
    }
    void writeFailureStopsTheRun()
    {
        QFETCH(QByteArray, next);
        QFETCH(bool, cancel);
        writeCsv({product(u"G1"_s), product(u"G2"_s), next, product(u"G4"_s)});
        // Slow, so that the run has gone on to the next line when it fails.
        clsTextFile::SetWriteFailureInjector([](const QString& path) {
            if (!path.endsWith(u"G2.html"_s))
                return 0;
            QThread::msleep(100);
            return int(clsTextFile::DiskFull);
        });
        RecordingUi ui;
        if (cancel) {
            ui.pressCancel = [](int redraw) { return redraw == 2; };
            ui.cancelAnswers = {true};
        }
        const RunResult result = CreatePages(ui, options());
        clsTextFile::SetWriteFailureInjector({});
        QCOMPARE(result.outcome, RunOutcome::WriteFailed);
        QCOMPARE(result.pagesWritten, 1);
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.questions.isEmpty());
        QVERIFY(!ui.messages[0].progressOpen);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY2(ui.messages[0].text.startsWith(u"61:"_s), qPrintable(ui.messages[0].text));
        QVERIFY(ui.messages[0].text.contains(u"3 行目（商品ID「G2」）"_s));
        QVERIFY(TestUtil::readFile(outputFolder() + u"/G1.html"_s).endsWith("</html>\r\n\r\n"));
        QVERIFY(!QFileInfo::exists(outputFolder() + u"/G3.html"_s));
        QVERIFY(!QFileInfo::exists(outputFolder() + u"/G4.html"_s));
        QCOMPARE(ui.waitCursor, false);
        QCOMPARE(ui.statusText, QString());
    }

    void unsafeNamesWriteNothingOutside_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("parent folder") << u"../escaped"_s;
        QTest::newRow("absolute") << u"/tmp/sorabi-escaped"_s;
        QTest::newRow("windows device") << u"CON"_s;
        QTest::newRow("question mark") << u"what?"_s;
        QTest::newRow("empty") << QString();
    }
    void unsafeNamesWriteNothingOutside()
    {
        QFETCH(QString, id);
        writeCsv({product(u"ok"_s), product(id)});
        RecordingUi ui;
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::LineFailed);
        QCOMPARE(pages(), QStringList{u"ok.html"_s});
        QVERIFY(!QFileInfo::exists(m_box.program + u"/escaped.html"_s));
        QVERIFY(!QFileInfo::exists(u"/tmp/sorabi-escaped.html"_s));
        QVERIFY(ui.messages[0].text.contains(u"3 行目"_s));
    }

    void folderOfTheSameSecondExists()
    {
        writeCsv({product(u"F1"_s)});
        QVERIFY(QDir().mkpath(outputFolder()));
        QVERIFY(TestUtil::writeFile(outputFolder() + u"/earlier.html"_s, "earlier"));
        RecordingUi ui;
        RunOptions o = options(); // a clock that stands still: every second is taken
        int waits = 0;
        o.wait = [&](int) { ++waits; };
        const RunResult result = CreatePages(ui, o);
        QCOMPARE(waits, 3);
        QCOMPARE(result.outcome, RunOutcome::FolderFailed);
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY(ui.messages[0].text.contains(u"20261206185626"_s));
        QCOMPARE(pages(), QStringList{u"earlier.html"_s});
        QCOMPARE(TestUtil::readFile(outputFolder() + u"/earlier.html"_s), "earlier"_ba);
        QVERIFY(ui.progressWindows.isEmpty());
        QCOMPARE(ui.waitCursor, false);
        QCOMPARE(ui.statusText, QString());
    }

    // A second run in the same second waits for the next second's name.
    void nextSecondWhenTheFolderIsTaken()
    {
        writeCsv({product(u"F1"_s)});
        QVERIFY(QDir().mkpath(outputFolder()));
        QDateTime clock = kRunTime.addMSecs(250);
        QList<int> waits;
        RunOptions o = options();
        o.now = [&] { return clock; };
        o.wait = [&](int ms) {
            waits.append(ms);
            clock = clock.addMSecs(ms);
        };
        RecordingUi ui;
        const RunResult result = CreatePages(ui, o);
        QCOMPARE(result.outcome, RunOutcome::Completed);
        QCOMPARE(result.outputFolder, m_box.program + u"/20261206185627"_s);
        QCOMPARE(waits, QList<int>{750});
    }

    void workingCopyChosenItself()
    {
        const QString copy = m_box.program + u"/articles.csv"_s;
        QVERIFY(TestUtil::writeFile(copy, TestData::csvFile({product(u"W"_s)}, QByteArray())));
        const QDateTime before = QFileInfo(copy).lastModified();
        RecordingUi ui;
        RunOptions o = options();
        o.csvPath = m_box.program + u"/./articles.csv"_s; // another spelling of the same file
        QTest::qWait(20);
        QCOMPARE(CreatePages(ui, o).outcome, RunOutcome::Completed);
        QCOMPARE(pages(), QStringList{u"W.html"_s});
        QCOMPARE(QFileInfo(copy).lastModified(), before);
        QCOMPARE(QDir(m_box.program).entryList(QDir::Files), QStringList{u"articles.csv"_s});
    }

    void workingCopyCannotBeMade()
    {
        writeCsv({product(u"X"_s)});
        RecordingUi ui;
        RunOptions o = options();
        o.workingCopyFolder = m_box.path(u"no-such-folder"_s);
        QCOMPARE(CreatePages(ui, o).outcome, RunOutcome::ReadFailed);
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY(ui.messages[0].text.contains(u"articles.csv"_s));
        QVERIFY(!QFileInfo::exists(outputFolder()));
        QCOMPARE(ui.waitCursor, false);
        QCOMPARE(ui.statusText, QString());
    }

    void settingsAreReadForEveryLine()
    {
        writeCsv({product(u"S1"_s), product(u"S2"_s)});
        RecordingUi ui;
        QStringList changed = TestData::testShop();
        changed[1] = u"新しい店名"_s;
        ui.pressCancel = [&](int redraw) {
            if (redraw == 1) // after line 1 was written, before line 2
                TestUtil::writeFile(m_box.ini, TestData::settingsFile(changed));
            return false;
        };
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::Completed);
        const QString first = TextCodec::DecodeShiftJis(TestUtil::readFile(outputFolder() + u"/S1.html"_s));
        const QString second = TextCodec::DecodeShiftJis(TestUtil::readFile(outputFolder() + u"/S2.html"_s));
        QVERIFY(first.contains(u">テスト店</h1>"_s));
        QVERIFY(second.contains(u">新しい店名</h1>"_s));
    }

    // A save from this process is seen even when size and time stamp match.
    void aSaveOfTheSameSizeIsSeen()
    {
        writeCsv({product(u"T1"_s), product(u"T2"_s)});
        const QDateTime stamp = QDateTime::currentDateTime().addSecs(-60);
        auto backdate = [&] {
            QFile file(m_box.ini);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(stamp, QFileDevice::FileModificationTime));
        };
        backdate();
        RecordingUi ui;
        ui.pressCancel = [&](int redraw) {
            if (redraw == 1) {
                clsOption option(m_box.ini);
                option.GetOptionIniValue();
                option.SetSiteName(u"テスト館"_s); // as many bytes as テスト店
                option.SetOptionIniValue();
                backdate();
            }
            return false;
        };
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::Completed);
        const QString first = TextCodec::DecodeShiftJis(TestUtil::readFile(outputFolder() + u"/T1.html"_s));
        const QString second = TextCodec::DecodeShiftJis(TestUtil::readFile(outputFolder() + u"/T2.html"_s));
        QVERIFY(first.contains(u">テスト店</h1>"_s));
        QVERIFY(second.contains(u">テスト館</h1>"_s));
    }

    void noNestedRun()
    {
        writeCsv({product(u"N1"_s)});
        RecordingUi ui;
        RecordingUi inner;
        RunOutcome nested = RunOutcome::Completed;
        ui.pressCancel = [&](int) {
            nested = CreatePages(inner, options()).outcome;
            return false;
        };
        QVERIFY(!IsRunInProgress());
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::Completed);
        QCOMPARE(nested, RunOutcome::Busy);
        QVERIFY(inner.messages.isEmpty());
        QVERIFY(!IsRunInProgress());
    }

    void utf8CsvKeepsEveryCharacter()
    {
        const QByteArray line = TestData::productLine(u"絵文字😀"_s.toUtf8(), {{1, u"笑顔😀の〜マグ"_s.toUtf8()}});
        QVERIFY(TestUtil::writeFile(m_box.csv, "\xEF\xBB\xBF"_ba + TestData::csvFile({line}, QByteArray())));
        RecordingUi ui;
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::Completed);
        QCOMPARE(pages(), QStringList{u"絵文字😀.html"_s});
        const QByteArray page = TestUtil::readFile(outputFolder() + u"/絵文字😀.html"_s);
        const QByteArray title = TextCodec::EncodeShiftJis(u"<title>笑顔"_s) + "&#x1F600;"
                                 + TextCodec::EncodeShiftJis(u"の"_s) + "&#x301C;"
                                 + TextCodec::EncodeShiftJis(u"マグ 通販</title>"_s);
        QVERIFY(page.contains(title));
    }

    // A file another program holds open (on Windows a sharing violation,
    // "70") names the file and says what to close.
    void heldOpenFileSaysWhichAndWhatToDo_data()
    {
        QTest::addColumn<QString>("file"); // "csv", "ini" or a page's name
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("hint");
        QTest::newRow("the CSV file") << u"csv"_s << int(RunOutcome::ReadFailed)
                                      << u"CSV ファイルが Excel などで開かれていないか確かめてください。"_s;
        QTest::newRow("the settings file") << u"ini"_s << int(RunOutcome::ReadFailed)
                                           << u"option.ini がメモ帳などほかのプログラムで開かれていないか"_s;
        QTest::newRow("a page file") << u"H2.html"_s << int(RunOutcome::WriteFailed)
                                     << u"このページのファイルがほかのプログラム"_s;
    }
    void heldOpenFileSaysWhichAndWhatToDo()
    {
        QFETCH(QString, file);
        QFETCH(int, outcome);
        QFETCH(QString, hint);
        writeCsv({product(u"H1"_s), product(u"H2"_s)});
        const QString path = file == u"csv"_s ? m_box.csv : file == u"ini"_s ? m_box.ini : outputFolder() + u'/' + file;
        const auto held = [path](const QString& p) {
            return QFileInfo(p).absoluteFilePath() == QFileInfo(path).absoluteFilePath()
                       ? int(clsTextFile::PermissionDenied) : 0;
        };
        clsTextFile::SetReadFailureInjector(held);
        clsTextFile::SetWriteFailureInjector(held);
        RecordingUi ui;
        const RunResult result = CreatePages(ui, options());
        clsTextFile::SetReadFailureInjector({});
        clsTextFile::SetWriteFailureInjector({});
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(ui.messages.size(), 1);
        const QString text = ui.messages[0].text;
        QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
        // The number and the system's text stay; the file and what to do are added.
        QVERIFY2(text.contains(u"70:アクセスが拒否されました。"_s), qPrintable(text));
        QVERIFY2(text.contains(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())), qPrintable(text));
        QVERIFY2(text.contains(hint), qPrintable(text));
        QCOMPARE(ui.waitCursor, false);
    }

    // Asked once before the run, not once per line; No makes nothing.
    void noShopIdIsAskedOnce_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::newRow("empty settings, go on") << QByteArray("[OPTION]\r\nSHOPID=\r\n") << true << true;
        QTest::newRow("blank shop ID, declined") << QByteArray("[OPTION]\r\nSHOPID=   \r\n") << false << true;
        QTest::newRow("no settings file") << QByteArray() << true << true;
        QTest::newRow("a shop ID") << QByteArray("[OPTION]\r\nSHOPID=shop1\r\n") << false << false;
    }
    void noShopIdIsAskedOnce()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        if (settings.isEmpty())
            QVERIFY(QFile::remove(m_box.ini));
        else
            QVERIFY(TestUtil::writeFile(m_box.ini, settings));
        writeCsv({product(u"S1"_s), product(u"S2"_s), product(u"S3"_s)});
        RecordingUi ui;
        ui.goOnWithoutShopId = answer;
        const RunResult result = CreatePages(ui, options());
        QCOMPARE(ui.shopIdQuestions, asked ? QStringList{MissingShopIdText()} : QStringList());
        if (asked && !answer) {
            QCOMPARE(result.outcome, RunOutcome::NoShopId);
            QVERIFY(ui.messages.isEmpty());
            QVERIFY(ui.progressWindows.isEmpty());
            QVERIFY(!QFileInfo::exists(outputFolder()));
            return;
        }
        QCOMPARE(result.outcome, RunOutcome::Completed);
        QCOMPARE(pages().size(), 3);
        if (asked)
            QVERIFY(TestUtil::readFile(outputFolder() + u"/S1.html"_s).contains("shop_id=&"));
    }

    // A settings file saved as UTF-8 (what the settings window offers for a
    // character Shift_JIS lacks) puts the character into the Shift_JIS page
    // as a reference, as a UTF-8 CSV does.
    void utf8SettingsKeepEveryCharacter_data()
    {
        QTest::addColumn<bool>("utf8Csv");
        QTest::newRow("Shift_JIS CSV") << false;
        QTest::newRow("UTF-8 CSV") << true;
    }
    void utf8SettingsKeepEveryCharacter()
    {
        QFETCH(bool, utf8Csv);
        QVERIFY(TestUtil::writeFile(m_box.ini, "\xEF\xBB\xBF"_ba + u"[OPTION]\r\nCATCHCOPY3=贈り物🎁\r\nSHOPID=shop1\r\n"_s.toUtf8()));
        const QByteArray line = TestData::productLine("U1", {{1, utf8Csv ? u"マグ😀"_s.toUtf8() : TextCodec::EncodeShiftJis(u"マグ"_s)}});
        QVERIFY(TestUtil::writeFile(m_box.csv, (utf8Csv ? "\xEF\xBB\xBF"_ba : QByteArray()) + TestData::csvFile({line})));
        RecordingUi ui;
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::Completed);
        const QByteArray page = TestUtil::readFile(outputFolder() + u"/U1.html"_s);
        const QByteArray gift = TextCodec::EncodeShiftJis(u"贈り物"_s);
        QVERIFY(page.contains(QByteArray(gift + "&#x1F381;")));
        QVERIFY(!page.contains(QByteArray(gift + "?")));
    }

    // The writer hands page buffers back for reuse, and queues pages up to a
    // size: short pages and pages of a few hundred KB in turn, over more
    // pages than it queues, must each be whole and only their own.
    void pagesOfChangingSizeStayWhole()
    {
        QByteArrayList lines;
        for (int i = 100; i < 400; ++i)
            lines.append(product(u"S%1"_s.arg(i), QString(i % 3 ? 2 : 40000, u'長') + u"名%1"_s.arg(i)));
        writeCsv(lines);
        RecordingUi ui;
        QCOMPARE(CreatePages(ui, options()).outcome, RunOutcome::Completed);
        QMap<bool, qsizetype> sizes;
        for (int i = 100; i < 400; ++i) {
            const QByteArray page = TestUtil::readFile(outputFolder() + u"/S%1.html"_s.arg(i));
            QVERIFY(page.endsWith("</html>\r\n\r\n"));
            QVERIFY(page.contains(TextCodec::EncodeShiftJis(u"名%1"_s.arg(i))));
            const qsizetype size = sizes.value(i % 3 != 0, page.size());
            QCOMPARE(page.size(), size);
            sizes.insert(i % 3 != 0, size);
        }
    }

    void completionCanNameTheFolder()
    {
        writeCsv({product(u"R"_s)});
        RecordingUi ui;
        RunOptions o = options();
        o.announceOutputFolder = true;
        QCOMPARE(CreatePages(ui, o).outcome, RunOutcome::Completed);
        QCOMPARE(ui.messageTexts(),
                 QStringList{u"ホームページを作成しました。\r\n\r\n保存先: "_s
                             + QDir::toNativeSeparators(outputFolder())});
    }

    void withoutWorkingCopy()
    {
        writeCsv({product(u"Q"_s)});
        RecordingUi ui;
        RunOptions o = options();
        o.workingCopyFolder.clear();
        QCOMPARE(CreatePages(ui, o).outcome, RunOutcome::Completed);
        QVERIFY(!QFileInfo::exists(m_box.program + u"/articles.csv"_s));
        QCOMPARE(pages(), QStringList{u"Q.html"_s});
    }
};

QTEST_GUILESS_MAIN(TestRun)
#include "tst_run.moc"
