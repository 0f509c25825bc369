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

// The address part of "Name <address>", or the whole text without
// brackets; an empty text when the brackets are not one pair at the end.
QString addressPart(const QString &text)
{
    bool quoted = false;
    qsizetype open = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\\') && quoted) {
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('<')) {
            if (open >= 0)
                return {};
            open = i;
        } else if (!quoted && c == QLatin1Char('>') && (open < 0 || i != text.size() - 1)) {
            return {};
        }
    }
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
    QString piece;
    bool quoted = false;
    bool escaped = false; // the previous character was a backslash inside quotes
    int angleDepth = 0;
    for (const QChar c : text) {
        if (isSeparator(c) && !quoted && angleDepth == 0) {
            pieces << piece;
            piece.clear();
            continue;
        }
        piece += c;
        if (escaped)
            escaped = false;
        else if (quoted && c == QLatin1Char('\\'))
            escaped = true;
        else if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('<'))
            ++angleDepth;
        else if (!quoted && c == QLatin1Char('>') && angleDepth > 0)
            --angleDepth;
    }
    pieces << piece;
    return pieces;
}

bool isSingleAddress(const QString &piece)
{
    const QString address = addressPart(piece.trimmed());
    if (address.isEmpty())
        return false;
    // One "@" outside a quoted local part ("a@b"@x.cn is one address), and
    // no space outside it either.
    bool quoted = false;
    qsizetype at = -1;
    for (qsizetype i = 0; i < address.size(); ++i) {
        const QChar c = address.at(i);
        if (c == QLatin1Char('\\') && quoted) {
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && (c.isSpace() || isSeparator(c))) {
            return false;
        } else if (!quoted && c == QLatin1Char('@')) {
            if (at >= 0)
                return false;
            at = i;
        }
    }
    return at > 0 && at < address.size() - 1 && !quoted;
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
