#include "upload/destination.h"

#include "base/textcodec.h"
#include "settings/basinifile.h"

using namespace Qt::StringLiterals;

namespace {
const QString Section = u"UPLOAD"_s;
} // namespace

QString UploadDestination::Key() const
{
    return ProtocolName(protocol) + u"://"_s + user + u'@' + ServerKey() + u'/' + folder;
}

QString UploadDestination::ServerKey() const
{
    // A numeric IPv6 address keeps its own colons apart from the port's.
    const QString name = host.contains(u':') ? u'[' + host + u']' : host;
    return name.toLower() + u':' + QString::number(EffectivePort());
}

int UploadDestination::DefaultPort(UploadProtocol protocol)
{
    return protocol == UploadProtocol::Sftp ? 22 : 21;
}

QString UploadDestination::ProtocolName(UploadProtocol protocol)
{
    switch (protocol) {
    case UploadProtocol::Sftp:
        return u"sftp"_s;
    case UploadProtocol::Ftp:
        return u"ftp"_s;
    case UploadProtocol::Ftps:
        break;
    }
    return u"ftps"_s;
}

std::optional<UploadProtocol> UploadDestination::ParseProtocol(const QString& name)
{
    const QString lower = name.trimmed().toLower();
    if (lower.isEmpty() || lower == u"ftps")
        return UploadProtocol::Ftps;
    if (lower == u"sftp")
        return UploadProtocol::Sftp;
    if (lower == u"ftp")
        return UploadProtocol::Ftp;
    return std::nullopt;
}

bool UploadDestination::Load(const QString& iniPath, UploadDestination* destination,
                             QString* failure)
{
    UploadDestination d;
    const QString protocolText = basIniFile::GetIniValue(Section, u"PROTOCOL"_s, iniPath);
    const std::optional<UploadProtocol> protocol = ParseProtocol(protocolText);
    if (!protocol) {
        *failure = u"option.ini の [UPLOAD] の PROTOCOL「%1」は使えません。ftps、sftp、ftp のどれかを指定してください。"_s
                       .arg(protocolText);
        return false;
    }
    d.protocol = *protocol;
    d.host = basIniFile::GetIniValue(Section, u"HOST"_s, iniPath);
    const QString portText = basIniFile::GetIniValue(Section, u"PORT"_s, iniPath);
    if (!portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            *failure = u"option.ini の [UPLOAD] の PORT「%1」はポート番号ではありません（1～65535）。"_s
                           .arg(portText);
            return false;
        }
        d.port = port;
    }
    d.user = basIniFile::GetIniValue(Section, u"USER"_s, iniPath);
    d.folder = basIniFile::GetIniValue(Section, u"FOLDER"_s, iniPath);
    *destination = d;
    return true;
}

bool UploadDestination::Save(const QString& iniPath) const
{
    // One write for the five keys, so a failure leaves none of them half saved.
    QByteArray bytes;
    if (!basIniFile::ReadFileBytes(iniPath, &bytes))
        return false;
    // The file keeps its encoding (Shift_JIS, or UTF-8 where an editor saved it so).
    const TextEncoding encoding = basIniFile::FileEncoding(bytes);
    const QByteArray section = Section.toLatin1();
    const auto set = [&](const char* key, const QString& value) {
        bytes = basIniFile::SetIniValueInBytes(bytes, section, key, TextCodec::Encode(value, encoding));
    };
    set("PROTOCOL", ProtocolName(protocol));
    set("HOST", host);
    set("PORT", port > 0 ? QString::number(port) : QString());
    set("USER", user);
    set("FOLDER", folder);
    return basIniFile::WriteFileAtomically(iniPath, bytes);
}
