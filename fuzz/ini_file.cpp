// The settings file's byte functions on any file and any name and value:
// after a write, reading the key gives the value as written (on one line,
// trimmed, one pair of enclosing quotes removed); every other value reads as
// before; every other line is still there; writing the same again changes
// nothing.
//
// Input: section, key, value and the file, separated by the byte 0x1F.

#include "fuzzcheck.h"

#include "settings/basinifile.h"

#include <set>
#include <utility>
#include <vector>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isBreak(char c)
{
    return c == '\r' || c == '\n';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

QByteArray lower(QByteArrayView text)
{
    return text.toByteArray().toLower();
}

// What a reader must see after the value was written.
QByteArray expectedValue(QByteArrayView value)
{
    QByteArray line;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (!isBreak(value[i])) {
            line.append(value[i]);
            continue;
        }
        line.append(' ');
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            ++i;
    }
    const QByteArrayView t = trimmed(line);
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front())
        return t.sliced(1, t.size() - 2).toByteArray();
    return t.toByteArray();
}

// Names a writer accepts: a name that could not be found again, or would
// split or disguise lines, is refused and the file is left as it is.
bool writable(QByteArrayView name, bool section)
{
    name = trimmed(name);
    if (name.isEmpty() || name.contains('\r') || name.contains('\n') || name.contains('\0'))
        return false;
    if (section)
        return !name.contains(']');
    return name.front() != ';' && name.front() != '[' && !name.contains('=');
}

// Line contents, breaks left out (CR LF, LF and CR each end a line); the
// end-of-file marks (Ctrl-Z) at the end are no line.
std::vector<QByteArrayView> lines(QByteArrayView file)
{
    while (file.endsWith('\x1A'))
        file.chop(1);
    std::vector<QByteArrayView> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < file.size(); ++i) {
        if (!isBreak(file[i]))
            continue;
        out.push_back(file.sliced(start, i - start));
        if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < file.size())
        out.push_back(file.sliced(start));
    return out;
}

// Every section and key name the file could be asked about, roughly: the
// checks below only need the names, not their meaning.
std::set<std::pair<QByteArray, QByteArray>> probes(QByteArrayView file)
{
    std::set<QByteArray> sections;
    std::set<QByteArray> keys;
    for (QByteArrayView line : lines(file)) {
        const QByteArrayView t = trimmed(line);
        if (t.startsWith('[')) {
            const qsizetype close = t.indexOf(']');
            sections.insert(lower(trimmed(close < 0 ? t.sliced(1) : t.sliced(1, close - 1))));
        } else if (const qsizetype eq = t.indexOf('='); eq > 0) {
            keys.insert(lower(trimmed(t.first(eq))));
        }
    }
    std::set<std::pair<QByteArray, QByteArray>> out;
    for (const QByteArray& s : sections) {
        for (const QByteArray& k : keys)
            out.insert({s, k});
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto parts = FuzzInput::pieces<4>(FuzzInput::bytes(data, size), '\x1F');
    const QByteArrayView section = parts[0];
    const QByteArrayView key = parts[1];
    const QByteArrayView value = parts[2];
    const QByteArrayView before = parts[3];

    const QByteArray after = basIniFile::SetIniValueInBytes(before, section, key, value);
    if (!writable(section, true) || !writable(key, false)) {
        FUZZ_CHECK(after == before);
        return 0;
    }

    // The value reads back.
    bool found = false;
    const QByteArray read = basIniFile::GetIniValueFromBytes(after, section, key, &found);
    FUZZ_CHECK(found);
    FUZZ_CHECK(read == expectedValue(value));

    // Every other value reads as before.
    const QByteArray targetSection = lower(trimmed(section));
    const QByteArray targetKey = lower(trimmed(key));
    for (const auto& [s, k] : probes(before)) {
        if (s == targetSection && k == targetKey)
            continue;
        bool foundBefore = false;
        bool foundAfter = false;
        const QByteArray valueBefore = basIniFile::GetIniValueFromBytes(before, s, k, &foundBefore);
        const QByteArray valueAfter = basIniFile::GetIniValueFromBytes(after, s, k, &foundAfter);
        FUZZ_CHECK(foundBefore == foundAfter);
        FUZZ_CHECK(valueBefore == valueAfter);
    }

    // Every other line is still there, in its order: the write replaced one
    // line, or inserted one, or appended a section header and one line.
    const std::vector<QByteArrayView> old = lines(before);
    const std::vector<QByteArrayView> now = lines(after);
    FUZZ_CHECK(now.size() >= old.size() && now.size() <= old.size() + 2);
    size_t common = 0;
    while (common < old.size() && old[common] == now[common])
        ++common;
    size_t tail = 0;
    while (tail < old.size() - common && old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    const size_t changedOld = old.size() - common - tail;
    const size_t changedNow = now.size() - common - tail;
    if (now.size() == old.size())
        FUZZ_CHECK(changedOld <= 1);
    else if (now.size() == old.size() + 1)
        FUZZ_CHECK(changedOld == 0 && changedNow == 1);
    else
        FUZZ_CHECK(changedOld == 0 && common == old.size());

    // Writing the same value again is a no-op.
    FUZZ_CHECK(basIniFile::SetIniValueInBytes(after, section, key, value) == after);
    return 0;
}
