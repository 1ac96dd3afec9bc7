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

#include <atomic>
#include <bit>
#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

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

bool isConnectionLoss(Failure failure)
{
    return failure == Failure::ConnectionLost || failure == Failure::Timeout
           || failure == Failure::Refused;
}

bool isKeyFailure(Failure failure)
{
    return failure == Failure::CertificateChanged || failure == Failure::CertificateUntrusted
           || failure == Failure::HostKeyChanged || failure == Failure::HostKeyUnknown;
}

// The pages go over up to N connections, each a worker thread with its own
// session, taking pages from one queue. The workers only report; the
// upload's thread (the main loop of sendAll) alone talks to the user,
// decides what a failure means and writes the manifest.
struct Pool
{
    struct Job
    {
        qsizetype index = 0; // into the upload's m_toSend
        int attempts = 0;
    };
    struct Event
    {
        enum Kind { Up, ConnectFailed, Sent, Failed, Ended } kind = Ended;
        Job job;
        Failure failure = Failure::None;
        QString detail;
        QString seen;
        int slot = 0;
    };

    std::mutex mutex;
    std::condition_variable work; // a job or the end, for the workers
    std::condition_variable told; // an event, for the main loop
    std::condition_variable allDone; // every worker has left its queue
    std::deque<Job> jobs;
    std::vector<Event> events;
    int workers = 0;
    int done = 0;
    bool closing = false; // no job will come any more
    std::atomic<bool> stop = false;
    std::atomic<qint64> inFlight[UploadDestination::MaxConnections] = {};

    // Every worker keeps its connection until all have tried theirs, so a
    // late login is never let in by one that just quit: the connections
    // counted are those the server allowed at once.
    void leave()
    {
        std::unique_lock lock(mutex);
        if (++done == workers)
            allDone.notify_all();
        else
            allDone.wait(lock, [this] { return done == workers; });
    }

    void post(Event event)
    {
        {
            const std::lock_guard lock(mutex);
            events.push_back(std::move(event));
        }
        told.notify_one();
    }
};

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
            m_accepted = trusted;
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
        if (!QFileInfo(m_options.localFolder).isDir()) {
            fail(UploadMessages::LocalFolderMissing(m_options.localFolder));
            return finish();
        }
        const QString manifestPath = UploadManifest::PathFor(m_options.stateFolder,
                                                             m_options.destination.Identity());
        m_manifest.Load(manifestPath);
        // The pages are read and hashed while the first connection logs in
        // and lists the folder: for 10,000 pages each takes a second or more.
        // A local fault is still the one reported.
        std::atomic<bool> cancelScan = false;
        std::promise<QString> scanned;
        std::future<QString> scanFault = scanned.get_future();
        std::thread scanner([this, &cancelScan, &scanned] { scanned.set_value(scanFolder(cancelScan)); });
        QByteArray listing;
        const bool connected = connect(&listing);
        while (scanFault.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            if (m_ui.IsCancelled())
                cancelScan = true;
        }
        scanner.join();
        const QString localFault = scanFault.get();
        if (cancelScan || !localFault.isEmpty()) {
            m_result = {};
            fail(cancelScan ? UploadMessages::Cancelled() : localFault, cancelScan);
            return finish();
        }
        if (!connected)
            return finish();
        const QHash<QString, qint64> remote = ParseRemoteListing(listing);
        m_remote = remote;
        const UploadPlan planned = plan(remote);
        // Declined: the manifest on disk stays as it was (plan() only
        // forgot pages in memory) and the server is not touched.
        if (!m_ui.ConfirmPlan(planned)) {
            fail(UploadMessages::Cancelled(), true);
            return finish();
        }

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

    // The local pages and their hashes into m_local, on a thread of its own
    // (so not a word with the UI); the message of a fault, or none.
    QString scanFolder(const std::atomic<bool>& cancelled)
    {
        const QFileInfoList files = QDir(m_options.localFolder)
                                        .entryInfoList(QDir::Files | QDir::NoDotAndDotDot,
                                                       QDir::Name);
        for (const QFileInfo& info : files) {
            if (cancelled)
                return {};
            LocalPage page{info.fileName(), info.filePath(), {}, 0};
            if (page.name.endsWith(RemoteSession::TemporarySuffix()))
                continue;
            if (!RemoteSession::IsSendableName(page.name))
                return UploadMessages::NameNotSendable(page.name);
            if (!hashFile(page))
                return UploadMessages::Unreadable(page.path);
            m_local.append(page);
        }
        return {};
    }

    UploadPlan plan(const QHash<QString, qint64>& remote)
    {
        UploadPlan planned;
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
                && *there == page.size) {
                ++m_result.unchanged;
                continue;
            }
            m_toSend.append(i);
            (there == remote.cend() ? planned.added : planned.changed).append(page.name);
            planned.bytes += page.size;
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
        planned.unchanged = m_result.unchanged;
        planned.removed = m_removed;
        return planned; // added and changed in the folder's order, which is by name
    }

    RemoteSession::Settings sessionSettings() const
    {
        RemoteSession::Settings settings;
        settings.destination = m_options.destination;
        settings.password = m_options.password;
        // Every further connection accepts only the key the first one did.
        settings.trustedFingerprint = m_accepted;
        settings.timeoutSeconds = m_options.timeoutSeconds;
        return settings;
    }

    // One connection: logs in (the first is in already), then sends pages
    // from the queue until there are none or the upload stops. A lost
    // connection is made again once; the page that was on it goes back to
    // the main loop, which hands it out again.
    void work(Pool& pool, int slot, std::unique_ptr<RemoteSession>& session)
    {
        if (!session) {
            session = std::make_unique<RemoteSession>(sessionSettings());
            session->SetCancelCheck([&pool] { return pool.stop.load(); });
            if (!session->Connect()) {
                // Refused (a server's limit) is no failure; another key is.
                pool.post({Pool::Event::ConnectFailed, {}, session->LastFailure(),
                           session->Detail(), session->SeenFingerprint(), slot});
                session.reset();
                pool.post({Pool::Event::Ended, {}, Failure::None, {}, {}, slot});
                pool.leave();
                return;
            }
        }
        session->SetCancelCheck([&pool] { return pool.stop.load(); });
        session->SetByteProgress([&pool, slot](qint64 bytes) { pool.inFlight[slot] = bytes; });
        pool.post({Pool::Event::Up, {}, Failure::None, {}, {}, slot});
        bool reconnected = false;
        for (;;) {
            Pool::Job job;
            {
                std::unique_lock lock(pool.mutex);
                pool.work.wait(lock, [&] { return pool.stop || pool.closing || !pool.jobs.empty(); });
                if (pool.stop || pool.jobs.empty())
                    break;
                job = pool.jobs.front();
                pool.jobs.pop_front();
            }
            const LocalPage& page = m_local[m_toSend[job.index]];
            const bool ok = session->Put(page.path, page.name, m_remote.contains(page.name));
            pool.inFlight[slot] = 0;
            if (ok) {
                pool.post({Pool::Event::Sent, job, Failure::None, {}, {}, slot});
                continue;
            }
            const Failure failure = session->LastFailure();
            pool.post({Pool::Event::Failed, job, failure, session->Detail(), session->SeenFingerprint(), slot});
            if (isConnectionLoss(failure)) {
                if (reconnected || pool.stop || !session->Connect()) {
                    if (!pool.stop && !reconnected)
                        pool.post({Pool::Event::ConnectFailed, {}, session->LastFailure(),
                                   session->Detail(), session->SeenFingerprint(), slot});
                    break;
                }
                reconnected = true;
            } else if (failure == Failure::Cancelled || isKeyFailure(failure)) {
                break;
            }
        }
        session->SetByteProgress({});
        // Told first: the upload's thread counts the connections left.
        pool.post({Pool::Event::Ended, {}, Failure::None, {}, {}, slot});
        pool.leave();
        if (slot > 0)
            session.reset(); // its QUIT on this thread, alongside the others
    }

    // Stops the upload for a key other than the accepted one.
    void keyChanged(Failure failure, const QString& detail, const QString& seen)
    {
        const bool sftp = m_options.destination.protocol == UploadProtocol::Sftp;
        const Failure shown = sftp ? Failure::HostKeyChanged
                                   : (m_accepted.isEmpty() ? failure : Failure::CertificateChanged);
        m_result.fingerprint = seen;
        m_keyMessage = UploadMessages::Failure({.failure = shown,
                                                .destination = m_options.destination,
                                                .detail = detail,
                                                .fingerprint = seen,
                                                .file = {}});
    }

    bool sendAll(const QString& manifestPath)
    {
        const int total = int(m_toSend.size());
        const int wanted = std::clamp(m_options.destination.connections, 1,
                                      UploadDestination::MaxConnections);
        const int count = std::max(1, std::min(wanted, total));
        Pool pool;
        for (qsizetype i = 0; i < m_toSend.size(); ++i)
            pool.jobs.push_back({i, 0});
        std::vector<std::unique_ptr<RemoteSession>> sessions(static_cast<size_t>(count));
        sessions[0] = std::move(m_session);
        // Before any further connection: the key they must show is settled.
        m_ui.Progress(0, total, 0);
        std::vector<std::thread> workers;
        if (total > 0) {
            pool.workers = count;
            for (int slot = 0; slot < count; ++slot)
                workers.emplace_back([this, &pool, slot, &sessions] { work(pool, slot, sessions[size_t(slot)]); });
        }

        int resolved = 0;
        int live = int(workers.size());
        int inARow = 0;
        // The connections the server allowed: those that sent a page or were
        // there to the end, even if every page was through before they came.
        unsigned upSlots = 0, sentSlots = 0, lostSlots = 0;
        bool finishing = false;
        bool stopping = false;
        QString lossMessage;
        const auto record = [&](const Pool::Event& e) {
            const LocalPage& page = m_local[m_toSend[std::min(e.job.index, m_toSend.size() - 1)]];
            switch (e.kind) {
            case Pool::Event::Up:
                upSlots |= 1u << e.slot;
                return;
            case Pool::Event::Ended:
                --live;
                if (!finishing)
                    lostSlots |= 1u << e.slot;
                return;
            case Pool::Event::ConnectFailed:
                if (isKeyFailure(e.failure))
                    keyChanged(e.failure, e.detail, e.seen);
                return;
            case Pool::Event::Sent:
                sentSlots |= 1u << e.slot;
                m_manifest.entries.insert(page.name, {page.sha256, page.size});
                ++m_result.sent;
                m_result.bytes += page.size;
                ++resolved;
                inARow = 0;
                return;
            case Pool::Event::Failed:
                break;
            }
            if (e.failure == Failure::Cancelled)
                return; // the upload is stopping
            if (isKeyFailure(e.failure)) {
                keyChanged(e.failure, e.detail, e.seen);
                return;
            }
            // The server answered the listing: refusing now means it went away.
            const Failure shown = e.failure == Failure::Refused ? Failure::ConnectionLost : e.failure;
            const QString message = UploadMessages::Failure({.failure = shown,
                                                             .destination = m_options.destination,
                                                             .detail = e.detail,
                                                             .fingerprint = {},
                                                             .file = page.name});
            if (isConnectionLoss(e.failure) && e.job.attempts == 0) {
                // Once more, on another connection or this one made again.
                lossMessage = message;
                {
                    const std::lock_guard lock(pool.mutex);
                    pool.jobs.push_back({e.job.index, 1});
                }
                pool.work.notify_one();
                return;
            }
            if (m_result.message.isEmpty())
                m_result.message = message;
            ++resolved;
            // A refused page may be the page's own fault; a lost connection
            // (twice for a page), a full disk or a run of refusals is not.
            const bool perPage = e.failure == Failure::AccessDenied || e.failure == Failure::Other;
            if (!perPage || ++inARow >= 3)
                stopping = true;
        };

        QElapsedTimer sinceSave;
        sinceSave.start();
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        for (int before = 0;;) {
            if (resolved != before || sinceProgress.elapsed() >= 100) {
                sinceProgress.restart();
                before = resolved;
                qint64 bytes = m_result.bytes;
                for (const std::atomic<qint64>& b : pool.inFlight)
                    bytes += b;
                m_ui.Progress(resolved, total, bytes);
            }
            if (m_ui.IsCancelled()) {
                fail(UploadMessages::Cancelled(), true);
                break;
            }
            // Kept on disk as it grows, so a crash costs at most a few pages sent again.
            if (sinceSave.elapsed() > 5000) {
                m_manifest.Save(manifestPath);
                sinceSave.restart();
            }
            std::vector<Pool::Event> events;
            {
                std::unique_lock lock(pool.mutex);
                pool.told.wait_for(lock, std::chrono::milliseconds(50), [&] { return !pool.events.empty(); });
                events.swap(pool.events);
            }
            for (const Pool::Event& e : events)
                record(e);
            if (resolved >= total || stopping || !m_keyMessage.isEmpty())
                break;
            if (live == 0) {
                // Every connection is gone and could not be made again.
                if (m_result.message.isEmpty())
                    m_result.message = lossMessage;
                break;
            }
        }
        {
            const std::lock_guard lock(pool.mutex);
            pool.closing = true;
            if (resolved < total)
                pool.stop = true;
        }
        pool.work.notify_all();
        for (std::thread& worker : workers)
            worker.join();
        finishing = true;
        // What the server confirmed while the others stopped counts too.
        for (const Pool::Event& e : pool.events)
            record(e);
        m_result.connections = std::popcount(sentSlots | (upSlots & ~lostSlots));
        m_session = std::move(sessions[0]);
        if (!m_session)
            m_session = std::make_unique<RemoteSession>(sessionSettings());
        m_session->SetCancelCheck([this] { return m_ui.IsCancelled(); });
        if (total > 0)
            m_ui.Progress(resolved, total, m_result.bytes);

        if (!m_keyMessage.isEmpty()) {
            m_result.outcome = UploadOutcome::Failed;
            m_result.message = m_keyMessage;
        }
        if (m_result.outcome == UploadOutcome::Cancelled)
            return false;
        if (m_result.message.isEmpty() && m_result.sent < total)
            m_result.message = lossMessage;
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
    // The key the first connection accepted (empty: valid by the system's authorities).
    QString m_accepted;
    QString m_keyMessage;
    QHash<QString, qint64> m_remote;
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
