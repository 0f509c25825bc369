// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace htmlview {

// How far a page may go before it is shown as plain text instead of being
// laid out: the layout engine's time and memory grow with the length, the
// depth of nesting (it recurses once per level) and the cells of tables.
struct PageLimits {
    qsizetype maxChars = 2 * 1024 * 1024;
    int maxDepth = 256;
    int maxElements = 200000;
    int maxTableCells = 50000;
};

// Whether `html` stays within `limits`. Reads the page once with the HTML
// parser; its time is linear in the length.
bool fitsLayout(const QString &html, const PageLimits &limits = PageLimits());

// The text of a page without its markup, for a page that is not laid out:
// tags dropped, scripts, styles and comments left out, block ends and line
// breaks kept as new lines, character references decoded. One linear pass,
// whatever the input.
QString plainTextOf(const QString &html);

} // namespace htmlview
