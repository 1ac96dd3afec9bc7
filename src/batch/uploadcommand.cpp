#include "generation/generationrun.h"
#include "uploadcommand.h"

#include "base/platform.h"
#include "cli.h"
#include "settings/clsoption.h"
#include "upload/passwordstore.h"
#include "upload/uploadmessages.h"
#include "upload/uploadrun.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

using namespace Cli;

// At once: the progress line and the questions must show before the upload goes on.
void print(std::FILE* out, const QString& text)
{
    Platform::Print(out, text);
    std::fflush(out);
}

const QString kUsage = u"使い方: sorabi-batch upload [--settings FILE] [--dry-run] [--delete] "
                       "[--trust FINGERPRINT] [--connections N] フォルダ\n"_s;

// Qt's own parser texts are English; every text here is Japanese.
QString helpText()
{
    return kUsage
           + u"ページのフォルダを、設定ファイルの [UPLOAD] にあるサーバーへアップロードします。\n"
             "前回から内容が変わったページだけを送ります。\n\n"
             "オプション:\n"
             "  --settings FILE       設定ファイル（既定: 現在のフォルダの option.ini）。\n"
             "  --dry-run             何も送らず、新規・変更・変更なし・削除のページ数と、\n"
             "                        削除するページの名前を示します。\n"
             "  --delete              フォルダにもうないページを、前にアップロードしていればサーバーから削除します。\n"
             "  --trust FINGERPRINT   このフィンガープリントの証明書（AB:CD:…、SHA-256 の 16 進 64 桁）\n"
             "                        またはホスト鍵（SHA256:…）を信頼し、記憶します。\n"
             "  --connections N       同時接続数 1～8（既定: [UPLOAD] の CONNECTIONS、なければ 4）。\n"
             "                        サーバーが許す数より少ないときは、許される数で送ります。\n"
             "  -h, --help            この説明を表示します。\n\n"
             "パスワードは環境変数 SORABI_UPLOAD_PASSWORD、資格情報ストア、端末での入力の順に探します。\n"
             "標準出力の最後の 2 行: connections N（使った同時接続数）と sent N, unchanged N, deleted N, failed N\n"
             "終了コード: 0 完了、1 失敗、2 指定の誤り、130 中断。\n"_s;
}

void usageError(const QString& text)
{
    print(stderr, u"sorabi-batch: "_s + text + u'\n' + kUsage
                      + u"詳しくは sorabi-batch upload --help\n"_s);
}

class ConsoleUploadUi : public UploadUi
{
public:
    ConsoleUploadUi(const QString& trust, bool remove, bool dryRun, int kept)
        : m_trust(trust), m_remove(remove), m_dryRun(dryRun), m_kept(kept),
          m_terminal(Platform::IsTerminal(stderr))
    {}

    bool IsCancelled() override { return Platform::InterruptRequested(); }

    void Progress(int done, int total, qint64 bytes) override
    {
        if (!m_terminal || !m_throttle.Due(done, total))
            return;
        if (!m_sinceStart.isValid())
            m_sinceStart.start();
        const double seconds = std::max<qint64>(m_sinceStart.elapsed(), 1) / 1000.0;
        print(stderr, u"\r送信 %1 / %2 ページ  %3 KB  %4 ページ/秒  %5 MB/秒\x1b[K"_s.arg(done)
                          .arg(total)
                          .arg(bytes / 1024)
                          .arg(done / seconds, 0, 'f', 1)
                          .arg(bytes / 1048576.0 / seconds, 0, 'f', 2));
        m_lineShown = true;
    }

    bool TrustKey(KeyQuestion, const QString&, const QString& fingerprint) override
    {
        return !m_trust.isEmpty() && fingerprint == m_trust;
    }

    // Only a dry run shows the summary: the upload itself asks nothing (no
    // one may be there to answer), and its result says the same.
    bool ConfirmPlan(const UploadPlan& plan) override
    {
        if (!m_dryRun)
            return true;
        clearLine();
        QString text = UploadMessages::PlanCounts(plan) + u'\n';
        if (!plan.removed.isEmpty())
            text += u"削除するページ:\n  %1\n"_s.arg(plan.removed.join(u"\n  "_s));
        print(stdout, text);
        return true;
    }

    bool ConfirmRemoval(const QStringList& names) override
    {
        clearLine();
        QString text = u"このフォルダにはもうないため、サーバーから削除するページ（%1）。"
                       "削除すると、サーバーに残るのはこのフォルダの %2 ページです"_s.arg(names.size())
                           .arg(m_kept);
        // A dry run's summary has just named them.
        text += m_dryRun ? u"。\n"_s : u":\n  "_s + names.join(u"\n  "_s) + u'\n';
        print(stderr, text);
        if (!m_remove)
            print(stderr, u"削除していません。削除するには --delete を付けて実行してください。\n"_s);
        return m_remove;
    }

    void clearLine()
    {
        if (m_lineShown)
            print(stderr, u"\r\x1b[K"_s);
        m_lineShown = false;
        m_throttle.Reset();
    }

private:
    QString m_trust;
    bool m_remove;
    bool m_dryRun;
    int m_kept; // the folder's pages, which the server keeps
    bool m_terminal;
    bool m_lineShown = false;
    QElapsedTimer m_sinceStart;
    Cli::ProgressThrottle m_throttle;
};

// From the environment, the credential store or the terminal, in that order.
bool findPassword(const UploadDestination& d, QString* password, QString* failure)
{
    const QByteArray fromEnvironment = qgetenv("SORABI_UPLOAD_PASSWORD");
    if (!fromEnvironment.isEmpty()) {
        *password = QString::fromLocal8Bit(fromEnvironment);
        return true;
    }
    QString storeFailure;
    if (PasswordStore::Read(d.CredentialEntry(), password, &storeFailure))
        return true;
    if (Platform::ReadPassword(u"%1@%2 のパスワード: "_s.arg(d.user, d.host), password))
        return true;
    *failure = u"パスワードがありません。環境変数 SORABI_UPLOAD_PASSWORD に設定するか、端末から実行して入力してください。"_s;
    return false;
}

} // namespace

int RunUploadCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption settingsOption(u"settings"_s, QString(), u"FILE"_s);
    const QCommandLineOption dryRunOption(u"dry-run"_s);
    const QCommandLineOption deleteOption(u"delete"_s);
    const QCommandLineOption trustOption(u"trust"_s, QString(), u"FINGERPRINT"_s);
    const QCommandLineOption connectionsOption(u"connections"_s, QString(), u"N"_s);
    const QCommandLineOption helpOption(QStringList{u"h"_s, u"help"_s});
    parser.addOption(settingsOption);
    parser.addOption(dryRunOption);
    parser.addOption(deleteOption);
    parser.addOption(trustOption);
    parser.addOption(connectionsOption);
    parser.addOption(helpOption);

    if (!parser.parse(arguments)) {
        if (const QString unknown = UnknownOptionText(parser); !unknown.isEmpty())
            usageError(unknown);
        else
            usageError(u"オプションの指定が正しくありません（値が抜けていませんか）。"_s);
        return BadUsage;
    }
    if (parser.isSet(helpOption)) {
        print(stdout, helpText());
        return Completed;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        usageError(u"アップロードするフォルダを 1 つ指定してください。"_s);
        return BadUsage;
    }
    // A certificate's fingerprint as the program shows it (upper-case hex
    // pairs with colons), however it was typed; a host key's as OpenSSH's.
    QString trust = parser.value(trustOption);
    static const QRegularExpression hostKey(u"^SHA256:[A-Za-z0-9+/]{43}$"_s);
    static const QRegularExpression certificate(u"^[0-9A-F]{64}$"_s);
    const QString hex = trust.toUpper().remove(u':');
    if (certificate.match(hex).hasMatch()) {
        trust.clear();
        for (qsizetype i = 0; i < hex.size(); i += 2)
            trust += (i ? u":"_s : QString()) + hex.mid(i, 2);
    } else if (!trust.isEmpty() && !hostKey.match(trust).hasMatch()) {
        usageError(u"--trust には、証明書なら 16 進 64 桁（AB:CD:… の形、コロンは省略可）、"
                   "ホスト鍵なら「SHA256:」に続く 43 文字のフィンガープリントを指定してください。"_s);
        return BadUsage;
    }
    std::optional<int> connections;
    if (parser.isSet(connectionsOption)) {
        connections = UploadDestination::ParseConnections(parser.value(connectionsOption).trimmed());
        if (!connections || parser.value(connectionsOption).trimmed().isEmpty()) {
            usageError(u"--connections には 1～8 の数を指定してください。"_s);
            return BadUsage;
        }
    }
    // A settings file that was named must be there, as for a run.
    const QString settingsPath = parser.isSet(settingsOption) ? parser.value(settingsOption)
                                                              : clsOption::DefaultIniPath();
    if (parser.isSet(settingsOption) && !QFileInfo(settingsPath).isFile()) {
        usageError(u"設定ファイル「%1」が見つかりません。"_s.arg(QDir::toNativeSeparators(settingsPath)));
        return BadUsage;
    }
    UploadOptions options;
    QString failure;
    if (!UploadDestination::Load(settingsPath, &options.destination, &failure)) {
        print(stderr, u"sorabi-batch: "_s + failure + u'\n');
        return Failed;
    }
    if (!options.destination.HasHost()) {
        print(stderr, u"sorabi-batch: %1 の [UPLOAD] にアップロード先（HOST）がありません。\n"_s.arg(
                          QDir::toNativeSeparators(settingsPath)));
        return Failed;
    }
    if (connections)
        options.destination.connections = *connections;
    options.localFolder = positional.at(1);
    options.stateFolder = UploadDestination::StateFolder(settingsPath);
    options.dryRun = parser.isSet(dryRunOption);
    Platform::InstallInterruptHandler();
    if (!findPassword(options.destination, &options.password, &failure)) {
        print(stderr, u"sorabi-batch: "_s + failure + u'\n');
        return Failed;
    }

    // A folder of a run that stopped or was cancelled holds only some pages:
    // said plainly; removals still need --delete.
    if (const OutputFolderState state = ReadOutputFolderState(options.localFolder); !state.finished)
        print(stderr, u"注意: フォルダ「%1」は作成が途中で止まったものです%2。すべての商品のページはありません。\n"_s
                          .arg(QDir::toNativeSeparators(options.localFolder), UnfinishedFolderText(state)));
    const int kept =
        int(QDir(options.localFolder).entryList({u"*.html"_s}, QDir::Files).size());
    ConsoleUploadUi ui(trust, parser.isSet(deleteOption), options.dryRun, kept);
    const UploadResult result = RunUpload(options, ui);
    ui.clearLine();
    if (!result.message.isEmpty())
        print(stderr, result.message + u'\n');
    if (result.outcome == UploadOutcome::Failed && !result.fingerprint.isEmpty())
        print(stderr, u"信頼する場合は --trust %1 を付けて実行してください。\n"_s.arg(result.fingerprint));
    const QString seconds = QString::number(result.milliseconds / 1000.0, 'f', 1);
    if (options.dryRun) {
        print(stderr, u"試行のため何も送っていません。送るページ %1、変更なし %2、削除するページ %3。\n"_s
                          .arg(result.sent).arg(result.unchanged).arg(result.deleted));
    } else if (result.sent + result.unchanged + result.deleted + result.failed > 0) {
        print(stderr, u"送信 %1 ページ（%2 バイト、%3 秒）、変更なし %4、削除 %5、失敗 %6。\n"_s
                          .arg(result.sent)
                          .arg(result.bytes)
                          .arg(seconds)
                          .arg(result.unchanged)
                          .arg(result.deleted)
                          .arg(result.failed));
    }
    if (result.connections > 0) {
        if (result.connections < std::min(options.destination.connections, result.sent + result.failed))
            print(stderr, u"サーバーが許した同時接続は %1 でした（指定 %2）。\n"_s.arg(result.connections).arg(
                              options.destination.connections));
        print(stdout, u"connections %1\n"_s.arg(result.connections));
    }
    print(stdout, SummaryLine(result) + u'\n');
    switch (result.outcome) {
    case UploadOutcome::Completed:
        return Completed;
    case UploadOutcome::Cancelled:
        return Interrupted;
    case UploadOutcome::Failed:
        break;
    }
    return Failed;
}
