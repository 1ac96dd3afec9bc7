#include "base/vbnumber.h"

#include "base/blanks.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace VbNumber {

namespace {

using Blanks::IsBlank;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}


// Length of the number at the start of text: [sign] digits-and-commas
// [. digits] [e [sign] digits]. Commas are allowed only when `commas`.
// Returns 0 when no digit is there.
qsizetype scanNumber(QByteArrayView text, bool commas)
{
    const qsizetype n = text.size();
    qsizetype p = 0;
    if (p < n && (text[p] == '+' || text[p] == '-'))
        ++p;
    bool digits = false;
    if (p < n && isDigit(text[p])) {
        digits = true;
        while (p < n && (isDigit(text[p]) || (commas && text[p] == ',')))
            ++p;
    }
    if (p < n && text[p] == '.') {
        qsizetype q = p + 1;
        while (q < n && isDigit(text[q]))
            ++q;
        if (digits || q > p + 1) {
            digits = true;
            p = q;
        }
    }
    if (!digits)
        return 0;
    if (p < n && (text[p] == 'e' || text[p] == 'E')) {
        qsizetype q = p + 1;
        if (q < n && (text[q] == '+' || text[q] == '-'))
            ++q;
        if (q < n && isDigit(text[q])) {
            while (q < n && isDigit(text[q]))
                ++q;
            p = q;
        }
    }
    return p;
}

double parse(QByteArrayView number)
{
    std::string clean;
    clean.reserve(size_t(number.size()));
    for (char c : number) {
        if (c != ',' && c != '+')
            clean.push_back(c);
    }
    double value = 0;
    const auto result = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a double either way: tell overflow from underflow by the
        // decimal exponent of the first significant digit.
        const bool negative = !clean.empty() && clean.front() == '-';
        const size_t e = clean.find_first_of("eE");
        const std::string mantissa = clean.substr(0, e);
        long long exponent = 0;
        if (e != std::string::npos) {
            const char* first = clean.data() + e + 1;
            if (std::from_chars(first, clean.data() + clean.size(), exponent).ec != std::errc())
                exponent = *first == '-' ? -(1LL << 40) : (1LL << 40);
        }
        const size_t point = mantissa.find('.');
        const std::string whole = mantissa.substr(0, point);
        const size_t firstSignificant = whole.find_first_not_of("-0");
        long long magnitude = 0;
        if (firstSignificant != std::string::npos) {
            magnitude = (long long)(whole.size() - firstSignificant) - 1;
        } else if (point != std::string::npos) {
            const size_t nonZero = mantissa.find_first_not_of('0', point + 1);
            magnitude = nonZero == std::string::npos ? -1 : -(long long)(nonZero - point);
        }
        if (magnitude + exponent < 0)
            return 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    return value;
}

} // namespace

bool IsNumeric(QByteArrayView text)
{
    const QByteArrayView t = Blanks::Trim(text);
    if (t.isEmpty())
        return false;
    return scanNumber(t, true) == t.size();
}

double ToDouble(QByteArrayView text)
{
    const QByteArrayView t = Blanks::Trim(text);
    return parse(t.first(scanNumber(t, true)));
}

double LeadingNumber(QByteArrayView text)
{
    qsizetype p = 0;
    while (p < text.size() && IsBlank(text[p]))
        ++p;
    const QByteArrayView rest = text.sliced(p);
    const qsizetype length = scanNumber(rest, false);
    return length == 0 ? 0.0 : parse(rest.first(length));
}

std::optional<std::int32_t> RoundToInt32(double value)
{
    if (std::isnan(value))
        return std::nullopt;
    // nearbyint rounds half to even in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (rounded < double(std::numeric_limits<std::int32_t>::min())
        || rounded > double(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return std::int32_t(rounded);
}

} // namespace VbNumber
