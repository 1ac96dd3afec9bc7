#include "frmmain.h"

#include "generation/appinfo.h"

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(AppInfo::WindowTitle());
    resize(797, 655);
}
