#pragma once

#include "base/version.h"

#include <QString>

// Product name and version, shown in the main window's title, the About
// window and the title bar of every message box.
namespace AppInfo {

inline constexpr int Major = SORABI_VERSION_MAJOR;
inline constexpr int Minor = SORABI_VERSION_MINOR;
inline constexpr int Revision = SORABI_VERSION_PATCH;

// "Sorabi"
QString Title();
// " Ver. <major>.<minor>.<revision>", with the leading blank
QString VersionText(int major = Major, int minor = Minor, int revision = Revision);
// "Sorabi Ver. <major>.<minor>.<revision>"
QString WindowTitle();
// The maker's support page, opened from the main window and the About window.
QString SupportUrl();

} // namespace AppInfo
