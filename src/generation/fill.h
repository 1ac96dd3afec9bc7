#pragma once

#include "csvlines.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class RunUi;

// The eight site settings as the settings file holds them (Shift_JIS bytes),
// in key order: header image, site name, catch copy 1–3, shop ID, site
// master, tax.
using OptionValues = std::array<QByteArray, 8>;

// Reads the settings for each line, as a save in the settings window during a
// run must take effect from the next line on. The file is read again only
// when it may have changed: its size or time stamp differ, or this process
// has replaced a settings file since.
class OptionSource
{
public:
    explicit OptionSource(const QString& iniPath);
    ~OptionSource();
    const OptionValues& Read();

private:
    struct Stamp;
    QString m_path;
    OptionValues m_values;
    std::unique_ptr<Stamp> m_stamp;
};

struct FilledPage
{
    QString fileName; // field 0 followed by ".html"
    QByteArray text;  // the filled page, in the encoding of the line
    QString articleId;
};

// Turns product lines into pages. Keeps the templates it has built, since
// equal image counts give equal templates.
class PageFiller
{
public:
    static constexpr int MinFieldCount = 16;
    static constexpr int MaxFieldCount = 32767;
    // Far above any real product; a larger count would build a template that
    // does not fit in memory.
    static constexpr int MaxImageCount = 1000;
    // A page this large is no product page: fields that multiply each other
    // through placeholders could otherwise exhaust memory.
    static constexpr qsizetype MaxPageSize = qsizetype(256) << 20;

    PageFiller();
    ~PageFiller();

    // Fills the template from one line; false with a description on failure.
    // Placeholders are replaced in the order fields 0, 1, …, then header
    // image, site name, catch copies, shop ID, site master, tax-inclusive
    // price, picture; each replacement sees what earlier ones inserted.
    bool Fill(QByteArrayView line, TextEncoding encoding, const OptionValues& options,
              FilledPage& page, QString& failure);

    // The same result by the plain method: one pass over the whole page per
    // placeholder. Fill uses it when a value could form placeholders across
    // its edges; tests compare the two.
    bool FillByPasses(QByteArrayView line, TextEncoding encoding, const OptionValues& options,
                      FilledPage& page, QString& failure);

private:
    struct Prepared;
    struct ParsedTemplate;
    bool prepare(QByteArrayView line, TextEncoding encoding, const OptionValues& options,
                 Prepared& prepared, FilledPage& page, QString& failure);
    const ParsedTemplate& templateFor(int count, TextEncoding encoding);

    QHash<int, std::shared_ptr<ParsedTemplate>> m_templates[2];
};

// The template for an image count, as the filling starts from it.
QString GetTemplate(int count);

// The tax-inclusive price: price plus price × tax ÷ 100, rounded down. The
// empty text when price or tax is not a number; nothing when the arithmetic
// leaves 32 bits (the line then fails).
std::optional<QByteArray> IncludeTax(QByteArrayView price, QByteArrayView tax);
std::optional<QString> IncludeTax(const QString& price, const QString& tax);

// "001.jpg" for position 0 … "100.jpg" for 99; nothing when out of range.
std::optional<QByteArray> HeaderImageFileName(QByteArrayView setting);

// Field 14 left-padded with "0" to 13 characters (longer keeps its last 13).
QByteArray PictureIdentifier(QByteArrayView field, TextEncoding encoding);

// Whether text is safe to use as a page's file name in any file system the
// pages may be uploaded to; the reason in Japanese when not.
bool IsSafePageFileName(const QString& fileName, QString* reason = nullptr);

// "3 行目（商品ID「1001」）": how messages name a line of the CSV file.
QString LineLabel(qsizetype lineNumber, const QString& articleId);

// Fills one line of a run; on failure shows the description (stop icon),
// naming the line (its number in the file, from 1 for the header; 0 names
// none), and returns false.
bool FillTemplate(RunUi& ui, PageFiller& filler, QByteArrayView line, TextEncoding encoding,
                  const OptionValues& options, qsizetype lineNumber, FilledPage& page);

// One line as text with the settings of the given file, for callers outside a run.
bool FillTemplate(RunUi& ui, const QString& line, const QString& iniPath, QString& rstrFileName,
                  QString& rstrPage);
