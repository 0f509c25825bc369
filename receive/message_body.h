// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// A message body as the HTML view shows it: an HTML body as it is; a plain
// one as text, not markup, with its line breaks and runs of spaces kept.
QString bodyAsHtml(const QString &body, bool html);
