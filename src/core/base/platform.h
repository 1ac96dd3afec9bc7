#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <QIODevice>

#include <cstdio>
#include <filesystem>

class QFile;

// The few things that differ between operating systems, kept in one place.
// Everything else goes through Qt.
namespace Platform {

// From now on Ctrl-C (or a termination request) only sets a flag that the
// run looks at once per line, so the pages written so far stay whole.
void InstallInterruptHandler();
bool InterruptRequested();

// Whether the stream is a terminal that shows the progress line. On Windows
// the console is also asked to understand the line's escape sequences;
// where it cannot, the answer is false.
bool IsTerminal(std::FILE* stream);

// Writes text to standard output or error in the form the reader expects:
// the locale's encoding on the free systems; on Windows the console's own
// text, or the console code page's bytes when redirected.
void Print(std::FILE* stream, const QString& text);

// Whether the folder is one that installers put programs in, and so no
// place for the user's data: on Windows, Program Files and the per-user
// programs folder (%LOCALAPPDATA%\Programs) with everything inside them.
// Elsewhere false: there the folder the program was built for tells.
bool IsInInstallersFolder(const QString& folder);

// Whether a window can be shown at all: on the free systems a display server
// must be named (or Qt told to draw elsewhere); Windows always has one.
bool HasDisplay();

#ifndef Q_OS_WIN
// Runs the program in place of this process: the same terminal, signals and
// exit status; argv[0] is passed as given. Returns only when the program
// could not be started, with the reason in Japanese.
QString ReplaceProcess(const QString& program, char* argv[]);
#endif

// Asks for a password on the terminal without showing what is typed.
// False when standard input is no terminal or the input ends.
bool ReadPassword(const QString& prompt, QString* password);

// A page that reaches the file size limit must fail with a message as on a
// full disk, not end the program half-way (POSIX sends a signal for it).
void IgnoreFileSizeSignal();

// Opens the file only if it is a regular file, without ever waiting: between
// a check that a file exists and its opening, a FIFO or a device may take its
// place. False with the system's reason, or with `replaced` set when
// something other than a file is there. Write modes never create the file.
bool OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, bool* replaced);

// Creates an empty file, only if nothing is at the path yet. False with the
// system's reason (FileError::Exists when something is there).
bool CreateNewFile(const QString& path);

// Appends `first` and then `second` to the regular file at the path, all or
// nothing: a write that fails part-way (a full disk, the file size limit)
// is taken back, so the file holds what it held before.
enum class AppendResult {
    Appended,
    OpenFailed,  // the reason is in LastFileError()
    NotAFile,    // a folder, FIFO or device is there
    WriteFailed, // the reason is in LastFileError()
};
// With `create`, a missing file is made first, in the same opening.
AppendResult AppendToRegularFile(const QString& path, QByteArrayView first, QByteArrayView second,
                                 bool create = false);

// What tells cheaply whether a file may have changed since it was last
// read: its size, its times and its identity, from one look at it.
struct FileStamp
{
    bool valid = false; // a regular file is there
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds, from whatever epoch the system uses
    qint64 changed = 0;  // status change (POSIX): a copy that keeps the time still shows
    quint64 identity = 0;

    bool operator==(const FileStamp& other) const
    {
        return valid && other.valid && size == other.size && modified == other.modified
               && changed == other.changed && identity == other.identity;
    }
};
FileStamp StampOf(const std::filesystem::path& path);
// The path as the system's file functions take it.
std::filesystem::path FileSystemPath(const QString& path);

// Why the last file operation failed, in the kinds that the text file
// messages tell apart: the system's error code, read right after the failing
// call and cleared right before it.
enum class FileError {
    None,
    AccessDenied, // no permission
    InUse,        // a running program's file, or locked by another program
    BadName,      // a name the file system refuses, or one too long
    NoSpace,      // the disk or the user's quota is full
    TooLarge,     // the file would grow beyond what the file system allows
    Io,           // the device failed
    IsFolder,
    ReadOnly,     // read-only medium
    Exists,
    NotAFolder,   // a part of the path is no folder, or is missing
    NotFound,
    NoMemory,
    Other,
};
void ClearFileError();
FileError LastFileError();

// Shift_JIS through the system (code page 932) for where Qt has no
// converter for it: Qt's own Windows packages are built without ICU.
// Elsewhere there is none: HasSystemShiftJis() is false and both give nothing.
bool HasSystemShiftJis();
QString DecodeSystemShiftJis(QByteArrayView bytes);
// `lossless` becomes false when some character has no Shift_JIS form.
QByteArray EncodeSystemShiftJis(QStringView text, bool* lossless);

} // namespace Platform
