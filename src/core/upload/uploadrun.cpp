#include "upload/uploadrun.h"

#include "upload/remotelisting.h"
#include "upload/remotesession.h"
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

QString failureText(Failure failure, const UploadDestination& d, const QString& detail,
                    const QString& fingerprint, const QString& file)
{
    const QString server = d.HostAndPort();
    switch (failure) {
    case Failure::HostNotFound:
        return u"サーバー「%1」が見つかりません。ホスト名を確かめてください。"_s.arg(d.host);
    case Failure::Refused:
        return u"サーバー %1 に接続できません。ホスト名、ポート番号、プロトコルを確かめてください。\n（%2）"_s
            .arg(server, detail);
    case Failure::Timeout:
        return u"サーバー %1 から応答がありません（タイムアウト）。"_s.arg(server);
    case Failure::Login:
        return u"サーバー %1 にログインできませんでした。ユーザー名とパスワードを確かめてください。"_s
            .arg(server);
    case Failure::NoTls:
        return u"サーバー %1 は暗号化された接続（FTPS）に対応していません。"_s.arg(server);
    case Failure::CertificateUntrusted:
        return u"サーバー %1 の証明書は信頼されていないため、接続を中止しました。\n"
               "フィンガープリント: %2\n"
               "サーバーの管理者が示すフィンガープリントと同じことを確かめてから信頼してください。"_s
            .arg(server, fingerprint);
    case Failure::CertificateChanged:
        return u"サーバー %1 の証明書が、以前に信頼したものから変わっているため、接続を中止しました。\n"
               "新しいフィンガープリント: %2\n"
               "証明書の更新をサーバーの管理者に確かめてから信頼してください。"_s
            .arg(server, fingerprint);
    case Failure::HostKeyUnknown:
        return u"サーバー %1 のホスト鍵はまだ信頼されていないため、接続を中止しました。\n"
               "フィンガープリント: %2\n"
               "サーバーの管理者が示すフィンガープリントと同じことを確かめてから信頼してください。"_s
            .arg(server, fingerprint);
    case Failure::HostKeyChanged:
        return u"警告: サーバー %1 のホスト鍵が、以前に信頼したものから変わっています。"
               "別のサーバーがなりすましているおそれがあるため、接続を中止しました。\n"
               "新しいフィンガープリント: %2"_s
            .arg(server, fingerprint);
    case Failure::FolderMissing:
        return u"リモートフォルダ「%1」を開けません。\n（%2）"_s.arg(d.folder, detail);
    case Failure::AccessDenied:
        return u"サーバーが「%1」の書き込みを拒否しました。リモートフォルダ「%2」に書き込めるか確かめてください。\n（%3）"_s
            .arg(file, d.folder, detail);
    case Failure::DiskFull:
        return u"サーバーが「%1」を保存できませんでした。サーバーのディスクの空きと、契約している容量の上限を確かめてください。\n（%2）"_s
            .arg(file, detail);
    case Failure::ConnectionLost:
        return u"「%1」を送っている途中で、サーバー %2 との接続が切れました。\n（%3）"_s
            .arg(file, server, detail);
    case Failure::Cancelled:
        return u"アップロードを中止しました。"_s;
    case Failure::None:
    case Failure::Other:
        break;
    }
    return u"アップロードに失敗しました。\n（%1）"_s.arg(detail);
}

bool isTrustFailure(Failure f)
{
    return f == Failure::CertificateUntrusted || f == Failure::CertificateChanged
           || f == Failure::HostKeyUnknown || f == Failure::HostKeyChanged;
}

UploadUi::KeyQuestion questionFor(Failure f)
{
    switch (f) {
    case Failure::CertificateChanged:
        return UploadUi::KeyQuestion::ChangedCertificate;
    case Failure::HostKeyUnknown:
        return UploadUi::KeyQuestion::NewHostKey;
    case Failure::HostKeyChanged:
        return UploadUi::KeyQuestion::ChangedHostKey;
    default:
        return UploadUi::KeyQuestion::NewCertificate;
    }
}

// A name that a server command could take for something else is not sent.
bool isSendableName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u' ') || name.endsWith(u' '))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c == u'"' || c == u'\\' || c == u'/' || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

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
            return fail(u"アップロード先のサーバー（ホスト名）が設定されていません。"_s);
        // The folder's parts go into server commands as the page names do.
        for (const QString& part : d.folder.split(u'/', Qt::SkipEmptyParts)) {
            if (!isSendableName(part))
                return fail(u"リモートフォルダ「%1」には使えない文字が含まれています。"_s.arg(d.folder));
        }
        const bool sftp = d.protocol == UploadProtocol::Sftp;
        const QString kind = sftp ? u"ssh"_s : u"tls"_s;
        QString trusted = d.protocol == UploadProtocol::Ftp ? QString()
                                                            : m_trusted.Find(kind, d.ServerId());
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
            if (isTrustFailure(failure) && attempt == 0 && !seen.isEmpty()
                && m_ui.TrustKey(questionFor(failure), d.HostAndPort(), seen)) {
                m_trusted.Remember(kind, d.ServerId(), seen);
                trusted = seen;
                continue;
            }
            m_result.fingerprint = seen;
            return fail(failureText(failure, d, m_session->Detail(), seen, QString()),
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
            m_result.message = u"ページは送りましたが、送った内容の記録（%1）を保存できませんでした。"
                               "次回はすべてのページをもう一度送ります。"_s
                                   .arg(QDir::toNativeSeparators(manifestPath));
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
            return fail(u"フォルダ「%1」が見つかりません。"_s.arg(
                QDir::toNativeSeparators(m_options.localFolder)));
        const QFileInfoList files = QDir(m_options.localFolder)
                                        .entryInfoList(QDir::Files | QDir::NoDotAndDotDot,
                                                       QDir::Name);
        for (const QFileInfo& info : files) {
            if (m_ui.IsCancelled())
                return fail(failureText(Failure::Cancelled, {}, {}, {}, {}), true);
            LocalPage page{info.fileName(), info.filePath(), {}, 0};
            if (page.name.endsWith(RemoteSession::TemporarySuffix()))
                continue;
            if (!isSendableName(page.name))
                return fail(u"ファイル名「%1」はサーバーに送れません。"_s.arg(page.name));
            if (!hashFile(page))
                return fail(u"ファイル「%1」を読めません。"_s.arg(
                    QDir::toNativeSeparators(page.path)));
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
                fail(failureText(Failure::Cancelled, {}, {}, {}, {}), true);
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
                    fail(failureText(failure, {}, {}, {}, {}), true);
                    break;
                }
                // The server answered the listing: refusing now means it went away.
                const Failure shown = failure == Failure::Refused ? Failure::ConnectionLost
                                                                  : failure;
                if (m_result.message.isEmpty())
                    m_result.message = failureText(shown, m_options.destination,
                                                   m_session->Detail(), {}, page.name);
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
            m_result.message += u"\n%1 ページを送れませんでした。もう一度アップロードすると、送れなかったページだけを送ります。"_s
                                    .arg(m_result.failed);
            return false;
        }
        m_result.outcome = UploadOutcome::Completed;
        return true;
    }

    // Pages an interrupted upload left half sent.
    void removeLeftovers(const QHash<QString, qint64>& remote)
    {
        for (auto it = remote.cbegin(); it != remote.cend(); ++it) {
            if (it.key().endsWith(RemoteSession::TemporarySuffix()) && isSendableName(it.key()))
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
            if (!isSendableName(name) || !m_session->Remove(name)) {
                m_result.kept.append(name);
                continue;
            }
            m_manifest.entries.remove(name);
            ++m_result.deleted;
        }
        if (!m_result.kept.isEmpty()) {
            m_result.outcome = UploadOutcome::Failed;
            m_result.message = u"サーバーから削除できなかったページがあります: %1\n（%2）"_s.arg(
                m_result.kept.join(u"、"_s), m_session->Detail());
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
