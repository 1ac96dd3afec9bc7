#include "upload/passwordstore.h"

#ifdef SORABI_HAVE_KEYCHAIN
#include <QEventLoop>
#include <qt6keychain/keychain.h>
#endif

using namespace Qt::StringLiterals;

namespace PasswordStore {

namespace {
const QString Service = u"Sorabi"_s;
const QString NoStore = u"この環境ではパスワードを保管する仕組み（資格情報ストア）が使えません。"_s;

#ifdef SORABI_HAVE_KEYCHAIN
// The jobs report through signals; the caller waits for them here.
bool runJob(QKeychain::Job& job, QString* failure)
{
    job.setAutoDelete(false);
    // Never the plain-text file that QtKeychain could fall back to.
    job.setInsecureFallback(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    if (job.error() == QKeychain::NoError)
        return true;
    if (failure) {
        *failure = job.error() == QKeychain::EntryNotFound
                       ? u"パスワードはまだ保管されていません。"_s
                       : NoStore + u"\n（%1）"_s.arg(job.errorString());
    }
    return false;
}
#endif
} // namespace

bool IsBuiltIn()
{
#ifdef SORABI_HAVE_KEYCHAIN
    return true;
#else
    return false;
#endif
}

bool Read(const QString& entry, QString* password, QString* failure)
{
#ifdef SORABI_HAVE_KEYCHAIN
    QKeychain::ReadPasswordJob job(Service);
    job.setKey(entry);
    if (!runJob(job, failure))
        return false;
    *password = job.textData();
    return true;
#else
    Q_UNUSED(entry);
    Q_UNUSED(password);
    if (failure)
        *failure = NoStore;
    return false;
#endif
}

bool Write(const QString& entry, const QString& password, QString* failure)
{
#ifdef SORABI_HAVE_KEYCHAIN
    QKeychain::WritePasswordJob job(Service);
    job.setKey(entry);
    job.setTextData(password);
    return runJob(job, failure);
#else
    Q_UNUSED(entry);
    Q_UNUSED(password);
    if (failure)
        *failure = NoStore;
    return false;
#endif
}

bool Remove(const QString& entry)
{
#ifdef SORABI_HAVE_KEYCHAIN
    QKeychain::DeletePasswordJob job(Service);
    job.setKey(entry);
    return runJob(job, nullptr);
#else
    Q_UNUSED(entry);
    return false;
#endif
}

} // namespace PasswordStore
