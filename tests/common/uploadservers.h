#pragma once

// A real FTPS server (vsftpd, require_ssl_reuse=YES) and a real SFTP server
// (OpenSSH) on 127.0.0.1, for the upload tests: started and stopped by the
// test through tests/servers/upload-servers (the script every caller uses),
// with a throwaway local account (the servers run as root and need a real
// user to log in), a self-signed certificate and generated host keys.

#include <QCoreApplication>
#include <QHash>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

class UploadServers
{
public:
    enum Kind { Ftps, Sftp };

    // The one script that starts the test servers for every caller.
    static QString Script()
    {
        return QStringLiteral(SORABI_SOURCE_DIR "/tests/servers/upload-servers");
    }

    // Empty when everything is there; else what is missing.
    static QString Missing()
    {
        QByteArray output;
        if (!run(QStringLiteral("bash"), {Script(), QStringLiteral("missing")}, {}, &output))
            return QStringLiteral("bash or ") + Script();
        return QString::fromLocal8Bit(output.trimmed());
    }

    ~UploadServers()
    {
        if (m_started)
            run(QStringLiteral("bash"), {Script(), QStringLiteral("stop"), m_dir.path()});
    }

    // False with the reason in `error`. `maxPerIp` > 0: the servers allow
    // only that many connections at once (vsftpd max_per_ip, sshd sessions).
    bool start(QString* error, int maxPerIp = 0)
    {
        if (!m_dir.isValid())
            return fail(error, QStringLiteral("no temporary folder"));
        m_started = true;
        // Stopped with this process too, should it end without the destructor.
        // vsftpd as it comes: TLS 1.3 offered, require_ssl_reuse=YES.
        static int started = 0;
        QStringList arguments{QStringLiteral("start"), m_dir.path(), QStringLiteral("--user"),
                              QStringLiteral("sorabi-up%1-%2")
                                  .arg(QCoreApplication::applicationPid())
                                  .arg(started++),
                              QStringLiteral("--owner"),
                              QString::number(QCoreApplication::applicationPid())};
        if (maxPerIp > 0)
            arguments << QStringLiteral("--max-per-ip") << QString::number(maxPerIp);
        return script(arguments, error);
    }

    QString user() const { return m_values.value(QStringLiteral("user")); }
    QString password() const { return m_values.value(QStringLiteral("password")); }
    QString home() const { return m_values.value(QStringLiteral("home")); }
    int port(Kind kind) const { return m_values.value(name(kind) + QStringLiteral("_port")).toInt(); }
    // What the program shows: a certificate's SHA-256 (AB:CD:…), a host key's
    // OpenSSH fingerprint.
    QString fingerprint(Kind kind) const
    {
        return m_values.value(kind == Sftp ? QStringLiteral("sftp_fingerprint")
                                           : QStringLiteral("ftps_cert_sha256"));
    }
    // Any line the script printed (see tests/servers/upload-servers).
    QString value(const QString& key) const { return m_values.value(key); }

    // Every process of the server, sessions too, at once: a server that dies.
    void kill(Kind kind) { script({QStringLiteral("kill"), m_dir.path(), name(kind)}); }
    // On the port it had before: a restarted server is the same destination.
    bool restart(Kind kind) { return script({QStringLiteral("restart"), m_dir.path(), name(kind)}); }
    // A new certificate or host key: what a changed or impostor server shows.
    bool renewKey(Kind kind)
    {
        return script({QStringLiteral("renew-key"), m_dir.path(), name(kind)});
    }

    // Runs a tool, with `input` on its standard input; true when it succeeds.
    static bool run(const QString& program, const QStringList& arguments,
                    const QByteArray& input = {}, QByteArray* output = nullptr,
                    QByteArray* errors = nullptr)
    {
        QProcess p;
        p.start(program, arguments);
        if (!p.waitForStarted(5000))
            return false;
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(60000);
        if (output)
            *output = p.readAllStandardOutput();
        if (errors)
            *errors = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    // A port on 127.0.0.1 that nothing listens on.
    static int freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private:
    static QString name(Kind kind)
    {
        return kind == Ftps ? QStringLiteral("ftps") : QStringLiteral("sftp");
    }

    bool fail(QString* error, const QString& text)
    {
        if (error)
            *error = text;
        return false;
    }

    // The script with `arguments`; what it prints (NAME=VALUE lines) replaces the values.
    bool script(const QStringList& arguments, QString* error = nullptr)
    {
        QByteArray output;
        QByteArray errors;
        if (!run(QStringLiteral("bash"), QStringList{Script()} + arguments, {}, &output, &errors))
            return fail(error, QStringLiteral("upload-servers %1 failed: %2")
                                   .arg(arguments.value(0), QString::fromLocal8Bit(errors)));
        const QList<QByteArray> lines = output.split('\n');
        for (const QByteArray& line : lines) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0)
                m_values.insert(QString::fromUtf8(line.left(equals)),
                                QString::fromUtf8(line.mid(equals + 1)));
        }
        return true;
    }

    QTemporaryDir m_dir;
    bool m_started = false;
    QHash<QString, QString> m_values;
};
