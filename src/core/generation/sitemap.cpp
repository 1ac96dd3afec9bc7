#include "generation/sitemap.h"

#include "generation/generationrun.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>

#include <xxh_x86dispatch.h>
#include <xxhash.h>

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

// Every <loc> and its <lastmod> in a sitemap file: the page's file name as
// EncodedName gives it (the last path segment, encoded again in case another
// tool wrote it) → date as a day number.
void readSitemap(const QString& path, QHash<QByteArray, qint32>& days, QStringList* children)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QXmlStreamReader xml(&file);
    QString loc;
    QString lastmod;
    bool index = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"sitemapindex"_s)
                index = true;
            else if (xml.name() == u"loc"_s)
                loc = xml.readElementText().trimmed();
            else if (xml.name() == u"lastmod"_s)
                lastmod = xml.readElementText().trimmed().left(10);
            else if (xml.name() == u"url"_s || xml.name() == u"sitemap"_s) {
                loc.clear();
                lastmod.clear();
            }
        } else if (xml.isEndElement() && (xml.name() == u"url"_s || xml.name() == u"sitemap"_s)) {
            const QString name = QUrl::fromPercentEncoding(loc.section(u'/', -1).toUtf8());
            const QDate date = QDate::fromString(lastmod, Qt::ISODate);
            if (index && children)
                children->append(name);
            else if (!index && !name.isEmpty() && date.isValid())
                days.insert(SitemapBuilder::EncodedName(name), qint32(date.toJulianDay()));
        }
    }
}

bool writeFile(const QString& path, QByteArrayView bytes, QString* failedPath, QString* why)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes.data(), bytes.size()) == bytes.size()
        && file.commit())
        return true;
    *failedPath = path;
    *why = file.errorString();
    return false;
}

// A page's digest: XXH3 (with the widest instructions the processor has),
// quick enough to take of every page as it is written, and the same on every
// system and in every version. The record
// keeps the digest of a fixed text too, so that a record made otherwise is
// not used.
quint64 digestOf(QByteArrayView bytes)
{
    return quint64(XXH3_64bits_dispatch(bytes.data(), size_t(bytes.size())));
}
quint64 digestProbe()
{
    static const quint64 probe = digestOf("Sorabi page digest");
    return probe;
}
const QByteArray kRecordHead = "sorabi-lastmod 1 ";

// Fills a buffer whose size is known in advance: for pieces this short,
// QByteArray's append costs more than the copying.
class Filler
{
public:
    Filler(QByteArray& out, qsizetype size)
    {
        out.resize(size);
        m_at = out.data();
        m_end = m_at + size;
    }
    void put(QByteArrayView piece)
    {
        Q_ASSERT(piece.size() <= m_end - m_at);
        std::memcpy(m_at, piece.data(), size_t(piece.size()));
        m_at += piece.size();
    }
    void hex16(quint64 value)
    {
        for (int i = 15; i >= 0; --i, value >>= 4)
            m_at[i] = "0123456789abcdef"[value & 15];
        m_at += 16;
    }
    bool full() const { return m_at == m_end; }

private:
    char* m_at;
    char* m_end;
};

QByteArray hex16(quint64 value)
{
    QByteArray out;
    Filler(out, 16).hex16(value);
    return out;
}

// "YYYY-MM-DD" of a day number, remembered for the next entry: most entries
// share a few dates.
class DayText
{
public:
    const QByteArray& operator()(qint32 day)
    {
        if (m_text.isEmpty() || day != m_day) {
            m_day = day;
            m_text = QDate::fromJulianDay(day).toString(Qt::ISODate).toLatin1();
        }
        return m_text;
    }

private:
    qint32 m_day = 0;
    QByteArray m_text;
};

} // namespace

SitemapBuilder::SitemapBuilder(const QString& address, const QString& folder, QDate runDate,
                               Limits limits)
    : m_address(address),
      m_encodedAddress(QUrl(address).toEncoded()),
      m_locPrefix(xmlEscaped(m_encodedAddress)),
      m_folder(folder),
      m_limits(limits)
{
    m_runDay = qint32(runDate.toJulianDay());
    loadPrevious();
}

QString SitemapBuilder::RecordPath(const QString& folder)
{
    return QDir::cleanPath(folder) + u".lastmod"_s;
}

void SitemapBuilder::loadPrevious()
{
    // The newest earlier finished output folder that has a sitemap: one made
    // without an address has no dates to keep.
    QDir parent = QFileInfo(m_folder).absoluteDir();
    const QString own = QFileInfo(m_folder).fileName();
    QStringList names = parent.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QString& name : names) {
        if (!IsOutputFolderName(name) || name >= own)
            continue;
        const QString candidate = parent.filePath(name);
        // An unfinished run's folder (its marker beside it) is not one.
        if (!QFileInfo(candidate + u"/sitemap.xml"_s).isFile() || QFileInfo::exists(UnfinishedMarkerPath(candidate)))
            continue;
        m_previousFolder = candidate;
        if (loadRecord(RecordPath(candidate))) {
            m_previousHasDigests = true;
            return;
        }
        QHash<QByteArray, qint32> days;
        QStringList children;
        readSitemap(candidate + u"/sitemap.xml"_s, days, &children);
        for (const QString& child : children) {
            if (!child.contains(u'/') && child.startsWith(u"sitemap-"_s))
                readSitemap(candidate + u'/' + child, days, nullptr);
        }
        m_previous.reserve(size_t(days.size()));
        for (auto it = days.cbegin(); it != days.cend(); ++it) {
            m_previous.push_back({m_previousNames.size(), it.key().size(), 0, it.value()});
            m_previousNames += it.key();
        }
        return;
    }
}

bool SitemapBuilder::loadRecord(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    // Head, then "<digest> <date> <name>" a line, then "end <count>": a
    // record cut short or from another hash is not used at all.
    const QByteArray head = kRecordHead + hex16(digestProbe()) + '\n';
    if (!bytes.startsWith(head) || !bytes.endsWith('\n'))
        return false;
    std::vector<Previous> previous;
    previous.reserve(size_t(bytes.size() / 40));
    QByteArrayView lastDate;
    qint32 lastDay = 0;
    qsizetype from = head.size();
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', from);
        if (end < 0)
            return false;
        const QByteArrayView line = QByteArrayView(bytes).sliced(from, end - from);
        if (line.startsWith("end ")) {
            if (end + 1 != bytes.size() || line.sliced(4) != QByteArray::number(qsizetype(previous.size())))
                return false;
            break;
        }
        bool ok = line.size() > 28 && line[16] == ' ' && line[27] == ' ';
        const quint64 digest = ok ? line.first(16).toULongLong(&ok, 16) : 0;
        if (!ok)
            return false;
        const QByteArrayView date = line.sliced(17, 10);
        if (date != lastDate) {
            const QDate parsed = QDate::fromString(QString::fromLatin1(date), Qt::ISODate);
            if (!parsed.isValid())
                return false;
            lastDate = date;
            lastDay = qint32(parsed.toJulianDay());
        }
        previous.push_back({from + 28, line.size() - 28, digest, lastDay});
        from = end + 1;
    }
    m_previousNames = std::move(bytes);
    m_previous = std::move(previous);
    return true;
}

const SitemapBuilder::Previous* SitemapBuilder::previousOf(QByteArrayView encodedName)
{
    auto nameOf = [this](const Previous& entry) {
        return QByteArrayView(m_previousNames).sliced(entry.nameFrom, entry.nameSize);
    };
    if (m_cursor < m_previous.size() && nameOf(m_previous[m_cursor]) == encodedName)
        return &m_previous[m_cursor++];
    if (m_previousIndex.isEmpty() && !m_previous.empty()) {
        m_previousIndex.reserve(qsizetype(m_previous.size()));
        for (size_t i = 0; i < m_previous.size(); ++i)
            m_previousIndex.insert(nameOf(m_previous[i]), i);
    }
    const auto found = m_previousIndex.constFind(encodedName);
    if (found == m_previousIndex.constEnd())
        return nullptr;
    m_cursor = *found + 1;
    return &m_previous[*found];
}

void SitemapBuilder::Reserve(int pages)
{
    m_names.reserve(qsizetype(pages) * 16);
    m_ends.reserve(size_t(pages));
    m_days.reserve(size_t(pages));
    m_digests.reserve(size_t(pages));
}

void SitemapBuilder::AddPage(const QString& fileName, const QByteArray& encodedName, QByteArrayView bytes)
{
    const quint64 digest = digestOf(bytes);
    qint32 day = m_runDay;
    if (const Previous* kept = previousOf(encodedName)) {
        if (m_previousHasDigests) {
            if (kept->digest == digest)
                day = kept->day;
        } else {
            // The writer ends every file with one more line break.
            QFile old(m_previousFolder + u'/' + fileName);
            if (old.size() == bytes.size() + 2 && old.open(QIODevice::ReadOnly)) {
                const QByteArray before = old.readAll();
                if (before.size() == bytes.size() + 2 && QByteArrayView(before).first(bytes.size()) == bytes
                    && before.endsWith("\r\n"))
                    day = kept->day;
            }
        }
    }
    m_names += encodedName;
    m_ends.push_back(m_names.size());
    m_days.push_back(day);
    m_digests.push_back(digest);
}

bool SitemapBuilder::Write(QString* failedPath, QString* why)
{
    static const QByteArray urlOpen = "<url><loc>", lastmodOpen = "</loc><lastmod>",
                            urlClose = "</lastmod></url>\n";
    const qsizetype entryFrame = urlOpen.size() + m_locPrefix.size() + lastmodOpen.size() + 10 + urlClose.size();
    auto nameOf = [this](size_t i) {
        const qsizetype from = i == 0 ? 0 : m_ends[i - 1];
        return QByteArrayView(m_names).sliced(from, m_ends[i] - from);
    };

    // Split where either limit would be passed.
    struct Part
    {
        size_t first;
        size_t end;
        qsizetype bytes;
        qint32 newest;
    };
    std::vector<Part> parts;
    const qsizetype frame = kXmlHead.size() + kUrlsetOpen.size() + kUrlsetClose.size();
    Part part{0, 0, frame, 0};
    for (size_t i = 0; i < m_ends.size(); ++i) {
        const qsizetype entry = entryFrame + nameOf(i).size();
        if (i > part.first && (qsizetype(i - part.first) >= m_limits.maxUrls || part.bytes + entry > m_limits.maxBytes)) {
            part.end = i;
            parts.push_back(part);
            part = {i, i, frame, 0};
        }
        part.bytes += entry;
        part.newest = std::max(part.newest, m_days[i]);
    }
    part.end = m_ends.size();
    parts.push_back(part);

    DayText dayText;
    auto urlset = [&](const Part& part) {
        QByteArray out;
        Filler fill(out, part.bytes);
        fill.put(kXmlHead);
        fill.put(kUrlsetOpen);
        for (size_t i = part.first; i < part.end; ++i) {
            fill.put(urlOpen);
            fill.put(m_locPrefix); // percent-encoded names need no escaping
            fill.put(nameOf(i));
            fill.put(lastmodOpen);
            fill.put(dayText(m_days[i]));
            fill.put(urlClose);
        }
        fill.put(kUrlsetClose);
        Q_ASSERT(fill.full());
        return out;
    };
    // One file made at a time: a part can be some megabytes.
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
                     + dayText(parts[k].newest) + "</lastmod></sitemap>\n";
        }
        index += kIndexClose;
        if (!writeFile(folder + u"sitemap.xml"_s, index, failedPath, why))
            return false;
    }
    // Search engines read robots.txt only at the site's root.
    if (QUrl(m_address).path() == u"/"_s
        && !writeFile(folder + u"robots.txt"_s, QByteArray("Sitemap: " + m_encodedAddress + "sitemap.xml\n"),
                      failedPath, why))
        return false;

    // The record only saves the next run reading this folder's pages again:
    // when it cannot be written, that run reads them.
    QString recordFailed, recordWhy;
    writeFile(RecordPath(m_folder), record(), &recordFailed, &recordWhy);

    // The records of folders the user has since removed go with them.
    const QDir parent = QFileInfo(m_folder).absoluteDir();
    for (const QString& name : parent.entryList({u"*.lastmod"_s}, QDir::Files)) {
        const QString folderName = name.chopped(8);
        if (IsOutputFolderName(folderName) && !QFileInfo::exists(parent.filePath(folderName)))
            QFile::remove(parent.filePath(name));
    }
    return true;
}

QByteArray SitemapBuilder::record() const
{
    DayText dayText;
    const QByteArray head = kRecordHead + hex16(digestProbe()) + '\n';
    const QByteArray end = "end " + QByteArray::number(qsizetype(m_ends.size())) + '\n';
    QByteArray out;
    Filler fill(out, head.size() + m_names.size() + qsizetype(m_ends.size()) * (16 + 1 + 10 + 1 + 1) + end.size());
    fill.put(head);
    qsizetype from = 0;
    for (size_t i = 0; i < m_ends.size(); ++i) {
        fill.hex16(m_digests[i]);
        fill.put(" ");
        fill.put(dayText(m_days[i]));
        fill.put(" ");
        fill.put(QByteArrayView(m_names).sliced(from, m_ends[i] - from));
        fill.put("\n");
        from = m_ends[i];
    }
    fill.put(end);
    Q_ASSERT(fill.full());
    return out;
}

QByteArray SitemapBuilder::EncodedName(const QString& fileName)
{
    // Most names need no encoding at all: taken as they are, without the
    // UTF-8 copy that the encoding starts from.
    const bool plain = std::all_of(fileName.cbegin(), fileName.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'-'
               || u == u'.' || u == u'_' || u == u'~';
    });
    return plain ? fileName.toLatin1() : QUrl::toPercentEncoding(fileName);
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
