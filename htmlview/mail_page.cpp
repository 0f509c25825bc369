// SPDX-License-Identifier: MIT
#include "htmlview/mail_page.h"

#include "htmlview/default_style.h"
#include "htmlview/mail_elements.h"

#include <litehtml/el_text.h>

#include <QPainter>

namespace htmlview {

namespace {

// The default style sheet, parsed once and only read after that.
litehtml::context &sharedContext()
{
    static litehtml::context *context = [] {
        auto *c = new litehtml::context;
        c->load_master_stylesheet(kDefaultStyleSheet);
        return c;
    }();
    return *context;
}

bool isBlockLike(litehtml::style_display display)
{
    switch (display) {
    case litehtml::display_block:
    case litehtml::display_list_item:
    case litehtml::display_table:
    case litehtml::display_table_row:
    case litehtml::display_table_caption:
        return true;
    default:
        return false;
    }
}

void endLine(QString &text)
{
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
}

QString tagOf(const litehtml::element &element)
{
    const char *tag = element.get_tagName();
    return tag ? QString::fromUtf8(tag) : QString();
}

// Depth-first over the laid-out elements; the layout limits bound the depth.
void collectText(const litehtml::element::ptr &element, QString &text, QStringList *images)
{
    if (!element || element->get_display() == litehtml::display_none)
        return;
    if (auto *run = dynamic_cast<litehtml::el_text *>(element.get())) {
        litehtml::tstring piece;
        run->get_text(piece);
        const litehtml::white_space mode = run->get_white_space();
        const bool collapses = mode == litehtml::white_space_normal || mode == litehtml::white_space_nowrap;
        if (!run->is_white_space() || !collapses)
            text += QString::fromUtf8(piece.c_str());
        else if (!text.isEmpty() && !text.back().isSpace())
            text += QLatin1Char(' ');
        return;
    }
    const QString tag = tagOf(*element);
    if (tag == QLatin1String("br")) {
        text += QLatin1Char('\n');
        return;
    }
    if (tag == QLatin1String("img")) {
        const QString alt = QString::fromUtf8(element->get_attr("alt", ""));
        text += alt;
        if (images)
            images->append(alt);
        return;
    }
    const bool block = isBlockLike(element->get_display());
    if (block)
        endLine(text);
    if (element->get_display() == litehtml::display_table_cell && !text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\t');
    for (size_t i = 0; i < element->get_children_count(); ++i)
        collectText(element->get_child(int(i)), text, images);
    if (block)
        endLine(text);
}

} // namespace

std::unique_ptr<MailPage> MailPage::layOut(const QString &html, const PageSettings &settings)
{
    std::unique_ptr<MailPage> page(new MailPage);
    page->m_container = std::make_unique<PageContainer>(settings);
    const QByteArray utf8 = html.toUtf8();
    page->m_document = litehtml::document::createFromString(utf8.constData(), page->m_container.get(),
                                                            &sharedContext());
    page->relayOut(settings.viewport);
    return page;
}

MailPage::~MailPage()
{
    // The document calls back into its container while it goes.
    m_document.reset();
}

void MailPage::relayOut(const QSize &viewport)
{
    m_container->setViewport(viewport);
    m_layoutWidth = std::max(1, viewport.width());
    m_document->media_changed();
    m_document->render(m_layoutWidth);
    measureForDrawing(m_document->root());
    // What shows may change with the width (media queries).
    m_text.reset();
    m_imageTexts.clear();
}

QSize MailPage::size() const
{
    return QSize(std::max(m_document->width(), m_layoutWidth), m_document->height());
}

void MailPage::paint(QPainter &painter, const QPoint &scroll, const QRect &visible) const
{
    const litehtml::position clip(visible.x(), visible.y(), visible.width(), visible.height());
    m_document->draw(reinterpret_cast<litehtml::uint_ptr>(&painter), -scroll.x(), -scroll.y(), &clip);
}

QString MailPage::text() const
{
    if (!m_text) {
        QString text;
        collectText(m_document->root(), text, &m_imageTexts);
        m_text = text.trimmed();
    }
    return *m_text;
}

QStringList MailPage::imageTexts() const
{
    text();
    return m_imageTexts;
}

bool MailPage::hover(const QPoint &at, const QPoint &inViewport)
{
    litehtml::position::vector redraw;
    m_document->on_mouse_over(at.x(), at.y(), inViewport.x(), inViewport.y(), redraw);
    return m_container->cursor() == QLatin1String("pointer");
}

QString MailPage::click(const QPoint &at, const QPoint &inViewport)
{
    litehtml::position::vector redraw;
    m_document->on_lbutton_down(at.x(), at.y(), inViewport.x(), inViewport.y(), redraw);
    m_document->on_lbutton_up(at.x(), at.y(), inViewport.x(), inViewport.y(), redraw);
    return m_container->takeClickedLink();
}

} // namespace htmlview
