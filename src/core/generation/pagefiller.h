#pragma once

#include "base/textcodec.h"
#include "generation/placeholders.h"
#include "settings/optionsource.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <memory>

struct FilledPage
{
    QString fileName; // field 0 followed by ".html"
    QByteArray text;  // the filled page, in the encoding of the line
    QString articleId;
    // For the product list pages: the name shown (field 1, or field 0 when
    // it is empty), a view into the line, and the tax-inclusive price as the
    // page shows it, so that the list does not split the line again.
    QByteArrayView listName;
    QByteArray priceWithTax;
};

// Turns product lines into pages. Keeps the templates it has built, since
// equal image counts give equal templates, and the settings converted to the
// lines' encoding until they change.
class PageFiller
{
public:
    static constexpr int MinFieldCount = 16;
    static constexpr int MaxFieldCount = Placeholders::MaxFieldCount;
    // Far above any real product; a larger count would build a template that
    // does not fit in memory.
    static constexpr int MaxImageCount = 1000;
    // A page this large is no product page: fields that multiply each other
    // through placeholders could otherwise exhaust memory.
    static constexpr qsizetype MaxPageSize = qsizetype(256) << 20;

    PageFiller();
    ~PageFiller();

    // Fills the template from one line; false with a description on failure.
    // `options` are the settings as stored (Shift_JIS). Placeholders are
    // replaced in the order fields 0, 1, …, then header image, site name,
    // catch copies, shop ID, site master, tax-inclusive price, picture; each
    // replacement sees what earlier ones inserted.
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
    const OptionValues& settingsIn(const OptionValues& stored, TextEncoding encoding);

    QHash<int, std::shared_ptr<ParsedTemplate>> m_templates[2];
    OptionValues m_storedSettings;
    OptionValues m_utf8Settings;
    bool m_haveUtf8Settings = false;
};

// The template for an image count, as the filling starts from it.
QString GetTemplate(int count);
