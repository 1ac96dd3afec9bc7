// PageFiller::Fill on any line and any settings, in both encodings: it must
// give exactly what the plain method FillByPasses gives (success, failure
// text, file name and every byte of the page), and a file name that passes
// the safety check must stay inside its folder.
//
// Input: the CSV line, then the eight settings values, each after a line
// feed ("line\nHEADERIMAGE\nSITENAME\n…\nTAX"); missing values are empty.

#include "fuzzcheck.h"

#include "generation/filltemplate.h"
#include "generation/pagefiller.h"
#include "generation/pagename.h"

#include <QDir>

namespace {

void checkSameResult(QByteArrayView line, TextEncoding encoding, const OptionValues& options)
{
    // Kept across inputs, as a run keeps its filler for every line.
    static PageFiller quick;
    static PageFiller plain;
    FilledPage a;
    FilledPage b;
    QString failureA;
    QString failureB;
    const bool okA = quick.Fill(line, encoding, options, a, failureA);
    const bool okB = plain.FillByPasses(line, encoding, options, b, failureB);
    // The plain method holds every intermediate page, placeholders still in
    // it, so it can run out of room where the finished page would fit; only
    // there may Fill do better. It may never refuse what the plain method builds.
    if (okA && !okB && failureB.startsWith(QStringLiteral("ページが大きくなりすぎます"))) {
        FUZZ_CHECK(a.text.size() <= PageFiller::MaxPageSize);
        return;
    }
    FUZZ_CHECK(okA == okB);
    FUZZ_CHECK(failureA == failureB);
    FUZZ_CHECK(a.fileName == b.fileName);
    FUZZ_CHECK(a.articleId == b.articleId);
    if (!okA)
        return;
    FUZZ_CHECK(a.text.size() == b.text.size());
    FUZZ_CHECK(a.text == b.text);
    FUZZ_CHECK(a.text.size() <= PageFiller::MaxPageSize);
    FUZZ_CHECK(a.fileName.endsWith(QStringLiteral(".html")));

    if (IsSafePageFileName(a.fileName)) {
        const QString folder = QStringLiteral("/out/20261206185626");
        const QString path = QDir::cleanPath(folder + u'/' + a.fileName);
        FUZZ_CHECK(path.startsWith(folder + u'/'));
        FUZZ_CHECK(!path.sliced(folder.size() + 1).contains(u'/'));
        FUZZ_CHECK(!a.fileName.contains(QChar(0)));
        FUZZ_CHECK(a.fileName.toUtf8().size() <= 255);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto parts = FuzzInput::pieces<9>(FuzzInput::bytes(data, size), '\n');
    OptionValues options;
    for (size_t i = 0; i < options.size(); ++i)
        options[i] = parts[i + 1].toByteArray();
    checkSameResult(parts[0], TextEncoding::ShiftJis, options);
    checkSameResult(parts[0], TextEncoding::Utf8, options);
    return 0;
}
