#pragma once

// A real FTPS server (vsftpd) and a real SFTP server (OpenSSH) on 127.0.0.1,
// for the upload tests: started and stopped by the test, with a throwaway
// local account (the servers run as root and need a real user to log in),
// a self-signed certificate and a generated host key.

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>
#include <unistd.h>

class UploadServers
{
public:
    enum Kind { Ftps, Sftp };

    // Empty when everything is there; else what is missing.
    static QString Missing()
    {
        for (const char* tool : {"vsftpd", "sshd", "openssl", "ssh-keygen", "useradd", "chpasswd",
                                 "userdel"}) {
            const QString name = QString::fromLatin1(tool);
            if (QStandardPaths::findExecutable(name).isEmpty()
                && QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"),
                                                         QStringLiteral("/sbin")})
                       .isEmpty())
                return name;
        }
        if (::geteuid() != 0)
            return QStringLiteral("root (for the throwaway account)");
        return QString();
    }

    ~UploadServers()
    {
        stop(Ftps);
        stop(Sftp);
        if (!m_user.isEmpty())
            run(QStringLiteral("userdel"), {m_user});
    }

    // False with the reason in `error`.
    bool start(QString* error)
    {
        if (!m_dir.isValid())
            return fail(error, QStringLiteral("no temporary folder"));
        const QString base = m_dir.path();
        QFile::setPermissions(base, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                        | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                        | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                        | QFileDevice::ExeOther);
        m_user = QStringLiteral("sorabi-up%1").arg(QCoreApplication::applicationPid());
        m_password = QStringLiteral("Pw-%1-%2")
                         .arg(QRandomGenerator::global()->generate64(), 0, 36)
                         .arg(QRandomGenerator::global()->generate(), 0, 36);
        QDir().mkpath(home());
        QDir().mkpath(base + QStringLiteral("/empty"));
        QDir().mkpath(QStringLiteral("/run/sshd"));
        run(QStringLiteral("userdel"), {m_user});
        if (!run(QStringLiteral("useradd"), {QStringLiteral("-M"), QStringLiteral("-d"), home(),
                                              QStringLiteral("-s"), QStringLiteral("/bin/sh"),
                                              m_user}))
            return fail(error, QStringLiteral("useradd failed"));
        if (!run(QStringLiteral("chpasswd"), {}, (m_user + u':' + m_password).toUtf8())
            || !run(QStringLiteral("chown"), {m_user, home()}))
            return fail(error, QStringLiteral("chpasswd or chown failed"));
        if (!makeCertificate() || !makeHostKey())
            return fail(error, QStringLiteral("openssl or ssh-keygen failed"));
        for (Kind kind : {Ftps, Sftp}) {
            if (!launch(kind))
                return fail(error, QStringLiteral("server %1 did not start: %2")
                                       .arg(int(kind))
                                       .arg(QString::fromLocal8Bit(m_process[kind]
                                                                       ? m_process[kind]->readAll()
                                                                       : QByteArray())));
        }
        return true;
    }

    QString user() const { return m_user; }
    QString password() const { return m_password; }
    QString home() const { return m_dir.path() + QStringLiteral("/home"); }
    int port(Kind kind) const { return m_port[kind]; }
    QString fingerprint(Kind kind) const { return m_fingerprint[kind]; }

    // Every process of the server, sessions too, at once: a server that dies.
    void kill(Kind kind)
    {
        if (!m_process[kind])
            return;
        const qint64 pid = m_process[kind]->processId();
        for (qint64 child : descendants(pid))
            ::kill(pid_t(child), SIGKILL);
        ::kill(pid_t(pid), SIGKILL);
        m_process[kind]->waitForFinished(5000);
        m_process[kind].reset();
    }
    bool restart(Kind kind)
    {
        kill(kind);
        return launch(kind);
    }
    // A new certificate or host key: what a changed or impostor server shows.
    bool renewKey(Kind kind)
    {
        kill(kind);
        return (kind == Ftps ? makeCertificate() : makeHostKey()) && launch(kind);
    }

    // Runs a tool, with `input` on its standard input; true when it succeeds.
    static bool run(const QString& program, const QStringList& arguments,
                    const QByteArray& input = {}, QByteArray* output = nullptr)
    {
        QProcess p;
        p.start(program, arguments);
        if (!p.waitForStarted(5000))
            return false;
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(30000);
        if (output)
            *output = p.readAllStandardOutput();
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

private:
    bool fail(QString* error, const QString& text)
    {
        *error = text;
        return false;
    }

    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    static QList<qint64> descendants(qint64 pid)
    {
        QList<qint64> found;
        QList<qint64> parents{pid};
        while (!parents.isEmpty()) {
            const qint64 parent = parents.takeFirst();
            const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
            for (const QString& entry : entries) {
                bool number = false;
                const qint64 child = entry.toLongLong(&number);
                if (!number)
                    continue;
                QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
                if (!stat.open(QIODevice::ReadOnly))
                    continue;
                const QByteArray text = stat.readAll();
                const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
                if (fields.size() > 1 && fields[1].toLongLong() == parent) {
                    found.append(child);
                    parents.append(child);
                }
            }
        }
        return found;
    }

    bool makeCertificate()
    {
        QFile::remove(path("cert.pem"));
        QFile::remove(path("key.pem"));
        if (!run(QStringLiteral("openssl"),
                 {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                  QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                  path("key.pem"), QStringLiteral("-out"), path("cert.pem"),
                  QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                  QStringLiteral("/CN=sorabi-test")}))
            return false;
        // The public key's SHA-256, worked out by openssl rather than by the code under test.
        QByteArray digest;
        if (!run(QStringLiteral("bash"),
                 {QStringLiteral("-c"),
                  QStringLiteral("openssl x509 -in '%1' -noout -pubkey | openssl pkey -pubin "
                                 "-outform DER | openssl dgst -sha256 -binary | base64")
                      .arg(path("cert.pem"))},
                 {}, &digest))
            return false;
        m_fingerprint[Ftps] = QStringLiteral("SHA256:") + QString::fromLatin1(digest.trimmed()).remove(u'=');
        return true;
    }

    bool makeHostKey()
    {
        QFile::remove(path("hostkey"));
        QFile::remove(path("hostkey.pub"));
        QByteArray listing;
        if (!run(QStringLiteral("ssh-keygen"), {QStringLiteral("-q"), QStringLiteral("-t"),
                                                 QStringLiteral("ed25519"), QStringLiteral("-N"),
                                                 QString(), QStringLiteral("-f"), path("hostkey")})
            || !run(QStringLiteral("ssh-keygen"), {QStringLiteral("-l"), QStringLiteral("-E"),
                                                    QStringLiteral("sha256"), QStringLiteral("-f"),
                                                    path("hostkey.pub")},
                    {}, &listing))
            return false;
        m_fingerprint[Sftp] = QString::fromLatin1(listing.split(' ').value(1));
        return m_fingerprint[Sftp].startsWith(QStringLiteral("SHA256:"));
    }

public:
    // A port on 127.0.0.1 that nothing listens on.
    static int freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private:
    // On the port it had before, if any: a restarted server is the same destination.
    bool launch(Kind kind)
    {
        if (!m_port[kind])
            m_port[kind] = freePort();
        QString config;
        QString program;
        QStringList arguments;
        if (kind == Ftps) {
            config = QStringLiteral(
                         "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                         "background=NO\nanonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
                         "local_umask=022\npasv_enable=YES\npasv_address=127.0.0.1\n"
                         "pasv_min_port=40000\npasv_max_port=60000\nssl_enable=YES\n"
                         "rsa_cert_file=%2\nrsa_private_key_file=%3\nforce_local_logins_ssl=YES\n"
                         "force_local_data_ssl=YES\nrequire_ssl_reuse=NO\nssl_ciphers=HIGH\n"
                         "secure_chroot_dir=%4\nseccomp_sandbox=NO\npam_service_name=vsftpd\n"
                         "xferlog_enable=NO\nconnect_from_port_20=NO\nuserlist_enable=NO\n"
                         "max_per_ip=0\nmax_clients=0\n")
                         .arg(m_port[kind])
                         .arg(path("cert.pem"), path("key.pem"), path("empty"));
            program = QStringLiteral("/usr/sbin/vsftpd");
            arguments = {path("vsftpd.conf")};
        } else {
            config = QStringLiteral(
                         "ListenAddress 127.0.0.1\nPort %1\nHostKey %2\nPidFile none\nUsePAM no\n"
                         "PasswordAuthentication yes\nKbdInteractiveAuthentication no\n"
                         "PubkeyAuthentication no\nPermitRootLogin no\nAllowUsers %3\n"
                         "Subsystem sftp internal-sftp\nForceCommand internal-sftp\n"
                         "AllowTcpForwarding no\nX11Forwarding no\nStrictModes no\nLogLevel ERROR\n")
                         .arg(m_port[kind])
                         .arg(path("hostkey"), m_user);
            program = QStringLiteral("/usr/sbin/sshd");
            arguments = {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"),
                         path("sshd_config")};
        }
        QFile file(path(kind == Ftps ? "vsftpd.conf" : "sshd_config"));
        if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
            return false;
        file.close();
        m_process[kind] = std::make_unique<QProcess>();
        m_process[kind]->setProcessChannelMode(QProcess::MergedChannels);
        m_process[kind]->start(program, arguments);
        if (!m_process[kind]->waitForStarted(5000))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(m_port[kind]));
            if (socket.waitForConnected(500))
                return true;
            if (m_process[kind]->state() == QProcess::NotRunning)
                return false;
            QThread::msleep(50);
        }
        return false;
    }

    void stop(Kind kind) { kill(kind); }

    QTemporaryDir m_dir;
    QString m_user;
    QString m_password;
    int m_port[2] = {0, 0};
    QString m_fingerprint[2];
    std::unique_ptr<QProcess> m_process[2];
};
