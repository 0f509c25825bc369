// Replays the reader fuzzer's seed messages and every input it ever found a
// problem with (tests/fuzz/regressions/) through the reader as built here:
// each must be read without a crash, give attachment names that are safe in
// the user's folder, save inside that folder, and leave no temporary file.
#include "fuzz/fetched_message_check.h"

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
        // The seeds that carry attachments must give them, or the checks
        // below would pass on a reader that drops everything.
        const QMap<QString, int> expected{{QStringLiteral("mixed-names.eml"), 3},
                                          {QStringLiteral("hostile-names.eml"), 9},
                                          {QStringLiteral("raw-8bit-headers.eml"), 1},
                                          {QStringLiteral("message-rfc822.eml"), 1},
                                          {QStringLiteral("bad-base64.eml"), 1}};
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
                    << path << expected.value(it.fileName(), 0);
            }
        }
        QVERIFY2(seeds >= 20, "the seed corpus was not written");
    }

    void inputIsReadSafely()
    {
        QFETCH(QString, path);
        QFETCH(int, minimumAttachments);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        int saved = 0;
        const QString problem = checkFetchedMessage(file.readAll(), m_work.filePath(QStringLiteral("saved")), &saved);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QVERIFY2(saved >= minimumAttachments, qPrintable(QString::number(saved)));
        const QStringList left = QDir(m_work.filePath(QStringLiteral("tmp")))
                                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
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
    static QString sourceDir() { return qEnvironmentVariable("ORVEX_SOURCE_DIR"); }

    QTemporaryDir m_work;
};

QTEST_GUILESS_MAIN(TestMimeReaderInputs)
#include "tst_mime_reader_inputs.moc"
