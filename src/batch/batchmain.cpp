// sorabi-batch: the generation run without windows, for scripts and servers.

#include "base/appinfo.h"
#include "base/platform.h"
#include "base/textcodec.h"
#include "consoleui.h"
#include "generation/generationrun.h"
#include "settings/clsoption.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

enum ExitStatus { Completed = 0, Failed = 1, BadUsage = 2, Interrupted = 130 };

void print(std::FILE* out, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"sorabi-batch"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"商品CSVファイルから、1 商品 1 ページのホームページを作成します。\n"
        "ページは出力先フォルダの中に、日時の名前（yyyymmddhhmmss）で新しく作るフォルダへ書き出します。"_s);
    const QCommandLineOption settingsOption(
        u"settings"_s, u"サイト情報の設定ファイル（既定: 現在のフォルダの option.ini）。"_s,
        u"FILE"_s, clsOption::DefaultIniPath());
    const QCommandLineOption outputOption(
        u"output-dir"_s, u"出力フォルダを作る場所（既定: 現在のフォルダ）。"_s, u"DIR"_s,
        u"."_s);
    const QCommandLineOption helpOption({u"h"_s, u"help"_s}, u"この説明を表示します。"_s);
    const QCommandLineOption versionOption(u"version"_s, u"バージョンを表示します。"_s);
    parser.addOption(settingsOption);
    parser.addOption(outputOption);
    parser.addOption(helpOption);
    parser.addOption(versionOption);
    parser.addPositionalArgument(u"CSV_FILE"_s, u"商品CSVファイル（Shift_JIS または UTF-8）。"_s);

    if (!parser.parse(QCoreApplication::arguments())) {
        print(stderr, u"sorabi-batch: %1\n詳しくは sorabi-batch --help\n"_s.arg(parser.errorText()));
        return BadUsage;
    }
    if (parser.isSet(helpOption)) {
        print(stdout, parser.helpText());
        return Completed;
    }
    if (parser.isSet(versionOption)) {
        print(stdout, AppInfo::WindowTitle() + u'\n');
        return Completed;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1) {
        print(stderr, u"sorabi-batch: CSVファイルを 1 つ指定してください。\n"
                      "使い方: sorabi-batch [--settings FILE] [--output-dir DIR] CSV_FILE\n"_s);
        return BadUsage;
    }

    if (!TextCodec::IsShiftJisAvailable()) {
        print(stderr, u"sorabi-batch: この環境では Shift_JIS の文字変換が使えないため、ページを作成できません。\n"_s);
        return Failed;
    }
    Platform::InstallInterruptHandler();
    Platform::IgnoreFileSizeSignal();
    ConsoleUi ui;
    RunOptions options;
    options.csvPath = positional.first();
    options.outputParentFolder = parser.value(outputOption);
    options.settingsPath = parser.value(settingsOption);
    const RunResult result = CreatePages(ui, options);
    ui.ClearProgressLine();
    if (!result.outputFolder.isEmpty()) {
        print(stdout, QDir::toNativeSeparators(result.outputFolder) + u'\n');
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
