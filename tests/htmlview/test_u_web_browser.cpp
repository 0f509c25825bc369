#include "htmlview/u_web_browser.h"
#include "htmlview/page_preview.h"
#include "support/scripted_dialogs.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QScrollBar>
#include <QTextLayout>
#include <QTextBlock>

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

    void pastesFollowOneAnotherAtTheCaret()
    {
        u_web_browser view;
        view.of_pastehtml(QStringLiteral("<b>第一段</b>"));
        view.of_pastehtml(QStringLiteral("<i>second</i>"));
        QCOMPARE(view.toPlainText(), QStringLiteral("第一段second"));
        QCOMPARE(view.textCursor().position(), view.toPlainText().size());

        // A selection is replaced by what is pasted.
        QTextCursor cursor = view.textCursor();
        cursor.setPosition(0);
        cursor.setPosition(3, QTextCursor::KeepAnchor);
        view.setTextCursor(cursor);
        view.of_pastehtml(QStringLiteral("一"));
        QCOMPARE(view.toPlainText(), QStringLiteral("一second"));
    }

    void longPasteShowsItsStartAtOnceAndEndsAsThePastedPage()
    {
        QString html;
        for (int i = 1; i <= 3000; ++i)
            html += QStringLiteral("<p>第 %1 段 <b>粗体</b> and some words to wrap around the narrow view.</p>").arg(i);
        u_web_browser view;
        u_web_browser reference; // filled through a plain cursor, laid out at once
        for (u_web_browser *browser : {&view, &reference}) {
            browser->resize(300, 200);
            browser->show();
        }
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.of_pastehtml(html);
        QTextCursor cursor = reference.textCursor();
        cursor.insertHtml(html);
        reference.setTextCursor(cursor);

        QVERIFY(view.pagePending());
        QVERIFY(view.toPlainText().startsWith(QStringLiteral("第 1 段 粗体")));
        QTRY_VERIFY(!view.pagePending());
        QCOMPARE(view.toHtml(), reference.toHtml());
        // The rest of the page is laid out while the view waits for input;
        // in the end it is as long as a page laid out at once.
        const QTextBlock last = view.document()->lastBlock();
        QTRY_VERIFY(last.layout() && last.layout()->lineCount() > 0);
        QTRY_COMPARE(view.document()->size(), reference.document()->size());
        QCOMPARE(view.document()->pageSize(), reference.document()->pageSize());
        // The scroll range follows the finished layout once the view has
        // handled the size change, which may take another turn of events.
        QTRY_COMPARE(view.verticalScrollBar()->maximum(), reference.verticalScrollBar()->maximum());

        // The next paste follows the page; emptying drops a page still
        // being prepared.
        view.of_pastehtml(QStringLiteral("<p>end</p>"));
        reference.of_pastehtml(QStringLiteral("<p>end</p>"));
        QVERIFY(view.toPlainText().endsWith(QStringLiteral("end")));
        QCOMPARE(view.toHtml(), reference.toHtml());
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

    void remoteAndLocalImagesAreNotLoaded()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray png = redPng();
        QFile file(dir.filePath(QStringLiteral("red.png")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(png);
        file.close();
        // A data: URL whose payload is no picture names a file here.
        QVERIFY(QFile::copy(file.fileName(), dir.filePath(QStringLiteral("data:,red"))));
        const QString oldDir = QDir::currentPath();
        QDir::setCurrent(dir.path());

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString remote = QStringLiteral("http://127.0.0.1:%1/red.png").arg(server.serverPort());

        u_web_browser view;
        view.resize(400, 300);
        view.show();
        view.of_pastehtml(QStringLiteral("<p>x</p><img src=\"%1\"><img src=\"%2\"><img src=\"%3\"><img src=\"red.png\">"
                                         "<img src=\"data:,red\">")
                              .arg(remote, QUrl::fromLocalFile(file.fileName()).toString(), file.fileName()));
        QVERIFY(!showsRed(view));
        QTest::qWait(200);
        QVERIFY(!server.hasPendingConnections());
        for (const QString &name : {remote, QStringLiteral("red.png"), file.fileName(), QStringLiteral("data:,red")}) {
            const QImage loaded = view.loadResource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
            QVERIFY2(loaded.size() == QSize(1, 1), qPrintable(name));
        }
        QDir::setCurrent(oldDir);

        // The same picture carried in the mail itself is shown, so the
        // check above can see a picture when there is one.
        view.of_pastehtml(QStringLiteral("<img src=\"data:image/png;base64,%1\">")
                              .arg(QString::fromLatin1(png.toBase64())));
        QVERIFY(showsRed(view));
    }

    void linksInAMailLeadNowhere()
    {
        u_web_browser view;
        view.of_pastehtml(QStringLiteral("<a href=\"http://example.invalid/\">link</a>"));
        emit view.anchorClicked(QUrl(QStringLiteral("http://example.invalid/")));
        emit view.anchorClicked(QUrl(QStringLiteral("file:///etc/hostname")));
        QCOMPARE(view.of_get_url(), QStringLiteral("about:"));
        QCOMPARE(view.toPlainText(), QStringLiteral("link"));
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
