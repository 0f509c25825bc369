// SPDX-License-Identifier: MIT
#include "htmlview/u_web_browser.h"

#include "htmlview/mail_page.h"
#include "htmlview/page_build.h"
#include "htmlview/page_limits.h"
#include "htmlview/page_preview.h"
#include "htmlview/web_browser_accessible.h"
#include "platform/dialog_service.h"
#include "platform/layout_units.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QtMath>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QStringDecoder>
#include <QStyle>
#include <QTextCursor>
#include <QThreadPool>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

const QString kBlankAddress = QStringLiteral("about:");

bool isAboutPage(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("about"), Qt::CaseInsensitive) == 0;
}

// A page this long takes the layout engine tens of milliseconds or more:
// it is laid out on a worker thread, its first screenful at once.
constexpr qsizetype kBackgroundPageChars = 24 * 1024;
// More than a screenful of any ordinary page, and quick to lay out.
constexpr qsizetype kPreviewChars = 8 * 1024;
// Plain text goes into its view this much at a time, so that a very long
// text never holds the window for long.
constexpr qsizetype kPlainTextStepChars = 128 * 1024;
// A long page is laid out again for a new width once the resizing pauses.
constexpr int kRelayOutDelayMs = 150;

// The inner markup of the root element of a page: its head and body, the
// html element's own tag and anything outside it left out.
QString innerMarkupOfRoot(const QString &page)
{
    const qsizetype rootStart = page.indexOf(QLatin1String("<html"), 0, Qt::CaseInsensitive);
    const qsizetype innerStart = rootStart < 0 ? -1 : page.indexOf(QLatin1Char('>'), rootStart);
    const qsizetype innerEnd = page.lastIndexOf(QLatin1String("</html>"), -1, Qt::CaseInsensitive);
    if (innerStart >= 0)
        return page.mid(innerStart + 1, (innerEnd > innerStart ? innerEnd : page.size()) - innerStart - 1);
    if (page.contains(QLatin1String("<head"), Qt::CaseInsensitive))
        return page;
    if (page.contains(QLatin1String("<body"), Qt::CaseInsensitive))
        return QStringLiteral("<head></head>") + page;
    return QStringLiteral("<head></head><body>") + page + QStringLiteral("</body>");
}

// Holds the wait cursor until control is back in the event loop, that is
// until the handler that started a navigation has ended.
void showWaitCursorUntilIdle()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, [] { QGuiApplication::restoreOverrideCursor(); });
}

QString decodedPage(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::encodingForHtml(bytes).value_or(QStringConverter::Utf8));
    return decoder.decode(bytes);
}

// Addresses a link in a mail may open in the desktop's browser or mail
// program; anything else (files, programs' own schemes) leads nowhere.
bool opensOutside(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto");
}

} // namespace

u_web_browser::u_web_browser(QWidget *parent) : QAbstractScrollArea(parent), m_textView(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("u_web_browser"));
    setFrameShape(QFrame::NoFrame);
    // A page is read in the desktop's reading font, not in the small face
    // of the form around the view.
    setFont(QApplication::font());
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    resize(platform::unitsToPixelsX(kDefaultWidthUnits), platform::unitsToPixelsY(kDefaultHeightUnits));

    // A page too big to lay out is shown as plain text in here.
    m_textView->setReadOnly(true);
    m_textView->setAccessibleName(QStringLiteral("邮件正文"));
    m_textView->setFrameShape(QFrame::NoFrame);
    m_textView->setFocusProxy(nullptr);
    m_textView->hide();
    m_textFeed.setInterval(0);
    connect(&m_textFeed, &QTimer::timeout, this, &u_web_browser::feedPlainText);

    m_relayOutLater.setSingleShot(true);
    m_relayOutLater.setInterval(kRelayOutDelayMs);
    connect(&m_relayOutLater, &QTimer::timeout, this, &u_web_browser::startBackgroundBuild);

    htmlview::installWebBrowserAccessibility();
    openAt(QUrl(kBlankAddress));
}

u_web_browser::~u_web_browser()
{
    dropPendingPage();
}

QSize u_web_browser::layoutViewport() const
{
    // The page is laid out beside the vertical scroll bar whether that shows
    // or not: a bar that comes and goes with the page's length would lay
    // the page out again, at another length.
    QSize size = viewport()->size();
    if (!verticalScrollBar()->isVisibleTo(this))
        size.rwidth() -= style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar());
    return size.expandedTo(QSize(1, 1));
}

htmlview::PageSettings u_web_browser::pageSettings() const
{
    const QScreen *shownOn = screen() ? screen() : QGuiApplication::primaryScreen();
    return htmlview::PageSettings{font(), layoutViewport(), shownOn ? shownOn->size() : QSize(1366, 768)};
}

void u_web_browser::of_goback()
{
    if (m_historyIndex > 0 && load(m_history.at(m_historyIndex - 1)))
        --m_historyIndex;
}

void u_web_browser::of_goforward()
{
    if (m_historyIndex + 1 < m_history.size() && load(m_history.at(m_historyIndex + 1)))
        ++m_historyIndex;
}

void u_web_browser::of_gohome()
{
    openAt(m_history.isEmpty() ? QUrl(kBlankAddress) : m_history.first());
}

void u_web_browser::of_refresh()
{
    load(m_source);
}

void u_web_browser::of_gosearch() {}

void u_web_browser::of_stop() {}

void u_web_browser::of_execwb(int command_id, int execution_option)
{
    const bool prompt = execution_option != olecmdexecopt_dontpromptuser;
    switch (command_id) {
    case olecmdid_save:
        // Saving a page normally asks where; only "don't prompt" writes
        // straight back to the local file the page came from.
        savePage(prompt || !m_source.isLocalFile());
        break;
    case olecmdid_saveas:
    case olecmdid_savecopyas:
        if (prompt)
            savePage(true);
        break;
    case olecmdid_print:
        printPage(execution_option == olecmdexecopt_promptuser);
        break;
    case olecmdid_copy:
        copyText();
        break;
    case olecmdid_selectall:
        m_allSelected = true;
        if (m_showsPlainText)
            m_textView->selectAll();
        viewport()->update();
        break;
    case olecmdid_clearselection:
        m_allSelected = false;
        m_textView->moveCursor(QTextCursor::Start);
        viewport()->update();
        break;
    case olecmdid_refresh:
        of_refresh();
        break;
    default:
        // The view is read-only and has no dialogs of its own: editing,
        // zoom, find, page setup, preview and the progress notifications
        // have nothing to act on.
        break;
    }
}

void u_web_browser::of_navigate(const QString &as_url)
{
    showWaitCursorUntilIdle();
    const QUrl url = QUrl::fromUserInput(as_url, QString(), QUrl::AssumeLocalFile);
    if (mayOpen(url))
        openAt(url);
}

void u_web_browser::openAt(const QUrl &url)
{
    if (!load(url))
        return;
    m_history = m_history.mid(0, m_historyIndex + 1);
    m_history.append(url);
    m_historyIndex = int(m_history.size()) - 1;
}

bool u_web_browser::load(const QUrl &url)
{
    if (isAboutPage(url)) {
        m_source = url;
        of_setbodyhtml(QString());
        return true;
    }
    if (!mayOpen(url))
        return false;
    QFile file(url.toLocalFile());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_source = url;
    of_setbodyhtml(decodedPage(file.readAll()));
    return true;
}

void u_web_browser::of_execwb_saveas()
{
    of_execwb(olecmdid_saveas, olecmdexecopt_promptuser);
}

void u_web_browser::of_execwb_save()
{
    of_execwb(olecmdid_save, olecmdexecopt_dodefault);
}

void u_web_browser::of_execwb_print(std::optional<bool> ab_prompt)
{
    if (ab_prompt.value_or(false))
        of_execwb(olecmdid_print, olecmdexecopt_promptuser);
    else
        of_execwb(olecmdid_print, olecmdexecopt_dodefault);
}

void u_web_browser::of_resize(int ai_newwidth, int ai_newheight)
{
    setUpdatesEnabled(false);
    resize(platform::unitsToPixelsX(ai_newwidth), platform::unitsToPixelsY(ai_newheight));
    setUpdatesEnabled(true);
}

QString u_web_browser::controlPanelParameters(const QString &as_control_app)
{
    return QStringLiteral("shell32.dll,Control_RunDLL ") + as_control_app + QLatin1Char(',');
}

void u_web_browser::of_control_panel(const QString &as_control_app)
{
#ifdef Q_OS_WIN
    const std::wstring parameters = controlPanelParameters(as_control_app).toStdWString();
    ShellExecuteW(GetDesktopWindow(), nullptr, L"rundll32.exe", parameters.c_str(), nullptr, SW_HIDE);
#else
    Q_UNUSED(as_control_app);
#endif
}

QString u_web_browser::of_get_url() const
{
    if (m_source.isEmpty())
        return QString();
    return m_source.toString();
}

QString u_web_browser::of_get_source()
{
    return innerMarkupOfRoot(m_markup);
}

void u_web_browser::of_pastehtml(const QString &as_html)
{
    if (as_html.isEmpty())
        return;
    m_markup += as_html;
    showMarkup();
}

void u_web_browser::of_setbodyhtml(const QString &as_html)
{
    m_markup = as_html;
    showMarkup();
}

QString u_web_browser::toPlainText()
{
    showPendingPage();
    return shownText();
}

QStringList u_web_browser::imageTexts()
{
    showPendingPage();
    return shownImageTexts();
}

QString u_web_browser::shownText() const
{
    if (m_showsPlainText)
        return m_plainText;
    return m_page ? m_page->text() : QString();
}

QStringList u_web_browser::shownImageTexts() const
{
    return m_page && !m_showsPlainText ? m_page->imageTexts() : QStringList();
}

QSize u_web_browser::pageSize() const
{
    return m_page && !m_showsPlainText ? m_page->size() : QSize();
}

void u_web_browser::showMarkup()
{
    dropPendingPage();
    m_allSelected = false;
    if (m_markup.size() < kBackgroundPageChars) {
        showPrepared(htmlview::PreparedPage::of(m_markup, pageSettings()));
        return;
    }
    // The first screenful now, the whole page when it is ready.
    const qsizetype preview = htmlview::previewLength(m_markup, kPreviewChars);
    showPrepared(htmlview::PreparedPage::of(m_markup.left(preview), pageSettings()));
    startBackgroundBuild();
}

void u_web_browser::startBackgroundBuild()
{
    dropPendingPage();
    // A page dropped after its build had finished may still call back.
    const quint64 generation = ++m_pageGeneration;
    m_pendingPage = htmlview::PageBuild::start(pageSettings(), m_markup, this, [this, generation] {
        if (generation == m_pageGeneration)
            showPendingPage();
    });
}

void u_web_browser::showPendingPage()
{
    if (!m_pendingPage)
        return;
    htmlview::PreparedPage prepared = std::exchange(m_pendingPage, nullptr)->take();
    // The page replaces its first screenful where the user left it.
    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    showPrepared(std::move(prepared));
    verticalScrollBar()->setValue(top);
    horizontalScrollBar()->setValue(left);
    emit pageReady();
}

void u_web_browser::dropPendingPage()
{
    m_relayOutLater.stop();
    if (m_pendingPage)
        std::exchange(m_pendingPage, nullptr)->abandon();
}

void u_web_browser::showPrepared(htmlview::PreparedPage prepared)
{
    // A screen reader hears the page's text replaced whole. The texts are
    // only worked out when one is listening: a long page's takes a while.
    const bool heard = QAccessible::isActive();
    const QString before = heard ? shownText() : QString();
    retire(std::exchange(m_page, std::move(prepared.page)));
    if (m_page) {
        m_showsPlainText = false;
        m_plainText.clear();
        m_textFeed.stop();
        m_textView->clear();
        m_textView->hide();
    } else {
        showPlainText(prepared.plainText);
    }
    updateScrollRange();
    viewport()->update();
    if (heard) {
        // The bridge to the screen reader reads the texts of every
        // TextUpdated event: it must be this kind, which carries them.
        QAccessibleTextUpdateEvent changed(this, 0, before, shownText());
        QAccessible::updateAccessibility(&changed);
    }
}

void u_web_browser::retire(std::unique_ptr<htmlview::MailPage> page)
{
    // Taking a long page apart takes as long as building it did: that
    // happens on a worker thread, where the page was built.
    if (page && m_shownPageIsLong)
        QThreadPool::globalInstance()->start([retired = std::shared_ptr<htmlview::MailPage>(std::move(page))] {});
    m_shownPageIsLong = m_markup.size() >= kBackgroundPageChars;
}

void u_web_browser::showPlainText(const QString &text)
{
    m_showsPlainText = true;
    m_plainText = text;
    m_plainTextFed = 0;
    m_textView->clear();
    m_textView->setGeometry(viewport()->geometry());
    m_textView->show();
    feedPlainText();
    if (m_plainTextFed < m_plainText.size())
        m_textFeed.start();
}

void u_web_browser::feedPlainText()
{
    const qsizetype step = qMin(kPlainTextStepChars, m_plainText.size() - m_plainTextFed);
    QTextCursor end(m_textView->document());
    end.movePosition(QTextCursor::End);
    end.insertText(m_plainText.mid(m_plainTextFed, step));
    m_plainTextFed += step;
    if (m_plainTextFed >= m_plainText.size())
        m_textFeed.stop();
}

void u_web_browser::updateScrollRange()
{
    const QSize page = pageSize();
    const QSize shown = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, page.width() - shown.width()));
    horizontalScrollBar()->setPageStep(shown.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, page.height() - shown.height()));
    verticalScrollBar()->setPageStep(shown.height());
    verticalScrollBar()->setSingleStep(20);
}

void u_web_browser::relayOut()
{
    if (!m_page || m_showsPlainText || m_page->layoutWidth() == layoutViewport().width())
        return;
    if (m_markup.size() < kBackgroundPageChars) {
        m_page->relayOut(layoutViewport());
        updateScrollRange();
        return;
    }
    // A long page keeps its layout until the new one is ready.
    m_relayOutLater.start();
}

void u_web_browser::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect visible = event->rect();
    painter.fillRect(visible, palette().color(QPalette::Base));
    if (!m_page || m_showsPlainText)
        return;
    painter.setClipRect(visible);
    m_page->paint(painter, QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()), visible);
    if (m_allSelected) {
        // Everything is selected: the page under a veil of the highlight.
        QColor veil = palette().color(QPalette::Highlight);
        veil.setAlpha(64);
        painter.fillRect(visible, veil);
    }
}

void u_web_browser::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_textView->setGeometry(viewport()->geometry());
    relayOut();
    updateScrollRange();
}

void u_web_browser::scrollContentsBy(int, int)
{
    viewport()->update();
}

void u_web_browser::mousePressEvent(QMouseEvent *event)
{
    // A click is handled when the button comes up.
    event->accept();
}

void u_web_browser::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_page || m_showsPlainText)
        return;
    const QPoint inViewport = event->position().toPoint();
    const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->setCursor(m_page->hover(inViewport + scroll, inViewport) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void u_web_browser::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_page || m_showsPlainText || event->button() != Qt::LeftButton)
        return;
    const QPoint inViewport = event->position().toPoint();
    const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QString href = m_page->click(inViewport + scroll, inViewport);
    if (!href.isEmpty())
        followLink(href);
}

void u_web_browser::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::SelectAll) {
        of_execwb(olecmdid_selectall, olecmdexecopt_dodefault);
        return;
    }
    if (event == QKeySequence::Copy) {
        copyText();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void u_web_browser::copyText()
{
    // The layout engine selects nothing: copying takes the page's text.
    if (QGuiApplication *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()); app && app->clipboard())
        QGuiApplication::clipboard()->setText(toPlainText());
}

void u_web_browser::followLink(const QString &href)
{
    const QUrl url(href);
    // A page opened from a local file may lead to another local file.
    if (m_source.isLocalFile() && (url.isRelative() || url.isLocalFile())) {
        const QUrl target = m_source.resolved(url);
        if (mayOpen(target))
            openAt(target);
        return;
    }
    if (!opensOutside(url))
        return;
    const QString question = QStringLiteral("是否在浏览器中打开这个链接？\n%1").arg(url.toDisplayString());
    if (platform::dialogs().question(QString(), question))
        QDesktopServices::openUrl(url);
}

bool u_web_browser::mayOpen(const QUrl &url) const
{
    if (isAboutPage(url))
        return true;
    return url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile();
}

void u_web_browser::savePage(bool prompt)
{
    QString pathname = m_source.isLocalFile() ? m_source.toLocalFile() : QString();
    if (prompt) {
        QString filename;
        if (pathname.isEmpty())
            pathname = QStringLiteral("page.html");
        const int rc = platform::dialogs().getFileSaveName(QStringLiteral("另存为"), pathname, filename,
                                                           QStringLiteral("html"),
                                                           QStringLiteral("网页,*.htm;*.html,All files,*.*"));
        if (rc != 1)
            return;
    }
    if (pathname.isEmpty())
        return;
    QSaveFile file(pathname);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QString page = of_get_source();
    page.replace(QRegularExpression(QStringLiteral("<head[^>]*>"), QRegularExpression::CaseInsensitiveOption),
                 QStringLiteral("\\0<meta charset=\"utf-8\">"));
    file.write((QStringLiteral("<!DOCTYPE html>\n<html>") + page + QStringLiteral("</html>\n")).toUtf8());
    file.commit();
}

void u_web_browser::printPage(bool prompt)
{
    showPendingPage();
    QPrinter printer;
    if (!m_printOutputFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_printOutputFile);
    }
    if (prompt && !platform::dialogs().printDialog(printer))
        return;
    if (m_showsPlainText) {
        m_textView->print(&printer);
        return;
    }
    // The page is laid out again for the paper, in the pixels of the
    // screen, and scaled to the printer's resolution.
    const QRect paper = printer.pageLayout().paintRectPixels(printer.resolution());
    const qreal scale = printer.resolution() / 96.0;
    const QSize pageInPixels(qFloor(paper.width() / scale), qFloor(paper.height() / scale));
    htmlview::PageSettings settings = pageSettings();
    settings.viewport = pageInPixels;
    const htmlview::PreparedPage printed = htmlview::PreparedPage::of(m_markup, settings);
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    painter.scale(scale, scale);
    if (!printed.page) {
        painter.drawText(QRect(QPoint(0, 0), pageInPixels), Qt::TextWordWrap, printed.plainText);
        return;
    }
    const int height = printed.page->size().height();
    for (int top = 0; top < height || top == 0; top += pageInPixels.height()) {
        if (top > 0)
            printer.newPage();
        const QRect sheet(QPoint(0, 0), pageInPixels);
        painter.save();
        painter.setClipRect(sheet);
        printed.page->paint(painter, QPoint(0, top), sheet);
        painter.restore();
    }
}
