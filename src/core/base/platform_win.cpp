// The Windows side of the platform layer.
#include "base/platform.h"
#include "base/platform_p.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <string>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <io.h>
#include <windows.h>
// The known folders' IDs defined here rather than taken from a library.
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace Platform {

using Internal::g_interrupted;

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

void Print(std::FILE* stream, const QString& text)
{
    // A console shows Unicode whatever its code page (a user may have typed
    // chcp 65001); bytes in it would be read in that code page.
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        DWORD written = 0;
        WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(text.utf16()), DWORD(text.size()),
                      &written, nullptr);
        return;
    }
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

bool HasDisplay()
{
    return true;
}

bool ReadPassword(const QString& prompt, QString* password)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode))
        return false;
    const std::wstring text = prompt.toStdWString();
    DWORD written = 0;
    WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), text.c_str(), DWORD(text.size()), &written,
                  nullptr);
    SetConsoleMode(input, mode & ~DWORD(ENABLE_ECHO_INPUT));
    wchar_t buffer[512];
    DWORD read = 0;
    const BOOL ok = ReadConsoleW(input, buffer, 511, &read, nullptr);
    SetConsoleMode(input, mode);
    WriteConsoleW(GetStdHandle(STD_ERROR_HANDLE), L"\r\n", 2, &written, nullptr);
    if (!ok)
        return false;
    QString line = QString::fromWCharArray(buffer, int(read));
    while (line.endsWith(u'\n') || line.endsWith(u'\r'))
        line.chop(1);
    SecureZeroMemory(buffer, sizeof buffer);
    *password = line;
    return true;
}

bool IsInInstallersFolder(const QString& folder)
{
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    // The per-user programs folder is "Programs" in the local application
    // data unless moved; some systems do not know it by its own ID.
    const struct
    {
        const KNOWNFOLDERID& id;
        const char16_t* below;
    } roots[] = {{FOLDERID_UserProgramFiles, u""},
                 {FOLDERID_LocalAppData, u"/Programs"},
                 {FOLDERID_ProgramFiles, u""},
                 {FOLDERID_ProgramFilesX86, u""}};
    for (const auto& known : roots) {
        PWSTR found = nullptr;
        bool inside = false;
        if (SUCCEEDED(SHGetKnownFolderPath(known.id, KF_FLAG_DONT_VERIFY, nullptr, &found))) {
            const QString root = QDir::cleanPath(
                QDir::fromNativeSeparators(QString::fromWCharArray(found)) + known.below);
            // File names on Windows ignore case.
            inside = !root.isEmpty()
                     && (path.compare(root, Qt::CaseInsensitive) == 0
                         || path.startsWith(root + u'/', Qt::CaseInsensitive));
        }
        CoTaskMemFree(found);
        if (inside)
            return true;
    }
    return false;
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

bool CreateNewFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    file.close();
    return file.error() == QFileDevice::NoError;
}

AppendResult AppendToRegularFile(const QString& path, QByteArrayView first, QByteArrayView second,
                                 bool create)
{
    QFile file(path);
    QIODevice::OpenMode mode = QIODevice::Append | QIODevice::Unbuffered;
    if (!create)
        mode |= QIODevice::ExistingOnly;
    if (!file.open(mode))
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

bool OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, bool* replaced)
{
    *replaced = false;
    // Windows opens no FIFO by a file name.
    file.setFileName(path);
    return file.open(mode | QIODevice::ExistingOnly);
}

std::filesystem::path FileSystemPath(const QString& path)
{
    return std::filesystem::path(path.toStdWString());
}

} // namespace Platform
