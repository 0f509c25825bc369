// SPDX-License-Identifier: MIT
#include "htmlview/page_container.h"

#include "htmlview/data_url.h"
#include "htmlview/mail_elements.h"

#include <QPainter>
#include <QPainterPath>

namespace htmlview {

namespace {

QPainter &painterOf(litehtml::uint_ptr hdc)
{
    return *reinterpret_cast<QPainter *>(hdc);
}

QColor colourOf(const litehtml::web_color &c)
{
    return QColor(c.red, c.green, c.blue, c.alpha);
}

QRect rectOf(const litehtml::position &pos)
{
    return QRect(pos.x, pos.y, pos.width, pos.height);
}

// A CSS font-family list as Qt families; the generic names become the
// desktop's faces for them.
QStringList familiesOf(const QString &list, const QString &fallback)
{
    QStringList families;
    for (QString family : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        family = family.trimmed();
        if (family.size() >= 2 && (family.startsWith(QLatin1Char('"')) || family.startsWith(QLatin1Char('\''))))
            family = family.mid(1, family.size() - 2);
        const QString generic = family.toLower();
        if (generic == QLatin1String("sans-serif") || generic == QLatin1String("system-ui"))
            family = QStringLiteral("Sans Serif");
        else if (generic == QLatin1String("serif"))
            family = QStringLiteral("Serif");
        else if (generic == QLatin1String("monospace"))
            family = QStringLiteral("Monospace");
        if (!family.isEmpty())
            families << family;
    }
    families << fallback;
    return families;
}

QPainterPath roundedPath(const QRect &box, const litehtml::border_radiuses &r)
{
    QPainterPath path;
    if (!r.top_left_x && !r.top_right_x && !r.bottom_left_x && !r.bottom_right_x) {
        path.addRect(box);
        return path;
    }
    // One radius for all corners is what mail templates use.
    const int radius = std::max({r.top_left_x, r.top_right_x, r.bottom_left_x, r.bottom_right_x});
    path.addRoundedRect(box, radius, radius);
    return path;
}

} // namespace

PageContainer::PageContainer(const PageSettings &settings)
    : m_settings(settings), m_defaultFamily(settings.defaultFont.family().toUtf8())
{
}

PageContainer::~PageContainer() = default;

PageContainer::Font *PageContainer::fontOf(litehtml::uint_ptr handle) const
{
    if (handle == 0 || handle > m_fonts.size())
        return nullptr;
    return m_fonts[handle - 1].get();
}

litehtml::uint_ptr PageContainer::create_font(const litehtml::tchar_t *faceName, int size, int weight,
                                              litehtml::font_style italic, unsigned int decoration,
                                              litehtml::font_metrics *fm)
{
    QFont font(m_settings.defaultFont);
    font.setFamilies(familiesOf(QString::fromUtf8(faceName), m_settings.defaultFont.family()));
    font.setPixelSize(std::max(1, size));
    font.setWeight(QFont::Weight(std::clamp(weight, 100, 900)));
    font.setItalic(italic == litehtml::fontStyleItalic);
    font.setUnderline(decoration & litehtml::font_decoration_underline);
    font.setStrikeOut(decoration & litehtml::font_decoration_linethrough);
    font.setOverline(decoration & litehtml::font_decoration_overline);
    auto entry = std::make_unique<Font>(Font{font, QFontMetrics(font), {}});
    if (fm) {
        fm->ascent = entry->metrics.ascent();
        fm->descent = entry->metrics.descent();
        fm->height = entry->metrics.height();
        fm->x_height = entry->metrics.xHeight();
        fm->draw_spaces = italic == litehtml::fontStyleItalic || decoration != 0;
    }
    m_fonts.push_back(std::move(entry));
    return m_fonts.size();
}

void PageContainer::delete_font(litehtml::uint_ptr hFont)
{
    if (fontOf(hFont))
        m_fonts[hFont - 1].reset();
}

int PageContainer::text_width(const litehtml::tchar_t *text, litehtml::uint_ptr hFont)
{
    Font *font = fontOf(hFont);
    if (!font)
        return 0;
    // A page measures the same words over and over (every CJK character
    // is a word of its own).
    const QString word = QString::fromUtf8(text);
    auto known = font->widths.constFind(word);
    if (known != font->widths.cend())
        return *known;
    const int width = font->metrics.horizontalAdvance(word);
    font->widths.insert(word, width);
    return width;
}

void PageContainer::applyClip(QPainter &painter) const
{
    for (const QRect &clip : m_clips)
        painter.setClipRect(clip, Qt::IntersectClip);
}

void PageContainer::draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t *text, litehtml::uint_ptr hFont,
                              litehtml::web_color color, const litehtml::position &pos)
{
    Font *font = fontOf(hFont);
    if (!font)
        return;
    QPainter &painter = painterOf(hdc);
    painter.save();
    applyClip(painter);
    painter.setFont(font->font);
    painter.setPen(colourOf(color));
    painter.drawText(QPoint(pos.x, pos.bottom() - font->metrics.descent()), QString::fromUtf8(text));
    painter.restore();
}

int PageContainer::pt_to_px(int pt) const
{
    return pt * 96 / 72;
}

int PageContainer::get_default_font_size() const
{
    const QFont &font = m_settings.defaultFont;
    if (font.pixelSize() > 0)
        return font.pixelSize();
    return std::max(1, qRound(font.pointSizeF() * 96 / 72));
}

const litehtml::tchar_t *PageContainer::get_default_font_name() const
{
    return m_defaultFamily.constData();
}

void PageContainer::draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker &marker)
{
    QPainter &painter = painterOf(hdc);
    painter.save();
    applyClip(painter);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect box = rectOf(marker.pos);
    const QColor colour = colourOf(marker.color);
    switch (marker.marker_type) {
    case litehtml::list_style_type_none:
        break;
    case litehtml::list_style_type_circle:
        painter.setPen(colour);
        painter.drawEllipse(box.adjusted(0, 0, -1, -1));
        break;
    case litehtml::list_style_type_square:
        painter.fillRect(box, colour);
        break;
    case litehtml::list_style_type_disc:
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(box);
        break;
    default: {
        // Numbered and lettered lists are numbered.
        Font *font = fontOf(marker.font);
        if (font && marker.index > 0) {
            const QString number = QString::number(marker.index) + QLatin1Char('.');
            const int width = font->metrics.horizontalAdvance(number);
            painter.setFont(font->font);
            painter.setPen(colour);
            painter.drawText(QPoint(box.right() - width, box.bottom()), number);
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
            painter.drawEllipse(box);
        }
        break;
    }
    }
    painter.restore();
}

void PageContainer::load_image(const litehtml::tchar_t *src, const litehtml::tchar_t *, bool)
{
    const QByteArray key(src);
    if (m_images.contains(key))
        return;
    // Anything but a data: URL stays an empty picture.
    m_images.insert(key, imageFromDataUrl(QString::fromUtf8(src)));
}

void PageContainer::get_image_size(const litehtml::tchar_t *src, const litehtml::tchar_t *, litehtml::size &sz)
{
    const QImage image = m_images.value(QByteArray(src));
    sz.width = image.width();
    sz.height = image.height();
}

void PageContainer::draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint &bg)
{
    QPainter &painter = painterOf(hdc);
    painter.save();
    applyClip(painter);
    const QRect clipBox = rectOf(bg.clip_box);
    if (bg.is_root) {
        // The page's own background fills the whole window, as in a browser.
        painter.fillRect(painter.window(), colourOf(bg.color));
    } else if (bg.color.alpha > 0) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(roundedPath(clipBox, bg.border_radius), colourOf(bg.color));
    }
    const QImage image = bg.image.empty() ? QImage() : m_images.value(QByteArray(bg.image.c_str()));
    if (!image.isNull() && bg.image_size.width > 0 && bg.image_size.height > 0) {
        painter.setClipRect(clipBox, Qt::IntersectClip);
        const QImage scaled = image.size() == QSize(bg.image_size.width, bg.image_size.height)
            ? image
            : image.scaled(bg.image_size.width, bg.image_size.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QPoint origin(bg.position_x, bg.position_y);
        switch (bg.repeat) {
        case litehtml::background_repeat_no_repeat:
            painter.drawImage(origin, scaled);
            break;
        case litehtml::background_repeat_repeat_x:
            painter.drawTiledPixmap(QRect(clipBox.left(), origin.y(), clipBox.width(), scaled.height()),
                                    QPixmap::fromImage(scaled), QPoint(clipBox.left() - origin.x(), 0));
            break;
        case litehtml::background_repeat_repeat_y:
            painter.drawTiledPixmap(QRect(origin.x(), clipBox.top(), scaled.width(), clipBox.height()),
                                    QPixmap::fromImage(scaled), QPoint(0, clipBox.top() - origin.y()));
            break;
        default:
            painter.drawTiledPixmap(clipBox, QPixmap::fromImage(scaled), clipBox.topLeft() - origin);
            break;
        }
    }
    painter.restore();
}

void PageContainer::draw_borders(litehtml::uint_ptr hdc, const litehtml::borders &borders,
                                 const litehtml::position &draw_pos, bool)
{
    QPainter &painter = painterOf(hdc);
    painter.save();
    applyClip(painter);
    const QRect box = rectOf(draw_pos);
    const auto visible = [](const litehtml::border &b) {
        return b.width > 0 && b.style != litehtml::border_style_none && b.style != litehtml::border_style_hidden;
    };
    // Each side is a band along its edge; the styles beyond solid are drawn
    // solid, which keeps every border where the page puts it.
    if (visible(borders.top))
        painter.fillRect(QRect(box.left(), box.top(), box.width(), borders.top.width), colourOf(borders.top.color));
    if (visible(borders.bottom))
        painter.fillRect(QRect(box.left(), box.bottom() + 1 - borders.bottom.width, box.width(), borders.bottom.width),
                         colourOf(borders.bottom.color));
    if (visible(borders.left))
        painter.fillRect(QRect(box.left(), box.top(), borders.left.width, box.height()), colourOf(borders.left.color));
    if (visible(borders.right))
        painter.fillRect(QRect(box.right() + 1 - borders.right.width, box.top(), borders.right.width, box.height()),
                         colourOf(borders.right.color));
    painter.restore();
}

void PageContainer::set_caption(const litehtml::tchar_t *caption)
{
    m_title = QString::fromUtf8(caption);
}

void PageContainer::set_base_url(const litehtml::tchar_t *) {}

void PageContainer::link(const std::shared_ptr<litehtml::document> &, const litehtml::element::ptr &) {}

void PageContainer::on_anchor_click(const litehtml::tchar_t *url, const litehtml::element::ptr &)
{
    m_clickedLink = QString::fromUtf8(url);
}

void PageContainer::set_cursor(const litehtml::tchar_t *cursor)
{
    m_cursor = QString::fromUtf8(cursor);
}

void PageContainer::transform_text(litehtml::tstring &text, litehtml::text_transform tt)
{
    QString s = QString::fromUtf8(text.c_str());
    if (tt == litehtml::text_transform_uppercase)
        s = s.toUpper();
    else if (tt == litehtml::text_transform_lowercase)
        s = s.toLower();
    else if (tt == litehtml::text_transform_capitalize && !s.isEmpty())
        s[0] = s.at(0).toUpper();
    text = s.toStdString();
}

void PageContainer::import_css(litehtml::tstring &text, const litehtml::tstring &, litehtml::tstring &)
{
    // A style sheet named by URL is never read.
    text.clear();
}

void PageContainer::set_clip(const litehtml::position &pos, const litehtml::border_radiuses &, bool, bool)
{
    m_clips.push_back(rectOf(pos));
}

void PageContainer::del_clip()
{
    if (!m_clips.empty())
        m_clips.pop_back();
}

void PageContainer::get_client_rect(litehtml::position &client) const
{
    client = litehtml::position(0, 0, m_settings.viewport.width(), m_settings.viewport.height());
}

std::shared_ptr<litehtml::element> PageContainer::create_element(const litehtml::tchar_t *tag_name,
                                                                 const litehtml::string_map &,
                                                                 const std::shared_ptr<litehtml::document> &doc)
{
    return createMailElement(tag_name, doc);
}

void PageContainer::get_media_features(litehtml::media_features &media) const
{
    media.type = litehtml::media_type_screen;
    media.width = m_settings.viewport.width();
    media.height = m_settings.viewport.height();
    media.device_width = m_settings.screen.width();
    media.device_height = m_settings.screen.height();
    media.color = 8;
    media.monochrome = 0;
    media.color_index = 256;
    media.resolution = 96;
}

void PageContainer::get_language(litehtml::tstring &language, litehtml::tstring &culture) const
{
    language = "zh";
    culture = "zh-CN";
}

} // namespace htmlview
