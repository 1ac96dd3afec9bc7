#include "upload/remotesession.h"

#include <QCryptographicHash>
#include <QFile>
#include <QUrl>

#include <curl/curl.h>

#include <mutex>

using namespace Qt::StringLiterals;

namespace {

struct SlistDeleter
{
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

Slist makeList(const QList<QByteArray>& lines)
{
    curl_slist* list = nullptr;
    for (const QByteArray& line : lines)
        list = curl_slist_append(list, line.constData());
    return Slist(list);
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A certificate trusted by the user is remembered as "AB:CD:… SHA256:…":
// the fingerprint shown, then the pin of its public key, which libcurl
// checks in the TLS handshake, before any password is sent. Trust
// remembered before the fingerprint was the certificate's own is the pin
// alone. libcurl wants the base64 with its padding after "sha256//".
QByteArray pinFor(const QString& trusted)
{
    const QString pin = trusted.section(u' ', -1);
    if (!pin.startsWith(u"SHA256:"))
        return "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA="; // a key no server has
    QByteArray base64 = pin.mid(7).toLatin1();
    while (base64.size() % 4)
        base64.append('=');
    return "sha256//" + base64;
}

// One DER element at `at`: its content's start and end (false if malformed).
bool derElement(QByteArrayView der, qsizetype at, qsizetype* start, qsizetype* end)
{
    if (at + 2 > der.size())
        return false;
    qsizetype length = quint8(der[at + 1]);
    qsizetype head = 2;
    if (length & 0x80) {
        const int bytes = length & 0x7F;
        if (bytes < 1 || bytes > 4 || at + 2 + bytes > der.size())
            return false;
        length = 0;
        for (int i = 0; i < bytes; ++i)
            length = (length << 8) | quint8(der[at + 2 + i]);
        head += bytes;
    }
    *start = at + head;
    *end = *start + length;
    return *end <= der.size();
}

// The certificate's SubjectPublicKeyInfo, the 7th element of its
// tbsCertificate when that begins with the version ([0]).
QByteArray publicKeyInfo(QByteArrayView der)
{
    qsizetype start = 0, end = 0, tbs = 0, tbsEnd = 0;
    if (!derElement(der, 0, &start, &end) || !derElement(der, start, &tbs, &tbsEnd))
        return {};
    qsizetype at = tbs;
    const int skip = der.size() > tbs && quint8(der[tbs]) == 0xA0 ? 6 : 5;
    for (int i = 0; i < skip; ++i) {
        if (!derElement(der, at, &start, &end) || end > tbsEnd)
            return {};
        at = end;
    }
    if (!derElement(der, at, &start, &end) || end > tbsEnd || quint8(der[at]) != 0x30)
        return {};
    return der.sliced(at, end - at).toByteArray();
}

bool isSftp(const UploadDestination& d)
{
    return d.protocol == UploadProtocol::Sftp;
}

// libcurl 7.88 (at least) waits for an SFTP answer that ends a transfer (the
// close, the rename, the removal) by polling its socket for at most the time
// left of CURLOPT_TIMEOUT, and without one it does not wait at all: the thread
// spins for the whole round trip. With several connections on a few cores
// the spinning threads take the CPU from everything else. A limit far beyond
// any page's time makes it wait (a second at most, then it asks the cancel
// check again); stalls are still caught by the low-speed limit.
long transferTimeLimit(const UploadDestination& d)
{
    return isSftp(d) ? 24L * 60 * 60 : 0L;
}

} // namespace

struct RemoteSession::Handle
{
    CURL* curl = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    QByteArray listing;
    QFile* upload = nullptr;
    RemoteSession* owner = nullptr;

    ~Handle()
    {
        if (curl)
            curl_easy_cleanup(curl);
    }

    static size_t write(char* data, size_t size, size_t count, void* self)
    {
        static_cast<Handle*>(self)->listing.append(data, qsizetype(size * count));
        return size * count;
    }
    static size_t read(char* buffer, size_t size, size_t count, void* self)
    {
        QFile* file = static_cast<Handle*>(self)->upload;
        const qint64 got = file ? file->read(buffer, qint64(size * count)) : 0;
        return got < 0 ? CURL_READFUNC_ABORT : size_t(got);
    }
    static int progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent)
    {
        RemoteSession* owner = static_cast<Handle*>(self)->owner;
        if (owner->m_cancelled && owner->m_cancelled())
            return 1;
        if (owner->m_progress)
            owner->m_progress(qint64(sent));
        return 0;
    }
    static int hostKey(void* self, int, const char* key, size_t length)
    {
        RemoteSession* owner = static_cast<Handle*>(self)->owner;
        const QString seen = KeyFingerprint(QByteArrayView(key, qsizetype(length)));
        if (!owner->m_settings.trustedFingerprint.isEmpty()
            && seen == owner->m_settings.trustedFingerprint)
            return CURLKHMATCH_OK;
        owner->m_seenFingerprint = owner->m_seenTrust = seen;
        return CURLKHMATCH_MISMATCH;
    }
};

RemoteSession::RemoteSession(const Settings& settings)
    : m_settings(settings), m_handle(std::make_unique<Handle>())
{
    initCurlOnce();
    m_handle->owner = this;
    CURL* c = m_handle->curl = curl_easy_init();
    if (!c)
        return;
    const UploadDestination& d = m_settings.destination;
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, m_handle->error);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp,sftp");
    curl_easy_setopt(c, CURLOPT_USERNAME, d.user.toUtf8().constData());
    curl_easy_setopt(c, CURLOPT_PASSWORD, m_settings.password.toUtf8().constData());
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(m_settings.timeoutSeconds));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(m_settings.timeoutSeconds));
    // A transfer that stalls (a server gone silent) ends instead of hanging.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(m_settings.timeoutSeconds));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, transferTimeLimit(d));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Handle::write);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, m_handle.get());
    curl_easy_setopt(c, CURLOPT_READFUNCTION, &Handle::read);
    curl_easy_setopt(c, CURLOPT_READDATA, m_handle.get());
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Handle::progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, m_handle.get());
    curl_easy_setopt(c, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
    if (isSftp(d)) {
        curl_easy_setopt(c, CURLOPT_SSH_AUTH_TYPES,
                         long(CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD));
        curl_easy_setopt(c, CURLOPT_SSH_HOSTKEYFUNCTION, &Handle::hostKey);
        curl_easy_setopt(c, CURLOPT_SSH_HOSTKEYDATA, m_handle.get());
    } else if (d.protocol == UploadProtocol::Ftps) {
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        // At most TLS 1.2. Servers such as vsftpd
        // (require_ssl_reuse=YES, its default) and FileZilla Server refuse a
        // data connection that does not resume the control connection's TLS
        // session. Under TLS 1.3 a session is a ticket that the server sends
        // after the handshake and accepts once (OpenSSL's servers); libcurl
        // 7.88 keeps one session per handle and reads the fresh ticket of a
        // data connection only if it reads from it at all, which an upload
        // does not: the next data connection offers the used ticket again and
        // gets "522 SSL connection failed: session reuse required" (seen from
        // about the second page, more often under load). A shared session
        // cache (CURLSH, CURL_LOCK_DATA_SSL_SESSION) changes nothing: the
        // ticket is still single-use. A TLS 1.2 session is resumed by its
        // identifier as often as needed, which is what these servers expect;
        // the cipher suites are the same strong ones. Each connection has its
        // own handle and so its own session: a data connection resumes its
        // own control connection's session, as the server checks.
        curl_easy_setopt(c, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_DEFAULT) | long(CURL_SSLVERSION_MAX_TLSv1_2));
        if (m_settings.trustedFingerprint.isEmpty()) {
            curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
            curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
            // On Windows, the authorities that its certificate store trusts;
            // elsewhere libcurl keeps to the system's CA bundle.
            curl_easy_setopt(c, CURLOPT_SSL_OPTIONS, long(CURLSSLOPT_NATIVE_CA));
        } else {
            // The certificate the user trusted, and no other, whoever signed it.
            curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
            curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
            curl_easy_setopt(c, CURLOPT_PINNEDPUBLICKEY,
                             pinFor(m_settings.trustedFingerprint).constData());
        }
    } else {
        curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_NONE));
    }
}

RemoteSession::~RemoteSession() = default;

QString KeyFingerprint(QByteArrayView key)
{
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256);
    return u"SHA256:"_s
           + QString::fromLatin1(hash.toBase64(QByteArray::Base64Encoding
                                               | QByteArray::OmitTrailingEquals));
}

QString CertificateFingerprint(QByteArrayView der)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(der, QCryptographicHash::Sha256).toHex(':').toUpper());
}

QString RemoteSession::TemporarySuffix()
{
    return u".sorabi-part"_s;
}

bool RemoteSession::IsSendableName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u' ') || name.endsWith(u' '))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c == u'"' || c == u'\\' || c == u'/' || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

QString RemoteSession::folderUrl() const
{
    const UploadDestination& d = m_settings.destination;
    QString url = (isSftp(d) ? u"sftp://"_s : u"ftp://"_s)
                  + d.HostAndPort() + u'/';
    const bool absolute = d.folder.startsWith(u'/');
    // FTP paths are relative to the login folder unless they begin with an
    // encoded "/"; SFTP paths are absolute unless they begin with "~/".
    if (isSftp(d) && !absolute)
        url += u"~/"_s;
    else if (!isSftp(d) && absolute)
        url += u"%2F"_s;
    for (const QString& part : d.folder.split(u'/', Qt::SkipEmptyParts))
        url += QString::fromLatin1(QUrl::toPercentEncoding(part)) + u'/';
    return url;
}

QByteArray RemoteSession::remotePath(const QString& name) const
{
    // SFTP commands take paths from the login folder, quoted.
    const QString& folder = m_settings.destination.folder;
    QString path = folder.startsWith(u'/') ? u"/"_s : QString();
    for (const QString& part : folder.split(u'/', Qt::SkipEmptyParts))
        path += part + u'/';
    return '"' + (path + name).toUtf8() + '"';
}

bool RemoteSession::perform(bool listing)
{
    CURL* c = m_handle->curl;
    m_handle->error[0] = 0;
    m_handle->listing.clear();
    const CURLcode code = c ? curl_easy_perform(c) : CURLE_FAILED_INIT;
    curl_easy_setopt(c, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(c, CURLOPT_POSTQUOTE, nullptr);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
    if (code == CURLE_OK) {
        m_failure = Failure::None;
        m_detail.clear();
        return true;
    }
    long reply = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply);
    m_detail = QString::fromUtf8(m_handle->error[0] ? m_handle->error : curl_easy_strerror(code));
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        m_failure = Failure::HostNotFound;
        break;
    case CURLE_COULDNT_CONNECT:
        m_failure = Failure::Refused;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        m_failure = Failure::Timeout;
        break;
    case CURLE_LOGIN_DENIED:
        m_failure = Failure::Login;
        break;
    case CURLE_USE_SSL_FAILED:
        m_failure = Failure::NoTls;
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        if (isSftp(m_settings.destination)) {
            m_failure = m_settings.trustedFingerprint.isEmpty() ? Failure::HostKeyUnknown
                                                                : Failure::HostKeyChanged;
        } else {
            m_failure = m_settings.trustedFingerprint.isEmpty() ? Failure::CertificateUntrusted
                                                                : Failure::CertificateChanged;
            probeCertificate();
        }
        break;
    case CURLE_REMOTE_FILE_NOT_FOUND:
        m_failure = listing ? Failure::FolderMissing : Failure::AccessDenied;
        break;
    case CURLE_REMOTE_ACCESS_DENIED:
        // FTP says "access denied" for a folder it cannot change to.
        m_failure = listing ? Failure::FolderMissing : Failure::AccessDenied;
        break;
    case CURLE_REMOTE_DISK_FULL:
        m_failure = Failure::DiskFull;
        break;
    case CURLE_UPLOAD_FAILED:
        m_failure = (reply == 452 || reply == 552) ? Failure::DiskFull : Failure::AccessDenied;
        break;
    case CURLE_QUOTE_ERROR:
        m_failure = Failure::AccessDenied;
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        m_failure = Failure::Cancelled;
        break;
    case CURLE_PARTIAL_FILE:
        // A page that the server could not store: an FTP server answers
        // 451 (its write failed), 452 or 552 (no space) after the data.
        m_failure = m_handle->upload && (reply == 451 || reply == 452 || reply == 552)
                        ? Failure::DiskFull
                        : Failure::ConnectionLost;
        break;
    case CURLE_FAILED_INIT:
        // libcurl's word for an SSH session that could not be set up: the
        // server closed the connection before its banner (gone, or sshd's
        // MaxStartups refusing one connection too many).
        m_failure = c ? Failure::ConnectionLost : Failure::Other;
        break;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_SSH:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_WRITE_ERROR:
        m_failure = Failure::ConnectionLost;
        break;
    default:
        m_failure = Failure::Other;
        break;
    }
    return false;
}

void RemoteSession::probeCertificate()
{
    // A second connection that takes any certificate but pins a key no
    // server has: it ends right after the TLS handshake, before the login,
    // and libcurl has read the certificates by then. With OpenSSL the
    // first is the server's own.
    CURL* c = curl_easy_init();
    if (!c)
        return;
    const QByteArray url = (u"ftp://"_s + m_settings.destination.HostAndPort() + u'/').toUtf8();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(c, CURLOPT_PINNEDPUBLICKEY, pinFor(QString()).constData());
    curl_easy_setopt(c, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(m_settings.timeoutSeconds));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(m_settings.timeoutSeconds));
    curl_easy_perform(c);
    curl_certinfo* info = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CERTINFO, &info) == CURLE_OK && info
        && info->num_of_certs > 0) {
        QByteArray pem;
        for (curl_slist* field = info->certinfo[0]; field; field = field->next) {
            if (qstrncmp(field->data, "Cert:", 5) == 0)
                pem = QByteArray(field->data + 5);
        }
        const qsizetype begin = pem.indexOf("-----\n"), last = pem.lastIndexOf("\n-----END");
        const QByteArray der = begin < 0 || last < begin
                                   ? QByteArray()
                                   : QByteArray::fromBase64(pem.mid(begin + 6, last - begin - 6));
        const QByteArray key = publicKeyInfo(der);
        if (!key.isEmpty()) {
            m_seenFingerprint = CertificateFingerprint(der);
            m_seenTrust = m_seenFingerprint + u' ' + KeyFingerprint(key);
        }
    }
    curl_easy_cleanup(c);
}

bool RemoteSession::Connect()
{
    CURL* c = m_handle->curl;
    const UploadDestination& d = m_settings.destination;
    const QByteArray url = ((isSftp(d) ? u"sftp://"_s : u"ftp://"_s) + d.HostAndPort()
                            + (isSftp(d) ? u"/~/"_s : u"/"_s))
                               .toUtf8();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    return perform(false);
}

void RemoteSession::removeAfterFailure(const QString& name)
{
    const Failure failure = m_failure;
    const QString detail = m_detail;
    // Even when the send was cancelled: a few seconds at most.
    std::function<bool()> cancelled = std::move(m_cancelled);
    m_cancelled = {};
    curl_easy_setopt(m_handle->curl, CURLOPT_TIMEOUT, long(std::min(m_settings.timeoutSeconds, 5)));
    Remove(name);
    curl_easy_setopt(m_handle->curl, CURLOPT_TIMEOUT, transferTimeLimit(m_settings.destination));
    m_cancelled = std::move(cancelled);
    m_failure = failure;
    m_detail = detail;
}

bool RemoteSession::List(QByteArray* listing)
{
    CURL* c = m_handle->curl;
    const QByteArray url = folderUrl().toUtf8();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_DIRLISTONLY, 0L);
    const bool ok = perform(true);
    *listing = ok ? m_handle->listing : QByteArray();
    return ok;
}

bool RemoteSession::Put(const QString& localPath, const QString& name, bool replacing)
{
    CURL* c = m_handle->curl;
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly)) {
        m_failure = Failure::Other;
        m_detail = file.errorString();
        return false;
    }
    const QString sentAs = replacing ? name + TemporarySuffix() : name;
    const QByteArray url = (folderUrl()
                            + QString::fromLatin1(QUrl::toPercentEncoding(sentAs))).toUtf8();
    Slist after;
    if (!replacing) {
        // Nothing to rename.
    } else if (isSftp(m_settings.destination)) {
        // An SFTP rename does not replace a file, so the old page goes first.
        after = makeList({"*rm " + remotePath(name),
                          "rename " + remotePath(sentAs) + ' ' + remotePath(name)});
    } else {
        after = makeList({"RNFR " + sentAs.toUtf8(), "RNTO " + name.toUtf8()});
    }
    m_handle->upload = &file;
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(file.size()));
    curl_easy_setopt(c, CURLOPT_POSTQUOTE, after.get());
    const bool ok = perform(false);
    m_handle->upload = nullptr;
    if (!ok) {
        // SFTP servers report a failed write only as "failure", which reads
        // like a lost connection: a server that still answers has refused
        // to store the page.
        if (m_failure == Failure::ConnectionLost && isSftp(m_settings.destination) && answers())
            m_failure = Failure::DiskFull;
        // What did arrive of the page only takes space the next one needs;
        // a cancelled or failed new page must not stay half there. (After a
        // lost connection this may fail too; the next upload sends the page
        // again, as the manifest does not have it, and removes leftovers.)
        if (m_failure == Failure::DiskFull || m_failure == Failure::Cancelled || !replacing)
            removeAfterFailure(sentAs);
        return false;
    }
    curl_off_t sent = 0;
    curl_easy_getinfo(c, CURLINFO_SIZE_UPLOAD_T, &sent);
    if (sent != file.size()) {
        m_failure = Failure::ConnectionLost;
        m_detail = u"sent %1 of %2 bytes"_s.arg(sent).arg(file.size());
        return false;
    }
    return true;
}

bool RemoteSession::answers()
{
    CURL* c = m_handle->curl;
    const QByteArray url = folderUrl().toUtf8();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    return perform(false);
}

bool RemoteSession::Remove(const QString& name)
{
    CURL* c = m_handle->curl;
    const QByteArray url = folderUrl().toUtf8();
    Slist commands = isSftp(m_settings.destination) ? makeList({"rm " + remotePath(name)})
                                                    : makeList({"DELE " + name.toUtf8()});
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(c, CURLOPT_POSTQUOTE, commands.get());
    return perform(false);
}
