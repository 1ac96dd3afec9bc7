#include "generation/sitemap.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const QByteArray kUrlsetOpen = "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
const QByteArray kUrlsetClose = "</urlset>\n";
const QByteArray kIndexOpen = "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
const QByteArray kIndexClose = "</sitemapindex>\n";

QByteArray xmlEscaped(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

bool isOutputFolderName(const QString& name)
{
    static const QRegularExpression digits(u"^[0-9]{14}$"_s);
    return digits.match(name).hasMatch();
}

// Every <loc> and its <lastmod> in a sitemap file, as the page's file name
// (the last path segment, decoded) → date.
void readSitemap(const QString& path, QHash<QString, QByteArray>& dates, QStringList* children)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QXmlStreamReader xml(&file);
    QString loc;
    QByteArray lastmod;
    bool index = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"sitemapindex"_s)
                index = true;
            else if (xml.name() == u"loc"_s)
                loc = xml.readElementText().trimmed();
            else if (xml.name() == u"lastmod"_s)
                lastmod = xml.readElementText().trimmed().left(10).toLatin1();
            else if (xml.name() == u"url"_s || xml.name() == u"sitemap"_s) {
                loc.clear();
                lastmod.clear();
            }
        } else if (xml.isEndElement() && (xml.name() == u"url"_s || xml.name() == u"sitemap"_s)) {
            const QString name = QUrl::fromPercentEncoding(loc.section(u'/', -1).toUtf8());
            if (index && children)
                children->append(name);
            else if (!index && !name.isEmpty() && lastmod.size() == 10)
                dates.insert(name, lastmod);
        }
    }
}

bool writeFile(const QString& path, const QByteArray& bytes, QString* failedPath, QString* why)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    *failedPath = path;
    *why = file.errorString();
    return false;
}

} // namespace

SitemapBuilder::SitemapBuilder(const QString& address, const QString& folder, QDate runDate,
                               Limits limits)
    : m_address(address),
      m_encodedAddress(QUrl(address).toEncoded()),
      m_locPrefix(xmlEscaped(m_encodedAddress)),
      m_folder(folder),
      m_runDate(runDate.toString(Qt::ISODate).toLatin1()),
      m_limits(limits)
{
    m_runDay = qint32(runDate.toJulianDay());
    loadPrevious();
}

void SitemapBuilder::loadPrevious()
{
    // The newest earlier output folder that has a sitemap: a cancelled run's
    // folder, or one made without an address, has no dates to keep.
    QDir parent = QFileInfo(m_folder).absoluteDir();
    const QString own = QFileInfo(m_folder).fileName();
    QStringList names = parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QString& name : names) {
        if (!isOutputFolderName(name) || name >= own)
            continue;
        const QString candidate = parent.filePath(name);
        if (!QFileInfo(candidate + u"/sitemap.xml"_s).isFile())
            continue;
        m_previousFolder = candidate;
        QStringList children;
        readSitemap(candidate + u"/sitemap.xml"_s, m_previousDates, &children);
        for (const QString& child : children) {
            if (!child.contains(u'/') && child.startsWith(u"sitemap-"_s))
                readSitemap(candidate + u'/' + child, m_previousDates, nullptr);
        }
        return;
    }
}

void SitemapBuilder::Reserve(int pages)
{
    m_entries.reserve(qsizetype(pages) * (m_locPrefix.size() + 64));
    m_ends.reserve(size_t(pages));
    m_days.reserve(size_t(pages));
}

void SitemapBuilder::AddPage(const QString& fileName, QByteArrayView bytes)
{
    QByteArray date = m_runDate;
    const auto kept = m_previousDates.constFind(fileName);
    if (kept != m_previousDates.constEnd()) {
        // The writer ends every file with one more line break.
        QFile old(m_previousFolder + u'/' + fileName);
        if (old.size() == bytes.size() + 2 && old.open(QIODevice::ReadOnly)) {
            const QByteArray before = old.readAll();
            if (before.size() == bytes.size() + 2 && QByteArrayView(before).first(bytes.size()) == bytes
                && before.endsWith("\r\n"))
                date = *kept;
        }
    }
    m_entries += "<url><loc>";
    m_entries += m_locPrefix; // percent-encoded names need no escaping
    m_entries += EncodedName(fileName);
    m_entries += "</loc><lastmod>";
    m_entries += date;
    m_entries += "</lastmod></url>\n";
    m_ends.push_back(m_entries.size());
    m_days.push_back(date.data() == m_runDate.data()
                         ? m_runDay
                         : qint32(QDate::fromString(QString::fromLatin1(date), Qt::ISODate).toJulianDay()));
}

bool SitemapBuilder::Write(QString* failedPath, QString* why) const
{
    // Split where either limit would be passed.
    struct Part
    {
        size_t first;
        size_t end;
        qint32 newest;
    };
    std::vector<Part> parts;
    const qsizetype frame = kXmlHead.size() + kUrlsetOpen.size() + kUrlsetClose.size();
    size_t first = 0;
    qsizetype start = 0;
    for (size_t i = 0; i < m_ends.size(); ++i) {
        const qsizetype bytes = m_ends[i] - start;
        if (i > first && (qsizetype(i - first) >= m_limits.maxUrls || bytes + frame > m_limits.maxBytes)) {
            parts.push_back({first, i, 0});
            first = i;
            start = m_ends[i - 1];
        }
    }
    parts.push_back({first, m_ends.size(), 0});
    for (Part& part : parts) {
        for (size_t i = part.first; i < part.end; ++i)
            part.newest = std::max(part.newest, m_days[i]);
    }

    auto urlset = [this](const Part& part) -> QByteArray {
        const qsizetype from = part.first == 0 ? 0 : m_ends[part.first - 1];
        const qsizetype to = part.end == 0 ? 0 : m_ends[part.end - 1];
        return kXmlHead + kUrlsetOpen + QByteArrayView(m_entries).sliced(from, to - from).toByteArray()
               + kUrlsetClose;
    };
    const QString folder = m_folder + u'/';
    if (parts.size() == 1) {
        if (!writeFile(folder + u"sitemap.xml"_s, urlset(parts[0]), failedPath, why))
            return false;
    } else {
        QByteArray index = kXmlHead + kIndexOpen;
        for (size_t k = 0; k < parts.size(); ++k) {
            const QString name = u"sitemap-%1.xml"_s.arg(k + 1);
            if (!writeFile(folder + name, urlset(parts[k]), failedPath, why))
                return false;
            index += "<sitemap><loc>" + m_locPrefix + name.toLatin1() + "</loc><lastmod>"
                     + QDate::fromJulianDay(parts[k].newest).toString(Qt::ISODate).toLatin1()
                     + "</lastmod></sitemap>\n";
        }
        index += kIndexClose;
        if (!writeFile(folder + u"sitemap.xml"_s, index, failedPath, why))
            return false;
    }
    // Search engines read robots.txt only at the site's root.
    if (QUrl(m_address).path() == u"/"_s
        && !writeFile(folder + u"robots.txt"_s, "Sitemap: " + m_encodedAddress + "sitemap.xml\n",
                      failedPath, why))
        return false;
    return true;
}

QByteArray SitemapBuilder::EncodedName(const QString& fileName)
{
    return QUrl::toPercentEncoding(fileName);
}

bool SitemapBuilder::IsReservedName(const QString& fileName)
{
    // Asked for every page: most names are ruled out by their first letter.
    const QChar first = fileName.isEmpty() ? QChar() : fileName.front().toCaseFolded();
    if (first != u'i' && first != u's' && first != u'r')
        return false;
    static const QRegularExpression reserved(u"^(index(-[0-9]+)?\\.html|sitemap.*\\.xml|robots\\.txt)$"_s,
                                             QRegularExpression::CaseInsensitiveOption);
    return reserved.match(fileName.toCaseFolded()).hasMatch();
}
