#include "generation/placeholders.h"

#include <cstring>

namespace Placeholders {

namespace {

const QByteArrayView kFixedNames[FixedCount] = {
    "headerimage", "sitename", "catchcopy1", "catchcopy2", "catchcopy3",
    "shopid",      "sitemaster", "includetax", "picture",
};
constexpr int kSettingOf[FixedCount] = {-1, 1, 2, 3, 4, 5, 6, -1, -1};

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

} // namespace

QByteArrayView FixedName(int fixed)
{
    return kFixedNames[fixed];
}

int SettingOf(int fixed)
{
    return kSettingOf[fixed];
}

Token TokenAt(QByteArrayView text, qsizetype p)
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
        if (value >= MaxFieldCount)
            return {};
        return {Token::Field, value, length};
    }
    for (int k = 0; k < FixedCount; ++k) {
        if (name == kFixedNames[k])
            return {Token::FixedName, k, length};
    }
    return {};
}

bool HasOpenTail(QByteArrayView text)
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

bool ContainsLessThan(QByteArrayView text)
{
    return !text.isEmpty() && std::memchr(text.data(), '<', size_t(text.size())) != nullptr;
}

} // namespace Placeholders
