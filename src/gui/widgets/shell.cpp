#include "widgets/shell.h"

#include <QDesktopServices>

namespace Shell {

namespace {
UrlOpener& opener()
{
    static UrlOpener instance;
    return instance;
}
} // namespace

void OpenUrl(const QUrl& url)
{
    if (opener())
        opener()(url);
    else
        QDesktopServices::openUrl(url);
}

void SetUrlOpener(UrlOpener newOpener)
{
    opener() = std::move(newOpener);
}

} // namespace Shell
