#pragma once

#include "upload/destination.h"
#include "upload/remotesession.h"
#include "upload/uploadrun.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <optional>

// What the program remembers about destinations between uploads, kept in
// the folder "upload" beside "option.ini": one manifest per destination and
// the list of trusted server keys.

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
// ("tls" or "ssh"), and the policy of trusting them: an SFTP server is known
// by its host key, an FTPS server by its certificate, plain FTP by nothing;
// the user is asked once per connection, and only about a key the server
// showed.
class TrustedKeys
{
public:
    explicit TrustedKeys(const QString& stateFolder);
    QString Find(const QString& kind, const QString& server) const;
    // Replaces what was trusted for that server before.
    bool Remember(const QString& kind, const QString& server, const QString& fingerprint);

    // The key trusted for the destination's server; none for plain FTP.
    QString TrustedFor(const UploadDestination& d) const;
    // Remembers the key for the destination's server from now on.
    void Trust(const UploadDestination& d, const QString& fingerprint);
    // What to ask the user after the `attempt`th connection failed with
    // `failure`, the server having shown `seen`; nothing when not to ask.
    static std::optional<UploadUi::KeyQuestion> QuestionFor(RemoteSession::Failure failure,
                                                            int attempt, const QString& seen);

private:
    QString m_path;
};
