#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <optional>

// The number rules that prices, tax rates, image counts and the header
// picture position are read by. They work on ASCII digits, so they apply to
// Shift_JIS and UTF-8 bytes alike.
namespace VbNumber {

// Whether the text, blanks around it aside, is one decimal number: optional
// sign, digits with optional digit-group commas, optional decimal point and
// fraction, optional exponent. The empty text is not a number.
bool IsNumeric(QByteArrayView text);
// The value of a text that IsNumeric accepts (commas ignored).
double ToDouble(QByteArrayView text);
// The decimal number the text starts with, blanks before it skipped; 0 when
// the text does not start with a number. Everything after it is ignored.
double LeadingNumber(QByteArrayView text);
// Rounded half to even to a signed 32-bit integer; nothing when out of range.
std::optional<std::int32_t> RoundToInt32(double value);

} // namespace VbNumber
