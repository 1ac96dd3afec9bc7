#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QHash>
#include <QString>

#include <vector>

// The sitemap of an output folder (sitemaps.org protocol, UTF-8), for a run
// with the shop's public address set. One entry per page written; a page
// byte for byte the same as the page of that name in the previous output
// folder keeps the date that folder's sitemap gave it, any other the run's
// date. Past the protocol's limits the entries go into sitemap-1.xml, …
// and sitemap.xml is their index.
class SitemapBuilder
{
public:
    struct Limits
    {
        qsizetype maxUrls = 50000;
        qsizetype maxBytes = qsizetype(50) * 1024 * 1024;
    };

    // `address` as SiteUrl::Normalize gives it; `folder` is the run's output
    // folder, whose older siblings are searched for the previous sitemap.
    SitemapBuilder(const QString& address, const QString& folder, QDate runDate, Limits limits);

    // A page written into the folder: its file name and its bytes as the
    // file holds them, but for the final line break that the writer adds.
    void AddPage(const QString& fileName, QByteArrayView bytes);

    // Room for about that many pages' entries, so that they are not copied
    // again and again as they grow.
    void Reserve(int pages);

    // Writes sitemap.xml (and sitemap-N.xml), and robots.txt when the
    // address is the site's root. False with the failed file and why.
    bool Write(QString* failedPath, QString* why) const;

    qsizetype PageCount() const { return qsizetype(m_ends.size()); }

    // The page's file name as a URL path segment: UTF-8, percent-encoded
    // (as the upload names files on the server).
    static QByteArray EncodedName(const QString& fileName);

    // The names this output folder's own files take when an address is set:
    // index.html, index-N.html, sitemap*.xml, robots.txt (in any case, as
    // Windows compares names).
    static bool IsReservedName(const QString& fileName);

private:
    void loadPrevious();
    QString m_address;
    QByteArray m_encodedAddress;
    QByteArray m_locPrefix; // the address as it stands in <loc>
    QString m_folder;
    QString m_previousFolder;
    QByteArray m_runDate;
    Limits m_limits;
    QHash<QString, QByteArray> m_previousDates; // file name → "YYYY-MM-DD"
    QByteArray m_entries;                       // the <url> elements, one a line
    std::vector<qsizetype> m_ends;
    std::vector<qint32> m_days; // each entry's date, as a day number
    qint32 m_runDay = 0;
};
