#include "settings/siteurl.h"

#include "base/textcodec.h"
#include "settings/basinifile.h"
#include "settings/clsoption.h"

#include <QUrl>

using namespace Qt::StringLiterals;

namespace SiteUrl {

bool Normalize(const QString& text, QString* normalized, QString* reason)
{
    auto refuse = [reason](const QString& why) {
        if (reason)
            *reason = why + u"\r\n\r\n例: https://example.jp/ や https://example.jp/items/"_s;
        return false;
    };
    QString address = text.trimmed();
    if (address.isEmpty()) {
        if (normalized)
            normalized->clear();
        return true;
    }
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http"_s && scheme != u"https"_s)
        || !address.contains(u"://"_s))
        return refuse(u"公開URLは「http://」か「https://」で始まるアドレスで入力してください。"_s);
    if (url.host().isEmpty())
        return refuse(u"公開URLにホスト名（example.jp など）がありません。"_s);
    if (!url.userInfo().isEmpty())
        return refuse(u"公開URLにユーザー名やパスワード（@ の前）は入れられません。"_s);
    if (url.hasQuery() || url.hasFragment())
        return refuse(u"公開URLに「?」や「#」から後の部分は入れられません。ページを置くフォルダのアドレスを入力してください。"_s);
    for (QChar c : address) {
        if (c.isSpace())
            return refuse(u"公開URLに空白は入れられません。"_s);
    }
    if (!address.endsWith(u'/'))
        address += u'/';
    if (normalized)
        *normalized = address;
    return true;
}

QString Read(const QString& iniPath)
{
    QByteArray bytes;
    if (!basIniFile::ReadFileBytes(iniPath, &bytes))
        return QString();
    return TextCodec::Decode(basIniFile::GetIniValueFromBytes(bytes, clsOption::Section(), Key),
                             basIniFile::FileEncoding(bytes));
}

bool IsSiteRoot(const QString& normalized)
{
    return QUrl(normalized).path() == u"/"_s;
}

} // namespace SiteUrl
