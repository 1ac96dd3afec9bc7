#include "upload/uploadrun.h"

#include "upload/remotelisting.h"
#include "upload/remotesession.h"
#include "upload/uploadmessages.h"
#include "upload/uploadstate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using Failure = RemoteSession::Failure;

struct LocalPage
{
    QString name;
    QString path;
    QByteArray sha256;
    qint64 size = 0;
};

bool hashFile(LocalPage& page)
{
    QFile file(page.path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return false;
    page.sha256 = hash.result();
    page.size = file.size();
    return true;
}

class Upload
{
public:
    Upload(const UploadOptions& options, UploadUi& ui)
        : m_options(options), m_ui(ui), m_trusted(options.stateFolder)
    {
        m_clock.start();
    }

    // Logs in and lists the remote folder, asking about an unknown key.
    bool connect(QByteArray* listing)
    {
        const UploadDestination& d = m_options.destination;
        if (!d.HasHost())
            return fail(UploadMessages::NoHost());
        // The folder's parts go into server commands as the page names do.
        for (const QString& part : d.folder.split(u'/', Qt::SkipEmptyParts)) {
            if (!RemoteSession::IsSendableName(part))
                return fail(UploadMessages::FolderNotSendable(d.folder));
        }
        QString trusted = m_trusted.TrustedFor(d);
        for (int attempt = 0;; ++attempt) {
            RemoteSession::Settings settings;
            settings.destination = d;
            settings.password = m_options.password;
            settings.trustedFingerprint = trusted;
            settings.timeoutSeconds = m_options.timeoutSeconds;
            m_session = std::make_unique<RemoteSession>(settings);
            m_session->SetCancelCheck([this] { return m_ui.IsCancelled(); });
            if (m_session->List(listing))
                return true;
            const Failure failure = m_session->LastFailure();
            if (failure == Failure::FolderMissing) {
                // Made by the first page sent.
                listing->clear();
                return true;
            }
            const QString seen = m_session->SeenFingerprint();
            const std::optional<UploadUi::KeyQuestion> question = TrustedKeys::QuestionFor(
                failure, attempt, seen);
            if (question && m_ui.TrustKey(*question, d.HostAndPort(), seen)) {
                trusted = m_session->SeenTrust();
                m_trusted.Trust(d, trusted);
                continue;
            }
            m_result.fingerprint = seen;
            return fail(UploadMessages::Failure({.failure = failure,
                                                 .destination = d,
                                                 .detail = m_session->Detail(),
                                                 .fingerprint = seen,
                                                 .file = {}}),
                        failure == Failure::Cancelled);
        }
    }

    UploadResult testConnection()
    {
        QByteArray listing;
        if (connect(&listing))
            m_result.outcome = UploadOutcome::Completed;
        return finish();
    }

    UploadResult run()
    {
        if (!scanFolder())
            return finish();
        const QString manifestPath = UploadManifest::PathFor(m_options.stateFolder,
                                                             m_options.destination.Identity());
        m_manifest.Load(manifestPath);
        QByteArray listing;
        if (!connect(&listing))
            return finish();
        const QHash<QString, qint64> remote = ParseRemoteListing(listing);
        plan(remote);

        if (m_options.dryRun) {
            m_result.sent = int(m_toSend.size());
            if (!m_removed.isEmpty() && m_ui.ConfirmRemoval(m_removed))
                m_result.deleted = int(m_removed.size());
            else
                m_result.kept = m_removed;
            m_result.outcome = UploadOutcome::Completed;
            return finish();
        }

        const bool sent = sendAll(manifestPath);
        if (sent) {
            removeLeftovers(remote);
            removePages();
        }
        if (!m_manifest.Save(manifestPath) && m_result.outcome == UploadOutcome::Completed) {
            m_result.message = UploadMessages::ManifestNotSaved(manifestPath);
        }
        return finish();
    }

private:
    bool fail(const QString& message, bool cancelled = false)
    {
        m_result.outcome = cancelled ? UploadOutcome::Cancelled : UploadOutcome::Failed;
        m_result.message = message;
        return false;
    }

    UploadResult finish()
    {
        m_result.milliseconds = m_clock.elapsed();
        return m_result;
    }

    bool scanFolder()
    {
        const QFileInfo folder(m_options.localFolder);
        if (!folder.isDir())
            return fail(UploadMessages::LocalFolderMissing(m_options.localFolder));
        const QFileInfoList files = QDir(m_options.localFolder)
                                        .entryInfoList(QDir::Files | QDir::NoDotAndDotDot,
                                                       QDir::Name);
        for (const QFileInfo& info : files) {
            if (m_ui.IsCancelled())
                return fail(UploadMessages::Cancelled(), true);
            LocalPage page{info.fileName(), info.filePath(), {}, 0};
            if (page.name.endsWith(RemoteSession::TemporarySuffix()))
                continue;
            if (!RemoteSession::IsSendableName(page.name))
                return fail(UploadMessages::NameNotSendable(page.name));
            if (!hashFile(page))
                return fail(UploadMessages::Unreadable(page.path));
            m_local.append(page);
        }
        return true;
    }

    void plan(const QHash<QString, qint64>& remote)
    {
        QSet<QString> localNames;
        for (qsizetype i = 0; i < m_local.size(); ++i) {
            const LocalPage& page = m_local[i];
            localNames.insert(page.name);
            const auto known = m_manifest.entries.constFind(page.name);
            const auto there = remote.constFind(page.name);
            // The manifest counts only while the server still shows the page
            // with the size it was sent with.
            if (known != m_manifest.entries.cend() && there != remote.cend()
                && known->sha256 == page.sha256 && known->size == page.size
                && *there == page.size)
                ++m_result.unchanged;
            else
                m_toSend.append(i);
        }
        for (auto it = m_manifest.entries.begin(); it != m_manifest.entries.end();) {
            if (localNames.contains(it.key())) {
                ++it;
            } else if (remote.contains(it.key())) {
                m_removed.append(it.key());
                ++it;
            } else {
                it = m_manifest.entries.erase(it); // gone from the server already
            }
        }
        m_removed.sort();
    }

    bool sendAll(const QString& manifestPath)
    {
        const int total = int(m_toSend.size());
        int done = 0;
        int inARow = 0;
        QElapsedTimer sinceSave;
        sinceSave.start();
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        m_session->SetByteProgress([&](qint64 bytes) {
            if (sinceProgress.elapsed() >= 100) {
                sinceProgress.restart();
                m_ui.Progress(done, total, m_result.bytes + bytes);
            }
        });
        m_ui.Progress(0, total, 0);
        for (const qsizetype index : std::as_const(m_toSend)) {
            const LocalPage& page = m_local[index];
            if (m_ui.IsCancelled()) {
                fail(UploadMessages::Cancelled(), true);
                break;
            }
            if (m_session->Put(page.path, page.name)) {
                m_manifest.entries.insert(page.name, {page.sha256, page.size});
                ++m_result.sent;
                m_result.bytes += page.size;
                inARow = 0;
            } else {
                const Failure failure = m_session->LastFailure();
                if (failure == Failure::Cancelled) {
                    fail(UploadMessages::Cancelled(), true);
                    break;
                }
                // The server answered the listing: refusing now means it went away.
                const Failure shown = failure == Failure::Refused ? Failure::ConnectionLost
                                                                  : failure;
                if (m_result.message.isEmpty())
                    m_result.message = UploadMessages::Failure({.failure = shown,
                                                                .destination = m_options.destination,
                                                                .detail = m_session->Detail(),
                                                                .fingerprint = {},
                                                                .file = page.name});
                // A refused page may be the page's own fault; a lost
                // connection, a full disk or a run of refusals is not.
                const bool perPage = failure == Failure::AccessDenied || failure == Failure::Other;
                if (!perPage || ++inARow >= 3)
                    break;
            }
            ++done;
            m_ui.Progress(done, total, m_result.bytes);
            // Kept on disk as it grows, so a crash costs at most a few pages sent again.
            if (sinceSave.elapsed() > 5000) {
                m_manifest.Save(manifestPath);
                sinceSave.restart();
            }
        }
        m_session->SetByteProgress({});
        if (m_result.outcome == UploadOutcome::Cancelled)
            return false;
        m_result.failed = total - m_result.sent;
        if (m_result.failed > 0) {
            m_result.outcome = UploadOutcome::Failed;
            m_result.message += UploadMessages::PagesNotSent(m_result.failed);
            return false;
        }
        m_result.outcome = UploadOutcome::Completed;
        return true;
    }

    // Pages an interrupted upload left half sent.
    void removeLeftovers(const QHash<QString, qint64>& remote)
    {
        for (auto it = remote.cbegin(); it != remote.cend(); ++it) {
            if (it.key().endsWith(RemoteSession::TemporarySuffix()) && RemoteSession::IsSendableName(it.key()))
                m_session->Remove(it.key());
        }
    }

    void removePages()
    {
        if (m_removed.isEmpty())
            return;
        if (!m_ui.ConfirmRemoval(m_removed)) {
            m_result.kept = m_removed;
            return;
        }
        for (const QString& name : std::as_const(m_removed)) {
            if (!RemoteSession::IsSendableName(name) || !m_session->Remove(name)) {
                m_result.kept.append(name);
                continue;
            }
            m_manifest.entries.remove(name);
            ++m_result.deleted;
        }
        if (!m_result.kept.isEmpty()) {
            m_result.outcome = UploadOutcome::Failed;
            m_result.message = UploadMessages::NotRemoved(m_result.kept, m_session->Detail());
        }
    }

    const UploadOptions& m_options;
    UploadUi& m_ui;
    TrustedKeys m_trusted;
    UploadManifest m_manifest;
    std::unique_ptr<RemoteSession> m_session;
    QList<LocalPage> m_local;
    QList<qsizetype> m_toSend;
    QStringList m_removed;
    UploadResult m_result;
    QElapsedTimer m_clock;
};

} // namespace

UploadResult RunUpload(const UploadOptions& options, UploadUi& ui)
{
    return Upload(options, ui).run();
}

UploadResult TestConnection(const UploadOptions& options, UploadUi& ui)
{
    return Upload(options, ui).testConnection();
}

QString SummaryLine(const UploadResult& r)
{
    return u"sent %1, unchanged %2, deleted %3, failed %4"_s.arg(r.sent).arg(r.unchanged).arg(
        r.deleted).arg(r.failed);
}
