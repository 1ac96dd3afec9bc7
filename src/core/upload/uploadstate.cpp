#include "upload/uploadstate.h"

#include "base/basfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

const QByteArray ManifestHeader = "# Sorabi upload manifest 1\n";

} // namespace

QString UploadManifest::PathFor(const QString& stateFolder, const QString& destinationKey)
{
    // The key holds characters no file name may have; its hash names it instead.
    const QByteArray hash = QCryptographicHash::hash(destinationKey.toUtf8(),
                                                     QCryptographicHash::Sha256);
    return QDir(stateFolder).filePath(u"manifest-"_s + QString::fromLatin1(hash.toHex().left(16))
                                      + u".txt"_s);
}

void UploadManifest::Load(const QString& path)
{
    entries.clear();
    QByteArray bytes;
    if (!basFile::ReadFileBytes(path, &bytes) || !bytes.startsWith(ManifestHeader))
        return;
    // One line per page: hex SHA-256, size, name (UTF-8, may hold blanks).
    for (const QByteArray& line : bytes.sliced(ManifestHeader.size()).split('\n')) {
        if (line.size() < 68 || line[64] != ' ')
            continue;
        const qsizetype blank = line.indexOf(' ', 65);
        if (blank < 0)
            continue;
        bool ok = false;
        Entry entry;
        entry.sha256 = QByteArray::fromHex(line.first(64));
        entry.size = line.sliced(65, blank - 65).toLongLong(&ok);
        const QString name = QString::fromUtf8(line.sliced(blank + 1));
        if (ok && entry.sha256.size() == 32 && !name.isEmpty())
            entries.insert(name, entry);
    }
}

bool UploadManifest::Save(const QString& path) const
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QByteArray bytes = ManifestHeader;
    bytes.reserve(bytes.size() + entries.size() * 100);
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        bytes += it->sha256.toHex() + ' ' + QByteArray::number(it->size) + ' '
                 + it.key().toUtf8() + '\n';
    }
    return basFile::WriteFileAtomically(path, bytes);
}

TrustedKeys::TrustedKeys(const QString& stateFolder)
    : m_path(QDir(stateFolder).filePath(u"trusted-keys.txt"_s))
{}

QString TrustedKeys::Find(const QString& kind, const QString& server) const
{
    QByteArray bytes;
    basFile::ReadFileBytes(m_path, &bytes);
    const QByteArray prefix = (kind + u' ' + server + u' ').toUtf8();
    for (const QByteArray& line : bytes.split('\n')) {
        if (line.startsWith(prefix))
            return QString::fromUtf8(line.sliced(prefix.size())).trimmed();
    }
    return QString();
}

bool TrustedKeys::Remember(const QString& kind, const QString& server, const QString& fingerprint)
{
    QByteArray bytes;
    if (!basFile::ReadFileBytes(m_path, &bytes))
        return false;
    const QByteArray prefix = (kind + u' ' + server + u' ').toUtf8();
    QByteArray out;
    for (const QByteArray& line : bytes.split('\n')) {
        if (!line.isEmpty() && !line.startsWith(prefix))
            out += line + '\n';
    }
    out += prefix + fingerprint.toUtf8() + '\n';
    return QDir().mkpath(QFileInfo(m_path).absolutePath())
           && basFile::WriteFileAtomically(m_path, out);
}

namespace {

QString kindFor(const UploadDestination& d)
{
    return d.protocol == UploadProtocol::Sftp ? u"ssh"_s : u"tls"_s;
}

} // namespace

QString TrustedKeys::TrustedFor(const UploadDestination& d) const
{
    return d.protocol == UploadProtocol::Ftp ? QString() : Find(kindFor(d), d.ServerId());
}

void TrustedKeys::Trust(const UploadDestination& d, const QString& fingerprint)
{
    Remember(kindFor(d), d.ServerId(), fingerprint);
}

std::optional<UploadUi::KeyQuestion> TrustedKeys::QuestionFor(RemoteSession::Failure failure,
                                                              int attempt, const QString& seen)
{
    using Failure = RemoteSession::Failure;
    if (attempt != 0 || seen.isEmpty())
        return std::nullopt;
    switch (failure) {
    case Failure::CertificateUntrusted:
        return UploadUi::KeyQuestion::NewCertificate;
    case Failure::CertificateChanged:
        return UploadUi::KeyQuestion::ChangedCertificate;
    case Failure::HostKeyUnknown:
        return UploadUi::KeyQuestion::NewHostKey;
    case Failure::HostKeyChanged:
        return UploadUi::KeyQuestion::ChangedHostKey;
    default:
        return std::nullopt;
    }
}
