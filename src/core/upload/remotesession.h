#pragma once

#include "upload/destination.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

// "SHA256:" and the unpadded base64 of the key's SHA-256, as OpenSSH prints
// it: how a session shows a server's certificate or host key.
QString KeyFingerprint(QByteArrayView key);
// The SHA-256 of a whole certificate (DER) in upper-case hex pairs with
// colons, as browsers and `openssl x509 -fingerprint -sha256` show it: how a
// session shows a server's certificate.
QString CertificateFingerprint(QByteArrayView der);

// One connection to the web space, kept open from one request to the next
// (thousands of pages must not mean thousands of logins). Every request
// either is confirmed by the server or fails with a Failure and the
// server's own words in Detail().
class RemoteSession
{
public:
    enum class Failure {
        None,
        HostNotFound,
        Refused,
        Timeout,
        Login,
        NoTls,               // the server does not offer TLS
        CertificateUntrusted,
        CertificateChanged,
        HostKeyUnknown,
        HostKeyChanged,
        FolderMissing,
        AccessDenied,
        DiskFull,
        ConnectionLost,
        Cancelled,
        Other,
    };

    struct Settings
    {
        UploadDestination destination;
        QString password;
        // The server key the user trusts (SeenTrust() of an earlier session):
        // the only one accepted when set.
        // Unset, a TLS certificate must be valid for the host by the
        // system's certificate authorities, and an SSH host key is refused.
        QString trustedFingerprint;
        int timeoutSeconds = 30;
    };

    explicit RemoteSession(const Settings& settings);
    ~RemoteSession();
    RemoteSession(const RemoteSession&) = delete;
    RemoteSession& operator=(const RemoteSession&) = delete;

    // Asked during transfers; true ends the transfer at once.
    void SetCancelCheck(std::function<bool()> check) { m_cancelled = std::move(check); }
    // Told the bytes of the current file sent so far.
    void SetByteProgress(std::function<void(qint64)> progress) { m_progress = std::move(progress); }

    // Logs in (nothing more): a further connection of an upload, checked
    // before it takes a page. Its key must be the trusted one.
    bool Connect();
    // The remote folder's listing (see ParseRemoteListing).
    bool List(QByteArray* listing);
    // Sends the file. A page the server has (`replacing`) goes under a
    // temporary name and is renamed into place, so a visitor never sees half
    // of it; a page the server does not have yet goes under its own name, as
    // nothing links to it until the pages that do arrive (two round trips
    // fewer), and what arrived of it is removed when the send fails or is
    // cancelled. Creates the remote folder if needed.
    bool Put(const QString& localPath, const QString& name, bool replacing = true);
    bool Remove(const QString& name);

    Failure LastFailure() const { return m_failure; }
    QString Detail() const { return m_detail; }
    // The key the server showed, when it was not the trusted one.
    QString SeenFingerprint() const { return m_seenFingerprint; }
    // What to remember to trust that key: for a certificate its fingerprint
    // and the pin of its public key, which the TLS handshake checks.
    QString SeenTrust() const { return m_seenTrust; }

    // The suffix of names that are still being sent.
    static QString TemporarySuffix();
    // Whether a name may go into a server command (a page, a part of the
    // remote folder): not one the server could take for something else.
    static bool IsSendableName(const QString& name);

private:
    struct Handle;
    bool perform(bool listing);
    // Removes what a failed or cancelled send left, keeping its failure.
    void removeAfterFailure(const QString& name);
    // Whether the server still answers on this session, after a failure.
    bool answers();
    void probeCertificate();
    QString folderUrl() const;
    QByteArray remotePath(const QString& name) const;

    Settings m_settings;
    std::unique_ptr<Handle> m_handle;
    std::function<bool()> m_cancelled;
    std::function<void(qint64)> m_progress;
    Failure m_failure = Failure::None;
    QString m_detail;
    QString m_seenFingerprint;
    QString m_seenTrust;
};
