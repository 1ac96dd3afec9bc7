#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

// What the program remembers about destinations between uploads, kept in
// the folder "upload" beside "option.ini": one manifest per destination and
// the list of trusted server keys.

// "SHA256:" and the unpadded base64 of the key's SHA-256, as OpenSSH prints it.
QString KeyFingerprint(QByteArrayView key);

// The pages that the server has confirmed, with the content they had then.
class UploadManifest
{
public:
    struct Entry
    {
        QByteArray sha256; // raw, 32 bytes
        qint64 size = 0;
    };

    // The manifest file of one destination within the state folder.
    static QString PathFor(const QString& stateFolder, const QString& destinationKey);

    // A missing or unreadable manifest is an empty one: everything is sent again.
    void Load(const QString& path);
    bool Save(const QString& path) const;

    QHash<QString, Entry> entries;
};

// Server keys that the user has trusted, by server ("host:port") and kind
// ("tls" or "ssh").
class TrustedKeys
{
public:
    explicit TrustedKeys(const QString& stateFolder);
    QString Find(const QString& kind, const QString& server) const;
    // Replaces what was trusted for that server before.
    bool Remember(const QString& kind, const QString& server, const QString& fingerprint);

private:
    QString m_path;
};
