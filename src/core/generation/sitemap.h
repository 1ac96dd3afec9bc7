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
//
// Beside the folder, "<folder>.lastmod" keeps each page's digest and date,
// so that the next run compares digests rather than reading every page of
// this folder again. A folder without one (an earlier version's, or one
// whose record was lost) is compared page by page, as before.
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

    // A page written into the folder: its file name, that name as
    // EncodedName gives it, and its bytes as the file holds them, but for
    // the final line break that the writer adds.
    void AddPage(const QString& fileName, const QByteArray& encodedName, QByteArrayView bytes);

    // Room for about that many pages' entries, so that they are not copied
    // again and again as they grow.
    void Reserve(int pages);

    // Writes sitemap.xml (and sitemap-N.xml), robots.txt when the address is
    // the site's root, and the record, once every page has been added. False
    // with the failed file and why.
    bool Write(QString* failedPath, QString* why);

    qsizetype PageCount() const { return qsizetype(m_ends.size()); }

    // The page's file name as a URL path segment: UTF-8, percent-encoded
    // (as the upload names files on the server).
    static QByteArray EncodedName(const QString& fileName);

    // The names this output folder's own files take when an address is set:
    // index.html, index-N.html, sitemap*.xml, robots.txt (in any case, as
    // Windows compares names).
    static bool IsReservedName(const QString& fileName);

    // The record of digests and dates kept beside an output folder.
    static QString RecordPath(const QString& folder);

private:
    struct Previous
    {
        qsizetype nameFrom; // in m_previousNames
        qsizetype nameSize;
        quint64 digest; // when known
        qint32 day;
    };
    void loadPrevious();
    const Previous* previousOf(QByteArrayView encodedName);
    bool loadRecord(const QString& path);
    QByteArray record() const;
    QString m_address;
    QByteArray m_encodedAddress;
    QByteArray m_locPrefix; // the address as it stands in <loc>
    QString m_folder;
    QString m_previousFolder;
    bool m_previousHasDigests = false; // else its pages are read and compared
    Limits m_limits;
    // The previous folder's pages, in its order: a run over the same list
    // finds each at the cursor; others are looked up by name.
    QByteArray m_previousNames;
    std::vector<Previous> m_previous;
    size_t m_cursor = 0;
    QHash<QByteArrayView, size_t> m_previousIndex; // made on the first page out of order
    // Each page's encoded name (one after the other), where it ends, its
    // date as a day number and its digest; the XML is made when written.
    QByteArray m_names;
    std::vector<qsizetype> m_ends;
    std::vector<qint32> m_days;
    std::vector<quint64> m_digests;
    qint32 m_runDay = 0;
};
