// SPDX-License-Identifier: MIT
#pragma once

#include "htmlview/page_container.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QPainter;

namespace htmlview {

// One page of HTML laid out by litehtml and painted with QPainter. Built
// and laid out on any thread, then used by one thread at a time.
class MailPage {
public:
    // Parses `html` and lays it out for the viewport of `settings`. The
    // caller has checked the page against the layout limits (fitsLayout).
    static std::unique_ptr<MailPage> layOut(const QString &html, const PageSettings &settings);
    ~MailPage();

    // Lays the page out again for a viewport of another size.
    void relayOut(const QSize &viewport);
    int layoutWidth() const { return m_layoutWidth; }

    // The size of the laid-out page, at least as wide as it was laid out for.
    QSize size() const;
    // Paints the part `visible` (viewport coordinates) of the page scrolled
    // to `scroll`.
    void paint(QPainter &painter, const QPoint &scroll, const QRect &visible) const;

    // The text the page shows, in reading order: blocks and table rows on
    // lines of their own, an image as its alt text, hidden parts left out.
    // Read from the page once and kept.
    QString text() const;
    // The alt texts of the page's images, in order.
    QStringList imageTexts() const;
    QString title() const { return m_container->title(); }

    // The pointer moved to `at` (page coordinates); true when the pointer
    // is over a link now.
    bool hover(const QPoint &at, const QPoint &inViewport);
    // A click at `at`: the address of the link it hit, else empty.
    QString click(const QPoint &at, const QPoint &inViewport);

private:
    MailPage() = default;

    std::unique_ptr<PageContainer> m_container;
    litehtml::document::ptr m_document;
    int m_layoutWidth = 0;
    mutable std::optional<QString> m_text;
    mutable QStringList m_imageTexts;
};

} // namespace htmlview
