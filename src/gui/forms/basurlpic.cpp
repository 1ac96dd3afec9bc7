#include "forms/basurlpic.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace basUrlPic {

namespace {

bool isWebAddress(const QString& text)
{
    return text.startsWith(u"http://"_s, Qt::CaseInsensitive)
        || text.startsWith(u"https://"_s, Qt::CaseInsensitive);
}

QPixmap fetch(const QUrl& url, int timeoutMs)
{
    if (!url.isValid() || url.host().isEmpty())
        return {};

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    QNetworkReply* reply = manager.get(request);

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // Give up on a body too large for a header picture as soon as it is
    // announced or has arrived, rather than collecting it.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply] {
        bool known = false;
        const qint64 announced =
            reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && announced > MaxDownloadBytes)
            reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply] {
        if (reply->bytesAvailable() > MaxDownloadBytes)
            reply->abort();
    });
    deadline.start(qMax(1, timeoutMs));
    // abort() may already have finished the reply (for example a malformed
    // URL); only wait when there is something to wait for.
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();

    QPixmap picture;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300) {
        const QByteArray body = reply->readAll();
        if (body.size() <= MaxDownloadBytes)
            picture.loadFromData(body);
    }
    delete reply;
    return picture;
}

} // namespace

QPixmap LoadUrlPicture(const QString& urlOrPath, int timeoutMs)
{
    if (urlOrPath.isEmpty())
        return {};
    if (isWebAddress(urlOrPath))
        return fetch(QUrl(urlOrPath), timeoutMs);

    QString path = urlOrPath;
    if (urlOrPath.startsWith(u"file:"_s, Qt::CaseInsensitive))
        path = QUrl(urlOrPath).toLocalFile();
    QPixmap picture;
    if (!path.isEmpty())
        picture.load(path);
    return picture;
}

} // namespace basUrlPic
