#include "settings/basinifile.h"

#include "base/basfile.h"
#include "base/blanks.h"
#include "base/textcodec.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

using Blanks::IsBlank;

bool isLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Names are ASCII; bytes above 0x7F compare as they are.
bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

struct Line
{
    qsizetype start = 0;
    qsizetype end = 0;  // past the last byte before the line break
    qsizetype next = 0; // past the line break
    bool hasBreak() const { return next > end; }
};

// CR LF, LF and CR each end a line. A final line break starts no further line.
class LineReader
{
public:
    LineReader(QByteArrayView file, qsizetype from, qsizetype to)
        : m_file(file), m_pos(from), m_to(to)
    {}

    bool next(Line& line)
    {
        if (m_pos >= m_to)
            return false;
        line.start = m_pos;
        qsizetype i = m_pos;
        while (i < m_to && !isLineBreak(m_file[i]))
            ++i;
        line.end = i;
        if (i < m_to)
            i += (m_file[i] == '\r' && i + 1 < m_to && m_file[i + 1] == '\n') ? 2 : 1;
        line.next = i;
        m_pos = i;
        return true;
    }

private:
    QByteArrayView m_file;
    qsizetype m_pos;
    qsizetype m_to;
};

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QByteArrayView name;  // section or key name, trimmed
    QByteArrayView value; // after the first "=", untrimmed
};

ParsedLine parseLine(QByteArrayView content)
{
    ParsedLine parsed;
    const QByteArrayView text = Blanks::Trim(content);
    if (text.isEmpty()) {
        parsed.kind = LineKind::Blank;
    } else if (text[0] == ';') {
        parsed.kind = LineKind::Comment;
    } else if (text[0] == '[' && text.indexOf(']') > 0) {
        // Without its "]" the line is no header: the keys below it stay in
        // the section above, as the private-profile functions read it.
        const QByteArrayView inner = text.sliced(1);
        parsed.kind = LineKind::Section;
        parsed.name = Blanks::Trim(inner.first(inner.indexOf(']')));
    } else if (const qsizetype eq = text.indexOf('='); eq >= 0) {
        parsed.kind = LineKind::Key;
        parsed.name = Blanks::Trim(text.first(eq));
        parsed.value = text.sliced(eq + 1);
    }
    return parsed;
}

struct SectionSpan
{
    bool found = false;
    qsizetype bodyStart = 0;
    qsizetype bodyEnd = 0;
    Line lastContent; // the header or the last non-blank line under it
};

SectionSpan findSection(QByteArrayView file, QByteArrayView section)
{
    SectionSpan span;
    LineReader reader(file, 0, file.size());
    Line line;
    while (reader.next(line)) {
        const ParsedLine parsed = parseLine(file.sliced(line.start, line.end - line.start));
        if (!span.found) {
            if (parsed.kind == LineKind::Section && sameName(parsed.name, section)) {
                span.found = true;
                span.bodyStart = line.next;
                span.bodyEnd = file.size();
                span.lastContent = line;
            }
            continue;
        }
        if (parsed.kind == LineKind::Section) {
            span.bodyEnd = line.start;
            break;
        }
        if (parsed.kind != LineKind::Blank)
            span.lastContent = line;
    }
    return span;
}

bool findKey(QByteArrayView file, const SectionSpan& span, QByteArrayView key, Line* keyLine,
             ParsedLine* keyParsed)
{
    LineReader reader(file, span.bodyStart, span.bodyEnd);
    Line line;
    while (reader.next(line)) {
        const ParsedLine parsed = parseLine(file.sliced(line.start, line.end - line.start));
        if (parsed.kind == LineKind::Key && sameName(parsed.name, key)) {
            *keyLine = line;
            *keyParsed = parsed;
            return true;
        }
    }
    return false;
}

QByteArrayView storedValue(QByteArrayView raw)
{
    const QByteArrayView value = Blanks::Trim(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

// Names that could not be found again after a write, or would split or
// disguise lines, are refused.
bool isWritableName(QByteArrayView name, bool isSection)
{
    if (name.isEmpty())
        return false;
    for (const char c : name) {
        if (isLineBreak(c) || c == '\0')
            return false;
    }
    if (isSection)
        return !name.contains(']');
    return name.front() != ';' && name.front() != '[' && !name.contains('=');
}

// A value always stays on its own line: each line break becomes one blank.
QByteArray oneLine(QByteArrayView value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (!isLineBreak(c)) {
            out.append(c);
            continue;
        }
        out.append(' ');
        if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            ++i;
    }
    return out;
}

// The part of a file that holds its lines: without a UTF-8 byte-order mark
// in front, and without the end-of-file marks (Ctrl-Z) some old editors
// leave behind.
QByteArrayView body(QByteArrayView file)
{
    if (TextCodec::HasUtf8Bom(file))
        file = file.sliced(3);
    while (file.endsWith('\x1A'))
        file.chop(1);
    return file;
}

} // namespace

namespace basIniFile {

namespace {
std::atomic<quint64> g_writeCount{0};
} // namespace

QByteArray GetIniValueFromBytes(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                                bool* found)
{
    if (found)
        *found = false;
    const QByteArrayView sectionName = Blanks::Trim(section);
    const QByteArrayView keyName = Blanks::Trim(key);
    // "[]" and "=value" lines name nothing a caller can ask for.
    if (sectionName.isEmpty() || keyName.isEmpty())
        return {};
    file = body(file);
    const SectionSpan span = findSection(file, sectionName);
    Line line;
    ParsedLine parsed;
    if (!span.found || !findKey(file, span, keyName, &line, &parsed))
        return {};
    if (found)
        *found = true;
    return storedValue(parsed.value).toByteArray();
}

QByteArray SetIniValueInBytes(QByteArrayView file, QByteArrayView section, QByteArrayView key,
                              QByteArrayView value)
{
    const QByteArrayView sectionName = Blanks::Trim(section);
    const QByteArrayView keyName = Blanks::Trim(key);
    if (!isWritableName(sectionName, true) || !isWritableName(keyName, false))
        return file.toByteArray();
    const QByteArray newValue = oneLine(value);

    QByteArray out;
    // The byte-order mark stays in front of everything.
    if (TextCodec::HasUtf8Bom(file)) {
        out.append(file.first(3));
        file = file.sliced(3);
    }
    // So do end-of-file marks at the end: before them, a new line would
    // make them part of the last value.
    qsizetype end = file.size();
    while (end > 0 && file[end - 1] == '\x1A')
        --end;
    const QByteArrayView marks = file.sliced(end);
    file = file.first(end);
    out.reserve(file.size() + sectionName.size() + keyName.size() + newValue.size() + 8);
    const SectionSpan span = findSection(file, sectionName);
    if (!span.found) {
        out.append(file);
        if (!file.isEmpty() && !isLineBreak(out.back()))
            out.append("\r\n");
        out.append('[').append(sectionName).append("]\r\n");
        out.append(keyName).append('=').append(newValue).append("\r\n");
        return out.append(marks);
    }

    Line line;
    ParsedLine parsed;
    if (findKey(file, span, keyName, &line, &parsed)) {
        // The key keeps its spelling and the line its own line break.
        out.append(file.first(line.start));
        out.append(parsed.name).append('=').append(newValue);
        out.append(file.sliced(line.end));
        return out.append(marks);
    }

    // A new key goes before the blank lines that part this section from the next.
    const Line& after = span.lastContent;
    out.append(file.first(after.next));
    if (!after.hasBreak())
        out.append("\r\n");
    out.append(keyName).append('=').append(newValue).append("\r\n");
    out.append(file.sliced(after.next));
    return out.append(marks);
}

bool WriteFileAtomically(const QString& filePath, const QByteArray& bytes)
{
    // Counted before the rename, so a reader that sees the new count also
    // reads the file again, whatever the file's time stamp says.
    return basFile::WriteFileAtomically(filePath, bytes, [] { g_writeCount.fetch_add(1); });
}

quint64 WriteCount()
{
    return g_writeCount.load();
}

TextEncoding FileEncoding(QByteArrayView file)
{
    return TextCodec::IsUtf8(file) ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
}

QStringList UnencodableCharacters(const QString& filePath, const QStringList& values)
{
    QByteArray bytes;
    // A file that cannot be read is not written either; nothing is lost.
    if (!ReadFileBytes(filePath, &bytes))
        return {};
    const TextEncoding encoding = FileEncoding(bytes);
    QStringList lost;
    for (const QString& value : values) {
        for (const QString& c : TextCodec::UnencodableCharacters(value, encoding)) {
            if (!lost.contains(c))
                lost.append(c);
        }
    }
    return lost;
}

QByteArray ToUtf8WithBom(QByteArrayView file)
{
    if (TextCodec::HasUtf8Bom(file))
        return file.toByteArray();
    const QByteArray bom("\xEF\xBB\xBF");
    if (FileEncoding(file) == TextEncoding::Utf8)
        return bom + file.toByteArray();
    return bom + TextCodec::DecodeShiftJis(file).toUtf8();
}

bool ConvertFileToUtf8(const QString& filePath)
{
    QByteArray bytes;
    if (!ReadFileBytes(filePath, &bytes))
        return false;
    if (TextCodec::HasUtf8Bom(bytes))
        return true;
    return WriteFileAtomically(filePath, ToUtf8WithBom(bytes));
}

QString GetIniValue(const QString& section, const QString& key, const QString& filePath)
{
    QByteArray bytes;
    if (!ReadFileBytes(filePath, &bytes))
        return QString();
    const TextEncoding encoding = FileEncoding(bytes);
    return TextCodec::Decode(GetIniValueFromBytes(bytes, TextCodec::Encode(section, encoding),
                                                  TextCodec::Encode(key, encoding)),
                             encoding);
}

bool SetIniValue(const QString& section, const QString& key, const QString& value,
                 const QString& filePath)
{
    // An existing file that cannot be read is never replaced.
    QByteArray bytes;
    if (!ReadFileBytes(filePath, &bytes))
        return false;
    // The file keeps its encoding; a new one is Shift_JIS.
    const TextEncoding encoding = FileEncoding(bytes);
    const QByteArray sectionBytes = TextCodec::Encode(section, encoding);
    const QByteArray keyBytes = TextCodec::Encode(key, encoding);
    if (!isWritableName(Blanks::Trim(sectionBytes), true) ||
        !isWritableName(Blanks::Trim(keyBytes), false))
        return false;
    return WriteFileAtomically(filePath, SetIniValueInBytes(bytes, sectionBytes, keyBytes,
                                                            TextCodec::Encode(value, encoding)));
}

} // namespace basIniFile
