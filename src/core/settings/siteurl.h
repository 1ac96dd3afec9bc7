#pragma once

#include <QString>

// The shop's public address (公開URL, key "SITEURL" in [OPTION]): where the
// output folder's pages can be reached on the web. Set, a run also writes the
// sitemap and the product list pages; empty, it writes the pages only.
namespace SiteUrl {

inline constexpr char Key[] = "SITEURL";

// Checks a typed or stored address. Empty (or blanks) is accepted as "none"
// and gives the empty text. Otherwise an absolute http or https address
// with a host, without user name, query or fragment, gives it trimmed with a
// final "/" added when missing; anything else gives false and, in `reason`,
// what is wrong, in Japanese.
bool Normalize(const QString& text, QString* normalized, QString* reason = nullptr);

// The stored value, as the settings store reads it (trimmed, quotes
// removed); the empty text when there is none.
QString Read(const QString& iniPath);

// Whether the address is the site's root (its path is "/"), where robots.txt
// is read by search engines.
bool IsSiteRoot(const QString& normalized);

} // namespace SiteUrl
