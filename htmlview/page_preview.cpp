// SPDX-License-Identifier: MIT
#include "htmlview/page_preview.h"

#include "htmlview/markup_scan.h"


namespace htmlview {

namespace {

// Where the tag that starts at `at` (its "<") ends: one past its ">",
// or -1 when it does not end before `limit`.
qsizetype tagEnd(const QString &html, qsizetype at, qsizetype limit)
{
    QChar quote;
    for (qsizetype i = at + 1; i < limit; ++i) {
        const QChar c = html.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
        } else if (c == QLatin1Char('>')) {
            return i + 1;
        }
    }
    return -1;
}

bool isRawTextElement(const QString &name)
{
    return name == QLatin1String("style") || name == QLatin1String("script") || name == QLatin1String("title")
        || name == QLatin1String("textarea");
}

} // namespace

qsizetype previewLength(const QString &html, qsizetype wanted)
{
    const qsizetype limit = qMin(wanted, html.size());
    qsizetype cut = 0;
    int tableDepth = 0;
    QString rawTextElement;
    qsizetype i = 0;
    while (i < limit) {
        const qsizetype open = html.indexOf(QLatin1Char('<'), i);
        if (open < 0 || open >= limit)
            break;
        if (rawTextElement.isEmpty() && startsWithAt(html, open, QLatin1String("<!--"))) {
            if (tableDepth == 0)
                cut = open;
            const qsizetype close = html.indexOf(QLatin1String("-->"), open + 4);
            if (close < 0 || close + 3 > limit)
                break;
            i = close + 3;
            continue;
        }
        const bool closing = open + 1 < html.size() && html.at(open + 1) == QLatin1Char('/');
        const QString name = tagName(html, open);
        if (!rawTextElement.isEmpty() && !(closing && name == rawTextElement)) {
            i = open + 1; // a "<" inside a style or script is text
            continue;
        }
        if (name.isEmpty() && !closing) {
            i = open + 1; // not a tag: "<" in text, "<!DOCTYPE", "<?xml"
            continue;
        }
        if (tableDepth == 0 && rawTextElement.isEmpty())
            cut = open;
        const qsizetype end = tagEnd(html, open, limit);
        if (end < 0)
            break;
        if (name == QLatin1String("table"))
            tableDepth = qMax(0, tableDepth + (closing ? -1 : 1));
        else if (isRawTextElement(name))
            rawTextElement = closing ? QString() : name;
        i = end;
    }
    return cut;
}

} // namespace htmlview
