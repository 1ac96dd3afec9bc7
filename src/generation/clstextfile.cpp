#include "clstextfile.h"

#include "basfile.h"
#include "textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace {

const QString kNotFound = QStringLiteral("ファイルが見つかりません。");

// The failure number for a file that could not be opened or created, judged
// from the system's error code and, where that says little, from the path.
int classifyOpenFailure(const QString& path, int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case ETXTBSY:
        return clsTextFile::PermissionDenied;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        return clsTextFile::BadFileName;
    case ENOSPC:
    case EDQUOT:
        return clsTextFile::DiskFull;
    case EIO:
        return clsTextFile::DeviceIoError;
    case EISDIR:
    case EROFS:
    case EEXIST:
        return clsTextFile::PathFileAccessError;
    case ENOTDIR:
        return clsTextFile::PathNotFound;
    case ENOENT: {
        const QFileInfo info(path);
        return QFileInfo(info.absolutePath()).isDir() ? clsTextFile::FileNotFound
                                                        : clsTextFile::PathNotFound;
    }
    default:
        break;
    }
    const QFileInfo info(path);
    if (info.isDir())
        return clsTextFile::PathFileAccessError;
    if (!QFileInfo(info.absolutePath()).isDir())
        return clsTextFile::PathNotFound;
    return clsTextFile::PathFileAccessError;
}

int classifyWriteFailure(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return clsTextFile::DiskFull;
    case EACCES:
    case EPERM:
        return clsTextFile::PermissionDenied;
    default:
        return clsTextFile::DeviceIoError;
    }
}

bool hasNul(const QString& path)
{
    return path.contains(QChar(0));
}

clsTextFile::FailureInjector& injector()
{
    static clsTextFile::FailureInjector instance;
    return instance;
}

} // namespace

void clsTextFile::SetWriteFailureInjector(FailureInjector newInjector)
{
    injector() = std::move(newInjector);
}

QString clsTextFile::FailureText(int number)
{
    QString description;
    switch (number) {
    case BadFileName:
        description = QStringLiteral("ファイル名が正しくありません。");
        break;
    case FileNotFound:
        description = QStringLiteral("ファイルが見つかりません。");
        break;
    case DeviceIoError:
        description = QStringLiteral("デバイスの入出力エラーです。");
        break;
    case DiskFull:
        description = QStringLiteral("ディスクの空き容量が足りません。");
        break;
    case PermissionDenied:
        description = QStringLiteral("アクセスが拒否されました。");
        break;
    case PathFileAccessError:
        description = QStringLiteral("パスまたはファイルにアクセスできません。");
        break;
    case PathNotFound:
        description = QStringLiteral("パスが見つかりません。");
        break;
    default:
        description = QStringLiteral("ファイル操作に失敗しました。");
        break;
    }
    return QString::number(number) + u':' + description;
}

bool clsTextFile::ReadBytes(const QString& vstrFilePath, QByteArray& rbytCont)
{
    if (!basFile::IsFileExists(vstrFilePath)) {
        SetMessage(kNotFound);
        return false;
    }
    QFile file(vstrFilePath);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly | QIODevice::ExistingOnly)) {
        SetFailure(classifyOpenFailure(vstrFilePath, errno));
        return false;
    }
    errno = 0;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        // A read that breaks off would silently lose the rest of the file.
        SetFailure(errno == ENOMEM ? DeviceIoError : classifyWriteFailure(errno));
        return false;
    }
    if (!bytes.isEmpty())
        rbytCont = std::move(bytes);
    return true;
}

bool clsTextFile::ReadText(const QString& vstrFilePath, QString& rstrCont)
{
    QByteArray bytes;
    if (!ReadBytes(vstrFilePath, bytes))
        return false;
    if (!bytes.isEmpty())
        rstrCont = TextCodec::DecodeShiftJis(bytes);
    return true;
}

bool clsTextFile::WriteText(const QString& vstrFilePath, const QString& vstrCont)
{
    return WriteBytes(vstrFilePath,
                      TextCodec::EncodeShiftJis(vstrCont, TextCodec::Unmappable::CharacterReference));
}

bool clsTextFile::WriteBytes(const QString& vstrFilePath, QByteArrayView vbytCont)
{
    if (!basFile::IsFileExists(vstrFilePath)) {
        SetMessage(kNotFound);
        return false;
    }
    if (vbytCont.isEmpty())
        return true;
    QFile file(vstrFilePath);
    errno = 0;
    if (!file.open(QIODevice::Append | QIODevice::ExistingOnly | QIODevice::Unbuffered)) {
        SetFailure(classifyOpenFailure(vstrFilePath, errno));
        return false;
    }
    if (injector()) {
        if (const int number = injector()(vstrFilePath)) {
            SetFailure(number);
            return false;
        }
    }
    errno = 0;
    if (file.write(vbytCont.data(), vbytCont.size()) != vbytCont.size()
        || file.write("\r\n", 2) != 2) {
        SetFailure(classifyWriteFailure(errno));
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        SetFailure(classifyWriteFailure(errno));
        return false;
    }
    return true;
}

bool clsTextFile::ClearText(const QString& vstrFilePath)
{
    if (!basFile::IsFileExists(vstrFilePath)) {
        SetMessage(kNotFound);
        return false;
    }
    QFile file(vstrFilePath);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::ExistingOnly)) {
        SetFailure(classifyOpenFailure(vstrFilePath, errno));
        return false;
    }
    return true;
}

bool clsTextFile::CreateText(const QString& strFilePath)
{
    if (basFile::IsFileExists(strFilePath))
        return true;
    if (strFilePath.isEmpty() || hasNul(strFilePath)) {
        SetFailure(BadFileName);
        return false;
    }
    QFile file(strFilePath);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        SetFailure(classifyOpenFailure(strFilePath, errno));
        return false;
    }
    file.close();
    return true;
}
