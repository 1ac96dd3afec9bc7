// The sitemap and the product list pages of a run with the public address
// (SITEURL) set.
#include "base/clstextfile.h"
#include "generation/generationrun.h"
#include "generation/listpages.h"
#include "recordingui.h"
#include "runsandbox.h"
#include "testdata.h"
#include "testutil.h"

#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

QByteArray product(const QString& id, const QString& name = u"商品"_s, const QByteArray& text = "x10")
{
    return TestData::productLine(TextCodec::EncodeShiftJis(id),
                                 {{1, TextCodec::EncodeShiftJis(name)}, {10, text}});
}

// Every <loc> of a sitemap file, with its <lastmod>; false when it is not
// well-formed XML of the sitemaps.org namespace.
bool readSitemap(const QString& path, QList<std::pair<QString, QString>>& entries, QString* root = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (root && root->isEmpty()) {
            *root = xml.name().toString();
            if (xml.namespaceUri() != u"http://www.sitemaps.org/schemas/sitemap/0.9"_s)
                return false;
        }
        if (xml.name() == u"loc"_s)
            entries.append({xml.readElementText(), QString()});
        else if (xml.name() == u"lastmod"_s)
            entries.last().second = xml.readElementText();
    }
    return !xml.hasError();
}

} // namespace

class TestSitemap : public QObject
{
    Q_OBJECT

    RunSandbox m_box;

    bool setUp(const QString& address, const QByteArrayList& lines)
    {
        return m_box.reset(TestData::settingsFile(TestData::testShop()) + "SITEURL="
                           + TextCodec::EncodeShiftJis(address) + "\r\n")
               && TestUtil::writeFile(m_box.csv, TestData::csvFile(lines));
    }
    RunResult run(RecordingUi& ui, RunOptions o)
    {
        const RunResult result = CreatePages(ui, o);
        return result;
    }
    // The decoded file name of a <loc> under the address, or a null text.
    static QString fileOf(const QString& loc, const QString& encodedAddress)
    {
        if (!loc.startsWith(encodedAddress))
            return QString();
        const QString rest = loc.mid(encodedAddress.size());
        return rest.contains(u'/') ? QString() : QUrl::fromPercentEncoding(rest.toLatin1());
    }

private slots:
    // Japanese names: the sitemap is well-formed, every <loc> is the
    // address with a percent-encoded name that decodes to a file of the
    // folder, and every page is in it.
    void japaneseNamesResolve()
    {
        QVERIFY(setUp(u"https://example.jp/商品/"_s,
                      {product(u"財布１"_s), product(u"A 1#%"_s), product(u"ｶﾅ"_s), product(u"B2"_s)}));
        RecordingUi ui;
        const RunResult result = run(ui, m_box.options());
        QCOMPARE(result.outcome, RunOutcome::Completed);
        QList<std::pair<QString, QString>> entries;
        QString root;
        QVERIFY(readSitemap(m_box.outputFolder() + u"/sitemap.xml"_s, entries, &root));
        QCOMPARE(root, u"urlset"_s);
        const QString address = u"https://example.jp/%E5%95%86%E5%93%81/"_s;
        QStringList named;
        for (const auto& [loc, lastmod] : entries) {
            QVERIFY2(!loc.contains(u' ') && QUrl(loc, QUrl::StrictMode).isValid(), qPrintable(loc));
            const QString name = fileOf(loc, address);
            QVERIFY2(QFileInfo(m_box.outputFolder() + u'/' + name).isFile(), qPrintable(loc));
            QCOMPARE(lastmod, u"2026-12-06"_s);
            named.append(name);
        }
        named.sort();
        QStringList pages = RunSandbox::entries(m_box.outputFolder());
        pages.removeAll(u"sitemap.xml"_s);
        QCOMPARE(named, pages);
        QVERIFY(pages.contains(u"財布１.html"_s) && pages.contains(u"index.html"_s));
        // Not the site's root: no robots.txt (the guide gives the line to add).
        QVERIFY(!pages.contains(u"robots.txt"_s));
    }

    // Past the limit (lowered here; the benchmark runs the real one) the
    // entries go into sitemap-1.xml, sitemap-2.xml and sitemap.xml indexes
    // them. The address is the site's root (typed without its "/"), so
    // robots.txt names the index.
    void splitPastTheLimit()
    {
        QVERIFY(setUp(u"https://example.jp"_s, {product(u"A1"_s), product(u"A2"_s), product(u"A3"_s),
                                                product(u"A4"_s), product(u"A5"_s)}));
        RunOptions o = m_box.options();
        o.sitemapLimits.maxUrls = 3; // 5 pages and index.html
        RecordingUi ui;
        QCOMPARE(run(ui, o).outcome, RunOutcome::Completed);
        QCOMPARE(TestUtil::readFile(m_box.outputFolder() + u"/robots.txt"_s),
                 QByteArray("Sitemap: https://example.jp/sitemap.xml\n"));
        QList<std::pair<QString, QString>> index, first, second;
        QString root;
        QVERIFY(readSitemap(m_box.outputFolder() + u"/sitemap.xml"_s, index, &root));
        QCOMPARE(root, u"sitemapindex"_s);
        QCOMPARE(index.size(), 2);
        QCOMPARE(index[0].first, u"https://example.jp/sitemap-1.xml"_s);
        QCOMPARE(index[1].first, u"https://example.jp/sitemap-2.xml"_s);
        QVERIFY(readSitemap(m_box.outputFolder() + u"/sitemap-1.xml"_s, first));
        QVERIFY(readSitemap(m_box.outputFolder() + u"/sitemap-2.xml"_s, second));
        QCOMPARE(first.size(), 3);
        QCOMPARE(second.size(), 3);
        QVERIFY(!QFileInfo::exists(m_box.outputFolder() + u"/sitemap-3.xml"_s));

        // The byte limit splits as well.
        QVERIFY(setUp(u"https://example.jp/"_s, {product(u"A1"_s), product(u"A2"_s), product(u"A3"_s)}));
        o = m_box.options();
        o.sitemapLimits.maxBytes = 300;
        QCOMPARE(run(ui, o).outcome, RunOutcome::Completed);
        for (const QString& name : RunSandbox::entries(m_box.outputFolder())) {
            if (name.startsWith(u"sitemap-"_s))
                QVERIFY(QFileInfo(m_box.outputFolder() + u'/' + name).size() <= 300);
        }
        QVERIFY(QFileInfo::exists(m_box.outputFolder() + u"/sitemap-2.xml"_s));
    }

    // A page unchanged since the previous folder keeps that sitemap's date;
    // a changed one gets the run's date: through the digests recorded beside
    // that folder, or, with no record fit to use, by reading its pages.
    void lastmodKeptOnlyForUnchangedPages_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("digests") << QByteArray("as written");
        QTest::newRow("an earlier version's folder") << QByteArray();
        QTest::newRow("a record cut short") << QByteArray("cut short");
        QTest::newRow("another hash's record") << QByteArray("sorabi-lastmod 1 0000000000000000\n"
                                                             "0000000000000000 2026-12-06 Same.html\nend 1\n");
    }
    void lastmodKeptOnlyForUnchangedPages()
    {
        QFETCH(QByteArray, record);
        QVERIFY(setUp(u"https://example.jp/"_s, {product(u"Same"_s), product(u"Changed"_s)}));
        RecordingUi ui;
        QCOMPARE(run(ui, m_box.options()).outcome, RunOutcome::Completed);
        // The digest is the same in every process (a hash seeded per process
        // would make every record useless to the next run).
        const QString recordPath = SitemapBuilder::RecordPath(m_box.outputFolder());
        QVERIFY(TestUtil::readFile(recordPath).startsWith("sorabi-lastmod 1 dc433cf2cd37720c\n"));
        if (record.isEmpty())
            QVERIFY(QFile::remove(recordPath));
        else if (record == "cut short")
            QVERIFY(TestUtil::writeFile(recordPath, TestUtil::readFile(recordPath).chopped(6)));
        else if (record != "as written")
            QVERIFY(TestUtil::writeFile(recordPath, record));
        else // the record is what is compared: the pages are not read again
            QVERIFY(QFile::remove(m_box.outputFolder() + u"/Same.html"_s));
        // A record whose folder was removed goes with it.
        const QString orphan = m_box.program + u"/20200101000000.lastmod"_s;
        QVERIFY(TestUtil::writeFile(orphan, "x"));

        QVERIFY(TestUtil::writeFile(m_box.csv, TestData::csvFile({product(u"Same"_s),
                                                                  product(u"Changed"_s, u"商品"_s, "new")})));
        RunOptions o = m_box.options();
        o.now = [] { return QDateTime(QDate(2027, 1, 15), QTime(9, 0, 0)); };
        QCOMPARE(run(ui, o).outcome, RunOutcome::Completed);
        QList<std::pair<QString, QString>> entries;
        QVERIFY(readSitemap(m_box.program + u"/20270115090000/sitemap.xml"_s, entries));
        QHash<QString, QString> dates;
        for (const auto& [loc, lastmod] : entries)
            dates.insert(loc, lastmod);
        QCOMPARE(dates.value(u"https://example.jp/Same.html"_s), u"2026-12-06"_s);
        QCOMPARE(dates.value(u"https://example.jp/Changed.html"_s), u"2027-01-15"_s);
        QCOMPARE(dates.value(u"https://example.jp/index.html"_s), u"2026-12-06"_s); // names and prices as before
        QVERIFY(!QFileInfo::exists(orphan));
        QVERIFY(QFileInfo(SitemapBuilder::RecordPath(m_box.program + u"/20270115090000"_s)).isFile());
    }

    // 250 products: three list pages, the products in CSV order, every link
    // leading to a page of the folder, values escaped, the product pages'
    // doctype, encoding and style sheet. The blank lines between them make
    // no page, and no list page either.
    void listPagesLinkEveryProduct()
    {
        QByteArrayList lines;
        for (int i = 1; i <= 250; ++i) {
            lines.append(product(u"P%1"_s.arg(i), i == 7 ? u"A&B <b>\"x\""_s : u"商品%1"_s.arg(i)));
            if (i % 4 == 0)
                lines.append(QByteArray());
        }
        QVERIFY(setUp(u"https://example.jp/"_s, lines));
        RecordingUi ui;
        QCOMPARE(run(ui, m_box.options()).outcome, RunOutcome::Completed);
        const QString folder = m_box.outputFolder() + u'/';
        QVERIFY(!QFileInfo::exists(folder + u"index-4.html"_s));

        const QByteArray productPage = TestUtil::readFile(folder + u"P1.html"_s);
        const auto styleOf = [](const QByteArray& page) {
            const qsizetype from = page.indexOf("<style");
            return page.mid(from, page.indexOf("</style>") - from);
        };
        static const QRegularExpression href(u"href=\"([^\"]*)\""_s);
        QStringList products;
        for (const QString& name : {u"index.html"_s, u"index-2.html"_s, u"index-3.html"_s}) {
            const QByteArray bytes = TestUtil::readFile(folder + name);
            QVERIFY(bytes.startsWith(productPage.left(productPage.indexOf("<!--"))));
            QCOMPARE(styleOf(bytes), styleOf(productPage));
            QVERIFY(bytes.endsWith("</html>\r\n"));
            const QString text = TextCodec::DecodeShiftJis(bytes);
            QVERIFY(text.contains(u"<h1 class=\"inline-center\" style=\"color: #000000;\">テスト店</h1>"_s));
            for (auto it = href.globalMatch(text); it.hasNext();) {
                const QString target = QUrl::fromPercentEncoding(it.next().captured(1).toLatin1());
                if (target.startsWith(u"http"_s))
                    continue; // the header picture's host
                QVERIFY2(QFileInfo(folder + target).isFile(), qPrintable(name + u" → "_s + target));
                if (!target.startsWith(u"index"_s))
                    products.append(target);
            }
            if (name == u"index.html"_s) {
                QVERIFY(text.contains(u">A&amp;B &lt;b&gt;&quot;x&quot;</a>"_s));
                QVERIFY(text.contains(u"2178円 [税込]"_s)); // 1980 and 10 %, as the page shows it
            }
        }
        QStringList expected;
        for (int i = 1; i <= 250; ++i)
            expected.append(u"P%1.html"_s.arg(i));
        QCOMPARE(products, expected);
    }

    // A list page that cannot be written fails the run with its own path,
    // after every product page; a product page that fails is told as
    // without an address, and no list page is written.
    void writeFailureNamesTheFile_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<int>("pagesWritten");
        QTest::addColumn<QString>("told");
        QTest::newRow("a list page") << u"index-2.html"_s << 150 << u"index-2.html」"_s;
        QTest::newRow("a product page") << u"P2.html"_s << 1 << u"3 行目（商品ID「P2」）"_s;
    }
    void writeFailureNamesTheFile()
    {
        QFETCH(QString, failing);
        QFETCH(int, pagesWritten);
        QFETCH(QString, told);
        QByteArrayList lines;
        for (int i = 1; i <= 150; ++i)
            lines.append(product(u"P%1"_s.arg(i)));
        QVERIFY(setUp(u"https://example.jp/"_s, lines));
        clsTextFile::SetWriteFailureInjector(
            [&](const QString& path) { return path.endsWith(u'/' + failing) ? int(clsTextFile::DiskFull) : 0; });
        RecordingUi ui;
        const RunResult result = run(ui, m_box.options());
        clsTextFile::SetWriteFailureInjector({});
        QCOMPARE(result.outcome, RunOutcome::WriteFailed);
        QCOMPARE(result.pagesWritten, pagesWritten);
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY(!ui.messages[0].progressOpen);
        QVERIFY2(ui.messages[0].text.contains(told), qPrintable(ui.messages[0].text));
        QCOMPARE(QFileInfo::exists(m_box.outputFolder() + u"/P150.html"_s), pagesWritten == 150);
        QCOMPARE(QFileInfo::exists(m_box.outputFolder() + u"/index.html"_s), pagesWritten == 150);
        QVERIFY(!QFileInfo::exists(SitemapBuilder::RecordPath(m_box.outputFolder())));
    }

    // With an address, a product named like one of the run's own files
    // stops the run at its line; without one, the name is a page like any.
    void reservedNameStops()
    {
        QVERIFY(setUp(u"https://example.jp/"_s, {product(u"A1"_s), product(u"INDEX-2"_s), product(u"A3"_s)}));
        RecordingUi ui;
        QCOMPARE(run(ui, m_box.options()).outcome, RunOutcome::LineFailed);
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Critical);
        QVERIFY(ui.messages[0].text.startsWith(u"3 行目（商品ID「INDEX-2」）"_s));
        QVERIFY(ui.messages[0].text.contains(ReservedNameMessage(u"INDEX-2.html"_s)));
        QCOMPARE(RunSandbox::entries(m_box.outputFolder()), QStringList{u"A1.html"_s});

        QVERIFY(setUp(QString(), {product(u"A1"_s), product(u"index"_s)}));
        RecordingUi plain;
        QCOMPARE(run(plain, m_box.options()).outcome, RunOutcome::Completed);
        QCOMPARE(RunSandbox::entries(m_box.outputFolder()), (QStringList{u"A1.html"_s, u"index.html"_s}));
    }

    // A stored address that is no address stops the run before anything.
    void invalidAddressStops()
    {
        QVERIFY(setUp(u"example.jp"_s, {product(u"A1"_s)}));
        RecordingUi ui;
        QCOMPARE(run(ui, m_box.options()).outcome, RunOutcome::ReadFailed);
        QCOMPARE(ui.messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(!QFileInfo::exists(m_box.outputFolder()));
    }
};

QTEST_GUILESS_MAIN(TestSitemap)
#include "tst_sitemap.moc"
