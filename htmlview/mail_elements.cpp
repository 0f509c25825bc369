#include "htmlview/mail_elements.h"

#include <litehtml/el_body.h>
#include <litehtml/el_div.h>

#include <cstring>

namespace htmlview {

namespace {

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
class MailBlock : public litehtml::el_div {
public:
    using litehtml::el_div::el_div;

    int render(int x, int y, int max_width, bool second_pass) override
    {
        const int width = litehtml::el_div::render(x, y, max_width, second_pass);
        if (!m_css_max_height.is_predefined() && m_css_max_height.units() != litehtml::css_units_percentage) {
            const int limit = get_document()->cvt_units(m_css_max_height, m_font_size);
            if (limit >= 0 && m_pos.height > limit)
                m_pos.height = limit;
        }
        return width;
    }
};

} // namespace

std::shared_ptr<litehtml::element> createMailElement(const litehtml::tchar_t *tagName,
                                                     const std::shared_ptr<litehtml::document> &document)
{
    if (std::strcmp(tagName, "body") == 0)
        return std::make_shared<MailBody>(document);
    if (std::strcmp(tagName, "div") == 0)
        return std::make_shared<MailBlock>(document);
    return nullptr;
}

} // namespace htmlview
