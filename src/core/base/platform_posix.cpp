// The POSIX side of the platform layer (Linux and the other free systems).
#include "base/platform.h"
#include "base/platform_p.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Platform {

using Internal::g_interrupted;

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

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

bool IsInInstallersFolder(const QString&)
{
    return false;
}

QString ReplaceProcess(const QString& program, char* argv[])
{
    ::execv(QFile::encodeName(program).constData(), argv);
    const int error = errno;
    return error == ENOENT   ? u"ファイルがありません"_s
           : error == EACCES ? u"実行を許されていません"_s
                             : QString::fromLocal8Bit(std::strerror(error));
}

bool ReadPassword(const QString& prompt, QString* password)
{
    if (!isatty(STDIN_FILENO))
        return false;
    const QByteArray text = prompt.toLocal8Bit();
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool hide = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hide) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    QByteArray line;
    bool ended = false;
    for (;;) {
        char c = 0;
        const ssize_t got = read(STDIN_FILENO, &c, 1);
        if (got <= 0) {
            ended = line.isEmpty();
            break;
        }
        if (c == '\n' || c == '\r')
            break;
        line.append(c);
    }
    if (hide)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    *password = QString::fromLocal8Bit(line);
    line.fill('\0');
    return !ended;
}

bool HasDisplay()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return false;
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

// POSIX: the fewest system calls, since a run makes two of these per page.
bool CreateNewFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    return fd >= 0 && ::close(fd) == 0;
}

AppendResult AppendToRegularFile(const QString& path, QByteArrayView first, QByteArrayView second,
                                 bool create)
{
    const QByteArray name = QFile::encodeName(path);
    // Nearly always the file is new: made here, it is certainly a regular,
    // empty file and needs no question about what it is.
    int fd = create ? ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666)
                    : -1;
    struct stat info = {};
    if (fd < 0) {
        if (create && errno != EEXIST)
            return AppendResult::OpenFailed;
        // Without blocking: a FIFO or a device may have taken the file's place.
        fd = ::open(name.constData(),
                    O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (create ? O_CREAT : 0), 0666);
        if (fd < 0)
            return AppendResult::OpenFailed;
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            return AppendResult::NotAFile;
        }
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

bool OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, bool* replaced)
{
    *replaced = false;
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
}

std::filesystem::path FileSystemPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace Platform
