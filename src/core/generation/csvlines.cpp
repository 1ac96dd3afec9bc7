#include "generation/csvlines.h"

#include "base/basfile.h"
#include "base/clstextfile.h"
#include "base/textcodec.h"
#include "generation/runui.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

CsvLineList CsvLineList::FromBytes(QByteArray bytes)
{
    CsvLineList list;
    qsizetype offset = 0;
    if (TextCodec::IsUtf8(bytes)) {
        list.m_encoding = TextEncoding::Utf8;
        if (TextCodec::HasUtf8Bom(bytes))
            offset = 3;
    }
    list.m_data = std::move(bytes);

    const char* data = list.m_data.constData();
    const qsizetype size = list.m_data.size();
    if (offset >= size)
        return list; // an empty text has no lines at all

    // Next CR and next LF at or after p; each is searched again only once
    // passed, so a file with one kind of break is scanned once, not per line.
    auto find = [&](char c, qsizetype from) {
        const void* hit = std::memchr(data + from, c, size_t(size - from));
        return hit ? static_cast<const char*>(hit) - data : size;
    };
    qsizetype lineStart = offset;
    qsizetype nextCr = find('\r', offset);
    qsizetype nextLf = find('\n', offset);
    for (;;) {
        const qsizetype breakAt = std::min(nextCr, nextLf);
        if (breakAt >= size)
            break;
        list.m_starts.append(lineStart);
        list.m_lengths.append(breakAt - lineStart);
        qsizetype p = breakAt + 1;
        if (data[breakAt] == '\r' && p < size && data[p] == '\n')
            ++p;
        lineStart = p;
        if (nextCr < p)
            nextCr = p < size ? find('\r', p) : size;
        if (nextLf < p)
            nextLf = p < size ? find('\n', p) : size;
    }
    list.m_starts.append(lineStart);
    list.m_lengths.append(size - lineStart);
    return list;
}

QString CsvLineList::text(qsizetype index) const
{
    const QByteArrayView bytes = line(index);
    if (m_encoding == TextEncoding::Utf8)
        return QString::fromUtf8(bytes);
    return TextCodec::DecodeShiftJis(bytes);
}

bool ReadCsvBytes(RunUi& ui, const QString& path, QByteArray& bytes)
{
    if (!basFile::IsFileExists(path)) {
        ui.ShowMessage(QStringLiteral("CSVファイルが見つかりません。"), MessageIcon::Exclamation);
        return false;
    }
    clsTextFile textFile;
    if (!textFile.ReadBytes(path, bytes)) {
        // The number and the system's text, with the file and what to do.
        QString text = QStringLiteral("CSVファイル「%1」を読み込めませんでした。\r\n\r\n%2")
                           .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()),
                                textFile.Message());
        if (clsTextFile::MayBeHeldOpen(textFile.Message()))
            text += QStringLiteral("\r\n\r\nCSV ファイルが Excel などで開かれていないか確かめてください。"
                                   "開かれていたら閉じてから、もう一度作成してください。");
        ui.ShowMessage(text, MessageIcon::Critical);
        return false;
    }
    return true;
}

bool LoadCsvLines(RunUi& ui, const QString& path, CsvLineList& lines)
{
    QByteArray bytes;
    if (!ReadCsvBytes(ui, path, bytes))
        return false;
    lines = CsvLineList::FromBytes(std::move(bytes));
    return true;
}
