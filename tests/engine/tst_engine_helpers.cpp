// SPDX-License-Identifier: MIT
#include "engine/attachment_targets.h"
#include "engine/fetch_range.h"
#include "engine/html_body.h"
#include "engine/mail_date.h"
#include "engine/text_functions.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>
#include <QTimeZone>

using testfiles::readFile;
using testfiles::writeFile;

class TestEngineHelpers : public QObject {
    Q_OBJECT

private slots:
    void gbByteLength_data();
    void gbByteLength();
    void fetchRange_data();
    void fetchRange();
    void plainFileName_data();
    void plainFileName();
    void numberedVariants();
    void folderOfTheTargets();
    void targetsNeverReplaceOtherFiles_data();
    void targetsNeverReplaceOtherFiles();
    void mailDate_data();
    void mailDate();
};

void TestEngineHelpers::gbByteLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("ASCII") << "123456789" << 9;
    QTest::newRow("Chinese two bytes each") << "中文" << 4;
    QTest::newRow("mixed, nine") << "中文abcde" << 9;
    QTest::newRow("mixed, ten") << "中文abcdef" << 10;
    QTest::newRow("full-width punctuation") << "，；" << 4;
    QTest::newRow("outside GBK, four bytes") << "ก" << 4;
    QTest::newRow("beyond the basic plane") << "𠀀" << 4;
}

void TestEngineHelpers::gbByteLength()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QCOMPARE(engine::gbByteLength(text), qsizetype(bytes));
}

void TestEngineHelpers::fetchRange_data()
{
    QTest::addColumn<QString>("index");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");  // first > last: nothing

    QTest::newRow("inside") << "2-3" << qint64(3) << qint64(2) << qint64(3);
    QTest::newRow("one message") << "2-2" << qint64(3) << qint64(2) << qint64(2);
    QTest::newRow("reversed") << "3-2" << qint64(3) << qint64(3) << qint64(2);
    QTest::newRow("end cut to count") << "2-9" << qint64(3) << qint64(2) << qint64(3);
    QTest::newRow("start beyond count") << "5-9" << qint64(3) << qint64(5) << qint64(3);
    QTest::newRow("start 0 means 1") << "0-2" << qint64(3) << qint64(1) << qint64(2);
    QTest::newRow("wide numbers") << "40000-70000" << qint64(70001) << qint64(40000) << qint64(70000);
    QTest::newRow("huge end") << "1-99999999999999999999999" << qint64(3) << qint64(1) << qint64(3);
    QTest::newRow("spaces around numbers") << " 1 - 2 " << qint64(3) << qint64(1) << qint64(2);
    QTest::newRow("no dash") << "12" << qint64(3) << qint64(1) << qint64(0);
    QTest::newRow("not a number") << "a-b" << qint64(3) << qint64(1) << qint64(0);
    QTest::newRow("empty first") << "-3" << qint64(3) << qint64(1) << qint64(0);
    QTest::newRow("negative last") << "1--3" << qint64(3) << qint64(1) << qint64(0);
    QTest::newRow("sign") << "+1-3" << qint64(3) << qint64(1) << qint64(0);
    QTest::newRow("empty") << "" << qint64(3) << qint64(1) << qint64(0);
}

void TestEngineHelpers::fetchRange()
{
    QFETCH(QString, index);
    QFETCH(qint64, count);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    const engine::FetchRange range = engine::rangeWithin(index, count);
    if (first > last) {
        QVERIFY(range.isEmpty());
    } else {
        QCOMPARE(range.first, first);
        QCOMPARE(range.last, last);
    }
    QVERIFY(!engine::asksForAll(index));
}

void TestEngineHelpers::plainFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "a.txt" << "a.txt";
    QTest::newRow("Chinese") << "报告 2024.docx" << "报告 2024.docx";
    QTest::newRow("relative climb") << "../../evil.txt" << "evil.txt";
    QTest::newRow("absolute") << "/etc/passwd" << "passwd";
    QTest::newRow("backslashes") << "..\\..\\win.ini" << "win.ini";
    QTest::newRow("drive path") << "C:\\Users\\x\\a.pdf" << "a.pdf";
    QTest::newRow("dot dot") << ".." << "附件";
    QTest::newRow("dot") << "." << "附件";
    QTest::newRow("ends in separator") << "folder/" << "附件";
    QTest::newRow("empty") << "" << "附件";
    QTest::newRow("control characters") << "a\nb\t.txt" << "ab.txt";
    QTest::newRow("hidden file") << ".profile" << ".profile";
}

void TestEngineHelpers::plainFileName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(engine::plainFileName(name), expected);
}

void TestEngineHelpers::numberedVariants()
{
    QCOMPARE(engine::numberedVariant("a.txt", 2), QString("a (2).txt"));
    QCOMPARE(engine::numberedVariant("README", 3), QString("README (3)"));
    QCOMPARE(engine::numberedVariant(".profile", 2), QString(".profile (2)"));
    QCOMPARE(engine::numberedVariant("a.tar.gz", 2), QString("a.tar (2).gz"));

    // Over-long names are cut to what a file system takes, keeping the
    // extension, also for the numbered variant.
    const QString longName = QString(300, QChar(u'长')) + ".pdf";
    const QString plain = engine::plainFileName(longName);
    QVERIFY(plain.endsWith(".pdf"));
    QVERIFY(plain.toUtf8().size() <= 255);
    const QString variant = engine::numberedVariant(plain, 12);
    QVERIFY(variant.endsWith(" (12).pdf"));
    QVERIFY(variant.toUtf8().size() <= 255);
}

void TestEngineHelpers::folderOfTheTargets()
{
    QTemporaryDir dir;
    QCOMPARE(engine::AttachmentTargets(dir.path()).folder(), dir.path() + "/");
    QCOMPARE(engine::AttachmentTargets(dir.path() + "/").folder(), dir.path() + "/");
    QCOMPARE(engine::AttachmentTargets(QString{}).folder(), QDir::currentPath() + "/");
}

void TestEngineHelpers::targetsNeverReplaceOtherFiles_data()
{
    // What the folder holds before the fetch: "name=content" a file,
    // "name/" a folder, "name@content" a link to a file elsewhere.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("attachments"); // "name=content", in the order saved
    QTest::addColumn<QStringList>("saved");       // the file names they end up in
    QTest::newRow("free name") << QStringList{} << QStringList{"a.txt=new"} << QStringList{"a.txt"};
    QTest::newRow("the user's file of that name")
            << QStringList{"a.txt=mine"} << QStringList{"a.txt=new"} << QStringList{"a (2).txt"};
    QTest::newRow("the user's numbered file too") << QStringList{"a.txt=mine", "a (2).txt=mine too"}
                                                  << QStringList{"a.txt=new"} << QStringList{"a (3).txt"};
    QTest::newRow("same bytes already there")
            << QStringList{"a.txt=new", "a (2).txt=new"} << QStringList{"a.txt=new"} << QStringList{"a.txt"};
    QTest::newRow("same bytes, longer file")
            << QStringList{"a.txt=new and more"} << QStringList{"a.txt=new"} << QStringList{"a (2).txt"};
    QTest::newRow("same name twice in one fetch")
            << QStringList{} << QStringList{"a.txt=one", "a.txt=two"} << QStringList{"a.txt", "a (2).txt"};
    QTest::newRow("same bytes twice in one fetch")
            << QStringList{} << QStringList{"a.txt=x", "a.txt=x"} << QStringList{"a.txt", "a.txt"};
    QTest::newRow("same bytes as a numbered file of this fetch")
            << QStringList{"a.txt=mine"} << QStringList{"a.txt=one", "a.txt=two", "a.txt=one"}
            << QStringList{"a (2).txt", "a (3).txt", "a (2).txt"};
    QTest::newRow("a folder and a link of that name")
            << QStringList{"a.txt/", "a (2).txt@new"} << QStringList{"a.txt=new"} << QStringList{"a (3).txt"};
    QStringList manyVariants{"b.txt=b"};
    for (int number = 2; number <= 9999; ++number)
        manyVariants << QString("b (%1).txt=b").arg(number);
    QTest::newRow("numbering past 9999") << manyVariants << QStringList{"b.txt=new"}
                                         << QStringList{"b (10000).txt"};
    QTest::newRow("path characters") << QStringList{"x.txt=mine"} << QStringList{"../x.txt=x", "/etc/x.txt=y"}
                                     << QStringList{"x (2).txt", "x (3).txt"};
}

void TestEngineHelpers::targetsNeverReplaceOtherFiles()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, attachments);
    QFETCH(QStringList, saved);
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const auto write = [](const QString &path, const QString &content) { writeFile(path, content.toUtf8()); };
    const auto read = [](const QString &path) { return QString::fromUtf8(readFile(path)); };
    for (const QString &entry : before) {
        const qsizetype mark = entry.indexOf(QRegularExpression("[=/@]"));
        const QString path = dir.filePath(entry.left(mark));
        if (entry.at(mark) == u'/') {
            QVERIFY(QDir().mkdir(path));
        } else if (entry.at(mark) == u'@') {
            write(elsewhere.filePath("linked"), entry.mid(mark + 1));
            QVERIFY(QFile::link(elsewhere.filePath("linked"), path));
        } else {
            write(path, entry.mid(mark + 1));
        }
    }

    engine::AttachmentTargets targets(dir.path());
    for (qsizetype k = 0; k < attachments.size(); ++k) {
        const qsizetype mark = attachments[k].lastIndexOf(u'=');
        QString error;
        const std::optional<QString> scratch = targets.newScratchFile(&error);
        QVERIFY2(scratch, qPrintable(error));
        write(*scratch, attachments[k].mid(mark + 1));
        const std::optional<QString> placed = targets.place(*scratch, attachments[k].left(mark), &error);
        QVERIFY2(placed, qPrintable(error));
        QCOMPARE(*placed, dir.filePath(saved[k]));
        QCOMPARE(read(*placed), attachments[k].mid(mark + 1));
    }
    // What was there before is there still, and no scratch file is left.
    for (const QString &entry : before) {
        const qsizetype mark = entry.indexOf(QRegularExpression("[=/@]"));
        if (entry.at(mark) != u'/')
            QCOMPARE(read(dir.filePath(entry.left(mark))), entry.mid(mark + 1));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).filter(".orvex"),
             QStringList{});
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), before.filter("@").isEmpty() ? QStringList{} : QStringList{"linked"});
}

void TestEngineHelpers::mailDate_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime local(QDate(2024, 3, 5), QTime(14, 30, 0));
    QTest::newRow("date-time") << QVariant(local) << local;
    QTest::newRow("ISO text") << QVariant("2024-03-05T14:30:00") << local;
    QTest::newRow("plain text") << QVariant("2024-03-05 14:30:00") << local;
    QTest::newRow("header text") << QVariant("Tue, 05 Mar 2024 14:30:00 +0800")
                                 << QDateTime(QDate(2024, 3, 5), QTime(14, 30, 0), QTimeZone(8 * 3600));
    QTest::newRow("header text, zone glued to the time")
        << QVariant("05 Mar 2024 14:30+0800") << QDateTime(QDate(2024, 3, 5), QTime(14, 30, 0), QTimeZone(8 * 3600));
    QTest::newRow("date only") << QVariant(QDate(2024, 3, 5)) << QDateTime(QDate(2024, 3, 5), QTime(0, 0));
    QTest::newRow("garbage") << QVariant("next tuesday") << QDateTime();
    QTest::newRow("nothing") << QVariant() << QDateTime();
    QTest::newRow("a number") << QVariant(42) << QDateTime();
}

void TestEngineHelpers::mailDate()
{
    QFETCH(QVariant, value);
    QFETCH(QDateTime, expected);
    const QDateTime converted = engine::toMailDateTime(value);
    QCOMPARE(converted.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(converted, expected);
}

QTEST_GUILESS_MAIN(TestEngineHelpers)
#include "tst_engine_helpers.moc"
