#include "generation/pagefiller.h"

#include "base/textcodec.h"
#include "base/vbnumber.h"
#include "generation/bascsv.h"
#include "generation/pagevalues.h"
#include "generation/placeholders.h"
#include "template/bastemplate.h"

#include <QByteArrayMatcher>

#include <cstring>
#include <set>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Placeholders;

namespace {

QString tooLarge()
{
    return u"ページが大きくなりすぎます（%1 MB を超えます）。項目や設定の中の「<csv…>」などが何重にも置き換えられていないか確かめてください。"_s
        .arg(PageFiller::MaxPageSize >> 20);
}

QString quoteField(QByteArrayView field, TextEncoding encoding)
{
    QString text = TextCodec::Decode(field.first(std::min<qsizetype>(field.size(), 40)), encoding);
    if (field.size() > 40)
        text += u'…';
    return text;
}

} // namespace

struct PageFiller::ParsedTemplate
{
    struct Slot
    {
        qsizetype start;
        qsizetype length;
        Token token;
    };
    QByteArray bytes;
    std::vector<Slot> placeholders;
    bool piecesSafe = true; // no literal piece could join a neighbour into a placeholder
};

struct PageFiller::Prepared
{
    QList<QByteArrayView> row;
    int lastField = -1;
    int imageCount = 1;
    TextEncoding encoding = TextEncoding::ShiftJis;
    QByteArray fixedValues[FixedCount];

    int stageCount() const { return lastField + 1 + FixedCount; }
    // Global replacement order: fields first, then the fixed placeholders.
    int stageOf(const Token& token) const
    {
        if (token.kind == Token::Field)
            return token.index <= lastField ? token.index : -1;
        if (token.kind == Token::FixedName)
            return lastField + 1 + token.index;
        return -1;
    }
    QByteArrayView rawValue(int stage) const
    {
        return stage <= lastField ? row[stage] : QByteArrayView(fixedValues[stage - lastField - 1]);
    }
    QByteArrayView token(int stage, QByteArray& scratch) const
    {
        if (stage <= lastField)
            scratch = "<csv" + QByteArray::number(stage) + '>';
        else
            scratch = '<' + FixedName(stage - lastField - 1).toByteArray() + '>';
        return scratch;
    }
};

PageFiller::PageFiller() = default;
PageFiller::~PageFiller() = default;

const PageFiller::ParsedTemplate& PageFiller::templateFor(int count, TextEncoding encoding)
{
    if (count < 1)
        count = 1;
    auto& cache = m_templates[encoding == TextEncoding::Utf8 ? 1 : 0];
    auto it = cache.constFind(count);
    if (it != cache.constEnd())
        return **it;

    auto parsed = std::make_shared<ParsedTemplate>();
    parsed->bytes = TextCodec::Encode(GetTemplate(count), encoding);
    const QByteArrayView bytes(parsed->bytes);
    qsizetype pieceStart = 0;
    for (qsizetype p = bytes.indexOf('<'); p >= 0; p = bytes.indexOf('<', p + 1)) {
        const Token token = TokenAt(bytes, p);
        if (token.kind == Token::None)
            continue;
        if (HasOpenTail(bytes.sliced(pieceStart, p - pieceStart)))
            parsed->piecesSafe = false;
        parsed->placeholders.push_back({p, token.length, token});
        pieceStart = p + token.length;
        p += token.length - 1;
    }
    if (HasOpenTail(bytes.sliced(pieceStart)))
        parsed->piecesSafe = false;

    // Counts of real products are small; a rare large one is built, not kept.
    if (cache.size() >= 64)
        cache.clear();
    cache.insert(count, parsed);
    return *parsed;
}

const OptionValues& PageFiller::settingsIn(const OptionValues& stored, TextEncoding encoding)
{
    if (encoding == TextEncoding::ShiftJis)
        return stored;
    // Converted again only when the settings changed, not for every line.
    if (!m_haveUtf8Settings || stored != m_storedSettings) {
        m_storedSettings = stored;
        for (size_t k = 0; k < stored.size(); ++k)
            m_utf8Settings[k] = TextCodec::DecodeShiftJis(stored[k]).toUtf8();
        m_haveUtf8Settings = true;
    }
    return m_utf8Settings;
}

bool PageFiller::prepare(QByteArrayView line, TextEncoding encoding, const OptionValues& options,
                         Prepared& prepared, FilledPage& page, QString& failure)
{
    prepared.encoding = encoding;
    prepared.row = basCsv::SplitCsvLine(line);
    const QList<QByteArrayView>& row = prepared.row;
    page.articleId = row.isEmpty() ? QString() : TextCodec::Decode(row[0], encoding);
    page.fileName = page.articleId + u".html"_s;
    page.text.resize(0); // keeps the memory: the next page is filled into it
    page.listName = {};
    page.priceWithTax.clear();

    if (row.size() < MinFieldCount) {
        failure = u"項目の数が足りません。1 行に %1 個以上の項目が必要ですが、この行は %2 個です。"_s
                      .arg(MinFieldCount)
                      .arg(row.size());
        return false;
    }
    const auto count = VbNumber::RoundToInt32(VbNumber::LeadingNumber(row[15]));
    if (!count) {
        failure = u"画像の数（16 列目「%1」）が大きすぎます。"_s.arg(quoteField(row[15], encoding));
        return false;
    }
    if (*count > MaxImageCount) {
        failure = u"画像の数（16 列目）が %1 枚になっています。1 ページに載せられる画像は %2 枚までです。"_s
                      .arg(*count)
                      .arg(MaxImageCount);
        return false;
    }
    prepared.imageCount = *count;
    if (row.size() > MaxFieldCount) {
        failure = u"項目の数が多すぎます（%1 個）。1 行の項目は %2 個までです。"_s.arg(row.size()).arg(
            MaxFieldCount);
        return false;
    }
    prepared.lastField = int(row.size() - 1);

    const OptionValues& settings = settingsIn(options, encoding);
    for (int k = 0; k < FixedCount; ++k) {
        if (SettingOf(k) >= 0)
            prepared.fixedValues[k] = settings[size_t(SettingOf(k))];
    }
    const auto headerImage = HeaderImageFileName(options[0]);
    if (!headerImage) {
        failure = u"サイト情報の画像の番号（HEADERIMAGE「%1」）が大きすぎます。サイト情報登録で画像を選び直してください。"_s
                      .arg(quoteField(options[0], TextEncoding::ShiftJis));
        return false;
    }
    prepared.fixedValues[HeaderImage] = *headerImage;
    const auto withTax = IncludeTax(row[8], options[7]);
    if (!withTax) {
        failure = u"税込価格を計算できません。価格（9 列目「%1」）と税率（%2）が大きすぎます。"_s
                      .arg(quoteField(row[8], encoding),
                           quoteField(options[7], TextEncoding::ShiftJis));
        return false;
    }
    prepared.fixedValues[IncludeTaxValue] = *withTax;
    page.priceWithTax = *withTax;
    page.listName = row[1].isEmpty() ? row[0] : row[1];
    prepared.fixedValues[Picture] = PictureIdentifier(row[14], encoding);
    return true;
}

bool PageFiller::Fill(QByteArrayView line, TextEncoding encoding, const OptionValues& options,
                      FilledPage& page, QString& failure)
{
    Prepared prepared;
    if (!prepare(line, encoding, options, prepared, page, failure))
        return false;
    const ParsedTemplate& parsed = templateFor(prepared.imageCount, encoding);
    const int stages = prepared.stageCount();

    // Which values the page takes in: those in the template, and those named
    // inside a value that is taken in, if named there by a later placeholder.
    // A value of stage s only ever names later stages, so one pass forward
    // finds them all. Unused columns cost nothing, however they are filled.
    struct Reference
    {
        qsizetype start;
        qsizetype length;
        int stage;
    };
    std::vector<char> needed(size_t(stages), 0);
    for (const auto& slot : parsed.placeholders) {
        const int stage = prepared.stageOf(slot.token);
        if (stage >= 0)
            needed[size_t(stage)] = 1;
    }
    std::vector<Reference> references;
    std::vector<qsizetype> firstReference(size_t(stages) + 1, 0);
    bool safe = parsed.piecesSafe;
    for (int s = 0; s < stages; ++s) {
        firstReference[size_t(s)] = qsizetype(references.size());
        if (!needed[size_t(s)])
            continue;
        const QByteArrayView raw = prepared.rawValue(s);
        if (!ContainsLessThan(raw))
            continue;
        // A value whose fragments could join its neighbours into a
        // placeholder makes the analysis unsound: then the plain method.
        if (HasOpenTail(raw)) {
            safe = false;
            break;
        }
        for (qsizetype p = raw.indexOf('<'); p >= 0; p = raw.indexOf('<', p + 1)) {
            const Token token = TokenAt(raw, p);
            const int stage = prepared.stageOf(token);
            if (stage <= s)
                continue; // earlier placeholders, and a value's own, stay as text
            references.push_back({p, token.length, stage});
            needed[size_t(stage)] = 1;
            p += token.length - 1;
        }
    }
    if (!safe)
        return FillByPasses(line, encoding, options, page, failure);
    firstReference[size_t(stages)] = qsizetype(references.size());

    // Sizes first, from the last stage back, so that nothing is built that
    // the limit would refuse.
    // Once past the limit a size stays there: taking a short value in
    // afterwards must not bring it back under.
    const qsizetype tooBig = MaxPageSize + 1;
    auto grow = [tooBig](qsizetype size, qsizetype removed, qsizetype added) {
        return size >= tooBig ? tooBig : std::min(tooBig, size - removed + added);
    };
    std::vector<qsizetype> sizeOf(size_t(stages), 0);
    for (int s = stages - 1; s >= 0; --s) {
        if (!needed[size_t(s)])
            continue;
        qsizetype size = prepared.rawValue(s).size();
        for (qsizetype r = firstReference[size_t(s)]; r < firstReference[size_t(s) + 1]; ++r) {
            const Reference& ref = references[size_t(r)];
            size = grow(size, ref.length, sizeOf[size_t(ref.stage)]);
        }
        sizeOf[size_t(s)] = size;
    }
    qsizetype size = parsed.bytes.size();
    for (const auto& slot : parsed.placeholders) {
        const int stage = prepared.stageOf(slot.token);
        if (stage >= 0)
            size = grow(size, slot.length, sizeOf[size_t(stage)]);
    }
    if (size > MaxPageSize) {
        failure = tooLarge();
        return false;
    }

    // One allocation, then plain copies; values inside values are written in
    // place, with a stack of its own rather than deep recursion.
    QByteArray& text = page.text;
    text.resize(size);
    char* out = text.data();
    auto put = [&out](const char* data, qsizetype length) {
        if (length > 0)
            std::memcpy(out, data, size_t(length));
        out += length;
    };
    struct Frame
    {
        int stage;
        qsizetype reference;
        qsizetype copied;
    };
    std::vector<Frame> stack;
    auto putValue = [&](int first) {
        stack.push_back({first, firstReference[size_t(first)], 0});
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const QByteArrayView raw = prepared.rawValue(frame.stage);
            if (frame.reference < firstReference[size_t(frame.stage) + 1]) {
                const Reference& ref = references[size_t(frame.reference++)];
                put(raw.data() + frame.copied, ref.start - frame.copied);
                frame.copied = ref.start + ref.length;
                stack.push_back({ref.stage, firstReference[size_t(ref.stage)], 0});
            } else {
                put(raw.data() + frame.copied, raw.size() - frame.copied);
                stack.pop_back();
            }
        }
    };
    const char* in = parsed.bytes.constData();
    qsizetype copied = 0;
    for (const auto& slot : parsed.placeholders) {
        const int stage = prepared.stageOf(slot.token);
        if (stage < 0)
            continue;
        put(in + copied, slot.start - copied);
        putValue(stage);
        copied = slot.start + slot.length;
    }
    put(in + copied, parsed.bytes.size() - copied);
    return true;
}

namespace {

// Replaces every occurrence found in `text` as it is; what is put in is not
// searched again by this replacement.
bool replaceAll(QByteArray& text, QByteArrayView token, QByteArrayView value)
{
    const QByteArrayMatcher matcher(token.data(), token.size());
    std::vector<qsizetype> hits;
    for (qsizetype p = matcher.indexIn(text); p >= 0; p = matcher.indexIn(text, p + token.size()))
        hits.push_back(p);
    if (hits.empty())
        return true;
    const qsizetype size = text.size() + qsizetype(hits.size()) * (value.size() - token.size());
    if (size > PageFiller::MaxPageSize)
        return false;
    QByteArray out;
    out.reserve(size);
    qsizetype copied = 0;
    for (qsizetype hit : hits) {
        out.append(QByteArrayView(text).sliced(copied, hit - copied));
        out.append(value);
        copied = hit + token.size();
    }
    out.append(QByteArrayView(text).sliced(copied));
    text = std::move(out);
    return true;
}

// The field placeholders "<csvN>" in text with lastField >= N > after.
std::set<int> fieldTokens(QByteArrayView text, int after, int lastField)
{
    std::set<int> found;
    for (qsizetype p = text.indexOf('<'); p >= 0; p = text.indexOf('<', p + 1)) {
        const Token token = TokenAt(text, p);
        if (token.kind == Token::Field && token.index > after && token.index <= lastField)
            found.insert(token.index);
    }
    return found;
}

} // namespace

bool PageFiller::FillByPasses(QByteArrayView line, TextEncoding encoding,
                              const OptionValues& options, FilledPage& page, QString& failure)
{
    Prepared prepared;
    if (!prepare(line, encoding, options, prepared, page, failure))
        return false;
    QByteArray text = templateFor(prepared.imageCount, encoding).bytes;
    QByteArray scratch;

    // Every pass reads the whole page, so a line with thousands of
    // placeholders in its page would take minutes: past this much reading
    // the line fails instead. Real pages need a few megabytes.
    constexpr qint64 budget = qint64(1) << 30;
    qint64 read = 0;
    auto spend = [&] {
        read += text.size();
        if (read <= budget)
            return true;
        failure = u"この行は項目の中の「<csv…>」などの置き換えが多すぎるため、ページを作成できません。"_s;
        return false;
    };

    // A pass for a field whose placeholder is nowhere in the page changes
    // nothing, so only the fields that occur are replaced.
    std::set<int> pending = fieldTokens(text, -1, prepared.lastField);
    while (!pending.empty()) {
        const int field = *pending.begin();
        if (!spend())
            return false;
        if (!replaceAll(text, prepared.token(field, scratch), prepared.row[field])) {
            failure = tooLarge();
            return false;
        }
        if (!spend())
            return false;
        pending = fieldTokens(text, field, prepared.lastField);
    }
    for (int k = 0; k < FixedCount; ++k) {
        const int stage = prepared.lastField + 1 + k;
        if (!spend())
            return false;
        if (!replaceAll(text, prepared.token(stage, scratch), prepared.fixedValues[k])) {
            failure = tooLarge();
            return false;
        }
    }
    page.text = std::move(text);
    return true;
}

QString GetTemplate(int count)
{
    return basTemplate::BuildPageTemplate(count);
}
