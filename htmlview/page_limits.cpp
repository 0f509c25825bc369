// SPDX-License-Identifier: MIT
#include "htmlview/page_limits.h"

#include "htmlview/markup_scan.h"

#include <gumbo.h>

#include <QByteArray>
#include <QHash>
#include <vector>

namespace htmlview {

namespace {

struct Counts {
    int depth = 0;
    int elements = 0;
    int tableCells = 0;
};

// Walks the tree without recursing: the point is to survive any depth.
Counts countsOf(const GumboNode *root)
{
    Counts counts;
    std::vector<std::pair<const GumboNode *, int>> pending{{root, 1}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            continue;
        ++counts.elements;
        counts.depth = std::max(counts.depth, depth);
        const GumboTag tag = node->v.element.tag;
        if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH)
            ++counts.tableCells;
        const GumboVector &children = node->v.element.children;
        for (unsigned i = 0; i < children.length; ++i)
            pending.emplace_back(static_cast<const GumboNode *>(children.data[i]), depth + 1);
    }
    return counts;
}

bool endsALine(const QString &tag)
{
    static const QStringList blocks = {
            QStringLiteral("br"),  QStringLiteral("p"),     QStringLiteral("div"), QStringLiteral("tr"),
            QStringLiteral("li"),  QStringLiteral("h1"),    QStringLiteral("h2"),  QStringLiteral("h3"),
            QStringLiteral("h4"),  QStringLiteral("h5"),    QStringLiteral("h6"),  QStringLiteral("table"),
            QStringLiteral("ul"),  QStringLiteral("ol"),    QStringLiteral("pre"), QStringLiteral("blockquote"),
            QStringLiteral("hr"),  QStringLiteral("title"), QStringLiteral("dt"),  QStringLiteral("dd"),
            QStringLiteral("section"), QStringLiteral("article")};
    return blocks.contains(tag);
}

// "&amp;" and its kin, "&#20013;", "&#x4e2d;"; what is no reference stays.
qsizetype appendReference(const QString &html, qsizetype at, QString &out)
{
    static const QHash<QString, QChar> named = {
            {QStringLiteral("amp"), QLatin1Char('&')},  {QStringLiteral("lt"), QLatin1Char('<')},
            {QStringLiteral("gt"), QLatin1Char('>')},   {QStringLiteral("quot"), QLatin1Char('"')},
            {QStringLiteral("apos"), QLatin1Char('\'')}, {QStringLiteral("nbsp"), QChar(0xa0)},
            {QStringLiteral("copy"), QChar(0xa9)},      {QStringLiteral("yen"), QChar(0xa5)}};
    const qsizetype semicolon = html.indexOf(QLatin1Char(';'), at);
    if (semicolon < 0 || semicolon - at > 10) {
        out += QLatin1Char('&');
        return at + 1;
    }
    const QString name = html.mid(at + 1, semicolon - at - 1);
    if (name.startsWith(QLatin1Char('#'))) {
        bool ok = false;
        const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive) ? name.mid(2).toUInt(&ok, 16)
                                                                                     : name.mid(1).toUInt(&ok, 10);
        if (ok && code > 0 && code <= 0x10ffff) {
            const char32_t c = code;
            out += QString::fromUcs4(&c, 1);
            return semicolon + 1;
        }
    } else if (const auto it = named.constFind(name.toLower()); it != named.cend()) {
        out += *it;
        return semicolon + 1;
    }
    out += QLatin1Char('&');
    return at + 1;
}

} // namespace

bool fitsLayout(const QString &html, const PageLimits &limits)
{
    if (html.size() > limits.maxChars)
        return false;
    const QByteArray utf8 = html.toUtf8();
    GumboOutput *output = gumbo_parse_with_options(&kGumboDefaultOptions, utf8.constData(), size_t(utf8.size()));
    const Counts counts = countsOf(output->root);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return counts.depth <= limits.maxDepth && counts.elements <= limits.maxElements
        && counts.tableCells <= limits.maxTableCells;
}

QString plainTextOf(const QString &html)
{
    QString text;
    text.reserve(html.size() / 2);
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html.at(i);
        if (c == QLatin1Char('&')) {
            i = appendReference(html, i, text);
            continue;
        }
        if (c != QLatin1Char('<')) {
            text += c;
            ++i;
            continue;
        }
        if (startsWithAt(html, i, QLatin1String("<!--"))) {
            const qsizetype end = html.indexOf(QLatin1String("-->"), i + 4);
            i = end < 0 ? html.size() : end + 3;
            continue;
        }
        const QString name = tagName(html, i);
        const bool closing = i + 1 < html.size() && html.at(i + 1) == QLatin1Char('/');
        const qsizetype tagEnd = html.indexOf(QLatin1Char('>'), i);
        const bool declaration =
                startsWithAt(html, i, QLatin1String("<!")) || startsWithAt(html, i, QLatin1String("<?"));
        if (name.isEmpty() && !declaration) {
            text += c; // a "<" in the text
            ++i;
            continue;
        }
        i = tagEnd < 0 ? html.size() : tagEnd + 1;
        if (!closing && (name == QLatin1String("script") || name == QLatin1String("style")
                         || name == QLatin1String("title"))) {
            // Their content is no text of the page; an unclosed title is
            // read as text rather than lose the rest.
            const qsizetype end = html.indexOf(QLatin1String("</") + name, i, Qt::CaseInsensitive);
            if (end >= 0 || name != QLatin1String("title"))
                i = end < 0 ? html.size() : end;
            continue;
        }
        if (endsALine(name) && !text.endsWith(QLatin1Char('\n')))
            text += QLatin1Char('\n');
    }
    return text.trimmed();
}

} // namespace htmlview
