#include "platform.h"

#include <atomic>
#include <chrono>
#include <cerrno>
#include <climits>
#include <csignal>

#include <QFile>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
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
    if (_isatty(_fileno(stream)) == 0)
        return false;
    const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return GetConsoleMode(console, &mode)
           && SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

// Qt's file access on Windows goes through the Win32 API, which leaves its
// reason in the thread's last error, not in errno.
void ClearFileError()
{
    SetLastError(ERROR_SUCCESS);
}

FileError LastFileError()
{
    switch (GetLastError()) {
    case ERROR_SUCCESS:
        return FileError::None;
    case ERROR_ACCESS_DENIED:
        return FileError::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return FileError::InUse;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return FileError::BadName;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return FileError::NoSpace;
    case ERROR_FILE_TOO_LARGE:
        return FileError::TooLarge;
    case ERROR_CRC:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
        return FileError::Io;
    case ERROR_DIRECTORY:
        return FileError::IsFolder;
    case ERROR_WRITE_PROTECT:
        return FileError::ReadOnly;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return FileError::Exists;
    case ERROR_PATH_NOT_FOUND:
        return FileError::NotAFolder;
    case ERROR_FILE_NOT_FOUND:
        return FileError::NotFound;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return FileError::NoMemory;
    default:
        return FileError::Other;
    }
}

namespace {
constexpr UINT kShiftJis = 932;
}

bool HasSystemShiftJis()
{
    return IsValidCodePage(kShiftJis) != 0;
}

QString DecodeSystemShiftJis(QByteArrayView bytes)
{
    if (bytes.isEmpty() || bytes.size() > INT_MAX)
        return QString();
    const int size = int(bytes.size());
    const int length = MultiByteToWideChar(kShiftJis, 0, bytes.data(), size, nullptr, 0);
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(kShiftJis, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()),
                        length);
    return text;
}

QByteArray EncodeSystemShiftJis(QStringView text, bool* lossless)
{
    *lossless = text.size() <= INT_MAX;
    if (text.isEmpty() || !*lossless)
        return QByteArray();
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size = int(text.size());
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, size, nullptr, 0,
                                           nullptr, &usedDefault);
    QByteArray bytes(length, Qt::Uninitialized);
    WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, size, bytes.data(), length, nullptr,
                        &usedDefault);
    *lossless = !usedDefault;
    return bytes;
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

void ClearFileError()
{
    errno = 0;
}

FileError LastFileError()
{
    switch (errno) {
    case 0:
        return FileError::None;
    case EACCES:
    case EPERM:
        return FileError::AccessDenied;
    case ETXTBSY:
        return FileError::InUse;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        return FileError::BadName;
    case ENOSPC:
    case EDQUOT:
        return FileError::NoSpace;
    case EFBIG:
        return FileError::TooLarge;
    case EIO:
        return FileError::Io;
    case EISDIR:
        return FileError::IsFolder;
    case EROFS:
        return FileError::ReadOnly;
    case EEXIST:
        return FileError::Exists;
    case ENOTDIR:
        return FileError::NotAFolder;
    case ENOENT:
        return FileError::NotFound;
    case ENOMEM:
        return FileError::NoMemory;
    default:
        return FileError::Other;
    }
}

// Qt converts Shift_JIS itself here (through ICU).
bool HasSystemShiftJis()
{
    return false;
}

QString DecodeSystemShiftJis(QByteArrayView)
{
    return QString();
}

QByteArray EncodeSystemShiftJis(QStringView text, bool* lossless)
{
    *lossless = text.isEmpty();
    return QByteArray();
}
#endif

bool InterruptRequested()
{
    return g_interrupted;
}

void IgnoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

#ifndef _WIN32
// POSIX: the fewest system calls, since a run makes two of these per page.
bool CreateNewFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    return fd >= 0 && ::close(fd) == 0;
}

AppendResult AppendToRegularFile(const QString& path, QByteArrayView first, QByteArrayView second)
{
    const QByteArray name = QFile::encodeName(path);
    // Without blocking: a FIFO or a device may have taken the file's place.
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return AppendResult::OpenFailed;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return AppendResult::NotAFile;
    }
    struct iovec parts[2] = {
        {const_cast<char*>(first.data()), size_t(first.size())},
        {const_cast<char*>(second.data()), size_t(second.size())},
    };
    int count = 2;
    struct iovec* next = parts;
    bool ok = true;
    while (count > 0) {
        const ssize_t written = ::writev(fd, next, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC;
            ok = false;
            break;
        }
        size_t rest = size_t(written);
        while (count > 0 && rest >= next->iov_len) {
            rest -= next->iov_len;
            ++next;
            --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + rest;
            next->iov_len -= rest;
        }
    }
    if (!ok) {
        const int reason = errno;
        if (::ftruncate(fd, info.st_size) != 0) { /* the reason that matters is the write's */ }
        ::close(fd);
        errno = reason;
        return AppendResult::WriteFailed;
    }
    if (::close(fd) != 0) {
        const int reason = errno;
        if (::truncate(name.constData(), info.st_size) != 0) { /* as above */ }
        errno = reason;
        return AppendResult::WriteFailed;
    }
    return AppendResult::Appended;
}

FileStamp StampOf(const std::filesystem::path& path)
{
    FileStamp stamp;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return stamp;
    stamp.valid = true;
    stamp.size = qint64(info.st_size);
    stamp.modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changed = qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    stamp.identity = quint64(info.st_ino) ^ (quint64(info.st_dev) << 40);
    return stamp;
}
#else
bool CreateNewFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    file.close();
    return file.error() == QFileDevice::NoError;
}

AppendResult AppendToRegularFile(const QString& path, QByteArrayView first, QByteArrayView second)
{
    QFile file(path);
    if (!file.open(QIODevice::Append | QIODevice::Unbuffered | QIODevice::ExistingOnly))
        return AppendResult::OpenFailed;
    const qint64 sizeBefore = file.size();
    if (file.write(first.data(), first.size()) != first.size()
        || file.write(second.data(), second.size()) != second.size()) {
        const DWORD reason = GetLastError();
        file.resize(sizeBefore);
        SetLastError(reason);
        return AppendResult::WriteFailed;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        const DWORD reason = GetLastError();
        QFile::resize(path, sizeBefore);
        SetLastError(reason);
        return AppendResult::WriteFailed;
    }
    return AppendResult::Appended;
}

FileStamp StampOf(const std::filesystem::path& path)
{
    FileStamp stamp;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return stamp;
    stamp.size = qint64(std::filesystem::file_size(path, error));
    if (error)
        return stamp;
    const auto modified = std::filesystem::last_write_time(path, error);
    if (error)
        return stamp;
    stamp.modified = qint64(
        std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count());
    stamp.valid = true;
    return stamp;
}
#endif

bool OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, bool* replaced)
{
    *replaced = false;
#ifndef _WIN32
    // Without blocking: a FIFO or a device may have taken the file's place
    // since it was checked, and opening one waits for a partner.
    int flags = O_CLOEXEC | O_NONBLOCK;
    if (mode & QIODevice::Append)
        flags |= O_WRONLY | O_APPEND;
    else if (mode & QIODevice::WriteOnly)
        flags |= O_WRONLY | ((mode & QIODevice::Truncate) ? O_TRUNC : 0);
    else
        flags |= O_RDONLY;
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    if (fd < 0)
        return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *replaced = true;
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    // Windows opens no FIFO by a file name.
    file.setFileName(path);
    return file.open(mode | QIODevice::ExistingOnly);
#endif
}

} // namespace Platform
