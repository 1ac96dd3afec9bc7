#pragma once

// Builders of what a run reads: product lines, CSV files and settings.

#include "base/textcodec.h"
#include "settings/optionsource.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace TestData {

// A product line's fields as text: `fields` first, then "x<n>" up to `count`.
inline QStringList productFields(const QStringList& fields, int count = 16)
{
    QStringList row = fields;
    while (row.size() < count)
        row.append(QStringLiteral("x%1").arg(row.size()));
    return row;
}

// Fields by number, with their bytes.
using Fields = QList<std::pair<int, QByteArray>>;

// A product line as a CSV file holds it, in whatever encoding its bytes are:
// a product that makes a page, with a name, a price of 1980, a picture and
// one image, the other fields as productFields() has them. `fields` replace
// fields by number; the row grows to reach them.
inline QByteArray productLine(const QByteArray& id, const Fields& fields = {})
{
    QByteArrayList row;
    for (const QString& field : productFields({}))
        row.append(field.toLatin1());
    row[0] = id;
    row[1] = TextCodec::EncodeShiftJis(QStringLiteral("商品"));
    row[8] = "1980";
    row[14] = "12345";
    row[15] = "1";
    for (const auto& [index, value] : fields) {
        while (row.size() <= index)
            row.append(QByteArray());
        row[index] = value;
    }
    return row.join(',');
}

// A CSV file: a header line, then `lines` joined by CR LF, then `end`.
inline QByteArray csvFile(const QByteArrayList& lines, const QByteArray& end = "\r\n")
{
    return "ID,name\r\n" + lines.join("\r\n") + end;
}

// The settings of a shop to run with, in key order: header image, site
// name, catch copy 1-3, shop ID, site master, tax.
inline QStringList testShop(const QString& siteName = QStringLiteral("テスト店"),
                            const QString& tax = QStringLiteral("10"))
{
    return {QStringLiteral("0"),       siteName,
            QStringLiteral("コピー1"), QStringLiteral("コピー2"),
            QStringLiteral("コピー3"), QStringLiteral("shop1"),
            QStringLiteral("運営者"),  tax};
}

// A settings file as the settings window writes it, `values` in key order.
inline QByteArray settingsFile(const QStringList& values)
{
    static const char* const keys[] = {"HEADERIMAGE", "SITENAME", "CATCHCOPY1", "CATCHCOPY2",
                                       "CATCHCOPY3",  "SHOPID",   "SITEMASTER", "TAX"};
    QByteArray bytes = "[OPTION]\r\n";
    for (int i = 0; i < 8; ++i)
        bytes += QByteArray(keys[i]) + '=' + TextCodec::EncodeShiftJis(values.value(i)) + "\r\n";
    return bytes;
}

// The same values as the run reads them from such a file.
inline OptionValues optionValues(const QStringList& values)
{
    OptionValues result;
    for (int i = 0; i < 8; ++i)
        result[size_t(i)] = TextCodec::EncodeShiftJis(values.value(i));
    return result;
}

} // namespace TestData
