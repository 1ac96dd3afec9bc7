#include "basfile.h"

#include <QFileInfo>

namespace basFile {

bool IsFileExists(const QString& path)
{
    if (path.isEmpty() || path.contains(QChar(0)))
        return false;
    const QFileInfo info(path);
    return info.isFile();
}

} // namespace basFile
