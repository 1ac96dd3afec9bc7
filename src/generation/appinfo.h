#pragma once

#include <QString>

// Product name and version, shown in the main window's title, the About
// window and the title bar of every message box.
namespace AppInfo {

inline constexpr int Major = 2;
inline constexpr int Minor = 0;
inline constexpr int Revision = 1;

// "Sorabi"
QString Title();
// " Ver. 2.0.1" (with the leading and trailing blank)
QString VersionText(int major = Major, int minor = Minor, int revision = Revision);
// "Sorabi Ver. 2.0.1"
QString WindowTitle();
// The maker's support page, opened from the main window and the About window.
QString SupportUrl();

} // namespace AppInfo
