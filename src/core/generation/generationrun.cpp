#include "generation/generationrun.h"

#include "base/basfile.h"
#include "base/clstextfile.h"
#include "base/textcodec.h"
#include "generation/bascsv.h"
#include "generation/csvlines.h"
#include "generation/filltemplate.h"
#include "generation/listpages.h"
#include "generation/pagefiller.h"
#include "generation/pagename.h"
#include "generation/pagewriter.h"
#include "generation/runui.h"
#include "settings/basinifile.h"
#include "settings/clsoption.h"
#include "settings/siteurl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <functional>
#include <optional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A second run in the same second waits for the next one; a few tries at most.
constexpr int MaxFolderAttempts = 4;

bool g_running = false;

class RunningFlag
{
public:
    RunningFlag() { g_running = true; }
    ~RunningFlag() { g_running = false; }
};

// The cursor, status text and progress window as a run leaves them however
// it ends.
class RunScreen
{
public:
    explicit RunScreen(RunUi& ui) : m_ui(ui) {}
    ~RunScreen() { Restore(); }

    void Start()
    {
        m_ui.SetWaitCursor(true);
        m_started = true;
    }
    ProgressView& OpenProgress()
    {
        m_progress = m_ui.CreateProgress();
        return *m_progress;
    }
    void CloseProgress()
    {
        if (m_progress) {
            m_progress->Close();
            m_progress.reset();
        }
    }
    void Restore()
    {
        CloseProgress();
        if (m_started) {
            m_ui.SetWaitCursor(false);
            m_ui.SetStatusText(QString());
            m_started = false;
        }
    }

private:
    RunUi& m_ui;
    std::unique_ptr<ProgressView> m_progress;
    bool m_started = false;
};

bool samePath(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// The run's messages while a line is filled: when a page handed to the
// writer earlier has failed, that failure is reported instead, once the
// writer has stopped.
class WriterFirstUi : public RunUi
{
public:
    WriterFirstUi(RunUi& ui, std::function<bool()> writeFailed)
        : m_ui(ui), m_writeFailed(std::move(writeFailed))
    {
    }
    bool WriteFailed() const { return m_failed; }

    void ShowMessage(const QString& text, MessageIcon icon) override
    {
        if (!m_failed && !(m_failed = m_writeFailed()))
            m_ui.ShowMessage(text, icon);
    }
    bool AskCancel(const QString& question) override { return m_ui.AskCancel(question); }
    bool AskGoOnWithoutShopId(const QString& text) override { return m_ui.AskGoOnWithoutShopId(text); }
    void SetWaitCursor(bool wait) override { m_ui.SetWaitCursor(wait); }
    void SetStatusText(const QString& text) override { m_ui.SetStatusText(text); }
    std::unique_ptr<ProgressView> CreateProgress() override { return m_ui.CreateProgress(); }

private:
    RunUi& m_ui;
    std::function<bool()> m_writeFailed;
    bool m_failed = false;
};

QString articleIdOf(const CsvLineList& lines, int index)
{
    const QList<QByteArrayView> fields = basCsv::SplitCsvLine(lines.line(index));
    return fields.isEmpty() ? QString() : TextCodec::Decode(fields[0], lines.encoding());
}

// The settings as the run starts: false when the file is there but cannot
// be read (the user has been told), as pages without the shop's settings
// would look made and be wrong.
bool readSettingsAtStart(RunUi& ui, const QString& path, QByteArray& bytes)
{
    if (path.isEmpty() || !basFile::IsFileExists(path))
        return true;
    clsTextFile file;
    if (file.ReadBytes(path, bytes))
        return true;
    QString text = u"設定ファイル「%1」を読み込めませんでした。\r\n\r\n%2"_s.arg(
        QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), file.Message());
    if (clsTextFile::MayBeHeldOpen(file.Message()))
        text += u"\r\n\r\noption.ini がメモ帳などほかのプログラムで開かれていないか確かめてください。"
                u"開かれていたら閉じてから、もう一度作成してください。"_s;
    ui.ShowMessage(text, MessageIcon::Critical);
    return false;
}

bool isBlankLine(QByteArrayView line)
{
    for (char c : line) {
        if (c != ' ')
            return false;
    }
    return true;
}

} // namespace

QString DuplicateMessage(const QString& firstId, qsizetype firstLine, const QString& secondId,
                         qsizetype secondLine)
{
    QString text = firstId == secondId
                       ? u"商品ID「%1」が %2 行目と %3 行目で重複しています。"_s.arg(firstId).arg(firstLine).arg(
                             secondLine)
                       : u"商品ID「%1」（%2 行目）と「%3」（%4 行目）は、大文字と小文字の違いしかないため、同じファイル名になります。"_s
                             .arg(secondId)
                             .arg(secondLine)
                             .arg(firstId)
                             .arg(firstLine);
    return text + u"\r\n\r\n同じ商品IDのページは 1 つしか作れません。CSVファイルの商品IDを重複しないように直してから、もう一度作成してください。"_s;
}

QString MissingShopIdText()
{
    return u"サイト情報にショップIDが登録されていません。このまま作成すると、ページの買い物かごの"
           u"リンクにショップIDが入らず（shop_id= が空）、お客様が商品を買えません。"_s;
}

QString ReservedNameMessage(const QString& fileName)
{
    return u"ファイル名「%1」は、公開URLを設定したときに作る商品一覧ページ（index.html、index-2.html など）やサイトマップの名前なので、商品のページには使えません。\r\n\r\nCSVファイルのこの商品IDを変えてから、もう一度作成してください。"_s
        .arg(fileName);
}

bool IsRunInProgress()
{
    return g_running;
}

QString OutputFolderName(const QDateTime& time)
{
    return time.toString(u"yyyyMMddHHmmss"_s);
}

bool IsOutputFolderName(const QString& name)
{
    static const QRegularExpression stamp(u"^\\d{14}$"_s);
    return stamp.match(name).hasMatch();
}

QString UnfinishedMarkerPath(const QString& folder)
{
    QString path = QDir::cleanPath(folder);
    return path + u".incomplete"_s;
}

OutputFolderState ReadOutputFolderState(const QString& folder)
{
    OutputFolderState state;
    QFile marker(UnfinishedMarkerPath(folder));
    if (!marker.exists())
        return state;
    state.finished = false;
    bool pagesKnown = false;
    if (marker.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : marker.readAll().split('\n')) {
            const QByteArray trimmed = line.trimmed();
            if (trimmed.startsWith("pages=")) {
                state.pagesWritten = trimmed.mid(6).toInt(&pagesKnown);
            } else if (trimmed.startsWith("lines=")) {
                state.lines = trimmed.mid(6).toInt();
            }
        }
    }
    // The program ended during the run: its pages are what the folder holds
    // (the list pages and the sitemap come only after the last line).
    if (!pagesKnown)
        state.pagesWritten = int(QDir(folder).entryList({u"*.html"_s}, QDir::Files).size());
    return state;
}

QString UnfinishedFolderText(const OutputFolderState& state)
{
    return u"（%1 行のうち %2 ページ）"_s.arg(state.lines).arg(state.pagesWritten);
}

QString NewestOutputFolder(const QString& parentFolder, bool finishedOnly)
{
    const QDir parent(parentFolder);
    QStringList names = parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (qsizetype i = names.size() - 1; i >= 0; --i) {
        if (!IsOutputFolderName(names[i]))
            continue;
        const QString folder = parent.filePath(names[i]);
        if (!finishedOnly || ReadOutputFolderState(folder).finished)
            return folder;
    }
    return {};
}

namespace {

// The record of the run beside its folder while the run is not finished:
// made with the folder, kept with the pages written when the run stops,
// removed when it completes.
class UnfinishedMarker
{
public:
    UnfinishedMarker(const QString& folder, const RunResult& result, int lines)
        : m_path(UnfinishedMarkerPath(folder)), m_result(result), m_lines(lines)
    {
        write(false);
    }
    ~UnfinishedMarker()
    {
        if (m_result.outcome == RunOutcome::Completed)
            QFile::remove(m_path);
        else
            write(true);
    }
    UnfinishedMarker(const UnfinishedMarker&) = delete;
    UnfinishedMarker& operator=(const UnfinishedMarker&) = delete;

private:
    // Best effort: without it, the folder would count as finished, as
    // folders of older versions do.
    void write(bool withPages) const
    {
        QByteArray text = "lines=" + QByteArray::number(m_lines) + "\r\n";
        if (withPages)
            text += "pages=" + QByteArray::number(m_result.pagesWritten) + "\r\n";
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text);
    }

    QString m_path;
    const RunResult& m_result;
    int m_lines;
};

} // namespace

RunResult CreatePages(RunUi& ui, const RunOptions& options)
{
    RunResult result;
    if (g_running)
        return result; // Busy
    RunningFlag running;

    // 1. The path must name a file.
    if (!basFile::IsFileExists(options.csvPath)) {
        ui.ShowMessage(u"CSVファイルに指定したパスは無効です。"_s, MessageIcon::Exclamation);
        result.outcome = RunOutcome::InvalidPath;
        return result;
    }
    // Settings that cannot be read, or that hold no shop ID, are told once,
    // before anything is made.
    QByteArray settingsBytes;
    if (!readSettingsAtStart(ui, options.settingsPath, settingsBytes)) {
        result.outcome = RunOutcome::ReadFailed;
        return result;
    }
    if (basIniFile::GetIniValueFromBytes(settingsBytes, clsOption::Section(), "SHOPID").trimmed().isEmpty()
        && !ui.AskGoOnWithoutShopId(MissingShopIdText())) {
        result.outcome = RunOutcome::NoShopId;
        return result;
    }
    RunScreen screen(ui);
    screen.Start();

    // 2. The working copy, then the lines. The file is read once: the copy
    //    is written from the bytes that are then split, which is what reading
    //    the copy back would give.
    ui.SetStatusText(u"ファイルをコピーしています..."_s);
    QByteArray bytes;
    if (!ReadCsvBytes(ui, options.csvPath, bytes)) {
        result.outcome = RunOutcome::ReadFailed;
        return result;
    }
    if (!options.workingCopyFolder.isEmpty()) {
        const QString copyPath = QDir(options.workingCopyFolder).filePath(u"articles.csv"_s);
        if (!samePath(options.csvPath, copyPath)) {
            // Through a new file and a rename: a full disk leaves the old copy whole.
            QString error;
            if (!basFile::ReplaceFile(copyPath, bytes, &error)) {
                QString text = u"作業用のコピー「%1」を作成できませんでした。\r\n\r\n%2"_s.arg(
                    QDir::toNativeSeparators(copyPath), error);
                // On Windows a copy held open elsewhere cannot be replaced.
                if (QFileInfo::exists(copyPath))
                    text += u"\r\n\r\narticles.csv が Excel などで開かれていないか確かめてください。"
                            u"開かれていたら閉じてから、もう一度作成してください。"_s;
                ui.ShowMessage(text, MessageIcon::Critical);
                result.outcome = RunOutcome::ReadFailed;
                return result;
            }
        }
    }
    ui.SetStatusText(u"データを読み込んでいます..."_s);
    const CsvLineList lines = CsvLineList::FromBytes(std::move(bytes));

    // The public address: set, the run writes the list pages and the sitemap.
    QString siteUrl;
    if (QString why; !SiteUrl::Normalize(SiteUrl::Read(options.settingsPath), &siteUrl, &why)) {
        ui.ShowMessage(u"サイト情報の公開URL（SITEURL）を使えません。\r\n\r\n"_s + why
                           + u"\r\n\r\nサイト情報登録で公開URLを直すか、空にしてください。"_s,
                       MessageIcon::Exclamation);
        result.outcome = RunOutcome::ReadFailed;
        return result;
    }

    // 3. The output folder. Its name has one-second resolution: when a run
    //    of the same second (a loop over several files, a second window) has
    //    taken it, the next second's name is taken.
    enum class Folder { Made, Taken, Failed } state = Folder::Failed;
    QString folder;
    QDate runDate;
    for (int attempt = 0; attempt < MaxFolderAttempts; ++attempt) {
        const QDateTime time = options.now();
        folder = QDir(options.outputParentFolder).absoluteFilePath(OutputFolderName(time));
        // mkdir itself is the test, since two programs may race for the name.
        if (QDir().mkdir(folder)) {
            state = Folder::Made;
            runDate = time.date();
            break;
        }
        if (!QFileInfo::exists(folder)) {
            state = Folder::Failed;
            break;
        }
        state = Folder::Taken;
        if (attempt + 1 < MaxFolderAttempts)
            options.wait(1000 - time.time().msec());
    }
    if (state != Folder::Made) {
        const QString why = state == Folder::Taken
                                ? u"同じ名前のフォルダかファイルがすでにあります。少し待ってからもう一度作成してください。"_s
                                : u"フォルダを作れる場所か、空き容量を確かめてください。"_s;
        ui.ShowMessage(u"出力フォルダ「%1」を作成できませんでした。\r\n\r\n%2"_s.arg(
                           QDir::toNativeSeparators(folder), why),
                       MessageIcon::Critical);
        result.outcome = RunOutcome::FolderFailed;
        return result;
    }
    result.outputFolder = folder;
    const qsizetype last = lines.lastIndex();
    const int n = int(std::min<qsizetype>(last, std::numeric_limits<int>::max()));
    // The product lines, as the user counts them: without the empty line
    // after a final line break.
    int productLines = n;
    while (productLines > 0 && isBlankLine(lines.line(productLines)))
        --productLines;
    const UnfinishedMarker marker(folder, result, productLines);
    std::optional<SitemapBuilder> sitemap;
    std::optional<ListPages> listPages;
    if (!siteUrl.isEmpty()) {
        sitemap.emplace(siteUrl, folder, runDate, options.sitemapLimits);
        sitemap->Reserve(productLines);
        // Every line but the blank ones makes a page, or the run stops.
        int products = 0;
        for (int i = 1; i <= productLines; ++i)
            products += isBlankLine(lines.line(i)) ? 0 : 1;
        listPages.emplace(options.settingsPath, products);
    }

    // 4. One page per line.
    ui.SetStatusText(u"ホームページを作成しています..."_s);
    ProgressView& progress = screen.OpenProgress();
    progress.SetTitle(u"ホームページを作成中..."_s);
    progress.SetMaxValue(n);
    progress.Show();

    PageFiller filler;
    OptionSource settings(options.settingsPath);
    PageWriter writer;
    // Every way out of the loop first waits for the pages handed to the
    // writer; a page that failed there is what the run reports, since with
    // one page after the other the run would have stopped at it.
    const auto writeFailed = [&] {
        if (writer.Drain())
            return false;
        result.pagesWritten = writer.Written();
        const PendingPage& failed = writer.FailedPage();
        screen.CloseProgress();
        QString text = writer.FailureMessage() + u"\r\n\r\n"_s + LineLabel(failed.lineNumber, failed.articleId)
                       + u"：「"_s + QDir::toNativeSeparators(failed.path) + u"」"_s;
        if (clsTextFile::MayBeHeldOpen(writer.FailureMessage()))
            text += u"\r\n\r\nこのページのファイルがほかのプログラム（エディター、ブラウザー、"
                    u"ウイルス対策ソフトなど）で開かれていないか確かめてから、もう一度作成してください。"_s;
        ui.ShowMessage(text, MessageIcon::Critical);
        result.outcome = RunOutcome::WriteFailed;
        return true;
    };
    WriterFirstUi lineUi(ui, writeFailed);
    const QString total = QString::number(n);
    const QString folderPrefix = folder + u'/';
    FilledPage page;
    PendingPage next;
    int productPages = 0; // handed to the writer
    // The line of every page name so far; the ID in a message about a
    // repeated name is read again from that line, rather than kept for all.
    QHash<QString, int> pageLines;
    for (int i = 1; i <= n; ++i) {
        if (writer.Failed()) {
            writeFailed();
            return result;
        }
        progress.SetMessage(QString::number(i) + u" / "_s + total);
        progress.SetValue(i);
        progress.ReDraw();
        if (progress.IsCancel()) {
            if (writeFailed())
                return result;
            if (ui.AskCancel(u"キャンセルしますか？"_s)) {
                result.pagesWritten = writer.Written();
                result.outcome = RunOutcome::Cancelled;
                return result;
            }
        }

        const QByteArrayView line = lines.line(i);
        if (isBlankLine(line))
            continue;
        const OptionValues& values = settings.Read();
        if (!FillTemplate(lineUi, filler, line, lines.encoding(), values, i + 1, page)) {
            if (!lineUi.WriteFailed()) {
                result.pagesWritten = writer.Written();
                result.outcome = RunOutcome::LineFailed;
            }
            return result;
        }
        // A second page of the same name would be appended to the first
        // one's file, and the product would be missing from the site.
        QString key = PageNameKey(page.fileName);
        const auto earlier = pageLines.constFind(key);
        if (earlier != pageLines.constEnd()) {
            if (writeFailed())
                return result;
            result.pagesWritten = writer.Written();
            ui.ShowMessage(LineLabel(i + 1, page.articleId) + u"のページを作成できませんでした。\r\n\r\n"_s
                               + DuplicateMessage(articleIdOf(lines, *earlier), *earlier + 1,
                                                  page.articleId, i + 1),
                           MessageIcon::Critical);
            result.outcome = RunOutcome::LineFailed;
            return result;
        }
        // With an address, index.html and the like are the run's own files.
        if (sitemap && SitemapBuilder::IsReservedName(page.fileName)) {
            if (writeFailed())
                return result;
            result.pagesWritten = writer.Written();
            ui.ShowMessage(LineLabel(i + 1, page.articleId) + u"のページを作成できませんでした。\r\n\r\n"_s
                               + ReservedNameMessage(page.fileName),
                           MessageIcon::Critical);
            result.outcome = RunOutcome::LineFailed;
            return result;
        }
        pageLines.insert(std::move(key), i);
        // Filled in place of a written page's buffers, which the next line
        // then fills in turn.
        next.path.resize(0);
        next.path.append(folderPrefix).append(page.fileName);
        if (lines.encoding() == TextEncoding::Utf8)
            next.bytes = TextCodec::EncodeShiftJis(QString::fromUtf8(page.text),
                                                   TextCodec::Unmappable::CharacterReference);
        else
            std::swap(next.bytes, page.text);
        next.lineNumber = i + 1;
        next.articleId = page.articleId;
        if (sitemap) {
            const QByteArray encodedName = SitemapBuilder::EncodedName(page.fileName);
            sitemap->AddPage(page.fileName, encodedName, next.bytes);
            listPages->Add(page.listName, page.priceWithTax, lines.encoding(), encodedName);
        }
        writer.Write(next);
        ++productPages;
    }
    if (sitemap && !writer.Failed()) {
        // The list pages go to the writer after the product pages.
        ui.SetStatusText(u"商品一覧とサイトマップを作成しています..."_s);
        listPages->Write([&](const QString& name, const QByteArray& bytes) {
            if (writer.Failed())
                return false;
            sitemap->AddPage(name, SitemapBuilder::EncodedName(name), bytes);
            next.path = folderPrefix + name;
            next.bytes = bytes;
            next.lineNumber = 0; // no product's: told apart when it fails
            next.articleId.clear();
            writer.Write(next);
            return true;
        });
        // Written only once every list page is: a folder with a sitemap is
        // one the next run compares with.
        writer.Drain();
        QString failedPath, why;
        const bool sitemapWritten = !writer.Failed() && sitemap->Write(&failedPath, &why);
        // A product page that failed is told below, as in the loop.
        const bool listPageFailed = writer.Failed() && writer.FailedPage().lineNumber == 0;
        if (listPageFailed || (!writer.Failed() && !sitemapWritten)) {
            if (listPageFailed) {
                failedPath = writer.FailedPage().path;
                why = writer.FailureMessage();
            }
            result.pagesWritten = productPages;
            screen.CloseProgress();
            ui.ShowMessage(why + u"\r\n\r\n「"_s + QDir::toNativeSeparators(failedPath) + u"」"_s,
                           MessageIcon::Critical);
            result.outcome = RunOutcome::WriteFailed;
            return result;
        }
    }
    if (writeFailed())
        return result;
    result.pagesWritten = productPages;

    screen.Restore();
    QString done = u"ホームページを作成しました。"_s;
    if (options.announceOutputFolder)
        done += u"\r\n\r\n保存先: "_s + QDir::toNativeSeparators(folder);
    ui.ShowMessage(done, MessageIcon::Information);
    result.outcome = RunOutcome::Completed;
    return result;
}
