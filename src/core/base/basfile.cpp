#include "base/basfile.h"

#include "base/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>


namespace basFile {

bool IsFileExists(const QString& path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return false;
    const QFileInfo info(path);
    return info.isFile();
}

bool OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, bool* replaced)
{
    return Platform::OpenRegularFile(file, path, mode, replaced);
}

bool ReadFileBytes(const QString& filePath, QByteArray* bytes)
{
    bytes->clear();
    if (!IsFileExists(filePath)) {
        // Nothing there is fine; a folder, device or pipe in its place is not.
        const QFileInfo info(filePath);
        return !info.exists() && !info.isSymLink();
    }
    // A FIFO put in the file's place since the check must not hang the run.
    QFile file;
    bool replaced = false;
    if (!OpenRegularFile(file, filePath, QIODevice::ReadOnly, &replaced))
        return false;
    *bytes = file.readAll();
    return file.error() == QFileDevice::NoError;
}

bool ReplaceFile(const QString& filePath, QByteArrayView bytes, QString* error,
                 const std::function<void()>& beforeRename)
{
    QSaveFile file(filePath);
    // Left uncommitted, the new file is removed and the old one stays.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), bytes.size()) != bytes.size()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (beforeRename)
        beforeRename();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool WriteFileAtomically(const QString& filePath, QByteArrayView bytes,
                         const std::function<void()>& beforeRename)
{
    if (filePath.isEmpty() || filePath.contains(QChar(0)))
        return false;
    const QFileInfo info(filePath);
    if (info.exists() && !info.isFile())
        return false;
    return ReplaceFile(filePath, bytes, nullptr, beforeRename);
}

} // namespace basFile
