#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include <functional>

class QFile;

namespace basFile {

// Whether a regular file (not a folder, FIFO or device) exists at the path.
// A relative path is taken relative to the working folder.
bool IsFileExists(const QString& path);

// Opens the file at the path only if it is a regular file: between a check
// that a file exists and its opening, a FIFO or a device may take its place,
// and opening that would block the program or read it for ever. False with
// the system's reason (errno), or with `replaced` set when something other
// than a file is there now. Write modes never create the file.
bool OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, bool* replaced);

// The whole file. True with no bytes when nothing is at the path; false when
// something is there that cannot be read as a file (a folder, say), so that a
// caller never replaces what it could not read.
bool ReadFileBytes(const QString& filePath, QByteArray* bytes);

// Replaces the file through a new file beside it and one rename, so a crash
// or a full disk leaves the old file whole. `beforeRename` runs once the new
// file is complete. False, with the reason in `error` when given, when the
// file was not replaced.
bool ReplaceFile(const QString& filePath, QByteArrayView bytes, QString* error = nullptr,
                 const std::function<void()>& beforeRename = {});
// ReplaceFile for the program's own files (settings, upload state): refuses
// a path no file can have, and never replaces what is not a file.
bool WriteFileAtomically(const QString& filePath, QByteArrayView bytes,
                         const std::function<void()>& beforeRename = {});

} // namespace basFile
