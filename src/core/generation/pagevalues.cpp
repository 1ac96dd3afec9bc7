#include "generation/pagevalues.h"

#include "base/vbnumber.h"

#include <cmath>
#include <limits>

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
    return HeaderImageFile(qint64(*position) + 1);
}

QByteArray HeaderImageNumber(qint64 number)
{
    QByteArray digits = QByteArray::number(number < 0 ? -number : number);
    if (digits.size() < 3)
        digits.prepend(QByteArray(3 - digits.size(), '0'));
    return (number < 0 ? "-" : "") + digits;
}

QByteArray HeaderImageFile(qint64 number)
{
    return HeaderImageNumber(number) + ".jpg";
}

QByteArray PictureIdentifier(QByteArrayView field, TextEncoding encoding)
{
    constexpr qsizetype width = 13;
    if (TextCodec::IsAscii(field)) {
        if (field.size() >= width)
            return field.last(width).toByteArray();
        return QByteArray(width - field.size(), '0') + field.toByteArray();
    }
    // Counted in characters, not bytes.
    QString text = QString(width, u'0') + TextCodec::Decode(field, encoding);
    return TextCodec::Encode(text.right(width), encoding);
}
