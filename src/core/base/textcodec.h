#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

// Every file that Sorabi reads or writes is Shift_JIS (Windows code page 932),
// whatever the system locale; product CSVs may also come as UTF-8.
// The encoding of a product CSV file, and so of its lines and fields.
enum class TextEncoding { ShiftJis, Utf8 };

namespace TextCodec {

enum class Unmappable {
    Substitute,         // a character Shift_JIS cannot hold becomes '?'
    CharacterReference, // … becomes an HTML reference "&#x1F600;", which browsers show
};

QString DecodeShiftJis(QByteArrayView bytes);
// Whether Shift_JIS can be converted at all: by Qt, or where Qt lacks it, by
// the system. Without it no page could be right.
bool IsShiftJisAvailable();
QByteArray EncodeShiftJis(QStringView text, Unmappable unmappable = Unmappable::Substitute);

// Whether bytes are UTF-8 rather than Shift_JIS: they start with the UTF-8
// byte-order mark, or are valid UTF-8 as a whole with at least one multi-byte
// sequence. Real Shift_JIS Japanese text practically never passes the second test.
bool IsUtf8(QByteArrayView bytes);
bool HasUtf8Bom(QByteArrayView bytes);
bool IsValidUtf8(QByteArrayView bytes, bool* hasMultiByte = nullptr);

// The characters of the text that the encoding cannot hold (that Encode
// would turn into "?"), each once, in the order of first appearance; a
// character outside the basic plane is one entry. None for UTF-8.
QStringList UnencodableCharacters(QStringView text, TextEncoding encoding);

bool IsAscii(QByteArrayView bytes);
// Bytes of a CSV file in its own encoding, and back. ASCII, which most
// article numbers are, takes a shortcut.
QString Decode(QByteArrayView bytes, TextEncoding encoding);
QByteArray Encode(const QString& text, TextEncoding encoding);

} // namespace TextCodec
