#pragma once

#include <QByteArrayView>

// The blanks that the settings file and the number rules skip: a space or a
// tab, nothing else (not a full-width space, not a line break). On ASCII
// bytes, so Shift_JIS and UTF-8 alike.
namespace Blanks {

constexpr bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The text without the blanks at either end.
inline QByteArrayView Trim(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

} // namespace Blanks
