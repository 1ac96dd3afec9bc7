// Hostile input and failing disks. Every case must end in a clear message or
// a sound page: no crash, no hang, nothing written outside the output folder,
// and nothing already written lost.

#include "base/clstextfile.h"
#include "generation/generationrun.h"
#include "base/textcodec.h"
#include "settings/basinifile.h"
#include "settings/clsoption.h"
#include "batchrunner.h"
#include "faultyfs.h"
#include "recordingui.h"
#include "runsandbox.h"
#include "testdata.h"
#include "testutil.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QRegularExpression>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString kDone = u"ホームページを作成しました。"_s;

QByteArray sjis(const QString& text)
{
    return TextCodec::EncodeShiftJis(text);
}

using TestData::csvFile;
using TestData::productLine;

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// The test shop's settings file with another site name and tax.
QByteArray settingsFile(const QString& siteName, const QString& tax = u"10"_s)
{
    return TestData::settingsFile(TestData::testShop(siteName, tax));
}

QByteArray siteNameInPage(const QByteArray& name)
{
    return "style=\"color: #000000;\">" + name + "</h1>";
}

bool makeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

// What is below a folder: per path its kind, size, time and (for files
// that are not huge) a hash of the content.
using Snapshot = QMap<QString, QByteArray>;

Snapshot snapshot(const QString& root)
{
    Snapshot entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray state = info.isSymLink() ? "link" : info.isDir() ? "dir" : info.isFile() ? "file" : "other";
        if (info.isFile() && !info.isSymLink()) {
            state += ' ' + QByteArray::number(info.size()) + ' '
                     + QByteArray::number(info.lastModified().toMSecsSinceEpoch());
            if (info.size() <= (4 << 20)) {
                state += ' '
                         + QCryptographicHash::hash(TestUtil::readFile(path), QCryptographicHash::Sha1)
                               .toHex();
            }
        }
        entries.insert(QDir(root).relativeFilePath(path), state);
    }
    return entries;
}

// A page as the run writes it: the whole template, then the extra line break.
bool isWholePage(const QString& path, qint64* size = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (size)
        *size = file.size();
    const QByteArray head = file.read(15);
    if (file.size() < 15 || !file.seek(file.size() - 11))
        return false;
    return head == "<!DOCTYPE HTML " && file.read(11) == "</html>\r\n\r\n";
}

// A user whose files change between the run's check of the CSV path and its
// reading of the file: the first thing the run does after the check is to
// show the wait cursor.
class UiThatMovesFiles : public RecordingUi
{
public:
    std::function<void()> onWaitCursor;
    void SetWaitCursor(bool wait) override
    {
        if (wait && onWaitCursor)
            std::exchange(onWaitCursor, nullptr)();
        RecordingUi::SetWaitCursor(wait);
    }
};

// Limits one resource of a new process as a shell's "ulimit" would leave it
// (for the file size, with the signal that ends a process at the limit back
// at its default).
using Resource = decltype(RLIMIT_FSIZE);

ProcessSetUp limitTo(Resource which, rlim_t value)
{
    return [which, value](QProcess& process) {
        process.setChildProcessModifier([which, value] {
            std::signal(SIGXFSZ, SIG_DFL);
            rlimit limit;
            ::getrlimit(which, &limit);
            limit.rlim_cur = value;
            ::setrlimit(which, &limit);
        });
    };
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

    RunSandbox m_box;

    // Runs and checks what every run must leave however it ends: nothing
    // changed outside the output folder but the working copy; the screen
    // restored; a message that says what happened; every page whole (the one
    // page whose write failed may be left empty, never cut off).
    RunResult run(RecordingUi& ui, const RunOptions& o, QString* problem,
                  const QStringList& changedByTest = {})
    {
        const Snapshot before = snapshot(m_box.root());
        const RunResult result = CreatePages(ui, o);
        const Snapshot after = snapshot(m_box.root());

        const QString folder = result.outputFolder.isEmpty()
                                   ? QString()
                                   : QDir(m_box.root()).relativeFilePath(result.outputFolder);
        const QString workingCopy =
            o.workingCopyFolder.isEmpty()
                ? QString()
                : QDir(m_box.root()).relativeFilePath(o.workingCopyFolder + u"/articles.csv"_s);
        // An unfinished run's marker stands beside its folder.
        const QString marker = result.outputFolder.isEmpty()
                                   ? QString()
                                   : QDir(m_box.root()).relativeFilePath(UnfinishedMarkerPath(result.outputFolder));
        QStringList changed;
        QStringList keys = before.keys() + after.keys();
        keys.removeDuplicates();
        for (const QString& key : keys) {
            const bool inFolder = !folder.isEmpty() && (key == folder || key.startsWith(folder + u'/'));
            if (inFolder || key == workingCopy || key == marker || changedByTest.contains(key))
                continue;
            if (before.value(key) != after.value(key))
                changed.append(key);
        }
        if (!changed.isEmpty())
            *problem = u"changed outside the output folder: "_s + changed.join(u", "_s);
        else if (!ui.cursorChanges.isEmpty() && (ui.waitCursor || !ui.statusText.isEmpty()))
            *problem = u"cursor or status text not restored"_s;
        else if (!ui.progressWindows.isEmpty() && !ui.progressWindows.last().closed)
            *problem = u"progress window left open"_s;
        else if (result.outcome == RunOutcome::Completed
                 && (ui.messages.isEmpty() || ui.messages.last().text != kDone))
            *problem = u"completion not reported"_s;
        else if (result.outcome != RunOutcome::Completed && result.outcome != RunOutcome::Cancelled
                 && (ui.messages.isEmpty() || ui.messages.last().text.trimmed().isEmpty()
                     || (ui.messages.last().icon != MessageIcon::Critical
                         && ui.messages.last().icon != MessageIcon::Exclamation)))
            *problem = u"failure without a message"_s;
        if (!problem->isEmpty() || result.outputFolder.isEmpty())
            return result;

        int empty = 0;
        for (const QString& name : RunSandbox::entries(result.outputFolder)) {
            const QString page = result.outputFolder + u'/' + name;
            if (QFileInfo(page).isFile() && QFileInfo(page).size() == 0
                && result.outcome == RunOutcome::WriteFailed && ++empty == 1)
                continue;
            if (QFileInfo(page).isFile() && !isWholePage(page))
                *problem = u"not a whole page: "_s + name;
        }
        return result;
    }

private:
    // A disk fills up either on a small file system of its own, where one can
    // be mounted, or under a limit on the file size, which needs no rights.
    static void fullDiskRows()
    {
        QTest::addColumn<bool>("smallFileSystem");
        QTest::newRow("small file system") << true;
        QTest::newRow("file size limit") << false;
    }
    // The folder "small", on a small file system if asked; false when none
    // can be mounted here.
    bool smallFolder(bool smallFileSystem, std::optional<FaultyFs::SmallFileSystem>& fs) const
    {
        const QString folder = m_box.path(u"small"_s);
        return QDir().mkpath(folder) && (!smallFileSystem || fs.emplace(folder, 64).mounted());
    }

private slots:
    void init()
    {
        QVERIFY(m_box.reset(settingsFile(u"テスト店"_s)));
        clsTextFile::SetWriteFailureInjector({});
    }
    void cleanup() { clsTextFile::SetWriteFailureInjector({}); }

    void hostileCsv_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<RunOutcome>("outcome");
        QTest::addColumn<QString>("message");    // part of the last message
        QTest::addColumn<QByteArray>("inPage");  // part of the page, when one is expected

        QTest::newRow("binary garbage")
            << randomBytes(1 << 20, 1) << RunOutcome::LineFailed << u"項目の数が足りません"_s << QByteArray();
        // Bytes from the characters that mean something to the reader, so
        // that lines do get sixteen fields and become pages.
        QByteArray meaningful(1 << 20, Qt::Uninitialized);
        QRandomGenerator random(2);
        static const char alphabet[] = ",,,,\"'<>csv0123456789x\r\n\x81\xFF";
        for (char& c : meaningful)
            c = alphabet[random.bounded(int(sizeof alphabet - 1))];
        QTest::newRow("garbage of commas, quotes and placeholders")
            << meaningful << RunOutcome::LineFailed << u"行目"_s << QByteArray();
        QTest::newRow("NUL bytes inside fields")
            << csvFile({productLine("N1", {{1, "a\0b"_ba}, {12, "\0\0\0"_ba}, {8, "19\0"_ba}})})
            << RunOutcome::Completed << kDone << "<title>a\0b "_ba;
        QTest::newRow("NUL byte in the first field")
            << csvFile({productLine("N\0"_ba)}) << RunOutcome::LineFailed << u"制御文字"_s << QByteArray();
        QTest::newRow("invalid Shift_JIS")
            << csvFile({productLine("SJ", {{1, "\xFF\xFE\x81"_ba}, {3, "\x82"_ba}, {12, "\x81\x20\xA0\xFD"_ba}})})
            << RunOutcome::Completed << kDone << "<title>\xFF\xFE\x81 "_ba;
        // Unreadable bytes read as a control character, which no file name takes.
        QTest::newRow("invalid Shift_JIS in the first field")
            << csvFile({productLine("Z\xFF\x81"_ba)}) << RunOutcome::LineFailed << u"2 行目"_s << QByteArray();
        QTest::newRow("invalid UTF-8 after a byte-order mark")
            << "\xEF\xBB\xBF"_ba + csvFile({productLine("U1", {{1, "\xC0\xAF\xED\xA0\x80"_ba}})})
            << RunOutcome::Completed << kDone << "&#xFFFD;"_ba;
        QByteArray wide = "W0";
        for (int i = 1; i < 40000; ++i)
            wide += ",1";
        QTest::newRow("a line of 40,000 fields")
            << csvFile({wide}) << RunOutcome::LineFailed << u"項目の数が多すぎます"_s << QByteArray();
        QTest::newRow("first field of 300 characters")
            << csvFile({productLine(QByteArray(300, 'a'))}) << RunOutcome::LineFailed << u"長すぎます"_s
            << QByteArray();
        QTest::newRow("first field of 86 Japanese characters (258 bytes as a file name)")
            << csvFile({productLine(sjis(QString(86, u'商')))}) << RunOutcome::LineFailed << u"長すぎます"_s
            << QByteArray();
        // Each field names the next a thousand times: a gigabyte page from
        // a few kilobytes of input.
        QByteArray chain;
        for (int i = 1; i <= 3; ++i)
            chain += QByteArray(",") + QByteArray("<csv" + QByteArray::number(i + 1) + '>').repeated(1000);
        QTest::newRow("placeholders that multiply")
            << csvFile({"M" + chain + ",f4,f5,f6,f7,1980,f9,f10,f11,f12,f13,1,1"}) << RunOutcome::LineFailed
            << u"ページが大きくなりすぎます"_s << QByteArray();
    }
    void hostileCsv()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(RunOutcome, outcome);
        QFETCH(QString, message);
        QFETCH(QByteArray, inPage);
        QVERIFY(TestUtil::writeFile(m_box.csv, bytes));
        RecordingUi ui;
        QString problem;
        const RunResult result = run(ui, m_box.options(), &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, outcome);
        QVERIFY2(ui.messages.last().text.contains(message), qPrintable(ui.messages.last().text));
        if (outcome == RunOutcome::Completed) {
            const QStringList written = RunSandbox::entries(m_box.outputFolder());
            QCOMPARE(written.size(), 1);
            QVERIFY(TestUtil::readFile(m_box.outputFolder() + u'/' + written[0]).contains(inPage));
        }
    }

    // "A" followed by a lone lead byte is another product than "A": it must
    // not lose that byte and end up appended to A's page.
    void loneLeadByteEndsTheFirstField()
    {
        QVERIFY(TestUtil::writeFile(m_box.csv, csvFile({productLine("A"), productLine("A\x81")})));
        RecordingUi ui;
        QString problem;
        const RunResult result = run(ui, m_box.options(), &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, RunOutcome::LineFailed);
        QVERIFY2(ui.messages.last().text.startsWith(u"3 行目"_s), qPrintable(ui.messages.last().text));
        QCOMPARE(RunSandbox::entries(m_box.outputFolder()), QStringList{u"A.html"_s});
        QCOMPARE(TestUtil::readFile(m_box.outputFolder() + u"/A.html"_s).count("<!DOCTYPE"), 1);
        QCOMPARE(TextCodec::DecodeShiftJis("A\x81"), u"A\x1A"_s);
        QCOMPARE(TextCodec::DecodeShiftJis("A\x81\x40"), u"A\u3000"_s);
    }

    void unsafePageNames_data()
    {
        QTest::addColumn<QByteArray>("id");
        for (const char* name :
             {"CON", "con.txt", "Lpt9", "aux ", "NUL", "COM1.backup", "..", ".", "...", "../outside",
              "../../outside", "a/b", "/tmp/sorabi-absolute", "a\\b", "..\\outside", "C:outside",
              "a*b", "a?b", "a\"b", "a|b", "tab\there", "del\x7F"})
            QTest::newRow(name) << QByteArray(name);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("256 bytes") << QByteArray(251, 'n');
    }
    void unsafePageNames()
    {
        QFETCH(QByteArray, id);
        QVERIFY(TestUtil::writeFile(m_box.csv, csvFile({productLine("ok"), productLine(id), productLine("after")})));
        RecordingUi ui;
        QString problem;
        const RunResult result = run(ui, m_box.options(), &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, RunOutcome::LineFailed);
        QVERIFY2(ui.messages.last().text.startsWith(u"3 行目"_s), qPrintable(ui.messages.last().text));
        QCOMPARE(RunSandbox::entries(m_box.outputFolder()), QStringList{u"ok.html"_s});
        QVERIFY(!QFileInfo::exists(u"/tmp/sorabi-absolute.html"_s));
    }

    // Fields 8 (price), 14 (picture) and 15 (image count) with numbers of
    // every odd kind: each gives its documented value or a clear failure.
    void numbers_data()
    {
        QTest::addColumn<QByteArray>("price");
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QByteArray>("images");
        QTest::addColumn<QByteArray>("tax");
        QTest::addColumn<QByteArray>("withTax");     // the tax-inclusive price shown
        QTest::addColumn<QByteArray>("pictureId");   // the 13-character picture identifier
        QTest::addColumn<int>("imageCount");
        QTest::addColumn<QString>("failure");        // part of the message; empty: a page
        const auto page = [](const char* name, const QByteArray& price, const QByteArray& picture,
                             const QByteArray& images, const QByteArray& tax, const QByteArray& withTax,
                             const QByteArray& pictureId, int imageCount) {
            QTest::newRow(name) << price << picture << images << tax << withTax << pictureId
                                << imageCount << QString();
        };
        const auto fails = [](const char* name, const QByteArray& price, const QByteArray& images,
                              const QByteArray& tax, const QString& failure) {
            QTest::newRow(name) << price << "1"_ba << images << tax << QByteArray() << QByteArray()
                                << 0 << failure;
        };
        page("digit-group commas", "\"1,980\"", "1", "1", "10", "2178", "0000000000001", 1);
        page("commas anywhere", "\"1,9,8,0\"", "1", "1", "10", "2178", "0000000000001", 1);
        page("negative price", "-1980", "1", "1", "10", "-2178", "0000000000001", 1);
        page("fractional price, half to even", "2.5", "1", "1", "100", "4", "0000000000001", 1);
        page("exponent price", "1.98e3", "1", "1", "10", "2178", "0000000000001", 1);
        page("price below any double", "1e-400", "1", "1", "10", "0", "0000000000001", 1);
        page("price with blanks", " 1980\t", "1", "1", "10", "2178", "0000000000001", 1);
        page("full-width price", sjis(u"１９８０"_s), "1", "1", "10", "", "0000000000001", 1);
        page("hexadecimal price", "0x10", "1", "1", "10", "", "0000000000001", 1);
        page("nan price", "nan", "1", "1", "10", "", "0000000000001", 1);
        page("largest product that fits", "21474836", "1", "1", "100", "42949672", "0000000000001", 1);
        page("exponent tax", "1000", "1", "1", "1e1", "1100", "0000000000001", 1);
        page("long picture keeps its end", "1", "12345678901234567", "1", "0", "1", "5678901234567", 1);
        page("huge picture", "1", QByteArray(100000, '7') + "123", "1", "0", "1", "7777777777123", 1);
        page("negative picture", "1", "-5", "1", "0", "1", "00000000000-5", 1);
        page("full-width picture", "1", sjis(u"１２３"_s), "1", "0", "1", sjis(u"0000000000１２３"_s), 1);
        page("three images", "1", "1", "3", "0", "1", "0000000000001", 3);
        page("images half to even", "1", "1", "2.5", "0", "1", "0000000000001", 2);
        page("images 3.5", "1", "1", "3.5", "0", "1", "0000000000001", 4);
        page("negative images", "1", "1", "-4", "0", "1", "0000000000001", 1);
        page("exponent images", "1", "1", "2e1", "0", "1", "0000000000001", 20);
        page("images then text", "1", "1", " 3abc", "0", "1", "0000000000001", 3);
        page("full-width images", "1", "1", sjis(u"３"_s), "0", "1", "0000000000001", 1);
        page("a thousand images", "1", "1", "1000", "0", "1", "0000000000001", 1000);
        fails("product beyond 32 bits", "21474837", "1", "100", u"税込価格を計算できません"_s);
        fails("huge price", "99999999999999999999", "1", "10", u"税込価格を計算できません"_s);
        fails("price beyond a double", "1e400", "1", "10", u"税込価格を計算できません"_s);
        fails("huge tax", "1", "1", "1e10", u"税込価格を計算できません"_s);
        fails("more images than a page takes", "1", "1001", "0", u"1000 枚まで"_s);
        fails("images beyond 32 bits", "1", "9999999999", "0", u"大きすぎます"_s);
        fails("images beyond a double", "1", "1e400", "0", u"大きすぎます"_s);
    }
    void numbers()
    {
        QFETCH(QByteArray, price);
        QFETCH(QByteArray, picture);
        QFETCH(QByteArray, images);
        QFETCH(QByteArray, tax);
        QFETCH(QByteArray, withTax);
        QFETCH(QByteArray, pictureId);
        QFETCH(int, imageCount);
        QFETCH(QString, failure);
        QVERIFY(TestUtil::writeFile(m_box.ini, settingsFile(u"shop"_s, QString::fromLatin1(tax))));
        QVERIFY(TestUtil::writeFile(
            m_box.csv, csvFile({productLine("P", {{8, price}, {14, picture}, {15, images}})})));
        RecordingUi ui;
        QString problem;
        const RunResult result = run(ui, m_box.options(), &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        if (!failure.isEmpty()) {
            QCOMPARE(result.outcome, RunOutcome::LineFailed);
            QVERIFY2(ui.messages.last().text.contains(failure), qPrintable(ui.messages.last().text));
            QVERIFY(RunSandbox::entries(m_box.outputFolder()).isEmpty());
            return;
        }
        QCOMPARE(result.outcome, RunOutcome::Completed);
        const QByteArray page = TestUtil::readFile(m_box.outputFolder() + u"/P.html"_s);
        QVERIFY(page.contains(QByteArray("(" + withTax + sjis(u"円 [税込])"_s))));
        QVERIFY(page.contains(QByteArray("/item_image/" + pictureId + "/1/l.jpg\"")));
        QCOMPARE(page.count("/l.jpg\""), imageCount);
    }

    void bigLines_data()
    {
        QTest::addColumn<bool>("withFields");
        QTest::newRow("100 MB description") << true;
        QTest::newRow("100 MB without a comma") << false;
    }
    void bigLines()
    {
        QFETCH(bool, withFields);
        {
            // Made here, never kept: the file is as large as its line.
            QByteArray line = withFields ? productLine("BIG", {{12, QByteArray(100 << 20, 'd')}})
                                         : QByteArray(100 << 20, 'x');
            QVERIFY(TestUtil::writeFile(m_box.csv, "ID,name\r\n" + line));
        }
        RecordingUi ui;
        QString problem;
        const RunResult result = run(ui, m_box.options(), &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        if (!withFields) {
            QCOMPARE(result.outcome, RunOutcome::LineFailed);
            QVERIFY(ui.messages.last().text.contains(u"項目の数が足りません"_s));
            return;
        }
        QCOMPARE(result.outcome, RunOutcome::Completed);
        qint64 size = 0;
        QVERIFY(isWholePage(m_box.outputFolder() + u"/BIG.html"_s, &size));
        QVERIFY(size > (100 << 20));
    }

    void millionBlankLines()
    {
        QVERIFY(TestUtil::writeFile(m_box.csv, "ID,name\r\n" + QByteArray("\r\n").repeated(1000000) + productLine("L")));
        RecordingUi ui;
        QString problem;
        const RunResult result = run(ui, m_box.options(), &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, RunOutcome::Completed);
        QCOMPARE(RunSandbox::entries(m_box.outputFolder()), QStringList{u"L.html"_s});
        QCOMPARE(ui.progressWindows[0].messages.last(), u"1000001 / 1000001"_s);
    }

    // The run reads the settings for every line and never writes them: a
    // settings file it cannot use reads as empty values, silently.
    void hostileSettingsFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("siteName"); // as the page must show it
        QTest::newRow("a folder") << u"folder"_s << QByteArray();
        QTest::newRow("a FIFO") << u"fifo"_s << QByteArray();
        QTest::newRow("in a missing folder") << u"missing"_s << QByteArray();
        QTest::newRow("binary") << u"binary"_s << QByteArray();
        QTest::newRow("binary, then the section") << u"binary+section"_s << "after"_ba;
        QTest::newRow("10 MB") << u"10MB"_s << "far"_ba;
        QTest::newRow("100 KB value") << u"100KB"_s << QByteArray(100 << 10, 'v');
    }
    void hostileSettingsFile()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, siteName);
        RunOptions o = m_box.options();
        QFile::remove(m_box.ini);
        if (kind == u"folder")
            QVERIFY(QDir().mkpath(m_box.ini + u"/inside"_s));
        else if (kind == u"fifo")
            QVERIFY(makeFifo(m_box.ini));
        else if (kind == u"missing")
            o.settingsPath = m_box.path(u"none/option.ini"_s);
        else if (kind == u"binary")
            QVERIFY(TestUtil::writeFile(m_box.ini, randomBytes(64 << 10, 3)));
        else if (kind == u"binary+section")
            QVERIFY(TestUtil::writeFile(m_box.ini, randomBytes(64 << 10, 3) + "\r\n" + settingsFile(u"after"_s)));
        else if (kind == u"10MB")
            QVERIFY(TestUtil::writeFile(m_box.ini, "x=y\r\n"_ba.repeated(2 << 20) + settingsFile(u"far"_s)));
        else
            QVERIFY(TestUtil::writeFile(m_box.ini, settingsFile(QString::fromLatin1(siteName))));
        QVERIFY(TestUtil::writeFile(m_box.csv, csvFile({productLine("S1"), productLine("S2")})));
        RecordingUi ui;
        QString problem;
        const RunResult result = run(ui, o, &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, RunOutcome::Completed);
        QCOMPARE(RunSandbox::entries(m_box.outputFolder()), (QStringList{u"S1.html"_s, u"S2.html"_s}));
        QVERIFY(TestUtil::readFile(m_box.outputFolder() + u"/S2.html"_s).contains(siteNameInPage(siteName)));
    }

    // Saving settings into what is there: either the file ends up with the
    // new values (and every line it had), or it is left exactly as it was.
    void hostileSettingsSave_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("saved");
        QTest::newRow("a folder") << u"folder"_s << false;
        QTest::newRow("a FIFO") << u"fifo"_s << false;
        QTest::newRow("in a missing folder") << u"missing"_s << false;
        QTest::newRow("name too long") << u"long"_s << false;
        QTest::newRow("binary") << u"binary"_s << true;
        QTest::newRow("10 MB") << u"10MB"_s << true;
        QTest::newRow("100 KB value") << u"100KB"_s << true;
    }
    void hostileSettingsSave()
    {
        QFETCH(QString, kind);
        QFETCH(bool, saved);
        QString ini = m_box.ini;
        QByteArray old;
        QFile::remove(m_box.ini);
        if (kind == u"folder")
            QVERIFY(QDir().mkpath(m_box.ini + u"/inside"_s));
        else if (kind == u"fifo")
            QVERIFY(makeFifo(m_box.ini));
        else if (kind == u"missing")
            ini = m_box.path(u"none/option.ini"_s);
        else if (kind == u"long")
            ini = m_box.path(QString(300, u'n'));
        else if (kind == u"binary")
            old = randomBytes(64 << 10, 4);
        else if (kind == u"10MB")
            old = "x=y\r\n"_ba.repeated(2 << 20) + settingsFile(u"old"_s);
        else
            old = settingsFile(u"old"_s);
        if (!old.isEmpty())
            QVERIFY(TestUtil::writeFile(ini, old));
        const Snapshot before = snapshot(m_box.root());

        const QString siteName = kind == u"100KB" ? QString(100 << 10, u'店') : u"新しい店"_s;
        clsOption option(ini);
        option.SetSiteName(siteName);
        option.SetTax(u"8"_s);
        QCOMPARE(option.SetOptionIniValue(), saved);
        if (!saved) {
            QCOMPARE(snapshot(m_box.root()), before);
            return;
        }
        const QByteArray now = TestUtil::readFile(ini);
        if (kind == u"binary")
            QVERIFY(now.startsWith(old));
        clsOption reread(ini);
        reread.GetOptionIniValue();
        QCOMPARE(reread.SiteName(), siteName);
        QCOMPARE(reread.Tax(), u"8"_s);
        QCOMPARE(QDir(m_box.root()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(ini).fileName()});
    }

    void settingsSaveOnFullDisk_data() { fullDiskRows(); }
    void settingsSaveOnFullDisk()
    {
        QFETCH(bool, smallFileSystem);
        const QString folder = m_box.path(u"small"_s);
        std::optional<FaultyFs::SmallFileSystem> fs;
        if (!smallFolder(smallFileSystem, fs))
            QSKIP("cannot mount a tmpfs here; the file size limit stands in for it");
        const QString ini = folder + u"/option.ini"_s;
        const QByteArray old = settingsFile(u"古い店"_s);
        QVERIFY(TestUtil::writeFile(ini, old));

        clsOption option(ini);
        option.GetOptionIniValue();
        option.SetCatchCopy1(QString(200 << 10, u'x')); // far more than there is room for
        bool saved = true;
        {
            std::optional<FaultyFs::FileSizeLimit> limit;
            if (!smallFileSystem) {
                limit.emplace(64 << 10);
                QVERIFY(limit->active());
            }
            saved = option.SetOptionIniValue();
        }
        QVERIFY(!saved);
        QCOMPARE(TestUtil::readFile(ini), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"option.ini"_s});
    }

    void hostileCsvPath_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<RunOutcome>("outcome");
        QTest::addColumn<QString>("message");
        const QString invalid = u"CSVファイルに指定したパスは無効です。"_s;
        const QString notFound = u"CSVファイルが見つかりません。"_s;
        QTest::newRow("a folder") << u"folder"_s << RunOutcome::InvalidPath << invalid;
        QTest::newRow("a FIFO") << u"fifo"_s << RunOutcome::InvalidPath << invalid;
        QTest::newRow("in a missing folder") << u"missing"_s << RunOutcome::InvalidPath << invalid;
        QTest::newRow("name too long") << u"long"_s << RunOutcome::InvalidPath << invalid;
        QTest::newRow("below a file") << u"below"_s << RunOutcome::InvalidPath << invalid;
        QTest::newRow("vanishes after the check") << u"vanish"_s << RunOutcome::ReadFailed << notFound;
        QTest::newRow("becomes a folder after the check") << u"to folder"_s << RunOutcome::ReadFailed << notFound;
        QTest::newRow("becomes a FIFO after the check") << u"to fifo"_s << RunOutcome::ReadFailed << notFound;
        QTest::newRow("emptied after the check") << u"emptied"_s << RunOutcome::Completed << kDone;
    }
    void hostileCsvPath()
    {
        QFETCH(QString, kind);
        QFETCH(RunOutcome, outcome);
        QFETCH(QString, message);
        QVERIFY(TestUtil::writeFile(m_box.csv, csvFile({productLine("C")})));
        RunOptions o = m_box.options();
        UiThatMovesFiles ui;
        if (kind == u"folder") {
            o.csvPath = m_box.path(u"folder.csv"_s);
            QVERIFY(QDir().mkpath(o.csvPath));
        } else if (kind == u"fifo") {
            o.csvPath = m_box.path(u"fifo.csv"_s);
            QVERIFY(makeFifo(o.csvPath));
        } else if (kind == u"missing") {
            o.csvPath = m_box.path(u"none/products.csv"_s);
        } else if (kind == u"long") {
            o.csvPath = m_box.path(QString(300, u'c') + u".csv"_s);
        } else if (kind == u"below") {
            o.csvPath = m_box.csv + u"/products.csv"_s;
        } else {
            const QString csv = m_box.csv;
            ui.onWaitCursor = [kind, csv] {
                QFile::remove(csv);
                if (kind == u"to folder")
                    QDir().mkpath(csv);
                else if (kind == u"to fifo")
                    makeFifo(csv);
                else if (kind == u"emptied")
                    TestUtil::writeFile(csv, QByteArray());
            };
        }
        QString problem;
        const RunResult result = run(ui, o, &problem, {QFileInfo(m_box.csv).fileName()});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(ui.messages.last().text, message);
        QVERIFY(!QFileInfo::exists(m_box.outputFolder()) || outcome == RunOutcome::Completed);
    }

    // A FIFO takes the file's place between the check that the file exists
    // and its opening, again and again: reading and appending must never
    // block on it.
    void fileTurnsIntoAFifo_data()
    {
        QTest::addColumn<QString>("use");
        QTest::newRow("read") << u"read"_s;
        QTest::newRow("append") << u"append"_s;
        QTest::newRow("settings read") << u"settings"_s;
    }
    void fileTurnsIntoAFifo()
    {
        QFETCH(QString, use);
        const bool append = use == u"append";
        const QByteArray target = QFile::encodeName(m_box.path(u"flip.csv"_s));
        const QByteArray file = QFile::encodeName(m_box.path(u"file"_s));
        const QByteArray fifo = QFile::encodeName(m_box.path(u"fifo"_s));
        const QByteArray spare = QFile::encodeName(m_box.path(u"spare"_s));
        QVERIFY(TestUtil::writeFile(m_box.path(u"file"_s), csvFile({productLine("F")})));
        QVERIFY(makeFifo(m_box.path(u"fifo"_s)));
        QVERIFY(::link(file.constData(), target.constData()) == 0);

        std::atomic<bool> stop{false};
        std::thread flipper([&] {
            while (!stop) {
                ::link(fifo.constData(), spare.constData());
                ::rename(spare.constData(), target.constData());
                ::link(file.constData(), spare.constData());
                ::rename(spare.constData(), target.constData());
            }
        });
        std::atomic<bool> done{false};
        std::thread user([&] {
            clsTextFile text;
            QByteArray bytes;
            QDeadlineTimer stopAt(1000);
            while (!stopAt.hasExpired()) {
                if (append)
                    text.WriteBytes(QFile::decodeName(target), "y");
                else if (use == u"settings")
                    basIniFile::ReadFileBytes(QFile::decodeName(target), &bytes);
                else
                    text.ReadBytes(QFile::decodeName(target), bytes);
            }
            done = true;
        });
        QDeadlineTimer deadline(10000);
        while (!done && !deadline.hasExpired())
            QThread::msleep(10);
        const bool blocked = !done;
        stop = true;
        flipper.join();
        // Free a blocked opening with the other end of the FIFO: a reader sees
        // the end of it at once; a writer needs its reader until it is done.
        int otherEnd = -1;
        if (blocked)
            otherEnd = ::open(fifo.constData(), (append ? O_RDONLY : O_WRONLY) | O_NONBLOCK);
        if (otherEnd >= 0 && !append)
            otherEnd = (::close(otherEnd), -1);
        QDeadlineTimer released(10000);
        while (!done && !released.hasExpired())
            QThread::msleep(10);
        if (otherEnd >= 0)
            ::close(otherEnd);
        if (done)
            user.join();
        else
            user.detach();
        QVERIFY2(!blocked, "blocked on a FIFO that took the file's place");
    }

    void hostileOutputParent_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << u"missing"_s;
        QTest::newRow("a file") << u"file"_s;
        QTest::newRow("name too long") << u"long"_s;
    }
    void hostileOutputParent()
    {
        QFETCH(QString, kind);
        QVERIFY(TestUtil::writeFile(m_box.csv, csvFile({productLine("O")})));
        RunOptions o = m_box.options();
        if (kind == u"missing") {
            o.outputParentFolder = m_box.path(u"none/deeper"_s);
        } else if (kind == u"file") {
            o.outputParentFolder = m_box.path(u"plain"_s);
            QVERIFY(TestUtil::writeFile(o.outputParentFolder, "plain"));
        } else {
            o.outputParentFolder = m_box.path(QString(260, u'o'));
        }
        RecordingUi ui;
        QString problem;
        const RunResult result = run(ui, o, &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, RunOutcome::FolderFailed);
        QVERIFY(ui.messages.last().text.contains(kRunFolderName));
    }

    // Something stands where the second page goes, put there during the run.
    void pagePathTaken_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder") << u"folder"_s;
        QTest::newRow("a FIFO") << u"fifo"_s;
        QTest::newRow("a link to nowhere") << u"dangling"_s;
    }
    void pagePathTaken()
    {
        QFETCH(QString, kind);
        QVERIFY(TestUtil::writeFile(m_box.csv, csvFile({productLine("A"), productLine("B"), productLine("C")})));
        RecordingUi ui;
        const QString taken = m_box.outputFolder() + u"/B.html"_s;
        ui.pressCancel = [&](int redraw) {
            if (redraw == 1) {
                if (kind == u"folder")
                    QDir().mkpath(taken);
                else if (kind == u"fifo")
                    makeFifo(taken);
                else
                    QFile::link(m_box.path(u"none/target.html"_s), taken);
            }
            return false;
        };
        QString problem;
        const RunResult result = run(ui, m_box.options(), &problem);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, RunOutcome::WriteFailed);
        QVERIFY2(ui.messages.last().text.startsWith(u"75:"_s), qPrintable(ui.messages.last().text));
        QVERIFY(ui.messages.last().text.contains(u"B.html"_s));
        QCOMPARE(result.pagesWritten, 1);
        QVERIFY(isWholePage(m_box.outputFolder() + u"/A.html"_s));
        QVERIFY(!QFileInfo::exists(m_box.outputFolder() + u"/C.html"_s));
        QVERIFY(!QFileInfo::exists(m_box.path(u"none"_s)));
    }

    // The disk fills up during a run: the run stops with the failure, the
    // pages before it are whole and byte for byte what a roomy disk gets,
    // and the page that did not fit is left empty, not cut off.
    void outputOnFullDisk_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("small file system") << u"tmpfs"_s;
        QTest::newRow("file size limit") << u"limit"_s;
        QTest::newRow("file size limit, repeated ID") << u"limit, repeated"_s;
    }
    void outputOnFullDisk()
    {
        QFETCH(QString, fault);
        const bool repeated = fault.contains(u"repeated"_s);
        QByteArrayList lines;
        for (int i = 0; i < 40; ++i) {
            const QByteArray id = "P" + QByteArray::number(repeated && i == 3 ? 2 : i);
            // The fourth page is too large for the file size limit.
            const QByteArray text = QByteArray(i == 3 ? 200000 : 8000, char('a' + i % 26));
            lines.append(productLine(id, {{12, text}}));
        }
        QVERIFY(TestUtil::writeFile(m_box.csv, csvFile(lines)));

        // What the pages are on a roomy disk.
        RecordingUi reference;
        RunOptions roomy = m_box.options();
        roomy.outputParentFolder = m_box.path(u"roomy"_s);
        QVERIFY(QDir().mkpath(roomy.outputParentFolder));
        // A repeated ID stops the run at its second line, before the page
        // that does not fit; nothing is ever appended to the first page.
        QCOMPARE(CreatePages(reference, roomy).outcome,
                 repeated ? RunOutcome::LineFailed : RunOutcome::Completed);
        const QString roomyFolder = roomy.outputParentFolder + u'/' + kRunFolderName;

        const QString small = m_box.path(u"small"_s);
        QVERIFY(QDir().mkpath(small));
        std::optional<FaultyFs::SmallFileSystem> fs;
        if (fault == u"tmpfs")
            fs.emplace(small, 128);
        RunOptions o = m_box.options();
        o.workingCopyFolder.clear(); // the working copy alone is beyond the limit
        o.outputParentFolder = small;
        std::optional<FaultyFs::FileSizeLimit> limit;
        bool simulated = false;
        if (fault == u"tmpfs" && !fs->mounted()) {
            // No mounting here: the page writes fail as on a full disk.
            simulated = true;
            clsTextFile::SetWriteFailureInjector([](const QString& page) {
                return page.endsWith(u"/P9.html"_s) ? int(clsTextFile::DiskFull) : 0;
            });
        } else if (fault != u"tmpfs") {
            limit.emplace(100000);
            QVERIFY(limit->active());
        }
        RecordingUi ui;
        QString problem;
        const RunResult result = run(ui, o, &problem);
        limit.reset();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, repeated ? RunOutcome::LineFailed : RunOutcome::WriteFailed);
        QVERIFY2(ui.messages.last().text.contains(repeated ? u"重複"_s : u"61:"_s),
                 qPrintable(ui.messages.last().text));
        // The fourth page is the first that does not fit.
        QCOMPARE(result.pagesWritten, simulated ? 9 : 3);

        const QString folder = small + u'/' + kRunFolderName;
        const QStringList written = RunSandbox::entries(folder);
        QCOMPARE(written.size(), result.pagesWritten + (repeated ? 0 : 1));
        int empty = 0;
        for (const QString& name : written) {
            const QByteArray page = TestUtil::readFile(folder + u'/' + name);
            if (page.isEmpty()) {
                ++empty;
                continue;
            }
            if (repeated && name == u"P2.html"_s) // its second page did not fit
                QCOMPARE(page, TestUtil::readFile(roomyFolder + u"/P2.html"_s).first(page.size()));
            else
                QCOMPARE(page, TestUtil::readFile(roomyFolder + u'/' + name));
        }
        QCOMPARE(empty, repeated ? 0 : 1);
        if (repeated) {
            // The file holds its first page whole, and nothing of the second.
            QVERIFY(isWholePage(folder + u"/P2.html"_s));
            QCOMPARE(TestUtil::readFile(folder + u"/P2.html"_s).count("<!DOCTYPE"), 1);
        }
    }

    void workingCopyOnFullDisk_data() { fullDiskRows(); }
    void workingCopyOnFullDisk()
    {
        QFETCH(bool, smallFileSystem);
        const QString small = m_box.path(u"small"_s);
        std::optional<FaultyFs::SmallFileSystem> fs;
        if (!smallFolder(smallFileSystem, fs))
            QSKIP("cannot mount a tmpfs here; the file size limit stands in for it");
        QVERIFY(TestUtil::writeFile(small + u"/articles.csv"_s, csvFile({productLine("OLD")})));
        QVERIFY(TestUtil::writeFile(m_box.csv, csvFile({productLine("NEW", {{12, QByteArray(200000, 'n')}})})));
        RunOptions o = m_box.options();
        o.workingCopyFolder = small;
        RecordingUi ui;
        QString problem;
        RunResult result;
        {
            std::optional<FaultyFs::FileSizeLimit> limit;
            if (!smallFileSystem)
                limit.emplace(64 << 10);
            result = run(ui, o, &problem);
        }
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.outcome, RunOutcome::ReadFailed);
        QVERIFY(ui.messages.last().text.contains(u"articles.csv"_s));
        // The working copy is scratch that every run overwrites; what matters
        // is that the run stops before any page and leaves nothing else.
        QCOMPARE(QDir(small).entryList(QDir::Files | QDir::Hidden), QStringList{u"articles.csv"_s});
        QVERIFY(!QFileInfo::exists(m_box.outputFolder()));
    }

    // The headless front end on the same kinds of input: a message and an
    // exit status, never a signal.
    void batch_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("binary garbage") << u"garbage"_s << 1 << u"項目の数が足りません"_s;
        QTest::newRow("a FIFO as the CSV") << u"fifo"_s << 1 << u"無効です"_s;
        QTest::newRow("output folder below a file") << u"below file"_s << 1 << u"作成できませんでした"_s;
        QTest::newRow("settings are a folder") << u"settings folder"_s << 2 << u"option.ini」が見つからない"_s;
        QTest::newRow("page beyond the file size limit") << u"limit"_s << 1 << u"61:"_s;
        // Columns the template never shows, whose placeholders multiply each
        // other: the page is small, so building it must take little memory.
        QTest::newRow("unused columns whose placeholders multiply") << u"multiply"_s << 0 << kDone;
        // Thirty thousand placeholders, and a lone "<" that could join a
        // placeholder across a value's edge: a page of a few hundred
        // kilobytes must not take minutes.
        QTest::newRow("thousands of placeholders and an open tail") << u"passes"_s << 0 << kDone;
    }
    void batch()
    {
        QFETCH(QString, kind);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QString csv = m_box.csv;
        QString output = m_box.program;
        QString ini = m_box.ini;
        ProcessSetUp limit;
        QVERIFY(TestUtil::writeFile(m_box.csv, csvFile({productLine("B1"), productLine("B2", {{12, QByteArray(300000, 'b')}})})));
        if (kind == u"garbage") {
            QVERIFY(TestUtil::writeFile(m_box.csv, randomBytes(1 << 20, 5)));
        } else if (kind == u"fifo") {
            csv = m_box.path(u"fifo.csv"_s);
            QVERIFY(makeFifo(csv));
        } else if (kind == u"below file") {
            output = m_box.csv + u"/out"_s;
        } else if (kind == u"settings folder") {
            QFile::remove(m_box.ini);
            QVERIFY(QDir().mkpath(m_box.ini));
        } else if (kind == u"limit") {
            limit = limitTo(RLIMIT_FSIZE, 200000);
        } else if (kind == u"passes") {
            QByteArrayList fields;
            QByteArray many;
            for (int i = 17; i < 32017; ++i) {
                many += "<csv" + QByteArray::number(i) + '>';
                fields.append("v");
            }
            fields.prepend(many);
            QVERIFY(TestUtil::writeFile(
                m_box.csv, csvFile({productLine("B1", {{1, "<csv16>"}, {2, "<"}}) + ',' + fields.join(',')})));
            limit = limitTo(RLIMIT_CPU, 20); // seconds; the page takes a fraction of one
        } else {
#ifdef __SANITIZE_ADDRESS__
            QSKIP("AddressSanitizer needs more address space than the limit leaves");
#endif
            // 24 columns of 200 MB each once expanded; 1 GB of address space
            // is ample for the real page.
            QByteArrayList fields;
            for (int i = 16; i < 40; ++i)
                fields.append("<csv40>"_ba.repeated(2000));
            fields.append(QByteArray(100000, 'x'));
            QVERIFY(TestUtil::writeFile(m_box.csv, csvFile({productLine("B1") + ',' + fields.join(',')})));
            limit = limitTo(RLIMIT_AS, rlim_t(1) << 30);
        }
        const Snapshot before = snapshot(m_box.root());
        const ProgramResult outcome =
            runBatch({u"--settings"_s, ini, u"--output-dir"_s, output, csv}, QString(), limit);
        QVERIFY2(outcome.exitedNormally, qPrintable(u"ended by a signal (a crash, or the time or memory limit): "_s + outcome.err));
        QCOMPARE(outcome.exitCode, exitCode);
        QVERIFY2(outcome.err.contains(message), qPrintable(outcome.err));
        Snapshot after = snapshot(m_box.root());
        static const QRegularExpression outputFolder(u"^program/\\d{14}(/|$|\\.incomplete$)"_s);
        for (const QString& key : after.keys()) {
            if (outputFolder.match(key).hasMatch())
                after.remove(key); // the output folder, its pages and an unfinished run's marker
        }
        QCOMPARE(after, before);
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
