#pragma once

#include <QUrl>

#include <functional>

// Opening an address in the user's default browser, or a local folder
// (file:) in the system's file manager. Tests install an opener that
// records instead; failures are not reported to the user.
namespace Shell {

void OpenUrl(const QUrl& url);

using UrlOpener = std::function<void(const QUrl& url)>;
// An empty opener restores the desktop's browser.
void SetUrlOpener(UrlOpener opener);

} // namespace Shell
