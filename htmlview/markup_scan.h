// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1String>
#include <QString>

namespace htmlview {

// Small readers of raw markup, for passes over a page that must stay linear
// and never build a tree.

// Whether `text` has `what` at `at`, ignoring case.
bool startsWithAt(const QString &text, qsizetype at, QLatin1String what);

// The name of the tag whose "<" is at `at`, in lower case, without a
// closing tag's "/"; empty when no name follows.
QString tagName(const QString &html, qsizetype at);

} // namespace htmlview
