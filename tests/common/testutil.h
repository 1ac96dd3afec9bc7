#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QString>

namespace TestUtil {

// The project's version, from CMake, as the programs must show it.
inline QString version()
{
    return QStringLiteral(SORABI_VERSION);
}

// The sample CSV file and settings that come with the program.
inline QString examples()
{
    return QStringLiteral(SORABI_SOURCE_DIR "/examples");
}

// A file's bytes; a file that cannot be read gives a text no file compared
// with it holds, so that a missing file never passes for an empty one.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<unreadable>");
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every file below a folder with its bytes, by relative path.
inline QMap<QString, QByteArray> folderContents(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), readFile(path));
    }
    return files;
}

} // namespace TestUtil
