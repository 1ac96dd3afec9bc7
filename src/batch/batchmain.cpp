// sorabi-batch: the generation run without windows, for scripts and servers.

#include "base/appinfo.h"
#include "base/platform.h"
#include "base/textcodec.h"
#include "cli.h"
#include "consoleui.h"
#include "generation/generationrun.h"
#include "settings/clsoption.h"
#if defined(SORABI_BATCH_UPLOAD) && !defined(SORABI_UPLOAD_HELPER)
#include "uploadcommand.h"
#endif

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

using namespace Cli;

const QString kUsage = u"使い方: sorabi-batch [--settings FILE] [--output-dir DIR] CSVファイル\n"_s;

// Qt's own parser texts are English; every text here is Japanese.
QString helpText()
{
    return kUsage
           + u"商品CSVファイルから、1 商品 1 ページのホームページを作成します。\n"
             "ページは出力先の中に、日時の名前（yyyymmddhhmmss）で新しく作るフォルダへ書き出します。\n\n"
             "オプション:\n"
             "  --settings FILE    サイト情報の設定ファイル（既定: 現在のフォルダの option.ini）。\n"
             "  --output-dir DIR   日時のフォルダを作る場所（既定: 現在のフォルダ）。ないときは作ります。\n"
             "  -h, --help         この説明を表示します。\n"
             "  --version          バージョンを表示します。\n\n"
             "引数:\n"
             "  CSVファイル        商品CSVファイル（Shift_JIS または UTF-8）。\n\n"
             "終了コード: 0 完了、1 失敗、2 指定の誤り、130 中断。\n"_s
#ifdef SORABI_BATCH_UPLOAD
           + u"\nページをサーバーへ送るには: sorabi-batch upload フォルダ（詳しくは sorabi-batch upload --help）\n"_s
#endif
        ;
}

QString parseErrorText(const QCommandLineParser& parser, const QStringList& arguments,
                       const QList<QCommandLineOption>& withValue)
{
    if (const QString unknown = UnknownOptionText(parser); !unknown.isEmpty())
        return unknown;
    for (const QCommandLineOption& option : withValue) {
        const QString name = u"--"_s + option.names().constFirst();
        if (!arguments.isEmpty() && arguments.constLast() == name)
            return u"%1 の後に値を指定してください。"_s.arg(name);
    }
    return u"オプションの指定が正しくありません。"_s;
}

void usageError(const QString& text)
{
    Platform::Print(stderr, u"sorabi-batch: "_s + text + u'\n' + kUsage
                                + u"詳しくは sorabi-batch --help\n"_s);
}

// Makes the folder and its parents; the reason in Japanese when it cannot.
bool makeFolder(const QString& path, QString* why)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    // The nearest part of the path that is there must be a folder.
    for (QFileInfo part = info; !part.isRoot() && part.filePath() != part.path();
         part = QFileInfo(part.path())) {
        if (part.exists() || part.isSymLink()) {
            if (!part.isDir()) {
                *why = u"「%1」はフォルダではありません。"_s.arg(
                    QDir::toNativeSeparators(part.filePath()));
                return false;
            }
            break;
        }
    }
    if (QDir().mkpath(path))
        return true;
    *why = u"書き込みの権限と空き容量を確かめてください。"_s;
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"sorabi-batch"_s);
#ifdef SORABI_BATCH_UPLOAD
    // "sorabi-batch upload FOLDER" sends pages; a CSV file called "upload" is "./upload".
    if (argc > 1 && QByteArrayView(argv[1]) == "upload") {
#ifdef SORABI_UPLOAD_HELPER
        const QString helper = QCoreApplication::applicationDirPath() + u"/"_s + QStringLiteral(SORABI_UPLOAD_HELPER);
        const QString why = Platform::ReplaceProcess(helper, argv);
        Platform::Print(stderr, u"sorabi-batch: アップロードを行うプログラム「%1」を起動できませんでした（%2）。"
                                "Sorabi をインストールし直してください。\n"_s
                                    .arg(QDir::toNativeSeparators(QDir::cleanPath(helper)), why));
        return Failed;
#else
        return RunUploadCommand(QCoreApplication::arguments());
#endif
    }
#endif

    QCommandLineParser parser;
    const QCommandLineOption settingsOption(u"settings"_s, QString(), u"FILE"_s);
    const QCommandLineOption outputOption(u"output-dir"_s, QString(), u"DIR"_s, u"."_s);
    const QCommandLineOption helpOption(QStringList{u"h"_s, u"help"_s});
    const QCommandLineOption versionOption(u"version"_s);
    parser.addOption(settingsOption);
    parser.addOption(outputOption);
    parser.addOption(helpOption);
    parser.addOption(versionOption);

    const QStringList arguments = QCoreApplication::arguments();
    if (!parser.parse(arguments)) {
        usageError(parseErrorText(parser, arguments, {settingsOption, outputOption}));
        return BadUsage;
    }
    if (parser.isSet(helpOption)) {
        Platform::Print(stdout, helpText());
        return Completed;
    }
    if (parser.isSet(versionOption)) {
        Platform::Print(stdout, AppInfo::WindowTitle() + u'\n');
        return Completed;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        usageError(u"CSVファイルを 1 つ指定してください。"_s);
        return BadUsage;
    }

    // A settings file that was named must be there: a typo would otherwise
    // make pages without the shop's settings.
    QString settingsPath = clsOption::DefaultIniPath();
    if (parser.isSet(settingsOption)) {
        settingsPath = parser.value(settingsOption);
        const QFileInfo settings(settingsPath);
        if (!settings.isFile() || !settings.isReadable()) {
            usageError(u"設定ファイル「%1」が見つからないか、読めるファイルではありません。"_s.arg(
                QDir::toNativeSeparators(settingsPath)));
            return BadUsage;
        }
    } else if (!QFileInfo(settingsPath).isFile()) {
        Platform::Print(stderr, u"設定ファイル option.ini がありません。サイト情報は空のまま作成します。\n"_s);
    }

    if (!TextCodec::IsShiftJisAvailable()) {
        Platform::Print(stderr, u"sorabi-batch: この環境では Shift_JIS の文字変換が使えないため、ページを作成できません。\n"_s);
        return Failed;
    }
    const QString outputParent = parser.value(outputOption);
    QString why;
    if (!makeFolder(outputParent, &why)) {
        Platform::Print(stderr, u"sorabi-batch: 出力先のフォルダ「%1」を作成できませんでした。%2\n"_s.arg(
                                    QDir::toNativeSeparators(outputParent), why));
        return Failed;
    }

    Platform::InstallInterruptHandler();
    Platform::IgnoreFileSizeSignal();
    ConsoleUi ui;
    RunOptions options;
    options.csvPath = positional.first();
    options.outputParentFolder = outputParent;
    options.settingsPath = settingsPath;
    const RunResult result = CreatePages(ui, options);
    ui.ClearProgressLine();
    const QString folder = QDir::toNativeSeparators(result.outputFolder);
    if (result.outcome == RunOutcome::Completed && result.pagesWritten == 0)
        Platform::Print(stderr, u"CSVファイルに商品の行がないため、ページは 1 つも作成されませんでした。\n"_s);
    if (result.outcome == RunOutcome::Cancelled)
        Platform::Print(stderr, u"中断しました。作成済みの %1 ページは「%2」にあります。\n"_s.arg(
                                    result.pagesWritten)
                                    .arg(folder));
    if (!result.outputFolder.isEmpty()) {
        Platform::Print(stdout, folder + u'\n');
        std::fflush(stdout);
    }
    switch (result.outcome) {
    case RunOutcome::Completed:
        return Completed;
    case RunOutcome::Cancelled:
        return Interrupted;
    default:
        return Failed;
    }
}
