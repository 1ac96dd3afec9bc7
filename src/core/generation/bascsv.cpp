#include "generation/bascsv.h"

namespace {

inline char16_t at(QStringView v, qsizetype i)
{
    return v[i].unicode();
}

inline char at(QByteArrayView v, qsizetype i)
{
    return v[i];
}

// Returns whether a quoted field was never closed.
template <typename View, typename Char>
bool splitLine(View line, QList<View>& row)
{
    constexpr Char comma = ',';
    constexpr Char doubleQuote = '"';
    constexpr Char apostrophe = '\'';

    const qsizetype length = line.size();
    qsizetype p = 0;
    bool unclosed = false;
    while (p < length) {
        Char terminator = comma;
        const Char first = at(line, p);
        if (first == doubleQuote || first == apostrophe) {
            terminator = first;
            ++p;
        }
        const qsizetype start = p;
        enum { AtEnd, AtComma, AtClosingQuote } stop = AtEnd;
        while (p < length) {
            if (at(line, p) == terminator) {
                if (terminator == comma) {
                    stop = AtComma;
                    break;
                }
                if (p == length - 1 || at(line, p + 1) == comma) {
                    stop = AtClosingQuote;
                    break;
                }
            }
            ++p;
        }
        row.append(line.sliced(start, p - start));
        if (stop == AtComma)
            p += 1;
        else if (stop == AtClosingQuote)
            p += 2;
        else {
            unclosed = terminator != comma;
            break;
        }
    }
    if (length > 0 && at(line, length - 1) == comma)
        row.append(View());
    return unclosed;
}

} // namespace

namespace basCsv {

QStringList SplitCsvLine(QStringView line)
{
    QList<QStringView> views;
    splitLine<QStringView, char16_t>(line, views);
    QStringList row;
    row.reserve(views.size());
    for (QStringView field : views)
        row.append(field.toString());
    return row;
}

QList<QByteArrayView> SplitCsvLine(QByteArrayView line)
{
    QList<QByteArrayView> row;
    row.reserve(24);
    splitLine<QByteArrayView, char>(line, row);
    return row;
}

bool HasUnclosedQuote(QByteArrayView line)
{
    QList<QByteArrayView> row;
    return splitLine<QByteArrayView, char>(line, row);
}

} // namespace basCsv
