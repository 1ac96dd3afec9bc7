#pragma once

#include <QString>

namespace basFile {

// Whether a regular file (not a folder, FIFO or device) exists at the path.
// A relative path is taken relative to the working folder.
bool IsFileExists(const QString& path);

} // namespace basFile
