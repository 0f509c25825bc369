// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace htmlview {

// How much of the start of `html` may be shown on its own while the whole
// page is still being prepared: the length of the longest prefix of at most
// `wanted` characters that ends right before a tag, outside any comment,
// style, script or title, and outside any table (a table cut short would be
// laid out with other column widths). 0 when there is no such prefix.
qsizetype previewLength(const QString &html, qsizetype wanted);

} // namespace htmlview
