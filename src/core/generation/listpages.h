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
// Only each product's finished row is kept until the end: a list page's
// worth of memory per 100 products.
class ListPages
{
public:
    static constexpr int ProductsPerPage = 100;

    explicit ListPages(const QString& settingsPath);

    // A product whose page was written: its name and tax-inclusive price as
    // the page shows them, in the line's encoding, and its page's file name
    // as a URL path segment.
    void Add(QByteArrayView name, QByteArrayView priceWithTax, TextEncoding encoding,
             QByteArrayView encodedFileName);

    // Room for about that many products' rows.
    void Reserve(int products);

    // "index.html" for page 1, "index-N.html" after it.
    static QString FileName(int page);
    int PageCount() const;

    // Builds each page (Shift_JIS, as the product pages) and hands it to
    // `write` with its file name; stops at the first false.
    bool Write(const std::function<bool(const QString& fileName, const QByteArray& bytes)>& write) const;

private:
    QByteArray page(int number, int count, const QByteArray& head, const QByteArray& header) const;
    QString m_settingsPath;
    QByteArray m_rows; // each product's table row, Shift_JIS
    std::vector<qsizetype> m_pageEnds; // where each full page of rows ends
    int m_products = 0;
};
