// SPDX-License-Identifier: MIT
#include "htmlview/u_web_browser.h"
#include "htmlview/page_preview.h"
#include "support/scripted_dialogs.h"

#include <QAccessible>
#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QScrollBar>

namespace {

QByteArray redPng()
{
    QImage image(24, 24, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

bool showsRed(QWidget &view)
{
    const QImage shot = view.grab().toImage();
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixelColor(x, y) == QColor(Qt::red))
                return true;
    return false;
}

// Shows `view` at 400 x 300, the size the page checks are written for.
bool shown(u_web_browser &view)
{
    view.resize(400, 300);
    view.show();
    return QTest::qWaitForWindowExposed(&view);
}

// A page long enough to be laid out on a worker thread, starting with `top`.
QString longPage(const QString &top)
{
    QString html = top;
    for (int i = 1; html.size() < 40 * 1024; ++i)
        html += QStringLiteral("<p>第 %1 段 <b>粗体</b> and some words to wrap around the narrow view.</p>").arg(i);
    return html;
}

// Stands in for the desktop's browser: notes every address handed to it.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls()
    {
        for (const char *scheme : {"http", "https", "file", "mailto"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~OpenedUrls() override
    {
        for (const char *scheme : {"http", "https", "file", "mailto"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

} // namespace

class TestUWebBrowser : public QObject {
    Q_OBJECT
private slots:
    void init() { m_dialogs.reset(); }

    void startsOnTheBlankPage()
    {
        u_web_browser view;
        QCOMPARE(view.of_get_url(), QStringLiteral("about:"));
        QVERIFY(view.toPlainText().isEmpty());
        QVERIFY(m_dialogs.messageBoxes.isEmpty());
    }

    void pastesFollowOneAnother()
    {
        u_web_browser view;
        view.of_pastehtml(QStringLiteral("<b>第一段</b>"));
        view.of_pastehtml(QStringLiteral("<i>second</i>"));
        QCOMPARE(view.toPlainText(), QStringLiteral("第一段second"));
        view.of_pastehtml(QStringLiteral("<p>third</p>"));
        QCOMPARE(view.toPlainText(), QStringLiteral("第一段second\nthird"));
    }

    void longPasteShowsItsStartAtOnceAndEndsAsThePastedPage()
    {
        const QString html = longPage(QString());
        u_web_browser view;
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.of_pastehtml(html);
        QVERIFY(view.pagePending());
        const QSize preview = view.pageSize();
        QVERIFY(preview.height() > view.viewport()->height());
        QTRY_VERIFY(!view.pagePending());
        // The whole page: as long and with the same text as a page laid out
        // at once.
        u_web_browser reference;
        reference.resize(view.size());
        reference.show();
        QVERIFY(QTest::qWaitForWindowExposed(&reference));
        reference.of_pastehtml(html);
        const QString whole = reference.toPlainText();
        QVERIFY(whole.endsWith(QStringLiteral("to wrap around the narrow view.")));
        QCOMPARE(view.toPlainText(), whole);
        QCOMPARE(view.pageSize(), reference.pageSize());
        QVERIFY(view.pageSize().height() > preview.height());
        QCOMPARE(view.verticalScrollBar()->maximum(), view.pageSize().height() - view.viewport()->height());

        // The next paste follows the page; emptying drops a page still
        // being prepared.
        view.of_pastehtml(QStringLiteral("<p>end</p>"));
        QVERIFY(view.toPlainText().endsWith(QStringLiteral("\nend")));
        view.of_setbodyhtml(QString());
        view.of_pastehtml(html);
        view.of_setbodyhtml(QString());
        QVERIFY(!view.pagePending());
        QTest::qWait(50);
        QVERIFY(view.toPlainText().isEmpty());
    }

    // The first screenful of a long page is cut right before a tag, never
    // inside a table, a comment, a style or a script.
    void previewOfALongPageEndsBeforeASafeTag_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("preview");
        QTest::newRow("paragraphs") << "<p>one</p><p>two</p><p>three</p>" << "<p>one</p><p>two</p><p>three";
        QTest::newRow("inside a table") << "<p>a</p><table><tr><td>b</td></tr><tr><td>c</td></tr></table>"
                                        << "<p>a</p>";
        QTest::newRow("after a table") << "<table><tr><td>b</td></tr></table><p>c</p><p>d</p>"
                                       << "<table><tr><td>b</td></tr></table><p>c</p><p>d";
        QTest::newRow("inside a style") << "<style>p{}</style><p>a</p><style>b<i>c</i>" << "<style>p{}</style><p>a</p>";
        QTest::newRow("inside a comment") << "<p>a</p><!-- <p>b</p> <p>c</p> <p>d</p> -->" << "<p>a</p>";
        QTest::newRow("no tag at all") << "plain text with a < sign and more text" << "";
    }
    void previewOfALongPageEndsBeforeASafeTag()
    {
        QFETCH(QString, html);
        QFETCH(QString, preview);
        QCOMPARE(html.left(htmlview::previewLength(html, html.size() - 3)), preview);
    }

    void emptyingThePageLeavesNothingOfThePreviousText()
    {
        u_web_browser view;
        view.of_pastehtml(QStringLiteral("<p>old message</p><table><tr><td>cell</td></tr></table>"));
        view.of_setbodyhtml(QString());
        view.of_pastehtml(QStringLiteral("<p>新邮件</p>"));
        QCOMPARE(view.toPlainText().trimmed(), QStringLiteral("新邮件"));
        // The source is the inner markup of the page's root element.
        const QString source = view.of_get_source();
        QVERIFY(source.contains(QStringLiteral("新邮件")));
        QVERIFY(!source.contains(QStringLiteral("old message")));
        QVERIFY2(source.startsWith(QStringLiteral("<head>")) && source.endsWith(QStringLiteral("</body>")),
                 qPrintable(source));
        QVERIFY(!source.contains(QStringLiteral("<meta")));
    }

    // Nothing a mail names outside itself is loaded: no address on the
    // network is contacted and no local file shows, on a short page laid
    // out at once as on a long one laid out on a worker thread. %R stands
    // for a listening server's address, %F for a folder's file: URL and %P
    // for its path; the folder holds red.png, red.css and red.html.
    void remoteAndLocalContentIsNotLoaded_data()
    {
        QTest::addColumn<QString>("vector");
        const QList<QPair<const char *, const char *>> vectors = {
                {"remote image", "<img src=\"%R/red.png\" width=40 height=40>"},
                {"protocol-relative image", "<img src=\"//%H/red.png\" width=40 height=40>"},
                {"file: image", "<img src=\"%F/red.png\">"},
                {"FILE: in capitals", "<img src=\"FILE://%P/red.png\">"},
                {"absolute path", "<img src=\"%P/red.png\">"},
                {"relative path", "<img src=\"red.png\">"},
                {"spaces around", "<img src=\"  %F/red.png  \">"},
                {"data: URL naming a file", "<img src=\"data:,red\">"},
                {"cid: with no part", "<img src=\"cid:red.png\">"},
                {"srcset", "<img srcset=\"%F/red.png 1x\" src=\"\">"},
                {"base href", "<base href=\"%F/\"><img src=\"red.png\">"},
                {"body background", "<body background=\"%F/red.png\"><p>x</p></body>"},
                {"remote body background", "<body background=\"%R/red.png\"><p>x</p></body>"},
                {"table background", "<table background=\"%F/red.png\" width=100 height=40><tr><td>x</td></tr></table>"},
                {"cell background", "<table><tr><td background=\"%F/red.png\" width=100 height=40>x</td></tr></table>"},
                {"style background-image", "<style>div{background-image:url(%F/red.png);height:40px}</style><div></div>"},
                {"remote style background", "<style>div{background:url(%R/red.png);height:40px}</style><div></div>"},
                {"inline style background", "<div style=\"background:url('red.png');height:40px\"></div>"},
                {"list-style-image", "<ul style=\"list-style-image:url(%F/red.png)\"><li>x</li></ul>"},
                {"linked style sheet", "<link rel=\"stylesheet\" href=\"%F/red.css\"><p>x</p>"},
                {"remote style sheet", "<link rel=\"stylesheet\" href=\"%R/red.css\"><p>x</p>"},
                {"@import", "<style>@import url(\"%F/red.css\");</style><p>x</p>"},
                {"remote @import", "<style>@import \"%R/red.css\";</style><p>x</p>"},
                {"input image", "<input type=\"image\" src=\"%F/red.png\">"},
                {"iframe", "<iframe src=\"%F/red.html\" width=100 height=40></iframe>"},
                {"object", "<object data=\"%F/red.png\" width=100 height=40></object>"},
                {"embed", "<embed src=\"%F/red.png\" width=100 height=40>"},
                {"video poster", "<video poster=\"%F/red.png\" width=100 height=40></video>"},
                {"svg image", "<svg width=100 height=40><image href=\"%F/red.png\" width=100 height=40/></svg>"},
                {"meta refresh", "<meta http-equiv=\"refresh\" content=\"0; url=%F/red.html\"><p>x</p>"},
        };
        for (const auto &[name, vector] : vectors) {
            QTest::addRow("%s, short page", name) << QString::fromUtf8(vector);
            QTest::addRow("%s, long page", name) << longPage(QString::fromUtf8(vector));
        }
    }
    void remoteAndLocalContentIsNotLoaded()
    {
        QFETCH(QString, vector);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray png = redPng();
        const auto write = [&dir](const QString &name, const QByteArray &bytes) {
            QFile file(dir.filePath(name));
            return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        };
        QVERIFY(write(QStringLiteral("red.png"), png));
        QVERIFY(write(QStringLiteral("data:,red"), png));
        QVERIFY(write(QStringLiteral("red.css"), "body, div, p { background: #ff0000; }"));
        QVERIFY(write(QStringLiteral("red.html"), "<body style=\"background:#ff0000\">red</body>"));
        const QString oldDir = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString host = QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
        vector.replace(QLatin1String("%R"), QStringLiteral("http://") + host)
                .replace(QLatin1String("%H"), host)
                .replace(QLatin1String("%F"), QUrl::fromLocalFile(dir.path()).toString())
                .replace(QLatin1String("%P"), dir.path());

        u_web_browser view;
        QVERIFY(shown(view));
        view.of_setbodyhtml(QString());
        view.of_pastehtml(vector);
        QTRY_VERIFY(!view.pagePending());
        QTest::qWait(50);
        QDir::setCurrent(oldDir);
        QVERIFY(!showsRed(view));
        QVERIFY(!server.hasPendingConnections());
        QCOMPARE(view.of_get_url(), QStringLiteral("about:"));

        // The same picture carried in the mail itself is shown, so the
        // check above can see a picture when there is one.
        view.of_setbodyhtml(QString());
        view.of_pastehtml(longPage(QStringLiteral("<img src=\"data:image/png;base64,%1\">")
                                           .arg(QString::fromLatin1(png.toBase64()))));
        QTRY_VERIFY(!view.pagePending());
        QVERIFY(showsRed(view));
    }

    // A link in a mail opens in the desktop's browser only when the user
    // agrees; a link to a file or a program's own scheme never opens.
    void linksOpenOnlyAfterTheUserAgrees_data()
    {
        QTest::addColumn<QString>("href");
        QTest::addColumn<bool>("agree");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("opened");
        QTest::newRow("web link, agreed") << "https://example.invalid/offer" << true << true << true;
        QTest::newRow("web link, declined") << "http://example.invalid/offer" << false << true << false;
        QTest::newRow("mail address, agreed") << "mailto:someone@example.invalid" << true << true << true;
        QTest::newRow("local file") << "file:///etc/hostname" << true << false << false;
        QTest::newRow("relative path") << "hostname" << true << false << false;
        QTest::newRow("script") << "javascript:alert(1)" << true << false << false;
    }
    void linksOpenOnlyAfterTheUserAgrees()
    {
        QFETCH(QString, href);
        QFETCH(bool, agree);
        QFETCH(bool, asked);
        QFETCH(bool, opened);
        OpenedUrls desktop;
        m_dialogs.questionAnswer = agree;
        u_web_browser view;
        QVERIFY(shown(view));
        view.of_pastehtml(QStringLiteral("<body style=\"margin:0\"><a href=\"%1\" style=\"display:block;height:50px\">"
                                         "link</a></body>").arg(href));
        QTest::mouseMove(view.viewport(), QPoint(300, 200));
        QCOMPARE(view.viewport()->cursor().shape(), Qt::ArrowCursor);
        QTest::mouseMove(view.viewport(), QPoint(20, 20));
        QCOMPARE(view.viewport()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(m_dialogs.questions.size(), asked ? 1 : 0);
        QCOMPARE(desktop.opened, opened ? QList<QUrl>{QUrl(href)} : QList<QUrl>());
        QCOMPARE(view.of_get_url(), QStringLiteral("about:"));
        QCOMPARE(view.toPlainText(), QStringLiteral("link"));
    }

    // Mail is laid out with the CSS a browser understands. Each row is a
    // small page shown in a 400 x 300 view as the receive sheet shows a
    // mail (the page emptied, the body pasted), and pixels that must, or
    // must not, have a colour: "x,y=#rrggbb" or "x,y!=#rrggbb".
    void cssIsLaidOutAsInABrowser_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("samples");
        QTest::addColumn<QString>("hiddenText");
        const QString red = QStringLiteral("data:image/png;base64,") + QString::fromLatin1(redPng().toBase64());
        QTest::newRow("max-width")
                << "<body style=\"margin:0\"><div style=\"max-width:200px;height:20px;background:#0000ff\"></div>"
                << "100,10=#0000ff 300,10!=#0000ff 210,10!=#0000ff" << "";
        QTest::newRow("body background")
                << "<html><head><style>body{background-color:#00ff00}</style></head><body><p>x</p></body></html>"
                << "395,295=#00ff00 2,2=#00ff00" << "";
        QTest::newRow("body bgcolor") << "<html><body bgcolor=\"#00ff00\"><p>x</p></body></html>"
                                      << "395,295=#00ff00" << "";
        QTest::newRow("borders")
                << "<body style=\"margin:0\"><div style=\"border:4px solid #ff0000;width:100px;height:50px\"></div>"
                << "1,20=#ff0000 106,20=#ff0000 50,1=#ff0000 50,20!=#ff0000" << "";
        QTest::newRow("heading size")
                << "<style>body{margin:0} h1{font-size:40px;margin:0;background:#0000ff}</style><h1>x</h1>"
                << "5,40=#0000ff 5,60!=#0000ff" << "";
        QTest::newRow("fluid image")
                << QStringLiteral("<body style=\"margin:0\"><img src=\"%1\" style=\"width:100%;height:auto\">").arg(red)
                << "370,10=#ff0000 200,290=#ff0000" << "";
        QTest::newRow("@media")
                << "<style>body{margin:0} .a{height:30px;background:#0000ff}"
                   " @media (max-width: 500px) { .a{background:#00ff00} }</style><div class=\"a\"></div>"
                << "10,10=#00ff00" << "";
        QTest::newRow("display:none preheader")
                << "<body style=\"margin:0\"><div style=\"display:none\">PREHEADER"
                   "<div style=\"height:40px;background:#ff0000\"></div></div>"
                   "<div style=\"height:40px;background:#0000ff\">text</div>"
                << "300,10=#0000ff" << "PREHEADER";
        QTest::newRow("max-height:0 preheader")
                << "<body style=\"margin:0\"><div style=\"max-height:0;overflow:hidden\">"
                   "<div style=\"height:40px;background:#ff0000\">PREHEADER</div></div>"
                   "<div style=\"height:40px;background:#0000ff\">text</div>"
                << "300,10=#0000ff 300,30=#0000ff" << "";
        QTest::newRow("inline-block columns")
                << "<body style=\"margin:0\"><div style=\"display:inline-block;width:150px;height:30px;"
                   "background:#ff0000\"></div><div style=\"display:inline-block;width:150px;height:30px;"
                   "background:#0000ff\"></div>"
                << "10,10=#ff0000 200,10=#0000ff" << "";
        QTest::newRow("margin:0 auto")
                << "<body style=\"margin:0\"><div style=\"width:100px;margin:0 auto;height:20px;"
                   "background:#0000ff\"></div>"
                << "190,10=#0000ff 10,10!=#0000ff 370,10!=#0000ff" << "";
        QTest::newRow("padded link button")
                << "<body style=\"margin:0\"><a href=\"https://example.invalid/\" style=\"display:inline-block;"
                   "padding:20px 40px;background:#0000ff;color:#ffffff\">Go</a>"
                << "3,3=#0000ff 3,45=#0000ff 90,3=#0000ff" << "";
        QTest::newRow("number in a narrow cell")
                << "<body style=\"margin:0\"><table style=\"width:40px\" cellspacing=\"0\"><tr>"
                   "<td style=\"background:#ff0000;padding:0;font-size:16px\">¥1,234,567.89</td></tr></table>"
                << "1,1=#ff0000 80,1=#ff0000 1,30!=#ff0000" << "";
    }
    void cssIsLaidOutAsInABrowser()
    {
        QFETCH(QString, html);
        QFETCH(QString, samples);
        QFETCH(QString, hiddenText);
        u_web_browser view;
        QVERIFY(shown(view));
        view.of_setbodyhtml(QString());
        view.of_pastehtml(html);
        const QImage shot = view.viewport()->grab().toImage();
        for (const QString &sample : samples.split(QLatin1Char(' '))) {
            const bool negated = sample.contains(QLatin1String("!="));
            const QStringList parts = sample.split(QRegularExpression(QStringLiteral("[,!=]+")));
            const QPoint at(parts.at(0).toInt(), parts.at(1).toInt());
            const QColor wanted(parts.at(2));
            const bool matches = shot.pixelColor(at) == wanted;
            QVERIFY2(matches != negated, qPrintable(sample + QStringLiteral(" shows ") + shot.pixelColor(at).name()));
        }
        if (!hiddenText.isEmpty())
            QVERIFY(!view.toPlainText().contains(hiddenText));
    }

    // Painting passes over what is out of sight: a page scrolled to any
    // place shows there what a view tall enough to hold that place at once
    // shows.
    void aScrolledPageShowsWhatATallViewShows()
    {
        QString html = QStringLiteral("<style>td{background:#ffeecc} .f{float:right;width:60px;height:90px;"
                                      "background:#00aa00} span{background:#ccccff}</style>");
        for (int i = 1; html.size() < 40 * 1024; ++i)
            html += QStringLiteral("<div><p>第 %1 段 <span>行内 %1</span> words to wrap.</p><div class=\"f\"></div>"
                                   "<table><tr><td>单元 %1</td><td><ul><li>项</li></ul></td></tr></table></div>")
                            .arg(i);
        u_web_browser scrolled;
        u_web_browser tall;
        scrolled.resize(400, 300);
        tall.resize(400, 1600);
        for (u_web_browser *view : {&scrolled, &tall}) {
            view->show();
            QVERIFY(QTest::qWaitForWindowExposed(view));
            view->of_pastehtml(html);
            QTRY_VERIFY(!view->pagePending());
        }
        QCOMPARE(scrolled.pageSize(), tall.pageSize());
        const QImage whole = tall.viewport()->grab().toImage();
        for (const int top : {0, 397, 733, 1300}) {
            scrolled.verticalScrollBar()->setValue(top);
            const QImage part = scrolled.viewport()->grab().toImage();
            QCOMPARE(part, whole.copy(0, top, part.width(), part.height()));
        }
    }

    // A page the layout engine cannot lay out in bounded time and memory is
    // shown as its text, and the window keeps answering meanwhile.
    void pagesTooBigToLayOutShowTheirText_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("lastWords");
        QTest::newRow("deep nesting") << QStringLiteral("<div>").repeated(5000) + "deep end" << "deep end";
        QTest::newRow("deep nesting, short") << QStringLiteral("<b>").repeated(3000) + "bold end" << "bold end";
        QString table = QStringLiteral("<table>");
        for (int row = 0; row < 300; ++row)
            table += QStringLiteral("<tr>") + QStringLiteral("<td>c</td>").repeated(300) + QStringLiteral("</tr>");
        QTest::newRow("huge table") << table + "</table><p>table end</p>" << "table end";
        QTest::newRow("10 MB") << longPage(QString()).repeated(256) + "<p>&lt;the last&gt; words</p>"
                               << "<the last> words";
    }
    void pagesTooBigToLayOutShowTheirText()
    {
        QFETCH(QString, html);
        QFETCH(QString, lastWords);
        u_web_browser view;
        QVERIFY(shown(view));
        view.of_pastehtml(html);
        QTRY_VERIFY(!view.pagePending());
        QVERIFY(view.showsPlainText());
        QVERIFY(view.toPlainText().endsWith(lastWords));
        QVERIFY(!view.toPlainText().contains(QLatin1String("<div>")));
        // The text view is filled a step at a time and ends with the page.
        auto *text = view.findChild<QPlainTextEdit *>();
        QVERIFY(text && text->isVisible());
        QTRY_VERIFY(text->toPlainText().endsWith(lastWords));
    }

    // Screen readers read the page as a document, its images by their alt
    // texts.
    void screenReadersReadTheTextAndTheImagesAltTexts()
    {
        u_web_browser view;
        view.show();
        view.of_pastehtml(QStringLiteral("<p>正文第一行</p><img alt=\"公司标志\" src=\"cid:logo\"><p>末行</p>"));
        QAccessibleInterface *document = QAccessible::queryAccessibleInterface(&view);
        QVERIFY(document);
        QCOMPARE(document->role(), QAccessible::Document);
        QVERIFY(document->state().readOnly);
        QVERIFY(document->text(QAccessible::Value).startsWith(QStringLiteral("正文第一行")));
        QAccessibleTextInterface *text = document->textInterface();
        QVERIFY(text);
        QCOMPARE(text->text(0, 5), QStringLiteral("正文第一行"));
        QStringList pictures;
        for (int i = 0; i < document->childCount(); ++i)
            if (document->child(i)->role() == QAccessible::Graphic)
                pictures << document->child(i)->text(QAccessible::Name);
        QCOMPARE(pictures, QStringList{QStringLiteral("公司标志")});
    }

    void navigatesLocalPagesAndHistory()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath(QStringLiteral("page.html"));
        QFile file(page);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<html><body><p>local page</p></body></html>");
        file.close();

        u_web_browser view;
        view.of_navigate(page);
        QCOMPARE(view.of_get_url(), QUrl::fromLocalFile(page).toString());
        QVERIFY(view.of_get_source().contains(QStringLiteral("local page")));

        // Remote and missing addresses leave the page as it is.
        view.of_navigate(QStringLiteral("http://127.0.0.1:1/"));
        view.of_navigate(dir.filePath(QStringLiteral("missing.html")));
        QCOMPARE(view.of_get_url(), QUrl::fromLocalFile(page).toString());

        view.of_goback();
        QCOMPARE(view.of_get_url(), QStringLiteral("about:"));
        view.of_goforward();
        QCOMPARE(view.of_get_url(), QUrl::fromLocalFile(page).toString());
        view.of_gohome();
        QCOMPARE(view.of_get_url(), QStringLiteral("about:"));
        view.of_navigate(QStringLiteral("about:"));
        QVERIFY(view.toPlainText().isEmpty());
        view.of_refresh();
        view.of_gosearch();
        view.of_stop();
        QCOMPARE(view.of_get_url(), QStringLiteral("about:"));
        QVERIFY(m_dialogs.messageBoxes.isEmpty());
    }

    void printsWithoutADialogUnlessAsked()
    {
        QTemporaryDir dir;
        u_web_browser view;
        view.of_pastehtml(QStringLiteral("<p>打印</p>"));

        const QString direct = dir.filePath(QStringLiteral("direct.pdf"));
        view.setPrintOutputFile(direct);
        view.of_execwb_print();
        QCOMPARE(m_dialogs.printDialogs, 0);
        QVERIFY(QFileInfo(direct).size() > 0);
        view.of_execwb_print(false);
        QCOMPARE(m_dialogs.printDialogs, 0);

        const QString declined = dir.filePath(QStringLiteral("declined.pdf"));
        view.setPrintOutputFile(declined);
        view.of_execwb_print(true);
        QCOMPARE(m_dialogs.printDialogs, 1);
        QVERIFY(!QFile::exists(declined));

        m_dialogs.printTo = dir.filePath(QStringLiteral("chosen.pdf"));
        view.of_execwb_print(true);
        QCOMPARE(m_dialogs.printDialogs, 2);
        QVERIFY(QFileInfo(m_dialogs.printTo).size() > 0);
    }

    void savesThePageWhereTheUserChose()
    {
        QTemporaryDir dir;
        u_web_browser view;
        view.of_pastehtml(QStringLiteral("<p>保存这一页</p>"));

        m_dialogs.fileAnswers = {{0, QString()}};
        view.of_execwb_saveas();
        QCOMPARE(m_dialogs.fileDialogs.size(), 1);

        const QString target = dir.filePath(QStringLiteral("saved.html"));
        m_dialogs.fileAnswers = {{1, target}};
        view.of_execwb_save();
        QCOMPARE(m_dialogs.fileDialogs.size(), 2);
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(saved.readAll()).contains(QStringLiteral("保存这一页")));

        // A target that cannot be written is dropped without a message.
        m_dialogs.fileAnswers = {{1, dir.filePath(QStringLiteral("no/such/dir/saved.html"))}};
        view.of_execwb_saveas();
        QVERIFY(m_dialogs.messageBoxes.isEmpty());
    }

    void verbsWithoutAnEquivalentDoNothing()
    {
        u_web_browser view;
        view.of_pastehtml(QStringLiteral("text"));
        for (int command = u_web_browser::olecmdid_open; command <= u_web_browser::olecmdid_prerefresh + 5;
             ++command) {
            if (command == u_web_browser::olecmdid_save || command == u_web_browser::olecmdid_saveas
                || command == u_web_browser::olecmdid_savecopyas || command == u_web_browser::olecmdid_print
                || command == u_web_browser::olecmdid_refresh)
                continue;
            view.of_execwb(command, u_web_browser::olecmdexecopt_dodefault);
        }
        QCOMPARE(view.toPlainText(), QStringLiteral("text"));
        QCOMPARE(m_dialogs.dialogCount(), 0);

        view.of_control_panel(QStringLiteral("desk.cpl"));
        QCOMPARE(u_web_browser::controlPanelParameters(QStringLiteral("desk.cpl")),
                 QStringLiteral("shell32.dll,Control_RunDLL desk.cpl,"));
    }

    void resizesInLayoutUnits()
    {
        u_web_browser view;
        view.of_resize(3200, 400);
        QCOMPARE(view.size(), QSize(700, 100));
        QVERIFY(view.updatesEnabled());
    }

private:
    ScriptedDialogs m_dialogs;
};

QTEST_MAIN(TestUWebBrowser)
#include "test_u_web_browser.moc"
