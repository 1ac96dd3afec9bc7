#pragma once

#include <QString>

namespace basTemplate {

// The whole product page with its placeholders, sized for `count` product
// images (a count of 1 or less gives the single-image page). Every line ends
// with CR LF. The result depends on the count only.
QString BuildPageTemplate(int count);

// Lines of the template before the first repeated image entry and per entry;
// useful for callers that must bound the size before building it.
inline constexpr int BaseLineCount = 582;
inline constexpr int LinesPerExtraImage = 3;

} // namespace basTemplate
