// SPDX-License-Identifier: MIT
#include "engine/recipient_list.h"

namespace engine {

namespace {

bool isSeparator(QChar c)
{
    // ",", "，", ";" and "；": the last two as mail programs on Windows
    // teach to write address lists.
    return c == QLatin1Char(',') || c == QChar(0xFF0C) || c == QLatin1Char(';') || c == QChar(0xFF1B);
}

// Calls `visit(i, c)` for each character of `text` outside double quotes
// (inside them a backslash takes the next character as it is), until it
// returns false. False when it was stopped, or a quote was left open.
template <typename Visit>
bool forEachUnquoted(const QString &text, Visit visit)
{
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == QLatin1Char('\\'))
            ++i;
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && !visit(i, c))
            return false;
    }
    return !quoted;
}

// The address part of "Name <address>", or the whole text without
// brackets; an empty text when the brackets are not one pair at the end.
QString addressPart(const QString &text)
{
    qsizetype open = -1;
    bool misplaced = false;
    forEachUnquoted(text, [&](qsizetype i, QChar c) {
        if (c == QLatin1Char('<')) {
            misplaced = open >= 0;
            open = i;
        } else if (c == QLatin1Char('>') && (open < 0 || i != text.size() - 1)) {
            misplaced = true;
        }
        return !misplaced;
    });
    if (misplaced)
        return {};
    if (open < 0)
        return text;
    if (!text.endsWith(QLatin1Char('>')))
        return {};
    return text.mid(open + 1, text.size() - open - 2).trimmed();
}

} // namespace

QStringList splitOutsideQuotes(const QString &text)
{
    QStringList pieces;
    qsizetype start = 0;
    int angleDepth = 0;
    forEachUnquoted(text, [&](qsizetype i, QChar c) {
        if (c == QLatin1Char('<')) {
            ++angleDepth;
        } else if (c == QLatin1Char('>') && angleDepth > 0) {
            --angleDepth;
        } else if (angleDepth == 0 && isSeparator(c)) {
            pieces << text.mid(start, i - start);
            start = i + 1;
        }
        return true;
    });
    pieces << text.mid(start);
    return pieces;
}

bool isSingleAddress(const QString &piece)
{
    const QString address = addressPart(piece.trimmed());
    if (address.isEmpty())
        return false;
    // One "@" outside a quoted local part ("a@b"@x.cn is one address), and
    // no space outside it either.
    qsizetype at = -1;
    const bool wellFormed = forEachUnquoted(address, [&](qsizetype i, QChar c) {
        if (c.isSpace() || isSeparator(c) || (c == QLatin1Char('@') && at >= 0))
            return false;
        if (c == QLatin1Char('@'))
            at = i;
        return true;
    });
    return wellFormed && at > 0 && at < address.size() - 1;
}

QStringList recipientPieces(const QString &text, QString *malformed)
{
    QStringList pieces;
    for (const QString &piece : splitOutsideQuotes(text)) {
        if (piece.trimmed().isEmpty())
            continue;
        if (!isSingleAddress(piece)) {
            *malformed = piece.trimmed();
            return {};
        }
        pieces << piece;
    }
    return pieces;
}

} // namespace engine
