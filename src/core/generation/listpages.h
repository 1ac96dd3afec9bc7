#pragma once

#include "base/textcodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <vector>

// The product list pages of a run with the shop's public address set:
// index.html, index-2.html, …, 100 products a page in the order of the CSV
// file, each name linked to its page with the tax-inclusive price as the page
// shows it, under the header of the product pages (the template's own head
// and header, so the same doctype, encoding and style sheet). Every value
// from the CSV file or the settings is HTML-escaped here.
//
// A page is made as soon as its 100 rows are in, while the product pages
// are still being written, and kept until the end: a list page's worth of
// memory per 100 products.
class ListPages
{
public:
    static constexpr int ProductsPerPage = 100;

    // `products`: how many products the run will add (its pager names every
    // page from the first one on).
    ListPages(const QString& settingsPath, int products);

    // A product whose page was written: its name and tax-inclusive price as
    // the page shows them, in the line's encoding, and its page's file name
    // as a URL path segment.
    void Add(QByteArrayView name, QByteArrayView priceWithTax, TextEncoding encoding,
             QByteArrayView encodedFileName);

    // "index.html" for page 1, "index-N.html" after it.
    static QString FileName(int page);

    // Hands each page (Shift_JIS, as the product pages) to `write` with its
    // file name, once every product has been added; stops at the first false.
    bool Write(const std::function<bool(const QString& fileName, const QByteArray& bytes)>& write);

private:
    void finishPage();
    int m_pageCount = 1;
    QByteArray m_head;   // the template's head, up to the title's placeholder
    QByteArray m_title;  // the site name and " 商品一覧"
    QByteArray m_header; // the rest of the head and the header
    QByteArray m_rows;   // the current page's table rows, Shift_JIS
    std::vector<QByteArray> m_pages; // each page's body, below the header
    int m_products = 0;
};
