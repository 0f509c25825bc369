#include "engine/recipient_list.h"

namespace engine {

bool hasQuotedParts(const QString &text)
{
    return text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('<')) || text.contains(QLatin1Char('>'));
}

QStringList splitOutsideQuotes(const QString &text)
{
    QStringList pieces;
    QString piece;
    bool quoted = false;
    bool escaped = false; // the previous character was a backslash inside quotes
    int angleDepth = 0;
    for (const QChar c : text) {
        const bool separator = c == QLatin1Char(',') || c == QChar(0xFF0C); // "，"
        if (separator && !quoted && angleDepth == 0) {
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

} // namespace engine
