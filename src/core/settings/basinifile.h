#pragma once

#include "base/basfile.h"
#include "base/textcodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// Reading and writing single values of an INI file ("[SECTION]" headers,
// "KEY=value" lines), the way the Windows private-profile functions do it:
// names match without regard to case, values are trimmed and lose one pair of
// enclosing quotes, a write changes only the line of its key. Files are
// Shift_JIS on disk, or UTF-8 where an editor saved them so (see
// FileEncoding); a UTF-8 byte-order mark and trailing end-of-file marks
// (Ctrl-Z) are no part of the first or last line.
namespace basIniFile {

// Missing file, section or key all give the empty text.
QString GetIniValue(const QString& section, const QString& key, const QString& filePath);
// Creates the file, the section or the key as needed. True when written.
bool SetIniValue(const QString& section, const QString& key, const QString& value,
                 const QString& filePath);

// The same rules on the bytes of a file, for callers that read or change
// several values at once. `found` tells a missing key from an empty value.
QByteArray GetIniValueFromBytes(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                                bool* found = nullptr);
// The file's bytes after setting one value; every other line stays byte for
// byte. A line break inside the value becomes a blank.
QByteArray SetIniValueInBytes(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                              QByteArrayView value);

// UTF-8 when the file starts with the UTF-8 byte-order mark, or is valid
// UTF-8 as a whole with at least one multi-byte sequence (as Notepad and
// other editors save it); otherwise Shift_JIS. An empty file is Shift_JIS.
TextEncoding FileEncoding(QByteArrayView file);

// Nothing typed may turn into "?" unasked: the characters of `values` that
// the file at the path cannot hold in its present encoding (Shift_JIS for a
// missing or empty file), each once, in order. Empty when all fit, and
// always for a UTF-8 file.
QStringList UnencodableCharacters(const QString& filePath, const QStringList& values);
// The file's bytes as UTF-8 with a byte-order mark: the same lines, every
// value meaning what it meant. A UTF-8 file only gains the mark.
QByteArray ToUtf8WithBom(QByteArrayView file);
// Rewrites the file so, in one replacement; a missing file is made holding
// the mark alone, so that values written next are UTF-8. False when it could
// not be read or replaced: it then stays as it was.
bool ConvertFileToUtf8(const QString& filePath);

// The whole file, as basFile reads it.
using basFile::ReadFileBytes;

// basFile::WriteFileAtomically, counted in WriteCount.
bool WriteFileAtomically(const QString& filePath, const QByteArray& bytes);

// How many files this process has replaced so far: lets a reader that keeps
// a file's values know that they may have changed.
quint64 WriteCount();

} // namespace basIniFile
