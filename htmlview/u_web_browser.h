// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractScrollArea>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <optional>

class QPainter;
class QPlainTextEdit;
class QPrinter;

namespace htmlview {
class MailPage;
class PageBuild;
struct PageSettings;
struct PreparedPage;
}

// The HTML view: lays a page out as a browser does (litehtml, painted with
// QPainter), runs no scripts and loads nothing from outside the page. A
// mail is untrusted input, so the only pictures shown are data: URLs
// carried inside the page itself; remote and local images stay empty, style
// sheets named by URL are never read, and a link in a mail opens in the
// desktop's browser only after the user has agreed to it.
//
// A page the layout engine cannot lay out in bounded time and memory (very
// long, very deeply nested, huge tables) is shown as its plain text.
//
// The browser verbs keep their familiar names. A verb the view cannot carry
// out (a command it has no equivalent for, a page it may not open, a save
// that fails) is dropped without a message: no function raises a dialog of
// its own or reports failure to its caller.
class u_web_browser : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Execution options of of_execwb.
    static constexpr int olecmdexecopt_dodefault = 0;
    static constexpr int olecmdexecopt_promptuser = 1;
    static constexpr int olecmdexecopt_dontpromptuser = 2;
    static constexpr int olecmdexecopt_showhelp = 3;

    // Command identifiers of of_execwb.
    static constexpr int olecmdid_open = 1;
    static constexpr int olecmdid_new = 2;
    static constexpr int olecmdid_save = 3;
    static constexpr int olecmdid_saveas = 4;
    static constexpr int olecmdid_savecopyas = 5;
    static constexpr int olecmdid_print = 6;
    static constexpr int olecmdid_printpreview = 7;
    static constexpr int olecmdid_pagesetup = 8;
    static constexpr int olecmdid_spell = 9;
    static constexpr int olecmdid_properties = 10;
    static constexpr int olecmdid_cut = 11;
    static constexpr int olecmdid_copy = 12;
    static constexpr int olecmdid_paste = 13;
    static constexpr int olecmdid_pastespecial = 14;
    static constexpr int olecmdid_undo = 15;
    static constexpr int olecmdid_redo = 16;
    static constexpr int olecmdid_selectall = 17;
    static constexpr int olecmdid_clearselection = 18;
    static constexpr int olecmdid_zoom = 19;
    static constexpr int olecmdid_getzoomrange = 20;
    static constexpr int olecmdid_updatecommands = 21;
    static constexpr int olecmdid_refresh = 22;
    static constexpr int olecmdid_stop = 23;
    static constexpr int olecmdid_hidetoolbars = 24;
    static constexpr int olecmdid_setprogressmax = 25;
    static constexpr int olecmdid_setprogresspos = 26;
    static constexpr int olecmdid_setprogresstext = 27;
    static constexpr int olecmdid_settitle = 28;
    static constexpr int olecmdid_setdownloadstate = 29;
    static constexpr int olecmdid_stopdownload = 30;
    static constexpr int olecmdid_ontoolbaractivated = 31;
    static constexpr int olecmdid_find = 32;
    static constexpr int olecmdid_delete = 33;
    static constexpr int olecmdid_httpequiv = 34;
    static constexpr int olecmdid_httpequiv_done = 35;
    static constexpr int olecmdid_enable_interaction = 36;
    static constexpr int olecmdid_onunload = 37;
    static constexpr int olecmdid_propertybag2 = 38;
    static constexpr int olecmdid_prerefresh = 39;

    // Default size in layout units; the window that places the view sets
    // its own.
    static constexpr int kDefaultWidthUnits = 1655;
    static constexpr int kDefaultHeightUnits = 1032;

    // Starts on the empty "about:" page.
    explicit u_web_browser(QWidget *parent = nullptr);
    ~u_web_browser() override;

    void of_goback();
    void of_goforward();
    void of_gohome();
    void of_refresh();
    // No search page and nothing loads in the background: both do nothing.
    void of_gosearch();
    void of_stop();

    // Runs one browser command (olecmdid_*) with an execution option
    // (olecmdexecopt_*). Commands with no equivalent here do nothing.
    void of_execwb(int command_id, int execution_option);

    // Opens a local file or an "about:" page; other addresses are ignored.
    // Returns at once; the wait cursor shows until control returns to the
    // event loop.
    void of_navigate(const QString &as_url);

    void of_execwb_saveas();
    void of_execwb_save();
    // With ab_prompt true the print dialog comes first; false or no value
    // prints straight to the default printer.
    void of_execwb_print(std::optional<bool> ab_prompt = std::nullopt);

    // Resizes the view to the given layout units.
    void of_resize(int ai_newwidth, int ai_newheight);

    // Starts a control-panel applet; only Windows has them.
    void of_control_panel(const QString &as_control_app);

    // The current address; a null string when there is none.
    QString of_get_url() const;
    // The markup of the current page: the inner markup of its root element,
    // that is its head and body.
    QString of_get_source();

    // Adds HTML at the end of the page, so that successive calls show their
    // texts in order. Into an empty page the HTML is set as the page itself,
    // so that its head (styles, the body's colours) takes effect.
    //
    // A long page is laid out on a worker thread: its first screenful is
    // shown at once, and the whole page replaces it as soon as it is ready
    // (pagePending() until then). Every function of the view that reads the
    // page waits for it; emptying the page or opening another drops it.
    void of_pastehtml(const QString &as_html);

    // A long page is still being prepared; pageReady() follows.
    bool pagePending() const { return m_pendingPage != nullptr; }

    // Replaces the page; "" empties it.
    void of_setbodyhtml(const QString &as_html);

    // The text of the page as it is shown (what "copy" puts on the
    // clipboard after "select all"), and the alt texts of its images.
    QString toPlainText();
    QStringList imageTexts();
    // The same for what shows now, without waiting for a page still being
    // prepared (for screen readers, which ask often).
    QString shownText() const;
    QStringList shownImageTexts() const;
    // The page is shown as plain text, not laid out.
    bool showsPlainText() const { return m_showsPlainText; }
    // The laid-out size of the page in pixels (empty for plain text).
    QSize pageSize() const;

    // Where printing without a prompt goes instead of the default printer:
    // a PDF file. Empty (the default) means the default printer.
    void setPrintOutputFile(const QString &path) { m_printOutputFile = path; }

    // The parameters handed to the shell's control-panel runner for an
    // applet: the applet name unchanged, followed by a comma.
    static QString controlPanelParameters(const QString &as_control_app);

signals:
    void pageReady();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QSize layoutViewport() const;
    htmlview::PageSettings pageSettings() const;
    void showMarkup();
    void showPrepared(htmlview::PreparedPage prepared);
    void retire(std::unique_ptr<htmlview::MailPage> page);
    void showPlainText(const QString &text);
    void feedPlainText();
    void startBackgroundBuild();
    void showPendingPage();
    void dropPendingPage();
    void relayOut();
    void updateScrollRange();
    bool load(const QUrl &url);
    void openAt(const QUrl &url);
    void followLink(const QString &href);
    void copyText();
    void savePage(bool prompt);
    void printPage(bool prompt);
    bool mayOpen(const QUrl &url) const;

    QString m_markup;
    QUrl m_source;
    QList<QUrl> m_history;
    int m_historyIndex = -1;
    std::unique_ptr<htmlview::MailPage> m_page;
    // The page shown belongs to a long markup: it is taken apart on a worker.
    bool m_shownPageIsLong = false;
    bool m_showsPlainText = false;
    QString m_plainText;
    qsizetype m_plainTextFed = 0;
    QPlainTextEdit *m_textView;
    QTimer m_textFeed;
    QTimer m_relayOutLater;
    QString m_printOutputFile;
    std::shared_ptr<htmlview::PageBuild> m_pendingPage;
    quint64 m_pageGeneration = 0;
    bool m_allSelected = false;
};
