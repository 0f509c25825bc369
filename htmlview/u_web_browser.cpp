#include "htmlview/u_web_browser.h"

#include "htmlview/mail_page_document.h"
#include "htmlview/page_build.h"
#include "htmlview/page_preview.h"
#include "platform/dialog_service.h"
#include "platform/layout_units.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPrinter>
#include <QSaveFile>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

const QString kBlankAddress = QStringLiteral("about:");
const QString kBlankPage = QStringLiteral("<html><body></body></html>");

bool isAboutPage(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("about"), Qt::CaseInsensitive) == 0;
}

// A page this long takes Qt tens of milliseconds or more to import; below
// it, pasting in place is faster than any hand-over between threads.
constexpr qsizetype kBackgroundPageChars = 64 * 1024;
// More than a screenful of any ordinary page, and quick to import.
constexpr qsizetype kPreviewChars = 16 * 1024;

// The inner markup of the root element of a page as Qt writes it: without
// the document type, the html element and the meta elements Qt adds.
QString innerMarkupOfRoot(QString page)
{
    const qsizetype rootStart = page.indexOf(QLatin1String("<html"), 0, Qt::CaseInsensitive);
    const qsizetype innerStart = rootStart < 0 ? -1 : page.indexOf(QLatin1Char('>'), rootStart);
    const qsizetype innerEnd = page.lastIndexOf(QLatin1String("</html>"), -1, Qt::CaseInsensitive);
    if (innerStart >= 0 && innerEnd > innerStart)
        page = page.mid(innerStart + 1, innerEnd - innerStart - 1);
    for (const QLatin1String qtMeta :
         {QLatin1String("<meta name=\"qrichtext\" content=\"1\" />"), QLatin1String("<meta charset=\"utf-8\" />")})
        page.remove(qtMeta);
    return page;
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

} // namespace

u_web_browser::u_web_browser(QWidget *parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("u_web_browser"));
    setFrameShape(QFrame::NoFrame);
    // A page is read in the desktop's reading font, not in the small face
    // of the form around the view.
    setFont(QApplication::font());
    resize(platform::unitsToPixelsX(kDefaultWidthUnits), platform::unitsToPixelsY(kDefaultHeightUnits));
    // Links are followed here, not by QTextBrowser, so that a mail cannot
    // lead the view to an arbitrary address.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &u_web_browser::followLink);
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] { m_caretAfterPage = false; });
    // Every page, also one imported on a worker thread, loads its
    // resources the same way.
    auto *page = new htmlview::MailPageDocument(this);
    page->setDefaultFont(document()->defaultFont());
    page->setUndoRedoEnabled(document()->isUndoRedoEnabled());
    installPage(page);
    setSource(QUrl(kBlankAddress));
}

u_web_browser::~u_web_browser()
{
    dropPendingPage();
}

void u_web_browser::of_goback()
{
    backward();
}

void u_web_browser::of_goforward()
{
    forward();
}

void u_web_browser::of_gohome()
{
    home();
}

void u_web_browser::of_refresh()
{
    reload();
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
        savePage(prompt || !source().isLocalFile());
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
        showPendingPage();
        copy();
        break;
    case olecmdid_selectall:
        showPendingPage();
        selectAll();
        break;
    case olecmdid_clearselection: {
        QTextCursor cursor = textCursor();
        cursor.clearSelection();
        setTextCursor(cursor);
        break;
    }
    case olecmdid_refresh:
        reload();
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
    if (!mayOpen(url))
        return;
    setSource(url);
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
    const QUrl url = source();
    if (url.isEmpty())
        return QString();
    return url.toString();
}

QString u_web_browser::of_get_source()
{
    showPendingPage();
    return innerMarkupOfRoot(toHtml());
}

void u_web_browser::of_pastehtml(const QString &as_html)
{
    showPendingPage();
    if (buildsInBackground(as_html))
        pasteInBackground(as_html);
    else
        pasteAtCaret(as_html);
}

void u_web_browser::pasteAtCaret(const QString &html)
{
    // Laying out a long message in full before anything is shown would take
    // far longer than reading it in: with the page size unset the layout
    // lets the paste go by, and setting the size again lays the page out
    // from its top, a screenful at once and the rest in the background.
    QTextDocument *page = document();
    const QSizeF pageSize = page->pageSize();
    page->setPageSize(QSizeF(0, 0));
    QTextCursor cursor = textCursor();
    if (m_caretAfterPage)
        cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    cursor.insertHtml(html);
    cursor.endEditBlock();
    page->setPageSize(pageSize);
    // The caret ends after the pasted text. The view's own caret moved
    // along with the paste; placing it again would lay out everything up
    // to it at once.
    if (textCursor().position() != cursor.position() || textCursor().anchor() != cursor.anchor())
        setTextCursor(cursor);
}

bool u_web_browser::buildsInBackground(const QString &html) const
{
    const QTextCursor caret = textCursor();
    return html.size() >= kBackgroundPageChars && document()->isEmpty() && caret.position() == 0
        && !caret.hasSelection();
}

void u_web_browser::pasteInBackground(const QString &html)
{
    const htmlview::PageSettings settings = htmlview::PageSettings::of(*document());
    if (const qsizetype preview = htmlview::previewLength(html, kPreviewChars); preview > 0)
        pasteAtCaret(html.left(preview));
    // A page dropped after its build had finished may still call back.
    const quint64 generation = ++m_pageGeneration;
    m_pendingPage = htmlview::PageBuild::start(settings, html, this, [this, generation] {
        if (generation == m_pageGeneration)
            showPendingPage();
    });
}

void u_web_browser::showPendingPage()
{
    if (!m_pendingPage)
        return;
    QTextDocument *page = std::exchange(m_pendingPage, nullptr)->take();
    // The page replaces its first screenful where the user left it.
    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    installPage(page);
    verticalScrollBar()->setValue(top);
    horizontalScrollBar()->setValue(left);
    m_steadyLayout.start(page);
    m_caretAfterPage = true;
    emit pageReady();
}

void u_web_browser::dropPendingPage()
{
    m_steadyLayout.stop();
    if (m_pendingPage)
        std::exchange(m_pendingPage, nullptr)->abandon();
}

void u_web_browser::installPage(QTextDocument *page)
{
    QTextDocument *previous = document();
    // The view's first document belongs to the text control, which
    // deletes it itself.
    const bool ownsPrevious = previous->parent() == this;
    page->setParent(this);
    // Arrives with its page size unset, so that nothing is laid out until
    // the view sets the size: then the page is laid out from its top, a
    // screenful at once and the rest in the background.
    setDocument(page);
    if (ownsPrevious)
        delete previous;
}

void u_web_browser::doSetSource(const QUrl &name, QTextDocument::ResourceType type)
{
    dropPendingPage();
    m_caretAfterPage = false;
    QTextBrowser::doSetSource(name, type);
}

void u_web_browser::of_setbodyhtml(const QString &as_html)
{
    dropPendingPage();
    m_caretAfterPage = false;
    if (as_html.isEmpty())
        clear();
    else
        setHtml(as_html);
}

QVariant u_web_browser::loadResource(int type, const QUrl &name)
{
    // Pages the view navigates to itself; a mail's own markup never asks
    // for one of these.
    if (type == QTextDocument::HtmlResource || type == QTextDocument::MarkdownResource) {
        if (isAboutPage(name))
            return kBlankPage;
        if (name.isLocalFile() && QFileInfo(name.toLocalFile()).isFile())
            return QTextBrowser::loadResource(type, name);
    }
    return htmlview::mailResource(type, name);
}

void u_web_browser::followLink(const QUrl &url)
{
    if (url.isRelative() && url.path().isEmpty() && url.hasFragment()) {
        scrollToAnchor(url.fragment());
        return;
    }
    // Only a page opened from a local file may lead to another local file;
    // links in a mail lead nowhere.
    if (!source().isLocalFile())
        return;
    const QUrl target = source().resolved(url);
    if (mayOpen(target))
        setSource(target);
}

bool u_web_browser::mayOpen(const QUrl &url) const
{
    if (isAboutPage(url))
        return true;
    return url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile();
}

void u_web_browser::savePage(bool prompt)
{
    showPendingPage();
    QString pathname = source().isLocalFile() ? source().toLocalFile() : QString();
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
    file.write(toHtml().toUtf8());
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
    print(&printer);
}
