#pragma once

#include "upload/destination.h"
#include "upload/remotesession.h"

#include <QString>
#include <QStringList>

struct UploadPlan;

// What the upload tells its user, in Japanese: the server's failures
// (RemoteSession::Failure) and the upload's own. Never the password.
namespace UploadMessages {

// What a failure message names; each only where the failure has it.
struct FailureFacts
{
    RemoteSession::Failure failure = RemoteSession::Failure::Other;
    UploadDestination destination;
    QString detail;      // the server's own words
    QString fingerprint; // the key the server showed
    QString file;        // the page being sent
};

QString Failure(const FailureFacts& facts);
QString Cancelled();
QString NoHost();
QString FolderNotSendable(const QString& remoteFolder);
QString LocalFolderMissing(const QString& folder);
QString NameNotSendable(const QString& name);
QString Unreadable(const QString& path);
QString ManifestNotSaved(const QString& manifestPath);
QString PagesNotSent(int failed);
QString NotRemoved(const QStringList& kept, const QString& detail);
// What an upload will change, one count a line; the desktop's summary and
// the dry run's say the same.
QString PlanCounts(const UploadPlan& plan);

} // namespace UploadMessages
