// The upload engine against real servers on 127.0.0.1: vsftpd with FTPS and
// OpenSSH's sshd with SFTP, each in its own rows.

#include "testutil.h"
#include "faultyfs.h"
#include "uploadservers.h"
#include "upload/remotesession.h"
#include "upload/uploadrun.h"
#include "upload/uploadstate.h"

#include <QtTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

// Answers the upload's questions as a test says, and remembers them.
class ScriptUi : public UploadUi
{
public:
    bool trust = true;
    bool remove = false;
    std::function<void(int done)> onProgress;
    std::function<bool()> cancel;
    QList<KeyQuestion> questions;
    QStringList removalsShown;
    UploadPlan plan;

    bool IsCancelled() override { return cancel && cancel(); }
    void Progress(int done, int, qint64) override
    {
        if (onProgress)
            onProgress(done);
    }
    bool TrustKey(KeyQuestion question, const QString&, const QString&) override
    {
        questions.append(question);
        return trust;
    }
    bool ConfirmPlan(const UploadPlan& shown) override
    {
        plan = shown;
        return true;
    }
    bool ConfirmRemoval(const QStringList& names) override
    {
        removalsShown = names;
        return remove;
    }
};

} // namespace

class TestUpload : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<UploadServers> m_servers;
    QTemporaryDir m_work;
    QStringList m_messages;

    UploadServers::Kind kind() const
    {
        return QByteArrayView(QTest::currentDataTag()).startsWith("sftp") ? UploadServers::Sftp
                                                                           : UploadServers::Ftps;
    }

    // A destination folder and a state folder of the test row's own.
    UploadOptions options(const QString& test)
    {
        const UploadServers::Kind k = kind();
        const QString name = test + u'-' + QString::fromLatin1(QTest::currentDataTag());
        UploadOptions o;
        o.destination.protocol = k == UploadServers::Sftp ? UploadProtocol::Sftp
                                                          : UploadProtocol::Ftps;
        o.destination.host = u"127.0.0.1"_s;
        o.destination.port = m_servers->port(k);
        o.destination.user = m_servers->user();
        o.destination.folder = u"www/"_s + name;
        o.password = m_servers->password();
        o.localFolder = m_work.filePath(name + u"-pages"_s);
        o.stateFolder = m_work.filePath(name + u"-state"_s);
        o.timeoutSeconds = 5;
        return o;
    }

    // Kills the process of one session (a leaf under the listening server):
    // one connection of an upload lost, the others go on.
    bool killOneSession(UploadServers::Kind k)
    {
        QByteArray table;
        if (!UploadServers::run(u"ps"_s, {u"-e"_s, u"-o"_s, u"pid=,ppid="_s}, {}, &table))
            return false;
        QMultiHash<QByteArray, QByteArray> children;
        for (const QByteArray& line : table.split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() == 2)
                children.insert(f[1], f[0]);
        }
        const QByteArray server = m_servers->value(k == UploadServers::Sftp ? u"sftp_pid"_s
                                                                           : u"ftps_pid"_s).toLatin1();
        QList<QByteArray> todo = children.values(server);
        while (!todo.isEmpty()) {
            const QByteArray pid = todo.takeLast();
            const QList<QByteArray> below = children.values(pid);
            if (below.isEmpty())
                return UploadServers::run(u"kill"_s, {u"-9"_s, QString::fromLatin1(pid)});
            todo += below;
        }
        return false;
    }

    QString remoteFolder(const UploadOptions& o) const
    {
        return m_servers->home() + u'/' + o.destination.folder;
    }

    UploadResult upload(const UploadOptions& o, ScriptUi& ui)
    {
        const UploadResult result = RunUpload(o, ui);
        m_messages << result.message;
        return result;
    }

    static void writePages(const QString& folder, int count, const QByteArray& variant = "a")
    {
        QDir().mkpath(folder);
        for (int i = 0; i < count; ++i) {
            QVERIFY(TestUtil::writeFile(
                folder + u"/P%1.html"_s.arg(i, 4, 10, QChar(u'0')),
                "<html>page " + QByteArray::number(i) + ' ' + variant + "\r\n"
                    + QByteArray(1000 + i * 37, 'x') + "</html>\r\n"));
        }
    }

private slots:
    void initTestCase()
    {
        const QString missing = UploadServers::Missing();
        if (!missing.isEmpty())
            QSKIP(qPrintable(u"needs "_s + missing + u" (scripts/deps installs the servers)"_s));
        m_servers = std::make_unique<UploadServers>();
        QString error;
        QVERIFY2(m_servers->start(&error), qPrintable(error));
        // The destinations' parent belongs to the account, whichever test makes it first.
        QVERIFY(QDir().mkpath(m_servers->home() + u"/www"_s));
        QVERIFY(UploadServers::run(u"chown"_s, {m_servers->user(), m_servers->home() + u"/www"_s}));
    }

    void protocols_data()
    {
        QTest::addColumn<int>("unused");
        QTest::newRow("ftps") << 0;
        QTest::newRow("sftp") << 0;
    }

    void firstUploadIsByteIdentical_thenOnlyChangesGo_data() { protocols_data(); }
    void firstUploadIsByteIdentical_thenOnlyChangesGo()
    {
        UploadOptions o = options(u"changes"_s);
        writePages(o.localFolder, 40);
        ScriptUi ui;
        UploadResult r = upload(o, ui);
        QVERIFY2(r.outcome == UploadOutcome::Completed, qPrintable(r.message));
        QCOMPARE(r.sent, 40);
        QCOMPARE(r.unchanged, 0);
        QCOMPARE(TestUtil::folderContents(remoteFolder(o)), TestUtil::folderContents(o.localFolder));
        QCOMPARE(ui.questions.size(), 1); // the self-signed certificate or the new host key

        // Three pages change, one is new; the key is remembered.
        writePages(o.localFolder, 3, "b");
        QVERIFY(TestUtil::writeFile(o.localFolder + u"/N0001.html"_s, "new\r\n"));
        ui.questions.clear();
        r = upload(o, ui);
        QVERIFY2(r.outcome == UploadOutcome::Completed, qPrintable(r.message));
        QCOMPARE(r.sent, 4);
        QCOMPARE(r.unchanged, 37);
        QCOMPARE(ui.plan.added, QStringList{u"N0001.html"_s});
        QCOMPARE(ui.plan.changed, QStringList({u"P0000.html"_s, u"P0001.html"_s, u"P0002.html"_s}));
        QCOMPARE(ui.plan.unchanged, 37);
        QVERIFY(ui.questions.isEmpty());
        QCOMPARE(TestUtil::folderContents(remoteFolder(o)), TestUtil::folderContents(o.localFolder));

        // A page lost on the server, or changed there in size, goes again.
        QVERIFY(QFile::remove(remoteFolder(o) + u"/P0010.html"_s));
        QVERIFY(TestUtil::writeFile(remoteFolder(o) + u"/P0011.html"_s, "short"));
        r = upload(o, ui);
        QCOMPARE(r.sent, 2);
        QCOMPARE(TestUtil::folderContents(remoteFolder(o)), TestUtil::folderContents(o.localFolder));

        // Pages removed from the folder are listed and stay until the user agrees.
        QVERIFY(QFile::remove(o.localFolder + u"/P0020.html"_s));
        QVERIFY(QFile::remove(o.localFolder + u"/P0021.html"_s));
        r = upload(o, ui);
        QCOMPARE(ui.removalsShown, QStringList({u"P0020.html"_s, u"P0021.html"_s}));
        QCOMPARE(ui.plan.removed, ui.removalsShown);
        QCOMPARE(r.deleted, 0);
        QCOMPARE(r.kept, ui.removalsShown);
        QVERIFY(QFile::exists(remoteFolder(o) + u"/P0020.html"_s));
        ui.remove = true;
        r = upload(o, ui);
        QVERIFY2(r.outcome == UploadOutcome::Completed, qPrintable(r.message));
        QCOMPARE(r.deleted, 2);
        QCOMPARE(r.sent, 0);
        QCOMPARE(TestUtil::folderContents(remoteFolder(o)), TestUtil::folderContents(o.localFolder));
        ui.removalsShown.clear();
        r = upload(o, ui);
        QVERIFY(ui.removalsShown.isEmpty());
        QCOMPARE(r.unchanged, 39);
    }

    void dryRunSendsNothing_data() { protocols_data(); }
    void dryRunSendsNothing()
    {
        UploadOptions o = options(u"dry"_s);
        writePages(o.localFolder, 5);
        o.dryRun = true;
        ScriptUi ui;
        const UploadResult r = upload(o, ui);
        QVERIFY2(r.outcome == UploadOutcome::Completed, qPrintable(r.message));
        QCOMPARE(r.sent, 5);
        QVERIFY(TestUtil::folderContents(remoteFolder(o)).isEmpty());
        QVERIFY(!QFile::exists(UploadManifest::PathFor(o.stateFolder, o.destination.Identity())));
    }

    // Cancelled, or the server killed half-way: what the server confirmed is
    // recorded, nothing else, and the next upload sends exactly the rest.
    void interruptedUploadResumes_data()
    {
        QTest::addColumn<bool>("kill");
        QTest::addColumn<int>("connections");
        QTest::newRow("ftps-cancel") << false << 1;
        QTest::newRow("sftp-cancel") << false << 1;
        QTest::newRow("ftps-server-killed") << true << 1;
        QTest::newRow("sftp-server-killed") << true << 1;
        QTest::newRow("ftps-cancel-4") << false << 4;
        QTest::newRow("sftp-cancel-4") << false << 4;
        QTest::newRow("ftps-server-killed-4") << true << 4;
        QTest::newRow("sftp-server-killed-4") << true << 4;
    }
    void interruptedUploadResumes()
    {
        QFETCH(bool, kill);
        QFETCH(int, connections);
        const UploadServers::Kind k = kind();
        UploadOptions o = options(kill ? u"killed"_s : u"cancelled"_s);
        o.destination.connections = connections;
        // Enough pages that the upload is still going when the kill is done.
        const int total = kill ? 400 : 30;
        writePages(o.localFolder, total);
        ScriptUi ui;
        int done = 0;
        bool killed = false;
        // Pages are confirmed several at a time: the first report of 8 or more.
        ui.onProgress = [&](int n) {
            done = n;
            if (kill && n >= 8 && !killed) {
                killed = true;
                // One connection's server process with several, the whole server with one.
                if (connections > 1)
                    QVERIFY(killOneSession(k));
                else
                    m_servers->kill(k);
            }
        };
        ui.cancel = [&] { return !kill && done >= 8; };
        UploadResult r = upload(o, ui);
        QVERIFY(!kill || killed);
        if (kill && connections > 1) {
            // The page that was on the lost connection goes again on another.
            QVERIFY2(r.outcome == UploadOutcome::Completed || r.outcome == UploadOutcome::Failed,
                     qPrintable(r.message));
            QCOMPARE(r.failed, total - r.sent);
        } else {
            QCOMPARE(r.outcome, kill ? UploadOutcome::Failed : UploadOutcome::Cancelled);
            // Pages confirmed in the meantime by the other connections count too.
            QVERIFY2(r.sent >= 8 && r.sent < total, qPrintable(QString::number(r.sent)));
            QCOMPARE(r.failed, kill ? total - r.sent : 0);
        }
        const int sentBefore = r.sent;
        UploadManifest manifest;
        manifest.Load(UploadManifest::PathFor(o.stateFolder, o.destination.Identity()));
        QCOMPARE(manifest.entries.size(), qsizetype(r.sent));
        if (kill && connections == 1) {
            QVERIFY2(r.message.contains(u"接続が切れました"_s), qPrintable(r.message));
            QVERIFY(m_servers->restart(k));
        }
        // Whatever the server holds under a page's name that the manifest
        // counts is whole; a cancel leaves no temporary file and no half page.
        const auto partial = TestUtil::folderContents(remoteFolder(o));
        const auto local = TestUtil::folderContents(o.localFolder);
        for (auto it = partial.cbegin(); it != partial.cend(); ++it) {
            if (!kill)
                QVERIFY2(!it.key().endsWith(RemoteSession::TemporarySuffix()), qPrintable(it.key()));
            if (!kill || manifest.entries.contains(it.key()))
                QCOMPARE(it.value(), local.value(it.key()));
        }
        ui.onProgress = {};
        ui.cancel = {};
        r = upload(o, ui);
        QVERIFY2(r.outcome == UploadOutcome::Completed, qPrintable(r.message));
        QCOMPARE(r.sent, total - sentBefore);
        QCOMPARE(r.unchanged, sentBefore);
        // No half-sent leftovers either.
        QCOMPARE(TestUtil::folderContents(remoteFolder(o)), local);
    }

    void failuresAreReported_data()
    {
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ftps-wrong-password") << u"password"_s << u"ログインできませんでした"_s;
        QTest::newRow("sftp-wrong-password") << u"password"_s << u"ログインできませんでした"_s;
        QTest::newRow("ftps-untrusted-certificate") << u"untrusted"_s << u"証明書は信頼されていない"_s;
        QTest::newRow("sftp-unknown-host-key") << u"untrusted"_s << u"ホスト鍵はまだ信頼されていない"_s;
        QTest::newRow("ftps-read-only-folder") << u"read-only"_s << u"書き込みを拒否しました"_s;
        QTest::newRow("sftp-read-only-folder") << u"read-only"_s << u"書き込みを拒否しました"_s;
        QTest::newRow("ftps-refused") << u"refused"_s << u"接続できません"_s;
        QTest::newRow("sftp-host-not-found") << u"no-host"_s << u"が見つかりません"_s;
        QTest::newRow("ftps-silent-server") << u"silent"_s << u"応答がありません"_s;
        QTest::newRow("ftps-disk-full") << u"full"_s << u"を保存できませんでした"_s;
        QTest::newRow("sftp-disk-full") << u"full"_s << u"を保存できませんでした"_s;
        QTest::newRow("sftp-silent-server") << u"silent"_s << u"応答がありません"_s;
        // The pages are read while the server is talked to; a local fault
        // is still the one reported, whatever the server did meanwhile.
        QTest::newRow("sftp-unsendable-name") << u"bad-name"_s << u"サーバーに送れません"_s;
        QTest::newRow("ftps-unsendable-name-refused") << u"bad-name-refused"_s << u"サーバーに送れません"_s;
    }
    void failuresAreReported()
    {
        QFETCH(QString, problem);
        QFETCH(QString, expected);
        UploadOptions o = options(u"fail-"_s + problem);
        writePages(o.localFolder, 3);
        ScriptUi ui;
        if (problem == u"password")
            o.password = u"wrong"_s;
        if (problem == u"untrusted")
            ui.trust = false;
        if (problem == u"refused" || problem == u"bad-name-refused")
            o.destination.port = UploadServers::freePort();
        if (problem.startsWith(u"bad-name"))
            QVERIFY(TestUtil::writeFile(o.localFolder + u"/a\"b.html"_s, "<p>b</p>"));
        // Accepts connections (the system does) and never says a word.
        QTcpServer silent;
        if (problem == u"silent") {
            QVERIFY(silent.listen(QHostAddress::LocalHost));
            o.destination.port = silent.serverPort();
            o.timeoutSeconds = 1;
        }
        if (problem == u"no-host")
            o.destination.host = u"no-such-host.invalid"_s;
        if (problem == u"read-only") {
            QVERIFY(QDir().mkpath(remoteFolder(o)));
            QVERIFY(UploadServers::run(u"chown"_s, {m_servers->user(), remoteFolder(o)}));
            QVERIFY(QFile::setPermissions(remoteFolder(o),
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        // A remote folder on a file system of 8 KB: the first page fits.
        std::optional<FaultyFs::SmallFileSystem> small;
        if (problem == u"full") {
            small.emplace(remoteFolder(o), 8);
            if (!small->mounted())
                QSKIP("cannot mount a small file system here");
            QVERIFY(UploadServers::run(u"chown"_s, {m_servers->user(), remoteFolder(o)}));
            writePages(o.localFolder, 12);
        }
        const UploadResult r = upload(o, ui);
        QCOMPARE(r.outcome, UploadOutcome::Failed);
        QVERIFY2(r.message.contains(expected), qPrintable(r.message));
        if (problem == u"full") {
            // What did arrive is recorded, and nothing else.
            UploadManifest manifest;
            manifest.Load(UploadManifest::PathFor(o.stateFolder, o.destination.Identity()));
            QCOMPARE(manifest.entries.size(), qsizetype(r.sent));
            QVERIFY(r.sent < 12);
            return;
        }
        QCOMPARE(r.sent, 0);
        if (problem == u"untrusted") {
            QCOMPARE(r.fingerprint, m_servers->fingerprint(kind()));
            QVERIFY(r.message.contains(m_servers->fingerprint(kind())));
        }
        if (problem == u"read-only")
            QCOMPARE(r.failed, 3);
        // Nothing is recorded as sent.
        UploadManifest manifest;
        manifest.Load(UploadManifest::PathFor(o.stateFolder, o.destination.Identity()));
        QVERIFY(manifest.entries.isEmpty());
    }

    // Four connections put up the same tree and the same manifest as one.
    void fourConnectionsAsOne_data() { protocols_data(); }
    void fourConnectionsAsOne()
    {
        for (const int connections : {1, 4}) {
            UploadOptions o = options(u"n%1"_s.arg(connections));
            o.destination.connections = connections;
            writePages(o.localFolder, 40);
            QVERIFY(TestUtil::writeFile(o.localFolder + u"/P0003.html"_s, "replaced later\r\n"));
            ScriptUi ui;
            UploadResult r = upload(o, ui);
            QVERIFY2(r.outcome == UploadOutcome::Completed, qPrintable(r.message));
            // Counted even when one connection had sent every page before
            // the others were logged in: the server did allow them.
            QCOMPARE(r.connections, connections);
            QCOMPARE(ui.questions.size(), 1); // asked once, on the first connection
            writePages(o.localFolder, 10, "b"); // replaced: temporary name, then rename
            r = upload(o, ui);
            QVERIFY2(r.outcome == UploadOutcome::Completed, qPrintable(r.message));
            QCOMPARE(r.sent, 10);
            QCOMPARE(TestUtil::folderContents(remoteFolder(o)), TestUtil::folderContents(o.localFolder));
        }
        UploadManifest one, four;
        UploadOptions o1 = options(u"n1"_s), o4 = options(u"n4"_s);
        one.Load(UploadManifest::PathFor(o1.stateFolder, o1.destination.Identity()));
        four.Load(UploadManifest::PathFor(o4.stateFolder, o4.destination.Identity()));
        QStringList names = one.entries.keys(), namesFour = four.entries.keys();
        names.sort();
        namesFour.sort();
        QCOMPARE(namesFour, names);
        QCOMPARE(names.size(), 40);
        for (auto it = one.entries.cbegin(); it != one.entries.cend(); ++it) {
            QCOMPARE(four.entries.value(it.key()).sha256, it->sha256);
            QCOMPARE(four.entries.value(it.key()).size, it->size);
        }
    }

    // A server that allows two connections: the upload completes with two
    // and says so; the refused ones are no failure.
    void serverAllowsTwo_data() { protocols_data(); }
    void serverAllowsTwo()
    {
        UploadServers limited;
        QString error;
        QVERIFY2(limited.start(&error, 2), qPrintable(error));
        QVERIFY(QDir().mkpath(limited.home() + u"/www"_s));
        QVERIFY(UploadServers::run(u"chown"_s, {limited.user(), limited.home() + u"/www"_s}));
        UploadOptions o = options(u"two"_s);
        o.destination.port = limited.port(kind());
        o.destination.user = limited.user();
        o.password = limited.password();
        o.destination.connections = 4;
        // Enough pages that the further connections come while pages are left.
        writePages(o.localFolder, 200);
        ScriptUi ui;
        const UploadResult r = upload(o, ui);
        QVERIFY2(r.outcome == UploadOutcome::Completed, qPrintable(r.message));
        QCOMPARE(r.sent, 200);
        QCOMPARE(r.failed, 0);
        QCOMPARE(r.connections, 2);
        QCOMPARE(TestUtil::folderContents(limited.home() + u'/' + o.destination.folder),
                 TestUtil::folderContents(o.localFolder));
    }

    // The key changes after the first connection was made: the further
    // connections are refused it, and the upload stops as for a changed key.
    void keyChangedForLaterConnections_data() { protocols_data(); }
    void keyChangedForLaterConnections()
    {
        const UploadServers::Kind k = kind();
        UploadOptions o = options(u"laterkey"_s);
        o.destination.connections = 4;
        writePages(o.localFolder, 20);
        ScriptUi ui;
        bool renewed = false;
        // Called once the first connection has listed, before the others connect.
        ui.onProgress = [&](int) {
            if (!renewed)
                renewed = m_servers->renewKey(k);
        };
        const UploadResult r = upload(o, ui);
        QVERIFY(renewed);
        QCOMPARE(r.outcome, UploadOutcome::Failed);
        QVERIFY2(r.message.contains(u"以前に信頼したものから変わって"_s), qPrintable(r.message));
        QCOMPARE(r.fingerprint, m_servers->fingerprint(k));
        QCOMPARE(r.sent, 0);
    }

    // A server whose key changes after it was trusted is refused; an SSH
    // host key change is not even offered for trust by default.
    void changedKeyIsRefused_data() { protocols_data(); }
    void changedKeyIsRefused()
    {
        const UploadServers::Kind k = kind();
        UploadOptions o = options(u"renewed"_s);
        writePages(o.localFolder, 2);
        ScriptUi ui;
        QCOMPARE(upload(o, ui).outcome, UploadOutcome::Completed);
        QVERIFY(m_servers->renewKey(k));
        ui.trust = false;
        ui.questions.clear();
        const UploadResult r = upload(o, ui);
        QCOMPARE(r.outcome, UploadOutcome::Failed);
        QCOMPARE(ui.questions,
                 QList<UploadUi::KeyQuestion>{k == UploadServers::Sftp
                                                  ? UploadUi::KeyQuestion::ChangedHostKey
                                                  : UploadUi::KeyQuestion::ChangedCertificate});
        QVERIFY2(r.message.contains(u"以前に信頼したものから変わって"_s), qPrintable(r.message));
        QCOMPARE(r.fingerprint, m_servers->fingerprint(k));
    }

    // A certificate trusted before the fingerprint shown was the whole
    // certificate's (the trust file holds its key's pin alone) stays trusted;
    // a pin of another key is a changed certificate.
    void oldCertificateTrustIsKept()
    {
        for (const bool same : {true, false}) {
            const UploadOptions o = options(same ? u"old-trust"_s : u"old-trust-other"_s); // FTPS
            writePages(o.localFolder, 1);
            const QString pin = same ? m_servers->value(u"ftps_fingerprint"_s)
                                     : u"SHA256:"_s + QString(43, u'A');
            QVERIFY(TrustedKeys(o.stateFolder).Remember(u"tls"_s, o.destination.ServerId(), pin));
            ScriptUi ui;
            ui.trust = false;
            const UploadResult r = upload(o, ui);
            QCOMPARE(r.outcome, same ? UploadOutcome::Completed : UploadOutcome::Failed);
            QCOMPARE(ui.questions, same ? QList<UploadUi::KeyQuestion>{}
                                        : QList<UploadUi::KeyQuestion>{
                                              UploadUi::KeyQuestion::ChangedCertificate});
            if (!same)
                QCOMPARE(r.fingerprint, m_servers->fingerprint(UploadServers::Ftps));
        }
    }

    // The password is in no file the program wrote and no message it gave.
    void cleanupTestCase()
    {
        if (!m_servers)
            return;
        const QByteArray password = m_servers->password().toUtf8();
        const auto files = TestUtil::folderContents(m_work.path());
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            QVERIFY2(!it.value().contains(password), qPrintable(it.key()));
        for (const QString& message : std::as_const(m_messages))
            QVERIFY(!message.contains(m_servers->password()));
    }
};

QTEST_GUILESS_MAIN(TestUpload)
#include "tst_upload.moc"
