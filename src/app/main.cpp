#include "base/platform.h"
#include "base/textcodec.h"
#include "forms/frmmain.h"
#include "widgets/artwork.h"
#include "widgets/msgbox.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
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
