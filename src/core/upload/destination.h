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
    // How many connections an upload may use at once (CONNECTIONS, 1–8).
    // Not part of the identity: the same destination, whatever the number.
    int connections = DefaultConnections;

    static constexpr int DefaultConnections = 4;
    static constexpr int MaxConnections = 8;

    int EffectivePort() const { return port > 0 ? port : DefaultPort(protocol); }

    // Whether a server is named at all (blanks are no name). Every front end
    // refuses a destination without one before asking for a password.
    bool HasHost() const { return !host.trimmed().isEmpty(); }
    // The host as a URL writes it: a numeric IPv6 address in brackets, so
    // that its colons stay apart from the port's.
    QString UrlHost() const;
    // "host:port" (IPv6 "[::1]:22"), as the user is shown the server.
    QString HostAndPort() const;
    // "host:port" in lower case, as the trusted keys remember a server.
    QString ServerId() const;
    // "ftps://user@host:990": the password's entry in the credential store.
    QString CredentialEntry() const;
    // "ftps://user@host:990/folder": names the destination's manifest.
    // Never holds the password.
    QString Identity() const;

    static int DefaultPort(UploadProtocol protocol);
    // What a port field or PORT may hold: empty (0, the protocol's usual
    // port) or a number 1–65535. Nothing for anything else. The caller trims.
    static std::optional<int> ParsePort(const QString& text);
    // The folder "upload" beside the settings file, where the manifests and
    // the trusted keys are kept.
    // What a connections field, CONNECTIONS or --connections may hold:
    // empty (the default, 4) or a number 1–8. Nothing for anything else.
    static std::optional<int> ParseConnections(const QString& text);
    static QString StateFolder(const QString& iniPath);
    // "ftps", "sftp", "ftp", as stored under PROTOCOL.
    static QString ProtocolName(UploadProtocol protocol);
    static std::optional<UploadProtocol> ParseProtocol(const QString& name);

    // Reads [UPLOAD]. False, with the reason in Japanese, when PROTOCOL or
    // PORT hold something that is not one of their values.
    static bool Load(const QString& iniPath, UploadDestination* destination, QString* failure);
    // Writes the six keys; every other line of the file stays as it is.
    bool Save(const QString& iniPath) const;
};
