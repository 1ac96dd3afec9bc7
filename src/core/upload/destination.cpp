#include "upload/destination.h"

#include "base/textcodec.h"
#include "settings/basinifile.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {
const QString Section = u"UPLOAD"_s;
} // namespace

QString UploadDestination::UrlHost() const
{
    return host.contains(u':') ? u'[' + host + u']' : host;
}

QString UploadDestination::HostAndPort() const
{
    return UrlHost() + u':' + QString::number(EffectivePort());
}

QString UploadDestination::ServerId() const
{
    return HostAndPort().toLower();
}

QString UploadDestination::CredentialEntry() const
{
    return ProtocolName(protocol) + u"://"_s + user + u'@' + ServerId();
}

QString UploadDestination::Identity() const
{
    return CredentialEntry() + u'/' + folder;
}

std::optional<int> UploadDestination::ParsePort(const QString& text)
{
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

std::optional<int> UploadDestination::ParseConnections(const QString& text)
{
    if (text.isEmpty())
        return DefaultConnections;
    bool ok = false;
    const int connections = text.toInt(&ok);
    if (!ok || connections < 1 || connections > MaxConnections)
        return std::nullopt;
    return connections;
}

QString UploadDestination::StateFolder(const QString& iniPath)
{
    return QFileInfo(iniPath).absoluteDir().filePath(u"upload"_s);
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
    const std::optional<int> port = ParsePort(portText);
    if (!port) {
        *failure = u"option.ini の [UPLOAD] の PORT「%1」はポート番号ではありません（1～65535）。"_s
                       .arg(portText);
        return false;
    }
    d.port = *port;
    d.user = basIniFile::GetIniValue(Section, u"USER"_s, iniPath);
    d.folder = basIniFile::GetIniValue(Section, u"FOLDER"_s, iniPath);
    const QString connectionsText = basIniFile::GetIniValue(Section, u"CONNECTIONS"_s, iniPath).trimmed();
    const std::optional<int> connections = ParseConnections(connectionsText);
    if (!connections) {
        *failure = u"option.ini の [UPLOAD] の CONNECTIONS「%1」は同時接続数ではありません（1～8）。"_s
                       .arg(connectionsText);
        return false;
    }
    d.connections = *connections;
    *destination = d;
    return true;
}

bool UploadDestination::Save(const QString& iniPath) const
{
    // One write for the six keys, so a failure leaves none of them half saved.
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
    set("CONNECTIONS", connections == DefaultConnections ? QString() : QString::number(connections));
    return basIniFile::WriteFileAtomically(iniPath, bytes);
}
