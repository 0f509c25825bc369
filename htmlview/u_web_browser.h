#pragma once

#include "htmlview/steady_layout.h"

#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QVariant>
#include <memory>
#include <optional>

namespace htmlview {
class PageBuild;
}

// The HTML view: a QTextBrowser that runs no scripts and loads nothing
// from the network. A mail is untrusted input, so the only resources a page
// may pull in are data: URLs carried inside the page itself; remote and
// local images stay empty, and links only lead to local files and "about:".
//
// The browser verbs keep their familiar names. A verb the view cannot carry
// out (a command it has no equivalent for, a page it may not open, a save
// that fails) is dropped without a message: no function raises a dialog of
// its own or reports failure to its caller.
class u_web_browser : public QTextBrowser {
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

    // Inserts HTML at the caret (replacing a selection) and leaves the caret
    // right after it, so that successive calls show their texts in order.
    //
    // A long page pasted into an empty view is imported on a worker thread
    // instead: its first screenful is shown at once, and the whole page
    // replaces it as soon as it is ready (pagePending() until then). Every
    // function of the view that reads the page waits for it; emptying the
    // page or opening another drops it.
    void of_pastehtml(const QString &as_html);

    // A long page is still being prepared; pageReady() follows.
    bool pagePending() const { return m_pendingPage != nullptr; }

    // Replaces the content of the page's body; "" empties the page.
    void of_setbodyhtml(const QString &as_html);

    // Where printing without a prompt goes instead of the default printer:
    // a PDF file. Empty (the default) means the default printer.
    void setPrintOutputFile(const QString &path) { m_printOutputFile = path; }

    // The parameters handed to the shell's control-panel runner for an
    // applet: the applet name unchanged, followed by a comma.
    static QString controlPanelParameters(const QString &as_control_app);

    // Only data: URLs are resolved; everything else loads as nothing.
    QVariant loadResource(int type, const QUrl &name) override;

signals:
    void pageReady();

protected:
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;

private:
    void pasteAtCaret(const QString &html);
    bool buildsInBackground(const QString &html) const;
    void pasteInBackground(const QString &html);
    void showPendingPage();
    void dropPendingPage();
    void installPage(QTextDocument *page);
    void followLink(const QUrl &url);
    void savePage(bool prompt);
    void printPage(bool prompt);
    bool mayOpen(const QUrl &url) const;

    QString m_printOutputFile;
    std::shared_ptr<htmlview::PageBuild> m_pendingPage;
    quint64 m_pageGeneration = 0;
    htmlview::SteadyLayout m_steadyLayout;
    // After a page built in the background the caret belongs after it, but
    // placing it there would lay the whole page out at once: the next paste
    // puts it there instead, unless the user moved it first.
    bool m_caretAfterPage = false;
};
