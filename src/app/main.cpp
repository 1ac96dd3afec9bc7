#include "base/appinfo.h"
#include "base/platform.h"
#include "base/textcodec.h"
#include "forms/frmmain.h"
#include "widgets/artwork.h"
#include "widgets/msgbox.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Answered before any window system is asked for, so that they work over SSH
// or in a console too. Returns the exit status, or -1 to go on.
int answerWithoutWindows(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            Platform::Print(stdout, AppInfo::WindowTitle() + u'\n');
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            Platform::Print(stdout, u"使い方: sorabi [--per-user]\n"
                          "商品CSVファイルから、1 商品 1 ページのホームページを作成します（画面で操作します）。\n\n"
                          "  --per-user   設定とページを、ホームフォルダの Sorabi フォルダに置きます。\n"
                          "  --version    バージョンを表示します。\n"
                          "  -h, --help   この説明を表示します。\n\n"
                          "画面のない環境では sorabi-batch を使ってください（sorabi-batch --help）。\n"_s);
            return 0;
        }
    }
    if (!Platform::HasDisplay()) {
        Platform::Print(stderr, u"sorabi: 画面（ディスプレイ）が見つからないため、起動できません。\n"
                      "Sorabi の画面はデスクトップで開いてください。画面のない環境（SSH やコンソール）では、"
                      "sorabi-batch でホームページを作成できます（例: sorabi-batch 商品.csv）。\n"_s);
        return 1;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (const int status = answerWithoutWindows(argc, argv); status >= 0)
        return status;
    QApplication app(argc, argv);
    Platform::IgnoreFileSizeSignal();
    QApplication::setApplicationName(QStringLiteral("Sorabi"));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(u"sorabi"_s);
    Look::RegisterFontSubstitutes();
    QApplication::setWindowIcon(Look::ProgramIcon());
    if (!TextCodec::IsShiftJisAvailable()) {
        MsgBox::Show(nullptr,
                     u"この環境では Shift_JIS の文字変換が使えないため、ホームページを作成できません。"_s,
                     MessageIcon::Critical);
        return 1;
    }
    frmMain window;
    // The desktop entry asks for the per-user folder whatever the program's
    // folder is; started otherwise, the folder decides.
    if (!window.ChooseDataFolder(QCoreApplication::arguments().contains(u"--per-user"_s)))
        return 1;
    window.Startup();
    return app.exec();
}
