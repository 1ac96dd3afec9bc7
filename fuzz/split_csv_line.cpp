// SplitCsvLine on any bytes: the byte and the text forms must agree with a
// plain, position-by-position reading of the rule, and with each other once
// decoded, and every field must be a piece of the line.

#include "fuzzcheck.h"

#include "generation/bascsv.h"
#include "base/textcodec.h"

#include <string>
#include <vector>

namespace {

// The rule as it is written down, positions from 1: kept deliberately naive.
std::vector<std::string> reference(const std::string& s)
{
    std::vector<std::string> row;
    const size_t length = s.size();
    auto at = [&](size_t position) { return s[position - 1]; };
    size_t p = 1;
    while (p <= length) {
        char terminator = ',';
        if (at(p) == '"' || at(p) == '\'') {
            terminator = at(p);
            ++p;
        }
        const size_t start = p;
        int stop = 0; // 0 end of line, 1 comma, 2 closing quote
        while (p <= length) {
            if (at(p) == terminator) {
                if (terminator == ',') {
                    stop = 1;
                    break;
                }
                if (p == length || at(p + 1) == ',') {
                    stop = 2;
                    break;
                }
            }
            ++p;
        }
        row.push_back(s.substr(start - 1, p - start));
        if (stop == 1)
            p += 1;
        else if (stop == 2)
            p += 2;
        else
            break;
    }
    if (length > 0 && s[length - 1] == ',')
        row.emplace_back();
    return row;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView line = FuzzInput::bytes(data, size);
    const QList<QByteArrayView> fields = basCsv::SplitCsvLine(line);

    const std::vector<std::string> expected = reference(std::string(line.data(), size_t(line.size())));
    FUZZ_CHECK(size_t(fields.size()) == expected.size());
    FUZZ_CHECK(fields.isEmpty() == line.isEmpty());
    const char* previousEnd = line.data();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        const QByteArrayView field = fields[i];
        FUZZ_CHECK(std::string(field.data(), size_t(field.size())) == expected[size_t(i)]);
        if (field.isEmpty())
            continue;
        // A piece of the line, after the previous field, never overlapping it.
        FUZZ_CHECK(field.data() >= previousEnd);
        FUZZ_CHECK(field.data() + field.size() <= line.data() + line.size());
        previousEnd = field.data() + field.size();
    }

    // Latin-1 maps byte to character one to one: the text form must split alike.
    const QStringList latin = basCsv::SplitCsvLine(QString::fromLatin1(line));
    FUZZ_CHECK(latin.size() == fields.size());
    for (qsizetype i = 0; i < fields.size(); ++i)
        FUZZ_CHECK(latin[i] == QString::fromLatin1(fields[i]));

    // Splitting before or after decoding gives the same fields, for text that
    // is valid in the encoding (the run splits bytes, the desktop text).
    bool multiByte = false;
    if (TextCodec::IsValidUtf8(line, &multiByte)) {
        const QStringList text = basCsv::SplitCsvLine(QString::fromUtf8(line));
        FUZZ_CHECK(text.size() == fields.size());
        for (qsizetype i = 0; i < fields.size(); ++i)
            FUZZ_CHECK(text[i] == QString::fromUtf8(fields[i]));
    }
    const QString shiftJis = TextCodec::DecodeShiftJis(line);
    if (TextCodec::EncodeShiftJis(shiftJis) == line) {
        const QStringList text = basCsv::SplitCsvLine(shiftJis);
        FUZZ_CHECK(text.size() == fields.size());
        for (qsizetype i = 0; i < fields.size(); ++i)
            FUZZ_CHECK(text[i] == TextCodec::DecodeShiftJis(fields[i]));
    }
    return 0;
}
