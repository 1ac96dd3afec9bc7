#include "base/textcodec.h"

#include "base/platform.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>

namespace TextCodec {

QString DecodeShiftJis(QByteArrayView bytes)
{
    QStringDecoder decoder("Shift_JIS");
    if (!decoder.isValid())
        return Platform::DecodeSystemShiftJis(bytes);
    QString text = decoder.decode(bytes);
    // A lead byte at the very end waits for a second byte and would vanish
    // without a trace ("A\x81" would read as "A"). One more byte makes the
    // decoder give it the substitute that any other unreadable byte gets.
    text += decoder.decode(QByteArrayView("\0", 1));
    text.chop(1);
    return text;
}

bool IsShiftJisAvailable()
{
    return QStringDecoder("Shift_JIS").isValid() || Platform::HasSystemShiftJis();
}

namespace {

// Encodes one code point on its own; empty when Shift_JIS has no place for it.
QByteArray encodeCodePoint(char32_t codePoint)
{
    static QHash<char32_t, QByteArray> cache;
    auto it = cache.constFind(codePoint);
    if (it != cache.constEnd())
        return *it;
    QStringEncoder encoder("Shift_JIS");
    const QString one = QString::fromUcs4(&codePoint, 1);
    bool lossless = true;
    QByteArray bytes;
    if (encoder.isValid()) {
        bytes = encoder.encode(one);
        lossless = !encoder.hasError();
    } else {
        bytes = Platform::EncodeSystemShiftJis(one, &lossless);
    }
    if (!lossless || bytes.isEmpty())
        bytes.clear();
    cache.insert(codePoint, bytes);
    return bytes;
}

} // namespace

QByteArray EncodeShiftJis(QStringView text, Unmappable unmappable)
{
    QStringEncoder encoder("Shift_JIS");
    bool lossless = true;
    QByteArray whole;
    if (encoder.isValid()) {
        whole = encoder.encode(text);
        lossless = !encoder.hasError();
    } else {
        whole = Platform::EncodeSystemShiftJis(text, &lossless);
    }
    // The converter drops a lone surrogate without reporting it.
    if (lossless && text.isValidUtf16())
        return whole;

    // Rare: some character has no Shift_JIS form. Go character by character.
    QByteArray out;
    out.reserve(whole.size() + 16);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = text[i].unicode();
        if (c < 0x80) {
            out.append(char(c));
            continue;
        }
        char32_t codePoint = c;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            ++i;
        }
        const QByteArray bytes = encodeCodePoint(codePoint);
        if (!bytes.isEmpty())
            out.append(bytes);
        else if (unmappable == Unmappable::Substitute)
            out.append('?');
        else
            out.append("&#x" + QByteArray::number(uint(codePoint), 16).toUpper() + ';');
    }
    return out;
}

QStringList UnencodableCharacters(QStringView text, TextEncoding encoding)
{
    QStringList lost;
    if (encoding == TextEncoding::Utf8)
        return lost;
    // Most texts fit whole; only then is each character looked at.
    if (text.isValidUtf16()) {
        QStringEncoder encoder("Shift_JIS");
        bool lossless = true;
        if (encoder.isValid()) {
            // encode() is lazy: only the conversion to bytes sets the error.
            const QByteArray bytes = encoder.encode(text);
            lossless = !encoder.hasError();
        } else {
            (void)Platform::EncodeSystemShiftJis(text, &lossless);
        }
        if (lossless)
            return lost;
    }
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            continue;
        qsizetype length = 1;
        char32_t codePoint = c;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            length = 2;
        }
        // A lone surrogate has no place in any file either.
        const bool lone = QChar::isSurrogate(c) && length == 1;
        if (lone || encodeCodePoint(codePoint).isEmpty()) {
            const QString one = text.sliced(i, length).toString();
            if (!lost.contains(one))
                lost.append(one);
        }
        i += length - 1;
    }
    return lost;
}

bool HasUtf8Bom(QByteArrayView bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF");
}

bool IsValidUtf8(QByteArrayView bytes, bool* hasMultiByte)
{
    bool multi = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int length;
        char32_t min;
        char32_t cp;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2, min = 0x80, cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, min = 0x800, cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, min = 0x10000, cp = b & 0x07;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        for (int k = 1; k < length; ++k) {
            const unsigned char t = p[i + k];
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        multi = true;
        i += length;
    }
    if (hasMultiByte)
        *hasMultiByte = multi;
    return true;
}

bool IsUtf8(QByteArrayView bytes)
{
    if (HasUtf8Bom(bytes))
        return true;
    bool multi = false;
    return IsValidUtf8(bytes, &multi) && multi;
}

bool IsAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

QString Decode(QByteArrayView bytes, TextEncoding encoding)
{
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes);
    return encoding == TextEncoding::Utf8 ? QString::fromUtf8(bytes) : DecodeShiftJis(bytes);
}

QByteArray Encode(const QString& text, TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 ? text.toUtf8() : EncodeShiftJis(text);
}

} // namespace TextCodec
