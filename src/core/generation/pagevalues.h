#pragma once

#include "base/textcodec.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The values a page shows that are worked out from the line and the settings.

// The tax-inclusive price: price plus price × tax ÷ 100, rounded down. The
// empty text when price or tax is not a number; nothing when the arithmetic
// leaves 32 bits (the line then fails).
std::optional<QByteArray> IncludeTax(QByteArrayView price, QByteArrayView tax);
std::optional<QString> IncludeTax(const QString& price, const QString& tax);

// "001.jpg" for position 0 … "100.jpg" for 99; nothing when out of range.
std::optional<QByteArray> HeaderImageFileName(QByteArrayView setting);
// The header picture's number as its file is named: at least three digits
// ("001", "100"), a minus sign before them when negative.
QByteArray HeaderImageNumber(qint64 number);
// The file of that picture: "001.jpg".
QByteArray HeaderImageFile(qint64 number);

// Field 14 left-padded with "0" to 13 characters (longer keeps its last 13).
QByteArray PictureIdentifier(QByteArrayView field, TextEncoding encoding);
