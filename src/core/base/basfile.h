#pragma once

#include <QIODevice>
#include <QString>

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

} // namespace basFile
