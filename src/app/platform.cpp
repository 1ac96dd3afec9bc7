#include "platform.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace Platform {

namespace {
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);
} // namespace

#ifdef _WIN32
static BOOL WINAPI onConsoleControl(DWORD)
{
    g_interrupted = true;
    return TRUE;
}

void InstallInterruptHandler()
{
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

bool IsTerminal(std::FILE* stream)
{
    return _isatty(_fileno(stream)) != 0;
}
#else
extern "C" void onInterruptSignal(int)
{
    g_interrupted = true;
}

void InstallInterruptHandler()
{
    struct sigaction action = {};
    action.sa_handler = onInterruptSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool IsTerminal(std::FILE* stream)
{
    return isatty(fileno(stream)) != 0;
}
#endif

bool InterruptRequested()
{
    return g_interrupted;
}

} // namespace Platform
