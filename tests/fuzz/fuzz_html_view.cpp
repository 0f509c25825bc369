// SPDX-License-Identifier: MIT
// libFuzzer target: bytes in as a mail's HTML body, prepared as the HTML
// view prepares it (laid out within the layout limits, else reduced to its
// text), then painted at two scroll positions, read as text and laid out
// again narrower. The sanitizers catch memory faults; a page laid out past
// the limits, or a picture drawn from anything but a data: URL, aborts.
#include "htmlview/mail_page.h"
#include "htmlview/page_build.h"
#include "htmlview/page_limits.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>

namespace {

QGuiApplication &application()
{
    static int argc = 1;
    static char name[] = "fuzz_html_view";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

void fail(const char *problem)
{
    std::fprintf(stderr, "FINDING: %s\n", problem);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    application();
    const QString html = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const htmlview::PageSettings settings{QGuiApplication::font(), QSize(600, 400), QSize(1366, 768)};
    htmlview::PreparedPage prepared = htmlview::PreparedPage::of(html, settings);
    if (!prepared.page) {
        if (htmlview::fitsLayout(html))
            fail("a page within the limits was not laid out");
        return 0;
    }
    QImage canvas(settings.viewport, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        const QRect visible(QPoint(0, 0), settings.viewport);
        prepared.page->paint(painter, QPoint(0, 0), visible);
        prepared.page->paint(painter, QPoint(0, prepared.page->size().height() / 2), visible);
    }
    (void)prepared.page->text();
    (void)prepared.page->imageTexts();
    prepared.page->relayOut(QSize(200, 400));
    return 0;
}
