#include "base/clstextfile.h"

#include "base/basfile.h"
#include "base/platform.h"
#include "base/textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kNotFound = QStringLiteral("ファイルが見つかりません。");

// The failure number for a file that could not be opened or created, judged
// from the system's reason and, where that says little, from the path.
int classifyOpenFailure(const QString& path, Platform::FileError error)
{
    using Platform::FileError;
    switch (error) {
    case FileError::AccessDenied:
    case FileError::InUse:
        return clsTextFile::PermissionDenied;
    case FileError::BadName:
        return clsTextFile::BadFileName;
    case FileError::NoSpace:
        return clsTextFile::DiskFull;
    case FileError::Io:
        return clsTextFile::DeviceIoError;
    case FileError::IsFolder:
    case FileError::ReadOnly:
    case FileError::Exists:
        return clsTextFile::PathFileAccessError;
    case FileError::NotAFolder:
        return clsTextFile::PathNotFound;
    case FileError::NotFound: {
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

int classifyWriteFailure(Platform::FileError error)
{
    using Platform::FileError;
    switch (error) {
    case FileError::NoSpace:
    case FileError::TooLarge:
        return clsTextFile::DiskFull;
    case FileError::AccessDenied:
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

clsTextFile::FailureInjector& readInjector()
{
    static clsTextFile::FailureInjector instance;
    return instance;
}

} // namespace

void clsTextFile::SetWriteFailureInjector(FailureInjector newInjector)
{
    injector() = std::move(newInjector);
}

void clsTextFile::SetReadFailureInjector(FailureInjector newInjector)
{
    readInjector() = std::move(newInjector);
}

QString clsTextFile::LastFailureText(const QString& path)
{
    return FailureText(classifyOpenFailure(path, Platform::LastFileError()));
}

bool clsTextFile::MayBeHeldOpen(const QString& message)
{
    return message.startsWith(QString::number(PermissionDenied) + u':')
           || message.startsWith(QString::number(PathFileAccessError) + u':');
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
    if (readInjector()) {
        if (const int number = readInjector()(vstrFilePath)) {
            SetFailure(number);
            return false;
        }
    }
    QFile file;
    bool replaced = false;
    Platform::ClearFileError();
    if (!basFile::OpenRegularFile(file, vstrFilePath, QIODevice::ReadOnly, &replaced)) {
        if (replaced)
            SetMessage(kNotFound);
        else
            SetFailure(classifyOpenFailure(vstrFilePath, Platform::LastFileError()));
        return false;
    }
    Platform::ClearFileError();
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        // A read that breaks off would silently lose the rest of the file.
        const Platform::FileError error = Platform::LastFileError();
        SetFailure(error == Platform::FileError::NoMemory ? DeviceIoError : classifyWriteFailure(error));
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
    // Asking whether the file is there only when the opening fails saves a
    // system call per page; the outcome is the same.
    if (vbytCont.isEmpty() || injector()) {
        if (!basFile::IsFileExists(vstrFilePath)) {
            SetMessage(kNotFound);
            return false;
        }
        if (vbytCont.isEmpty())
            return true;
        if (const int number = injector()(vstrFilePath)) {
            SetFailure(number);
            return false;
        }
    }
    // A page cut off by a full disk would look whole to whoever uploads it:
    // a write that fails is taken back.
    Platform::ClearFileError();
    switch (Platform::AppendToRegularFile(vstrFilePath, vbytCont, "\r\n")) {
    case Platform::AppendResult::Appended:
        return true;
    case Platform::AppendResult::NotAFile:
        SetMessage(kNotFound);
        return false;
    case Platform::AppendResult::OpenFailed: {
        const Platform::FileError error = Platform::LastFileError();
        if (!basFile::IsFileExists(vstrFilePath))
            SetMessage(kNotFound);
        else
            SetFailure(classifyOpenFailure(vstrFilePath, error));
        return false;
    }
    case Platform::AppendResult::WriteFailed:
        SetFailure(classifyWriteFailure(Platform::LastFileError()));
        return false;
    }
    return false;
}

bool clsTextFile::ClearText(const QString& vstrFilePath)
{
    if (!basFile::IsFileExists(vstrFilePath)) {
        SetMessage(kNotFound);
        return false;
    }
    QFile file;
    bool replaced = false;
    Platform::ClearFileError();
    if (!basFile::OpenRegularFile(file, vstrFilePath, QIODevice::WriteOnly | QIODevice::Truncate, &replaced)) {
        if (replaced)
            SetMessage(kNotFound);
        else
            SetFailure(classifyOpenFailure(vstrFilePath, Platform::LastFileError()));
        return false;
    }
    return true;
}

bool clsTextFile::CreateText(const QString& strFilePath)
{
    if (strFilePath.isEmpty() || hasNul(strFilePath)) {
        SetFailure(BadFileName);
        return false;
    }
    // Creating only if absent and asking afterwards is one system call less
    // per page than asking first, with the same outcome.
    Platform::ClearFileError();
    if (Platform::CreateNewFile(strFilePath))
        return true;
    const auto error = Platform::LastFileError();
    if (basFile::IsFileExists(strFilePath))
        return true; // an existing file is left as it is
    SetFailure(classifyOpenFailure(strFilePath, error));
    return false;
}

bool clsTextFile::CreateAndWriteBytes(const QString& vstrFilePath, QByteArrayView vbytCont)
{
    if (vbytCont.isEmpty() || injector() || vstrFilePath.isEmpty() || hasNul(vstrFilePath))
        return CreateText(vstrFilePath) && WriteBytes(vstrFilePath, vbytCont);
    Platform::ClearFileError();
    switch (Platform::AppendToRegularFile(vstrFilePath, vbytCont, "\r\n", true)) {
    case Platform::AppendResult::Appended:
        return true;
    case Platform::AppendResult::WriteFailed:
        SetFailure(classifyWriteFailure(Platform::LastFileError()));
        return false;
    case Platform::AppendResult::OpenFailed:
    case Platform::AppendResult::NotAFile:
        break;
    }
    // Rare: the two steps tell why, in the words they always used.
    return CreateText(vstrFilePath) && WriteBytes(vstrFilePath, vbytCont);
}
