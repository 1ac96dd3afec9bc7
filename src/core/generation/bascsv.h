#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Splits one line of a product CSV into its fields by the program's own rule
// (not RFC 4180): a field that starts with a double quote or an apostrophe
// runs to that same character followed by a comma or standing last on the
// line; nothing inside is unescaped, and a quote that is never closed runs to
// the end of the line.
namespace basCsv {

QStringList SplitCsvLine(QStringView line);

// The same on encoded text. Exact for Shift_JIS and UTF-8, whose multi-byte
// characters never contain the bytes of a comma or a quote.
QList<QByteArrayView> SplitCsvLine(QByteArrayView line);

// Whether a field of the line opens a quote that the line never closes: the
// sign of a line break inside a spreadsheet cell, which splits a product.
bool HasUnclosedQuote(QByteArrayView line);

} // namespace basCsv
