#pragma once

#include <QString>

#include <optional>

// Where the pages go: the [UPLOAD] section of "option.ini". The password is
// never part of it; it lives in the system's credential store.
enum class UploadProtocol { Ftps, Sftp, Ftp };

struct UploadDestination
{
    UploadProtocol protocol = UploadProtocol::Ftps;
    QString host;
    int port = 0; // 0: the protocol's usual port
    QString user;
    QString folder; // relative to the login folder, or absolute with a leading "/"

    int EffectivePort() const { return port > 0 ? port : DefaultPort(protocol); }
    // "ftps://user@host:990/folder": names the destination in the manifest,
    // the trusted keys and the credential store. Never holds the password.
    QString Key() const;
    // "host:port", as the trusted keys remember a server.
    QString ServerKey() const;

    static int DefaultPort(UploadProtocol protocol);
    // "ftps", "sftp", "ftp", as stored under PROTOCOL.
    static QString ProtocolName(UploadProtocol protocol);
    static std::optional<UploadProtocol> ParseProtocol(const QString& name);

    // Reads [UPLOAD]. False, with the reason in Japanese, when PROTOCOL or
    // PORT hold something that is not one of their values.
    static bool Load(const QString& iniPath, UploadDestination* destination, QString* failure);
    // Writes the five keys; every other line of the file stays as it is.
    bool Save(const QString& iniPath) const;
};
