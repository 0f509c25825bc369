// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// The engine's plain text work. Text is searched character by character
// (never through a legacy 8-bit conversion, which would drop what that code
// page cannot hold), and no match ever splits a surrogate pair.
namespace engine {

// Every occurrence of `before` replaced by `after`, left to right, without
// overlaps; inserted text is never searched again. An empty `before`
// leaves the text unchanged.
QString replaceAll(const QString &text, const QString &before, const QString &after);

// `text` split at every `separator`, ASCII letter case ignored. Empty
// pieces and spaces are kept; the result always holds at least one piece.
// An empty separator gives the whole text as the single piece.
QStringList splitAt(const QString &text, const QString &separator);

// Only A-Z folded to a-z (or the reverse): the length never changes, so
// positions found in a folded copy are valid in the original.
QString asciiLower(QString text);
QString asciiUpper(QString text);

// The first occurrence of `needle` in `haystack` at or after `from` that
// does not start or end inside a surrogate pair; -1 when there is none.
qsizetype findWholeCharacters(const QString &haystack, const QString &needle, qsizetype from);

// The length of `text` in bytes of the GB18030 encoding (a superset of
// GB2312): one byte for ASCII, two for a Chinese character.
qsizetype gbByteLength(const QString &text);

} // namespace engine
