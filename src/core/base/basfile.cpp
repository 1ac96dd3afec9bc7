#include "base/basfile.h"

#include "base/platform.h"

#include <QFile>
#include <QFileInfo>


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

} // namespace basFile
