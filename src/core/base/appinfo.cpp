#include "base/appinfo.h"

namespace AppInfo {

QString Title()
{
    return QStringLiteral("Sorabi");
}

QString VersionText(int major, int minor, int revision)
{
    return QStringLiteral(" Ver. %1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString WindowTitle()
{
    return Title() + VersionText();
}

QString SupportUrl()
{
    return QStringLiteral("https://www.hotaru-soft.example/sorabi/support/");
}

} // namespace AppInfo
