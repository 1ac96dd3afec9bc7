#include "upload/remotelisting.h"

#include <QList>

namespace {

struct Token
{
    qsizetype start;
    QByteArrayView text;
};

QList<Token> tokens(QByteArrayView line, int max)
{
    QList<Token> out;
    qsizetype i = 0;
    while (i < line.size() && out.size() < max) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        const qsizetype start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        out.append({start, line.sliced(start, i - start)});
    }
    return out;
}

bool isNumber(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// What follows the n-th token, with one separating blank removed: names may
// begin with or hold blanks.
QString rest(QByteArrayView line, const Token& last)
{
    qsizetype start = last.start + last.text.size();
    if (start < line.size())
        ++start;
    return QString::fromUtf8(line.sliced(start));
}

} // namespace

QHash<QString, qint64> ParseRemoteListing(QByteArrayView listing)
{
    QHash<QString, qint64> files;
    qsizetype pos = 0;
    while (pos < listing.size()) {
        qsizetype end = listing.indexOf('\n', pos);
        if (end < 0)
            end = listing.size();
        QByteArrayView line = listing.sliced(pos, end - pos);
        pos = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);

        const QList<Token> t = tokens(line, 8);
        QString name;
        qint64 size = -1;
        if (t.size() == 8 && t[0].text.size() >= 10 && t[0].text[0] == '-' && isNumber(t[4].text)) {
            // -rw-r--r--  1 owner group  1234 Dec  8 12:00 name
            size = t[4].text.toLongLong();
            name = rest(line, t[7]);
        } else if (t.size() >= 3 && t[0].text.size() >= 8 && t[0].text[2] == '-'
                   && isNumber(t[2].text)) {
            // 12-08-26  12:00PM        1234 name   (folders say <DIR>)
            const QList<Token> dos = tokens(line, 3);
            size = dos[2].text.toLongLong();
            name = rest(line, dos[2]);
        }
        if (size >= 0 && !name.isEmpty() && name != u"." && name != u"..")
            files.insert(name, size);
    }
    return files;
}
