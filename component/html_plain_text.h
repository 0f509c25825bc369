// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace component {

// The text of an HTML document as a plain-text reader should see it: block
// elements and <br> become line breaks, runs of white space one space
// (except inside <pre>), a link "text <url>" (only the text when it is the
// address already), a picture its alt text; character references are
// decoded; what is never shown (head, scripts, styles, comments) is left
// out. Lines end in LF; no blank line leads, ends or comes twice in a row.
// The parser (gumbo) takes time by the square of the nesting depth: tens
// of thousands of unclosed elements take seconds.
QString plainTextFromHtml(const QString &html);

} // namespace component
