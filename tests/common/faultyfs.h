#pragma once

// Real file-system faults for tests that run as root, where permissions
// cannot make anything unreadable or unwritable.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

namespace FaultyFs {

// A tmpfs of a few kilobytes mounted on a folder, so that writes into it run
// out of space for real. Mounting needs privileges a CI machine may lack:
// mounted() then says false and the caller falls back to a simulated failure
// (SORABI_TEST_NO_MOUNT=1 forces that, to try the fallback where mounting works).
class SmallFileSystem
{
public:
    SmallFileSystem(const QString& folder, int kilobytes) : m_folder(folder)
    {
        QDir().mkpath(folder);
        if (qEnvironmentVariableIsSet("SORABI_TEST_NO_MOUNT"))
            return;
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0755";
        m_mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0,
                            options.constData())
                    == 0;
    }
    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return m_mounted; }

private:
    QString m_folder;
    bool m_mounted = false;
};

// While it lives, no file of this process may grow beyond `bytes`: a write
// across the limit stops there and the next one fails with EFBIG, as on a
// disk that fills up in the middle of a file. Needs no privileges. The signal
// that would otherwise end the process is ignored meanwhile.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_active = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_active = false;
};

} // namespace FaultyFs
