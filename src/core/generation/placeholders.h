#pragma once

#include <QByteArrayView>

// The placeholder syntax of the page template: "<csvN>" for field N of the
// product line, and nine fixed names for the settings and derived values.
namespace Placeholders {

// The fixed placeholders, in the order they are replaced after the fields.
inline constexpr int FixedCount = 9;
enum Fixed { HeaderImage, SiteName, CatchCopy1, CatchCopy2, CatchCopy3, ShopId, SiteMaster,
             IncludeTaxValue, Picture };
// "headerimage", "sitename", …, "picture".
QByteArrayView FixedName(int fixed);
// The settings slot (key order of the settings file) a fixed placeholder
// shows, -1 for the derived ones.
int SettingOf(int fixed);

// "<csv32767>" and beyond name no field.
inline constexpr int MaxFieldCount = 32767;

struct Token
{
    enum Kind { None, Field, FixedName } kind = None;
    int index = 0;
    qsizetype length = 0;
};

// The placeholder starting at text[p] == '<', if there is one.
Token TokenAt(QByteArrayView text, qsizetype p);

// Whether the text has a '<' followed only by name characters up to its end
// or up to another '<': such a piece could join with what follows it into a
// placeholder once something is put next to it.
bool HasOpenTail(QByteArrayView text);

bool ContainsLessThan(QByteArrayView text);

} // namespace Placeholders
