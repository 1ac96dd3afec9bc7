#include "artwork.h"
#include "frmmain.h"
#include "msgbox.h"

#include "generation/platform.h"
#include "generation/textcodec.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Platform::IgnoreFileSizeSignal();
    QApplication::setApplicationName(QStringLiteral("Sorabi"));
    Look::RegisterFontSubstitutes();
    QApplication::setWindowIcon(Look::ProgramIcon());
    if (!TextCodec::IsShiftJisAvailable()) {
        MsgBox::Show(nullptr,
                     u"この環境では Shift_JIS の文字変換が使えないため、ホームページを作成できません。"_s,
                     MessageIcon::Critical);
        return 1;
    }
    frmMain window;
    window.Startup();
    return app.exec();
}
