// SPDX-License-Identifier: MIT
// Replays the reader fuzzer's seed messages and every input it ever found a
// problem with (tests/fuzz/regressions/) through the reader as built here:
// each must be read without a crash, give attachment names that are safe in
// the user's folder, save inside that folder, and leave no temporary file.
// The seeds written in the forms real senders use must also read exactly
// as the sender meant them.
#include "fuzz/fetched_message_check.h"

#include "component/attachment.h"
#include "component/attachments.h"
#include "component/message.h"
#include "component/mime_reader.h"
#include "component/recipient.h"
#include "component/recipients.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestMimeReaderInputs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        QVERIFY(QDir().mkpath(m_work.filePath(QStringLiteral("saved"))));
        QVERIFY(QDir().mkpath(m_work.filePath(QStringLiteral("tmp"))));
        QVERIFY(QDir().mkpath(m_work.filePath(QStringLiteral("seeds"))));
        // Attachment temporary files go here, where leftovers can be seen.
        qputenv("TMPDIR", QFile::encodeName(m_work.filePath(QStringLiteral("tmp"))));
        QProcess corpus;
        corpus.start(QStringLiteral("python3"), {sourceDir() + QStringLiteral("/tests/fuzz/make_corpus.py"),
                                                 m_work.filePath(QStringLiteral("seeds"))});
        QVERIFY(corpus.waitForFinished(60000));
        QVERIFY2(corpus.exitCode() == 0, corpus.readAllStandardError().constData());
    }

    void inputIsReadSafely_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("minimumAttachments");
        QTest::addColumn<bool>("readAsItArrives");
        // The seeds that carry attachments must give them, or the checks
        // below would pass on a reader that drops everything.
        const QMap<QString, int> expected{{QStringLiteral("mixed-names.eml"), 3},
                                          {QStringLiteral("hostile-names.eml"), 9},
                                          {QStringLiteral("raw-8bit-headers.eml"), 1},
                                          {QStringLiteral("message-rfc822.eml"), 2},
                                          {QStringLiteral("bad-base64.eml"), 1},
                                          {QStringLiteral("stray-in-base64.eml"), 1}};
        // These carry their attachments and pictures as base64 parts: read
        // as they arrive, they must need no second look at the whole message.
        const QStringList arrivingWhole{QStringLiteral("mixed-names.eml"), QStringLiteral("cid-image.eml"),
                                        QStringLiteral("text-image-text.eml"), QStringLiteral("wrapped-base64.eml"),
                                        QStringLiteral("lf-body-crlf-boundary.eml")};
        int seeds = 0;
        for (const QString &folder : {m_work.filePath(QStringLiteral("seeds")),
                                      sourceDir() + QStringLiteral("/tests/fuzz/regressions")}) {
            QDirIterator it(folder, QDir::Files | QDir::Hidden);
            while (it.hasNext()) {
                const QString path = it.next();
                if (it.fileName() == QLatin1String(".keep"))
                    continue;
                seeds += folder.endsWith(QLatin1String("seeds")) ? 1 : 0;
                QTest::newRow(qPrintable(QDir(folder).dirName() + QLatin1Char('/') + it.fileName()))
                    << path << expected.value(it.fileName(), 0) << arrivingWhole.contains(it.fileName());
            }
        }
        QVERIFY2(seeds >= 20, "the seed corpus was not written");
    }

    void inputIsReadSafely()
    {
        QFETCH(QString, path);
        QFETCH(int, minimumAttachments);
        QFETCH(bool, readAsItArrives);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        int saved = 0;
        bool fromSkeleton = false;
        const QString problem =
            checkFetchedMessage(file.readAll(), m_work.filePath(QStringLiteral("saved")), &saved, &fromSkeleton);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY2(saved >= minimumAttachments, qPrintable(QString::number(saved)));
        if (readAsItArrives)
            QVERIFY(fromSkeleton);
        const QStringList left = QDir(m_work.filePath(QStringLiteral("tmp")))
                                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

    void readsAsTheSenderMeantIt_data()
    {
        // `field` names what is compared; "html" and "content N" (the saved
        // file of attachment N, from 1) need only hold `expected`, "whole
        // content N" must be exactly that.
        QTest::addColumn<QString>("seed");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *seed, const char *field, const QString &expected) {
            QTest::addRow("%s %s", seed, field) << QString::fromLatin1(seed) << QString::fromLatin1(field) << expected;
        };
        row("folded-subject", "subject",
            QStringLiteral("关于二零二六年度第四季度项目预算调整与人员安排的通知（请各部门负责人务必在周五之前回复确认）"));
        row("split-quoted-name", "attachments", QStringLiteral("年度预算报告.xlsx"));
        row("raw-8bit-headers", "attachments", QStringLiteral("报告.pdf"));
        row("nul-in-name", "attachments", QStringLiteral("报告.pdf"));
        row("several-cc", "recipients",
            QStringLiteral("t@example.com, c1@example.com, c2@example.com, c3@example.com, c4@example.com"));
        row("bounce-sender", "fromname", QStringLiteral("MAILER DAEMON"));
        row("date-without-seconds", "date", QStringLiteral("2001-01-01T00:01:00Z"));
        row("date-glued-zone", "date", QStringLiteral("2001-01-01T00:01:00Z"));
        row("named-text-parts", "plain", QStringLiteral("第一部分\r\n"));
        row("named-text-parts", "attachments", QStringLiteral("说明.txt;附录.txt"));
        row("cid-image", "html", QStringLiteral("<img src=\"data:image/png;base64,iVBORw0KGgo"));
        row("cid-image", "attachments", QStringLiteral("附件1.png"));
        row("message-rfc822", "attachments", QStringLiteral("fwd.eml;附件2.eml"));
        row("message-rfc822", "content 2", QStringLiteral("\r\n\r\ninner body"));
        row("message-rfc822", "line ends 2", QStringLiteral("CRLF"));
        row("text-image-text", "plain", QStringLiteral("图片前\r\n图片后\r\n"));
        row("text-image-text", "attachments", QStringLiteral("附件1.png"));
        row("alternative", "plain", QStringLiteral("文本"));
        row("alternative", "html", QStringLiteral("<b>中</b>"));
        row("wrapped-base64", "content 1", QStringLiteral("第198行\n第199行\n"));
        row("windows-1252", "subject", QStringLiteral("“Quoted”"));
        row("windows-1252", "plain", QStringLiteral("“Price” – €100\r\n"));
        row("deep-attachment", "content 1", QStringLiteral("kept"));
        row("deeper-than-the-parser", "attachments", QStringLiteral("附件1.eml"));
        row("deeper-than-the-parser", "content 1", QStringLiteral("YXQgdGhlIGJvdHRvbQ==\r\n--0--\r\n"));
        row("deeper-than-the-parser", "line ends 1", QStringLiteral("CRLF"));
        row("deeper-than-the-parser", "plain",
            QStringLiteral("（这封邮件的各部分无法分开读取，内容已原样保存为附件“附件1.eml”。）"));
        // Mixed line ends: the values Python's email package reads, with
        // CRLF line ends in the text.
        row("lf-body-crlf-boundary", "plain", QStringLiteral("你好\r\nRegards!"));
        QString lines;
        for (int i = 0; i < 4; ++i)
            lines += QStringLiteral("line %1 of the attachment\n").arg(i, 2, 10, QLatin1Char('0'));
        row("lf-body-crlf-boundary", "whole content 1", lines);
        row("crlf-body-lf-boundary", "plain", QStringLiteral("Hello\r\nRegards"));
    }

    void readsAsTheSenderMeantIt()
    {
        QFETCH(QString, seed);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        component::Message message;
        QString error;
        QVERIFY2(component::readMimeMessage(m_work.filePath(QStringLiteral("seeds/%1.eml").arg(seed)), message, &error),
                 qPrintable(error));
        const QString actual = fieldOf(message, field);
        if (field == QLatin1String("html") || field.startsWith(QLatin1String("content ")))
            QVERIFY2(actual.contains(expected), qPrintable(actual.left(2000)));
        else
            QCOMPARE(actual, expected);
    }

    void unsafeNamesAreRecognised_data()
    {
        // The checker itself: a name rule it failed to apply would let the
        // fuzzer miss exactly what it is there to find.
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << QStringLiteral("报告.pdf") << true;
        QTest::newRow("dot inside") << QStringLiteral("a.b.c") << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("hidden") << QStringLiteral(".bashrc") << false;
        QTest::newRow("parent") << QStringLiteral("..") << false;
        QTest::newRow("slash") << QStringLiteral("a/b") << false;
        QTest::newRow("backslash") << QStringLiteral("a\\b") << false;
        QTest::newRow("semicolon") << QStringLiteral("a;b") << false;
        QTest::newRow("line break") << QStringLiteral("a\nb") << false;
        QTest::newRow("C1 control") << QStringLiteral("a\u0085b") << false;
        QTest::newRow("too long") << QString(100, QChar(0x957F)) << false;
    }

    void unsafeNamesAreRecognised()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(unsafeNameReason(name).isEmpty(), safe);
    }

private:
    QString fieldOf(component::Message &message, const QString &field)
    {
        if (field == QLatin1String("subject"))
            return message.subject();
        if (field == QLatin1String("fromname"))
            return message.fromName();
        if (field == QLatin1String("plain"))
            return message.plainBody();
        if (field == QLatin1String("html"))
            return message.htmlBody();
        if (field == QLatin1String("date"))
            return message.date().toUTC().toString(Qt::ISODate);
        QStringList items;
        if (field == QLatin1String("recipients")) {
            for (int i = 0; i < message.recipientList()->count(); ++i)
                items << qobject_cast<component::Recipient *>(message.recipientList()->item(i))->email();
            return items.join(QStringLiteral(", "));
        }
        component::Attachments *attachments = message.attachmentList();
        if (field == QLatin1String("attachments")) {
            for (int i = 0; i < attachments->count(); ++i)
                items << qobject_cast<component::Attachment *>(attachments->item(i))->name();
            return items.join(QLatin1Char(';'));
        }
        const QByteArray content = savedContent(attachments, field.section(QLatin1Char(' '), -1).toInt() - 1);
        if (field.startsWith(QLatin1String("line ends")))
            return content.contains("\r\n") && content.count("\n") == content.count("\r\n") ? QStringLiteral("CRLF")
                                                                                         : QStringLiteral("LF");
        return QString::fromUtf8(content);
    }

    QByteArray savedContent(component::Attachments *attachments, int index)
    {
        auto *attachment = qobject_cast<component::Attachment *>(attachments->item(index));
        const QString path = m_work.filePath(QStringLiteral("saved/content"));
        if (!attachment || !attachment->savetofile(path))
            return {};
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray content = file.readAll();
        file.remove();
        return content;
    }

    static QString sourceDir() { return qEnvironmentVariable("ORVEX_SOURCE_DIR"); }

    QTemporaryDir m_work;
};

QTEST_GUILESS_MAIN(TestMimeReaderInputs)
#include "tst_mime_reader_inputs.moc"
