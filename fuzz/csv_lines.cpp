// CsvLineList::FromBytes on any file content: the lines must be what the
// documented normalisation gives (CR LF to CR, then LF to CR, split at CR),
// the encoding must be UTF-8 exactly when the detector says so, and the
// detector's idea of valid UTF-8 must match Qt's decoder.

#include "fuzzcheck.h"

#include "generation/bascsv.h"
#include "generation/csvlines.h"
#include "base/textcodec.h"

#include <QStringDecoder>

#include <string>
#include <vector>

namespace {

std::vector<std::string> reference(std::string text)
{
    std::string normalised;
    normalised.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            normalised.push_back('\r');
            ++i;
        } else if (text[i] == '\n') {
            normalised.push_back('\r');
        } else {
            normalised.push_back(text[i]);
        }
    }
    std::vector<std::string> lines;
    if (normalised.empty())
        return lines;
    size_t start = 0;
    for (;;) {
        const size_t cr = normalised.find('\r', start);
        if (cr == std::string::npos) {
            lines.push_back(normalised.substr(start));
            return lines;
        }
        lines.push_back(normalised.substr(start, cr - start));
        start = cr + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input = FuzzInput::bytes(data, size);
    const QByteArray bytes = input.toByteArray();

    // The detector against Qt's own UTF-8 decoder.
    bool multiByte = false;
    const bool valid = TextCodec::IsValidUtf8(input, &multiByte);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(input);
    FUZZ_CHECK(valid == !utf8.hasError());
    if (valid) {
        bool anyHigh = false;
        for (char c : input)
            anyHigh = anyHigh || uchar(c) >= 0x80;
        FUZZ_CHECK(multiByte == anyHigh);
    }

    const CsvLineList list = CsvLineList::FromBytes(bytes);
    const bool isUtf8 = TextCodec::IsUtf8(input);
    FUZZ_CHECK((list.encoding() == TextEncoding::Utf8) == isUtf8);

    // A byte-order mark is not part of the header line.
    QByteArrayView text = input;
    if (isUtf8 && TextCodec::HasUtf8Bom(text))
        text = text.sliced(3);
    const std::vector<std::string> expected = reference(std::string(text.data(), size_t(text.size())));
    FUZZ_CHECK(size_t(list.size()) == expected.size());
    FUZZ_CHECK(list.lastIndex() == list.size() - 1);
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QByteArrayView line = list.line(i);
        FUZZ_CHECK(std::string(line.data(), size_t(line.size())) == expected[size_t(i)]);
        const QString lineText = list.text(i);
        FUZZ_CHECK(!lineText.contains(u'\r') && !lineText.contains(u'\n'));
        if (list.encoding() == TextEncoding::Utf8)
            FUZZ_CHECK(lineText == QString::fromUtf8(line));
        // Every line goes through the splitter in a run; it must not trip.
        const QList<QByteArrayView> fields = basCsv::SplitCsvLine(line);
        FUZZ_CHECK(fields.isEmpty() == line.isEmpty());
    }
    return 0;
}
