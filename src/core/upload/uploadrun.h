#pragma once

#include "upload/destination.h"

#include <QString>
#include <QStringList>

// One upload of a page folder to the destination: only the pages whose
// content differs from what the server last confirmed are sent, each under
// a temporary name and renamed into place; pages that an earlier upload put
// there and that the folder no longer has are deleted only when the user
// agrees.

// What an upload will change on the server, known once the remote folder is
// listed and before anything is sent. Names sorted.
struct UploadPlan
{
    QStringList added;   // not on the server yet
    QStringList changed; // on the server with other content (or not known to be ours)
    int unchanged = 0;
    // Sent by an earlier upload, gone from the folder, still on the server:
    // removed only if the user agrees after the pages are sent.
    QStringList removed;
    qint64 bytes = 0; // of the pages to send

    bool IsEmpty() const { return added.isEmpty() && changed.isEmpty() && removed.isEmpty(); }
};

// How the upload reaches its user: the desktop program answers with
// windows, the headless front end with its options and terminal, tests
// with a script. Called on the thread that runs the upload.
class UploadUi
{
public:
    enum class KeyQuestion {
        NewCertificate,     // not signed by an authority the system trusts
        ChangedCertificate, // another key than the one trusted before
        NewHostKey,
        ChangedHostKey,
    };

    virtual ~UploadUi() = default;
    // Every call comes on the thread that called RunUpload, also while the
    // pages go over several connections.
    // True ends the upload soon.
    virtual bool IsCancelled() = 0;
    // `done` of `total` pages to send are through (in any order), `bytes`
    // sent in all.
    virtual void Progress(int done, int total, qint64 bytes) = 0;
    // Whether to trust the server's key from now on.
    virtual bool TrustKey(KeyQuestion question, const QString& server,
                          const QString& fingerprint) = 0;
    // Whether to go on with this plan; false ends the upload with nothing
    // sent and nothing recorded. Also asked in a dry run.
    virtual bool ConfirmPlan(const UploadPlan& plan) = 0;
    // Whether to delete these pages from the server.
    virtual bool ConfirmRemoval(const QStringList& names) = 0;
};

struct UploadOptions
{
    UploadDestination destination;
    QString password;
    QString localFolder;
    // Where the manifests and the trusted keys are kept.
    QString stateFolder;
    bool dryRun = false;
    int timeoutSeconds = 30;
};

enum class UploadOutcome { Completed, Failed, Cancelled };

struct UploadResult
{
    UploadOutcome outcome = UploadOutcome::Failed;
    // On failure, what happened, in Japanese; never holds the password.
    QString message;
    // The server's key when the failure is about it.
    QString fingerprint;
    int sent = 0;      // confirmed by the server (dry run: would be sent)
    int unchanged = 0;
    int deleted = 0;   // dry run: would be deleted
    int failed = 0;    // should have been sent and were not
    qint64 bytes = 0;
    qint64 milliseconds = 0;
    // The connections the pages went over (0 when none was sent): at most
    // the destination's, fewer when the server allowed fewer.
    int connections = 0;
    // Removed from the folder but left on the server (not confirmed).
    QStringList kept;
};

UploadResult RunUpload(const UploadOptions& options, UploadUi& ui);

// Connects and lists the remote folder, as "接続テスト" does; asks about
// unknown keys as an upload would.
UploadResult TestConnection(const UploadOptions& options, UploadUi& ui);

// The summary line: "sent N, unchanged N, deleted N, failed N".
QString SummaryLine(const UploadResult& result);
