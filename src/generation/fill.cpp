#include "fill.h"

#include "bascsv.h"
#include "platform.h"
#include "runui.h"
#include "settings/basinifile.h"
#include "settings/clsoption.h"
#include "template/bastemplate.h"
#include "textcodec.h"
#include "vbnumber.h"

#include <QByteArrayMatcher>
#include <QFile>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The placeholders that follow the fields, in the order they are replaced.
constexpr int FixedCount = 9;
enum Fixed { HeaderImage, SiteName, CatchCopy1, CatchCopy2, CatchCopy3, ShopId, SiteMaster,
             IncludeTaxValue, Picture };
const QByteArrayView kFixedNames[FixedCount] = {
    "headerimage", "sitename", "catchcopy1", "catchcopy2", "catchcopy3",
    "shopid",      "sitemaster", "includetax", "picture",
};
// Settings slot (OptionValues index) of the fixed placeholders that show a setting.
constexpr int kOptionOf[FixedCount] = {-1, 1, 2, 3, 4, 5, 6, -1, -1};

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

struct Token
{
    enum Kind { None, Field, FixedName } kind = None;
    int index = 0;
    qsizetype length = 0;
};

// The placeholder starting at text[p] == '<', if there is one.
Token tokenAt(QByteArrayView text, qsizetype p)
{
    const qsizetype n = text.size();
    qsizetype q = p + 1;
    while (q < n && isNameChar(text[q]))
        ++q;
    if (q >= n || text[q] != '>' || q == p + 1)
        return {};
    const QByteArrayView name = text.sliced(p + 1, q - p - 1);
    const qsizetype length = q - p + 1;
    if (name.size() > 3 && name.startsWith("csv")) {
        const QByteArrayView digits = name.sliced(3);
        if (digits.size() > 5 || (digits.size() > 1 && digits[0] == '0'))
            return {};
        int value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return {};
            value = value * 10 + (c - '0');
        }
        if (value >= PageFiller::MaxFieldCount)
            return {};
        return {Token::Field, value, length};
    }
    for (int k = 0; k < FixedCount; ++k) {
        if (name == kFixedNames[k])
            return {Token::FixedName, k, length};
    }
    return {};
}

// Whether the text has a '<' followed only by name characters up to its end
// or up to another '<': such a piece could join with what follows it into a
// placeholder once something is put next to it.
bool hasOpenTail(QByteArrayView text)
{
    const char* data = text.data();
    const qsizetype n = text.size();
    qsizetype p = 0;
    while (p < n) {
        const void* hit = std::memchr(data + p, '<', size_t(n - p));
        if (!hit)
            return false;
        qsizetype q = static_cast<const char*>(hit) - data + 1;
        while (q < n && isNameChar(data[q]))
            ++q;
        if (q == n || data[q] == '<')
            return true;
        p = q;
    }
    return false;
}

bool containsLessThan(QByteArrayView text)
{
    return !text.isEmpty() && std::memchr(text.data(), '<', size_t(text.size())) != nullptr;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

QString decode(QByteArrayView bytes, TextEncoding encoding)
{
    // Article numbers are mostly ASCII, which reads the same in both.
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return encoding == TextEncoding::Utf8 ? QString::fromUtf8(bytes)
                                          : TextCodec::DecodeShiftJis(bytes);
}

QByteArray encode(const QString& text, TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 ? text.toUtf8() : TextCodec::EncodeShiftJis(text);
}

QString tooLarge()
{
    return u"ページが大きくなりすぎます（%1 MB を超えます）。項目や設定の中の「<csv…>」などが何重にも置き換えられていないか確かめてください。"_s
        .arg(PageFiller::MaxPageSize >> 20);
}

QString quoteField(QByteArrayView field, TextEncoding encoding)
{
    QString text = decode(field.first(std::min<qsizetype>(field.size(), 40)), encoding);
    if (field.size() > 40)
        text += u'…';
    return text;
}

} // namespace

// ---------------------------------------------------------------------------

struct OptionSource::Stamp
{
    std::filesystem::path path;
    Platform::FileStamp file;
    quint64 writes = 0;

    bool operator==(const Stamp& other) const { return file == other.file && writes == other.writes; }
};

OptionSource::OptionSource(const QString& iniPath) : m_path(iniPath), m_stamp(new Stamp)
{
#ifdef _WIN32
    m_stamp->path = std::filesystem::path(iniPath.toStdWString());
#else
    m_stamp->path = std::filesystem::path(QFile::encodeName(iniPath).toStdString());
#endif
}

OptionSource::~OptionSource() = default;

const OptionValues& OptionSource::Read()
{
    Stamp now;
    now.writes = basIniFile::WriteCount();
    now.file = Platform::StampOf(m_stamp->path); // not valid for a folder either
    if (now == *m_stamp)
        return m_values;
    m_values = clsOption::ReadRawValues(m_path);
    now.path = std::move(m_stamp->path);
    *m_stamp = std::move(now);
    return m_values;
}

// ---------------------------------------------------------------------------

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
            scratch = '<' + kFixedNames[stage - lastField - 1].toByteArray() + '>';
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
    parsed->bytes = encode(GetTemplate(count), encoding);
    const QByteArrayView bytes(parsed->bytes);
    qsizetype pieceStart = 0;
    for (qsizetype p = bytes.indexOf('<'); p >= 0; p = bytes.indexOf('<', p + 1)) {
        const Token token = tokenAt(bytes, p);
        if (token.kind == Token::None)
            continue;
        if (hasOpenTail(bytes.sliced(pieceStart, p - pieceStart)))
            parsed->piecesSafe = false;
        parsed->placeholders.push_back({p, token.length, token});
        pieceStart = p + token.length;
        p += token.length - 1;
    }
    if (hasOpenTail(bytes.sliced(pieceStart)))
        parsed->piecesSafe = false;

    // Counts of real products are small; a rare large one is built, not kept.
    if (cache.size() >= 64)
        cache.clear();
    cache.insert(count, parsed);
    return *parsed;
}

bool PageFiller::prepare(QByteArrayView line, TextEncoding encoding, const OptionValues& options,
                         Prepared& prepared, FilledPage& page, QString& failure)
{
    prepared.encoding = encoding;
    prepared.row = basCsv::SplitCsvLine(line);
    const QList<QByteArrayView>& row = prepared.row;
    page.articleId = row.isEmpty() ? QString() : decode(row[0], encoding);
    page.fileName = page.articleId + u".html"_s;
    page.text.clear();

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

    for (int k = 0; k < FixedCount; ++k) {
        if (kOptionOf[k] < 0)
            continue;
        const QByteArray& stored = options[size_t(kOptionOf[k])];
        prepared.fixedValues[k] = encoding == TextEncoding::Utf8
                                      ? TextCodec::DecodeShiftJis(stored).toUtf8()
                                      : stored;
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
        if (!containsLessThan(raw))
            continue;
        // A value whose fragments could join its neighbours into a
        // placeholder makes the analysis unsound: then the plain method.
        if (hasOpenTail(raw)) {
            safe = false;
            break;
        }
        for (qsizetype p = raw.indexOf('<'); p >= 0; p = raw.indexOf('<', p + 1)) {
            const Token token = tokenAt(raw, p);
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
        const Token token = tokenAt(text, p);
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

// ---------------------------------------------------------------------------

QString GetTemplate(int count)
{
    return basTemplate::BuildPageTemplate(count);
}

std::optional<QByteArray> IncludeTax(QByteArrayView price, QByteArrayView tax)
{
    if (!VbNumber::IsNumeric(price) || !VbNumber::IsNumeric(tax))
        return QByteArray();
    const auto p = VbNumber::RoundToInt32(VbNumber::ToDouble(price));
    const auto t = VbNumber::RoundToInt32(VbNumber::ToDouble(tax));
    if (!p || !t)
        return std::nullopt;
    const qint64 s = qint64(*t) * qint64(*p);
    if (s < std::numeric_limits<qint32>::min() || s > std::numeric_limits<qint32>::max())
        return std::nullopt;
    const double v = double(*p) + double(s) / 100.0;
    return QByteArray::number(qint64(std::floor(v)));
}

std::optional<QString> IncludeTax(const QString& price, const QString& tax)
{
    const auto result = IncludeTax(QByteArrayView(price.toUtf8()), QByteArrayView(tax.toUtf8()));
    if (!result)
        return std::nullopt;
    return QString::fromLatin1(*result);
}

std::optional<QByteArray> HeaderImageFileName(QByteArrayView setting)
{
    const auto position = VbNumber::RoundToInt32(VbNumber::LeadingNumber(setting));
    if (!position)
        return std::nullopt;
    const qint64 number = qint64(*position) + 1;
    QByteArray digits = QByteArray::number(number < 0 ? -number : number);
    if (digits.size() < 3)
        digits.prepend(QByteArray(3 - digits.size(), '0'));
    return (number < 0 ? "-" : "") + digits + ".jpg";
}

QByteArray PictureIdentifier(QByteArrayView field, TextEncoding encoding)
{
    constexpr qsizetype width = 13;
    if (isAscii(field)) {
        if (field.size() >= width)
            return field.last(width).toByteArray();
        return QByteArray(width - field.size(), '0') + field.toByteArray();
    }
    // Counted in characters, not bytes.
    QString text = QString(width, u'0') + decode(field, encoding);
    return encode(text.right(width), encoding);
}

bool IsSafePageFileName(const QString& fileName, QString* reason)
{
    auto refuse = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return false;
    };
    for (QChar c : fileName) {
        const char16_t u = c.unicode();
        if (u == u'/' || u == u'\\')
            return refuse(u"ファイル名にフォルダの区切り（/ や \\）は使えません。"_s);
        if (u < 0x20 || u == 0x7F)
            return refuse(u"ファイル名に制御文字は使えません。"_s);
        if (QStringView(u"<>:\"|?*").contains(c))
            return refuse(u"ファイル名に使えない文字（%1）が含まれています。ファイル名には < > : \" | ? * を使えません。"_s
                              .arg(c));
    }
    const QString stem = fileName.endsWith(u".html"_s) ? fileName.chopped(5) : fileName;
    bool onlyDots = true;
    for (QChar c : stem)
        onlyDots = onlyDots && c == u'.';
    if (onlyDots)
        return refuse(u"商品IDが空か「.」だけなので、ファイル名になりません。"_s);
    const qsizetype dot = fileName.indexOf(u'.');
    const QStringView device = QStringView(fileName).first(dot < 0 ? fileName.size() : dot).trimmed();
    if (device.size() >= 3 && device.size() <= 7) {
        // Windows keeps these names for devices, with any extension.
        static const QStringList reserved = {u"CON"_s, u"PRN"_s, u"AUX"_s, u"NUL"_s,
                                             u"CONIN$"_s, u"CONOUT$"_s};
        const QString upper = device.toString().toUpper();
        const bool numbered = upper.size() == 4
                              && (upper.startsWith(u"COM"_s) || upper.startsWith(u"LPT"_s))
                              && ((upper[3] >= u'0' && upper[3] <= u'9') || upper[3] == u'¹'
                                  || upper[3] == u'²' || upper[3] == u'³');
        if (reserved.contains(upper) || numbered)
            return refuse(u"「%1」は Windows で予約された名前なので、ファイル名に使えません。"_s.arg(upper));
    }
    if (fileName.size() > 255 || (fileName.size() > 85 && fileName.toUtf8().size() > 255))
        return refuse(u"ファイル名が長すぎます（255 バイトまで）。"_s);
    return true;
}

QString LineLabel(qsizetype lineNumber, const QString& articleId)
{
    QString label = u"%1 行目"_s.arg(lineNumber);
    if (!articleId.isEmpty())
        label += u"（商品ID「%1」）"_s.arg(articleId.size() > 40 ? articleId.left(40) + u'…'
                                                               : articleId);
    return label;
}

bool FillTemplate(RunUi& ui, PageFiller& filler, QByteArrayView line, TextEncoding encoding,
                  const OptionValues& options, qsizetype lineNumber, FilledPage& page)
{
    QString failure;
    bool ok = filler.Fill(line, encoding, options, page, failure);
    if (ok && !IsSafePageFileName(page.fileName, &failure))
        ok = false;
    if (ok)
        return true;
    page.text.clear();
    QString text = failure;
    if (lineNumber > 0)
        text = LineLabel(lineNumber, page.articleId) + u"のページを作成できませんでした。\r\n\r\n"_s
               + failure;
    ui.ShowMessage(text, MessageIcon::Critical);
    return false;
}

bool FillTemplate(RunUi& ui, const QString& line, const QString& iniPath, QString& rstrFileName,
                  QString& rstrPage)
{
    PageFiller filler;
    OptionSource options(iniPath);
    FilledPage page;
    const QByteArray bytes = line.toUtf8();
    if (!FillTemplate(ui, filler, bytes, TextEncoding::Utf8, options.Read(), 0, page))
        return false;
    rstrFileName = page.fileName;
    rstrPage = QString::fromUtf8(page.text);
    return true;
}
