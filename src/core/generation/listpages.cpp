#include "generation/listpages.h"

#include "generation/pagefiller.h"
#include "generation/pagevalues.h"
#include "settings/clsoption.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// & < > " in Shift_JIS or UTF-8 bytes: none of them is ever the second byte
// of a Shift_JIS character (those start at 0x40), so bytes can be escaped
// as they are.
void appendEscaped(QByteArray& out, QByteArrayView value)
{
    // The runs between the characters to escape go in whole.
    qsizetype from = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char* entity = nullptr;
        switch (value[i]) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        default: continue;
        }
        out.append(value.sliced(from, i - from)).append(entity);
        from = i + 1;
    }
    out.append(value.sliced(from));
}

QByteArray sjis(const QString& text)
{
    return TextCodec::EncodeShiftJis(text, TextCodec::Unmappable::CharacterReference);
}

QByteArray escapedSetting(const QString& value)
{
    return sjis(value.toHtmlEscaped());
}

} // namespace

ListPages::ListPages(const QString& settingsPath, int products)
    : m_pageCount(std::max(1, (products + ProductsPerPage - 1) / ProductsPerPage))
{
    // The product page's head and header, from the template itself.
    const QString templ = GetTemplate(1);
    const qsizetype headEnd = templ.indexOf(u"</head>\r\n"_s) + 9;
    const qsizetype bodyStart = templ.indexOf(u"  <body>\r\n"_s, headEnd);
    const qsizetype headerMark = templ.indexOf(u"ヘッダーここまで"_s, bodyStart);
    const qsizetype headerEnd = templ.indexOf(u"\r\n"_s, headerMark) + 2;

    clsOption option(settingsPath);
    option.GetOptionIniValue();
    const QByteArray siteName = escapedSetting(option.SiteName());
    m_head = sjis(templ.first(headEnd));
    m_header = sjis(templ.sliced(bodyStart, headerEnd - bodyStart));
    m_header.replace("<headerimage>",
                     HeaderImageFileName(option.HeaderImage().toLatin1()).value_or("001.jpg"));
    m_header.replace("<sitename>", siteName);
    m_header.replace("<catchcopy1>", escapedSetting(option.CatchCopy1()));
    m_header.replace("<catchcopy2>", escapedSetting(option.CatchCopy2()));
    m_header.replace("<catchcopy3>", escapedSetting(option.CatchCopy3()));
    m_head.replace("<csv3>", siteName);
    m_title = siteName + sjis(u" 商品一覧"_s);
    m_rows.reserve(ProductsPerPage * 200); // a usual row: link, name and price
    m_pages.reserve(size_t(m_pageCount));
}

void ListPages::Add(QByteArrayView name, QByteArrayView priceWithTax, TextEncoding encoding,
                    QByteArrayView encodedFileName)
{
    // Shift_JIS rows go straight into the page's rows; others are converted
    // first.
    QByteArray converted;
    QByteArray& text = encoding == TextEncoding::Utf8 ? converted : m_rows;
    text += "<tr><td><a href=\"";
    text += encodedFileName;
    text += "\">";
    appendEscaped(text, name);
    text += "</a></td><td align=\"right\" nowrap>";
    // The price as the page shows it: "(<includetax>円 [税込])".
    if (!priceWithTax.isEmpty())
    {
        static const QByteArray yen[2] = {TextCodec::Encode(u"円 [税込]"_s, TextEncoding::ShiftJis),
                                          TextCodec::Encode(u"円 [税込]"_s, TextEncoding::Utf8)};
        text += priceWithTax;
        text += yen[encoding == TextEncoding::Utf8 ? 1 : 0];
    }
    text += "</td></tr>\r\n";
    if (encoding == TextEncoding::Utf8)
        m_rows += sjis(QString::fromUtf8(converted));
    if (++m_products % ProductsPerPage == 0)
        finishPage();
}

QString ListPages::FileName(int page)
{
    return page <= 1 ? u"index.html"_s : u"index-%1.html"_s.arg(page);
}

bool ListPages::Write(
    const std::function<bool(const QString& fileName, const QByteArray& bytes)>& write)
{
    if (m_products == 0 || m_products % ProductsPerPage != 0)
        finishPage();
    Q_ASSERT(int(m_pages.size()) == m_pageCount);
    // The head (with the page's own title) and the header are the same on
    // every page: they join each page's body only now.
    QList<QByteArrayView> headPieces;
    for (qsizetype from = 0;;) {
        const qsizetype at = m_head.indexOf("<csv1>", from);
        headPieces.append(QByteArrayView(m_head).sliced(from, (at < 0 ? m_head.size() : at) - from));
        if (at < 0)
            break;
        from = at + 6;
    }
    for (size_t k = 0; k < m_pages.size(); ++k) {
        const int number = int(k) + 1;
        QByteArray title = m_title;
        if (number > 1)
            title += sjis(u"（%1ページ目）"_s.arg(number));
        QByteArray page;
        page.reserve(m_head.size() + 4 * title.size() + m_header.size() + m_pages[k].size());
        for (qsizetype i = 0; i < headPieces.size(); ++i)
            (i ? page.append(title) : page).append(headPieces[i]);
        page += m_header;
        page += m_pages[k];
        m_pages[k] = QByteArray();
        if (!write(FileName(number), page))
            return false;
    }
    return true;
}

void ListPages::finishPage()
{
    const int number = int(m_pages.size()) + 1;
    const int count = m_pageCount;
    auto link = [](int target, const QString& text) {
        return u"<a href=\"%1\">%2</a>"_s.arg(FileName(target), text);
    };
    // Previous, the first and last page numbers, those near this one, next.
    QStringList pager;
    pager.append(number > 1 ? link(number - 1, u"←前のページ"_s) : u"←前のページ"_s);
    int shown = 0;
    for (int k = 1; k <= count; ++k) {
        if (k != 1 && k != count && std::abs(k - number) > 3)
            continue;
        if (shown && k > shown + 1)
            pager.append(u"…"_s);
        pager.append(k == number ? u"<strong>%1</strong>"_s.arg(k) : link(k, QString::number(k)));
        shown = k;
    }
    pager.append(number < count ? link(number + 1, u"次のページ→"_s) : u"次のページ→"_s);
    const QByteArray pagerLine =
        sjis(u"          <p class=\"inline-center\" style=\"margin: 15px 0; font-size: 1.2em; word-spacing: 0.4em;\">"_s
             + pager.join(u' ') + u"</p>\r\n"_s);

    // The body alone, in one piece of memory: a run keeps every list page
    // until its end.
    QByteArray out;
    out.reserve(2 * pagerLine.size() + m_rows.size() + 512);
    out += sjis(u"          <div class=\"dp-body-article-name\">\r\n"
                u"            <p class=\"block-center inline-center\">商品一覧（%1 / %2 ページ）</p>\r\n"
                u"          </div>\r\n"_s.arg(number).arg(count));
    if (count > 1)
        out += pagerLine;
    out += "          <div class=\"dp-body-description\">\r\n"
           "            <table class=\"block-center\" style=\"width: 700px;\" cellpadding=\"4\">\r\n";
    out += m_rows;
    m_rows.resize(0); // keeps its room for the next page
    out += "            </table>\r\n"
           "          </div>\r\n";
    if (count > 1)
        out += pagerLine;
    out += "        </div>\r\n"
           "      </div>\r\n"
           "    </div>\r\n"
           "  </body>\r\n"
           "</html>";
    m_pages.push_back(std::move(out));
}
