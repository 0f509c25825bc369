// SPDX-License-Identifier: MIT
#include "component/html_plain_text.h"

#include <QRegularExpression>

#include <gumbo.h>

#include <vector>

namespace component {

namespace {

bool isBlock(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_ADDRESS: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_ASIDE: case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_BODY: case GUMBO_TAG_CAPTION: case GUMBO_TAG_CENTER: case GUMBO_TAG_DD: case GUMBO_TAG_DIV:
    case GUMBO_TAG_DL: case GUMBO_TAG_DT: case GUMBO_TAG_FIELDSET: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FOOTER: case GUMBO_TAG_FORM: case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3:
    case GUMBO_TAG_H4: case GUMBO_TAG_H5: case GUMBO_TAG_H6: case GUMBO_TAG_HEADER: case GUMBO_TAG_HR:
    case GUMBO_TAG_LI: case GUMBO_TAG_MAIN: case GUMBO_TAG_NAV: case GUMBO_TAG_OL: case GUMBO_TAG_P:
    case GUMBO_TAG_PRE: case GUMBO_TAG_SECTION: case GUMBO_TAG_TABLE: case GUMBO_TAG_TR: case GUMBO_TAG_UL:
        return true;
    default:
        return false;
    }
}

bool isNeverShown(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD: case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE: case GUMBO_TAG_TITLE:
    case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_NOSCRIPT:
        return true;
    default:
        return false;
    }
}

QString attribute(const GumboNode *element, const char *name)
{
    const GumboAttribute *found = gumbo_get_attribute(&element->v.element.attributes, name);
    return found ? QString::fromUtf8(found->value).trimmed() : QString();
}

// Collects the text, keeping white space and line breaks as a browser
// would lay them out in one column.
class TextCollector {
public:
    void text(const QString &text, bool preformatted)
    {
        if (preformatted) {
            flushSpace();
            m_out += QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
            return;
        }
        for (const QChar c : text) {
            if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
                m_space = true;
                continue;
            }
            flushSpace();
            m_out += c == QChar(0xA0) ? QChar(u' ') : c;
        }
    }
    void lineBreak()
    {
        m_space = false;
        m_out += u'\n';
    }
    // A block starts or ends: what follows goes on a line of its own.
    void blockEdge()
    {
        m_space = false;
        if (!m_out.isEmpty() && !m_out.endsWith(u'\n'))
            m_out += u'\n';
    }
    void space() { m_space = true; }
    qsizetype size() const { return m_out.size(); }
    QString textSince(qsizetype start) const { return m_out.mid(start).trimmed(); }
    void append(const QString &text)
    {
        flushSpace();
        m_out += text;
    }

    QString finished() const
    {
        static const QRegularExpression spaceBeforeBreak(QStringLiteral("[ \\t]+\\n"));
        static const QRegularExpression blankLines(QStringLiteral("\\n{3,}"));
        QString text = m_out;
        text.replace(spaceBeforeBreak, QStringLiteral("\n"));
        text.replace(blankLines, QStringLiteral("\n\n"));
        while (text.startsWith(u'\n'))
            text.remove(0, 1);
        while (text.endsWith(u'\n') || text.endsWith(u' '))
            text.chop(1);
        return text;
    }

private:
    void flushSpace()
    {
        if (m_space && !m_out.isEmpty() && !m_out.endsWith(u'\n') && !m_out.endsWith(u' '))
            m_out += u' ';
        m_space = false;
    }

    QString m_out;
    bool m_space = false;
};

// What a link adds after its text: its address, unless the text already
// says it or the address leads nowhere outside the message.
QString linkSuffix(const QString &href, const QString &text)
{
    if (href.isEmpty() || href.startsWith(u'#') || href.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive))
        return {};
    const QString mailto = QStringLiteral("mailto:");
    if (text == href || (href.startsWith(mailto, Qt::CaseInsensitive) && text == href.mid(mailto.size())))
        return {};
    return text.isEmpty() ? QStringLiteral("<%1>").arg(href) : QStringLiteral(" <%1>").arg(href);
}

class Converter {
public:
    QString convert(const GumboNode *root)
    {
        // A stack of its own rather than recursion: no depth of nesting
        // exhausts the call stack.
        struct Open {
            const GumboNode *node;
            unsigned next;
            qsizetype textStart;
        };
        std::vector<Open> open;
        enter(root, open);
        while (!open.empty()) {
            Open &top = open.back();
            const GumboVector &children = top.node->v.element.children;
            if (top.next < children.length) {
                const auto *child = static_cast<const GumboNode *>(children.data[top.next++]);
                enter(child, open);
                continue;
            }
            leave(top.node, top.textStart);
            open.pop_back();
        }
        return m_text.finished();
    }

private:
    template <typename Stack>
    void enter(const GumboNode *node, Stack &open)
    {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            m_text.text(QString::fromUtf8(node->v.text.text), m_preformatted > 0);
            return;
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE:
            break;
        default: // comments, and the document node, which is not walked
            return;
        }
        const GumboTag tag = node->v.element.tag;
        if (isNeverShown(tag))
            return;
        if (tag == GUMBO_TAG_BR) {
            m_text.lineBreak();
            return;
        }
        if (tag == GUMBO_TAG_IMG) {
            m_text.append(attribute(node, "alt"));
            return;
        }
        if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH)
            m_text.space();
        if (isBlock(tag))
            m_text.blockEdge();
        if (tag == GUMBO_TAG_PRE)
            ++m_preformatted;
        open.push_back({node, 0, m_text.size()});
    }

    void leave(const GumboNode *node, qsizetype textStart)
    {
        const GumboTag tag = node->v.element.tag;
        if (tag == GUMBO_TAG_A)
            m_text.append(linkSuffix(attribute(node, "href"), m_text.textSince(textStart)));
        if (tag == GUMBO_TAG_PRE)
            --m_preformatted;
        if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH)
            m_text.space();
        if (isBlock(tag))
            m_text.blockEdge();
    }

    TextCollector m_text;
    int m_preformatted = 0;
};

} // namespace

QString plainTextFromHtml(const QString &html)
{
    const QByteArray utf8 = html.toUtf8();
    // Parse errors are of no use here, and each one keeps a copy of the
    // elements open at that point: deep tag soup would need memory by the
    // square of its depth.
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    GumboOutput *output = gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
    if (!output)
        return {};
    const QString text = output->root ? Converter().convert(output->root) : QString();
    gumbo_destroy_output(&options, output);
    return text;
}

} // namespace component
