#include "base/platform.h"

#include "base/platform_p.h"

#include <csignal>

namespace Platform {

namespace Internal {
std::atomic<bool> g_interrupted{false};
} // namespace Internal

bool InterruptRequested()
{
    return Internal::g_interrupted;
}

void IgnoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace Platform
