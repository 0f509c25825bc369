// SPDX-License-Identifier: MIT
#include "htmlview/mail_elements.h"

#include <litehtml/el_body.h>
#include <litehtml/el_div.h>
#include <litehtml/el_para.h>
#include <litehtml/el_td.h>

#include <cstring>

namespace htmlview {

namespace {

// The vertical extent of an element and everything in it, relative to the
// origin its parent draws it at, as measured after the last layout.
class SubtreeExtent {
public:
    virtual ~SubtreeExtent() = default;
    int top = 0;
    int bottom = 0;
    // False while unmeasured, and for a subtree holding a positioned
    // element: those are drawn where their positions say, not in the tree.
    bool known = false;
};

// A container that skips drawing its content when none of it reaches into
// the part of the page being painted. The layout engine otherwise visits
// every element of the page on every paint, which for a long page takes
// far longer than drawing what shows.
template <typename Base>
class Culled : public Base, public SubtreeExtent {
public:
    using Base::Base;

    void draw_children(litehtml::uint_ptr hdc, int x, int y, const litehtml::position *clip,
                       litehtml::draw_flag flag, int zindex) override
    {
        if (known && clip && (y + top > clip->bottom() || y + bottom < clip->top()))
            return;
        Base::draw_children(hdc, x, y, clip, flag, zindex);
    }
};

struct Extent {
    int top;
    int bottom;
    bool positioned;
};

// Follows the tree as drawing does: a child is drawn at its parent's origin
// plus its own position.
Extent measure(litehtml::element &element)
{
    const litehtml::position &pos = element.get_position();
    const litehtml::margins margins = element.get_margins();
    const litehtml::margins padding = element.get_paddings();
    const litehtml::margins borders = element.get_borders();
    Extent extent{pos.top() - margins.top - padding.top - borders.top,
                  pos.bottom() + margins.bottom + padding.bottom + borders.bottom, element.is_positioned()};
    if (element.get_display() == litehtml::display_inline) {
        litehtml::position::vector boxes;
        element.get_inline_boxes(boxes);
        for (const litehtml::position &box : boxes) {
            extent.top = std::min(extent.top, box.top());
            extent.bottom = std::max(extent.bottom, box.bottom());
        }
    }
    for (size_t i = 0; i < element.get_children_count(); ++i) {
        const litehtml::element::ptr child = element.get_child(int(i));
        if (!child || !child->is_visible())
            continue;
        const Extent inner = measure(*child);
        extent.top = std::min(extent.top, pos.y + inner.top);
        extent.bottom = std::max(extent.bottom, pos.y + inner.bottom);
        extent.positioned = extent.positioned || inner.positioned;
    }
    if (auto *subtree = dynamic_cast<SubtreeExtent *>(&element)) {
        subtree->top = extent.top;
        subtree->bottom = extent.bottom;
        subtree->known = !extent.positioned;
    }
    return extent;
}

// <body bgcolor="..." text="...">: the colours of older mail templates.
class MailBody : public litehtml::el_body {
public:
    using litehtml::el_body::el_body;

    void parse_attributes() override
    {
        if (const litehtml::tchar_t *colour = get_attr("bgcolor"))
            m_style.add_property("background-color", colour, nullptr, false, this);
        if (const litehtml::tchar_t *colour = get_attr("text"))
            m_style.add_property("color", colour, nullptr, false, this);
        litehtml::el_body::parse_attributes();
    }
};

// A block that is never taller than its max-height; with overflow hidden
// its content is cut there, so "max-height:0; overflow:hidden" hides it.
class ClampedBlock : public litehtml::el_div {
public:
    using litehtml::el_div::el_div;

    int render(int x, int y, int max_width, bool second_pass) override
    {
        const int width = litehtml::el_div::render(x, y, max_width, second_pass);
        // The engine reads max-height but leaves the height as it is.
        if (!m_css_max_height.is_predefined() && m_css_max_height.units() != litehtml::css_units_percentage) {
            const int limit = get_document()->cvt_units(m_css_max_height, m_font_size);
            if (limit >= 0 && m_pos.height > limit)
                m_pos.height = limit;
        }
        return width;
    }
};

using MailBlock = Culled<ClampedBlock>;

} // namespace

void measureForDrawing(const litehtml::element::ptr &root)
{
    if (root)
        measure(*root);
}

std::shared_ptr<litehtml::element> createMailElement(const litehtml::tchar_t *tagName,
                                                     const std::shared_ptr<litehtml::document> &document)
{
    if (std::strcmp(tagName, "body") == 0)
        return std::make_shared<MailBody>(document);
    if (std::strcmp(tagName, "div") == 0)
        return std::make_shared<MailBlock>(document);
    if (std::strcmp(tagName, "p") == 0)
        return std::make_shared<Culled<litehtml::el_para>>(document);
    if (std::strcmp(tagName, "td") == 0 || std::strcmp(tagName, "th") == 0)
        return std::make_shared<Culled<litehtml::el_td>>(document);

    return nullptr;
}

} // namespace htmlview
