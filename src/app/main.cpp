#include "artwork.h"
#include "frmmain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sorabi"));
    Look::RegisterFontSubstitutes();
    QApplication::setWindowIcon(Look::ProgramIcon());
    frmMain window;
    window.Startup();
    return app.exec();
}
