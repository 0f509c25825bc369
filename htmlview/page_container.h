// SPDX-License-Identifier: MIT
#pragma once

#include <litehtml/litehtml.h>

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

class QPainter;

namespace htmlview {

// What a page is laid out for: the reading font and the size of the window
// it is shown in (media queries and percentages of the viewport).
struct PageSettings {
    QFont defaultFont;
    QSize viewport;
    QSize screen;
};

// Paints a litehtml document with QPainter. The drawing context litehtml
// hands back is the QPainter* to paint with.
//
// A mail is untrusted input: the only images drawn are data: URLs carried
// in the page itself, style sheets named by URL are never read, and nothing
// is fetched from a file or the network. A click on a link is only noted
// (clickedLink), for the view to ask the user.
//
// Used by one thread at a time: laid out on a worker, then drawn on the GUI
// thread.
class PageContainer : public litehtml::document_container {
public:
    explicit PageContainer(const PageSettings &settings);
    virtual ~PageContainer();

    void setViewport(const QSize &viewport) { m_settings.viewport = viewport; }
    QString title() const { return m_title; }
    // The link the last click released on, empty when none.
    QString takeClickedLink() { return std::exchange(m_clickedLink, QString()); }
    QString cursor() const { return m_cursor; }

    litehtml::uint_ptr create_font(const litehtml::tchar_t *faceName, int size, int weight,
                                   litehtml::font_style italic, unsigned int decoration,
                                   litehtml::font_metrics *fm) override;
    void delete_font(litehtml::uint_ptr hFont) override;
    int text_width(const litehtml::tchar_t *text, litehtml::uint_ptr hFont) override;
    void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t *text, litehtml::uint_ptr hFont,
                   litehtml::web_color color, const litehtml::position &pos) override;
    int pt_to_px(int pt) const override;
    int get_default_font_size() const override;
    const litehtml::tchar_t *get_default_font_name() const override;
    void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker &marker) override;
    void load_image(const litehtml::tchar_t *src, const litehtml::tchar_t *baseurl, bool redraw_on_ready) override;
    void get_image_size(const litehtml::tchar_t *src, const litehtml::tchar_t *baseurl,
                        litehtml::size &sz) override;
    void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint &bg) override;
    void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders &borders, const litehtml::position &draw_pos,
                      bool root) override;
    void set_caption(const litehtml::tchar_t *caption) override;
    void set_base_url(const litehtml::tchar_t *base_url) override;
    void link(const std::shared_ptr<litehtml::document> &doc, const litehtml::element::ptr &el) override;
    void on_anchor_click(const litehtml::tchar_t *url, const litehtml::element::ptr &el) override;
    void set_cursor(const litehtml::tchar_t *cursor) override;
    void transform_text(litehtml::tstring &text, litehtml::text_transform tt) override;
    void import_css(litehtml::tstring &text, const litehtml::tstring &url, litehtml::tstring &baseurl) override;
    void set_clip(const litehtml::position &pos, const litehtml::border_radiuses &bdr_radius, bool valid_x,
                  bool valid_y) override;
    void del_clip() override;
    void get_client_rect(litehtml::position &client) const override;
    std::shared_ptr<litehtml::element> create_element(const litehtml::tchar_t *tag_name,
                                                      const litehtml::string_map &attributes,
                                                      const std::shared_ptr<litehtml::document> &doc) override;
    void get_media_features(litehtml::media_features &media) const override;
    void get_language(litehtml::tstring &language, litehtml::tstring &culture) const override;

private:
    struct Font {
        QFont font;
        QFontMetrics metrics;
        QHash<QString, int> widths;
    };

    Font *fontOf(litehtml::uint_ptr handle) const;
    // Limits painting to the clip boxes litehtml has set.
    void applyClip(QPainter &painter) const;

    PageSettings m_settings;
    QByteArray m_defaultFamily;
    std::vector<std::unique_ptr<Font>> m_fonts;
    QHash<QByteArray, QImage> m_images;
    std::vector<QRect> m_clips;
    QString m_title;
    QString m_clickedLink;
    QString m_cursor;
};

} // namespace htmlview
