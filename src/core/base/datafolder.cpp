#include "base/datafolder.h"

#include "base/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace {

DataFolder::WritableProbe& writableProbe()
{
    static DataFolder::WritableProbe probe;
    return probe;
}

} // namespace

QString DataFolder::ProgramFolder() const
{
    return m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
}

QString DataFolder::PerUserFolder()
{
    return QDir(QDir::homePath()).filePath(u"Sorabi"_s);
}

QString DataFolder::InstalledProgramFolder()
{
#ifdef SORABI_INSTALL_BINDIR
    return QStringLiteral(SORABI_INSTALL_BINDIR);
#else
    return QString();
#endif
}

void DataFolder::SetWritableProbe(WritableProbe probe)
{
    writableProbe() = std::move(probe);
}

bool DataFolder::IsFolderWritable(const QString& folder)
{
    if (writableProbe())
        return writableProbe()(folder);
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(u".sorabi-probe-XXXXXX"_s));
    return probe.open(); // removed again when it goes out of scope
}

bool DataFolder::Choose(bool perUser, QString* failure)
{
    m_perUserFolder.clear();
    const QString program = ProgramFolder();
    const QString installed = InstalledProgramFolder();
    // A package manager's folder is no place for pages, not even for an
    // administrator who could write there.
    const bool isInstalled = (!installed.isEmpty() && QFileInfo(installed).isDir()
                              && QDir(program) == QDir(installed))
                             || Platform::IsInInstallersFolder(program);
    if (!perUser && !isInstalled && IsFolderWritable(program))
        return true;

    const QString folder = PerUserFolder();
    if (!QDir().mkpath(folder) || !IsFolderWritable(folder) || !QDir::setCurrent(folder)) {
        if (failure)
            *failure = u"作業用のフォルダ「%1」を作成できないか、書き込めません。\r\n\r\n"
                       "ホームフォルダの空き容量と書き込みの権限を確かめてください。"_s.arg(
                           QDir::toNativeSeparators(folder));
        return false;
    }
    m_perUserFolder = QDir::currentPath();
    return true;
}
