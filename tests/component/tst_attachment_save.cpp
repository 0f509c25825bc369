// SPDX-License-Identifier: MIT
// Saving a fetched attachment: the content (from memory or from its
// temporary file) replaces the target in one step, a failed save leaves
// nothing half written, and saved files are flushed before a deletion.
#include "component/attachment.h"
#include "component/durable_files.h"
#include "component/native_path.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <dirent.h>
#include <sys/stat.h>

using component::Attachment;

using testfiles::readFile;
using testfiles::writeFile;

class tst_attachment_save : public QObject {
    Q_OBJECT

private slots:
    void replacesAnExistingFileFromEitherSource_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<QString>("contentFolder");
        QTest::newRow("content in memory") << false << QString();
        QTest::newRow("content in a temporary file beside the target") << true << QString();
        // Another file system: the content cannot be linked and is copied.
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            QTest::newRow("content in a temporary file elsewhere") << true << QStringLiteral("/dev/shm");
    }

    void replacesAnExistingFileFromEitherSource()
    {
        QFETCH(bool, fromFile);
        QFETCH(QString, contentFolder);
        QTemporaryDir folder;
        QTemporaryDir elsewhere(contentFolder.isEmpty() ? QDir::tempPath() + QStringLiteral("/c-XXXXXX")
                                                        : contentFolder + QStringLiteral("/orvex-test-XXXXXX"));
        const QByteArray content = QByteArray("attached\0bytes\r\n", 16).repeated(5000);
        Attachment attachment;
        attachment.setName(QStringLiteral("报告.bin"));
        if (fromFile) {
            const QString source = (contentFolder.isEmpty() ? folder : elsewhere).filePath(QStringLiteral("content.tmp"));
            writeFile(source, content);
            attachment.setContentFile(source);
        } else {
            attachment.setContent(content);
        }
        const QString target = folder.filePath(QStringLiteral("报告.bin"));
        writeFile(target, "an older file of the same name, much longer than nothing");

        QVERIFY(attachment.savetofile(target));
        QCOMPARE(readFile(target), content);
        // Only the target is left: no temporary file beside it.
        const QStringList names = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(names.contains(QStringLiteral("报告.bin")), true);
        QCOMPARE(names.filter(QStringLiteral(".orvex-save")).size(), 0);
        // Saving again to the same place changes nothing and leaves nothing.
        QVERIFY(attachment.savetofile(target));
        QCOMPARE(readFile(target), content);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".orvex-save")).size(), 0);
        // The saved file outlives the attachment and its temporary content.
        attachment.setContentFile(QString());
        QCOMPARE(readFile(target), content);
    }

    void savedFileGetsTheUsualPermissions_data()
    {
        QTest::addColumn<bool>("fromFile");
        QTest::newRow("content in memory") << false;
        QTest::newRow("content linked from its temporary file") << true;
    }

    void savedFileGetsTheUsualPermissions()
    {
        QFETCH(bool, fromFile);
        QTemporaryDir folder;
        Attachment attachment;
        if (fromFile) {
            // A private temporary file, as the reader makes them.
            const QString source = folder.filePath(QStringLiteral("content.tmp"));
            writeFile(source, "x");
            QFile::setPermissions(source, QFile::ReadOwner | QFile::WriteOwner);
            attachment.setContentFile(source);
        } else {
            attachment.setContent("x");
        }
        const QString target = folder.filePath(QStringLiteral("a.txt"));
        const mode_t old = ::umask(022);
        const bool saved = attachment.savetofile(target);
        ::umask(old);
        QVERIFY(saved);
        QCOMPARE(QFile::permissions(target) & (QFile::ReadOther | QFile::ReadGroup | QFile::ReadOwner),
                 QFile::ReadOther | QFile::ReadGroup | QFile::ReadOwner);
    }

    void failedSaveReportsAndLeavesNothing_data()
    {
        QTest::addColumn<QString>("targetName");
        QTest::addColumn<bool>("contentInFile");
        QTest::newRow("folder missing") << QStringLiteral("missing/a.txt") << false;
        QTest::newRow("target is a folder") << QStringLiteral("sub") << false;
        QTest::newRow("target is a folder, content in a file beside it") << QStringLiteral("sub") << true;
    }

    void failedSaveReportsAndLeavesNothing()
    {
        QFETCH(QString, targetName);
        QFETCH(bool, contentInFile);
        QTemporaryDir folder;
        QDir(folder.path()).mkdir(QStringLiteral("sub"));
        writeFile(folder.filePath(QStringLiteral("sub/kept.txt")), "kept");
        Attachment attachment;
        attachment.setContent("content");
        if (contentInFile) {
            writeFile(folder.filePath(QStringLiteral("content.tmp")), "content");
            attachment.setContentFile(folder.filePath(QStringLiteral("content.tmp")));
        }
        QVERIFY(!attachment.savetofile(folder.filePath(targetName)));
        QVERIFY(!attachment.property("automationError").toString().isEmpty());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), contentInFile ? 1 : 0);
        QVERIFY(QFile::exists(folder.filePath(QStringLiteral("sub/kept.txt"))));
    }

    void savesIntoAFolderNamedInAnotherCharset_data()
    {
        QTest::addColumn<QByteArray>("folderName");
        QTest::addColumn<bool>("fromFile");
        QTest::newRow("GBK, content in memory") << QByteArray("\xCE\xC4\xBC\xFE") << false;
        QTest::newRow("GBK, content in a temporary file") << QByteArray("\xCE\xC4\xBC\xFE") << true;
        QTest::newRow("Latin-1, content in memory") << QByteArray("caf\xE9") << false;
    }

    void savesIntoAFolderNamedInAnotherCharset()
    {
        QFETCH(QByteArray, folderName);
        QFETCH(bool, fromFile);
        QTemporaryDir parent;
        const QByteArray folder = QFile::encodeName(parent.path()) + '/' + folderName;
        QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        Attachment attachment;
        if (fromFile) {
            writeFile(parent.filePath(QStringLiteral("content.tmp")), "saved");
            attachment.setContentFile(parent.filePath(QStringLiteral("content.tmp")));
        } else {
            attachment.setContent("saved");
        }
        QVERIFY2(attachment.savetofile(component::pathFromNative(folder) + QStringLiteral("/报告.txt")),
                 qPrintable(attachment.property("automationError").toString()));
        QString error;
        QVERIFY2(component::syncNotedFiles(&error), qPrintable(error));
        // The file is in that very folder, alone, by its own name.
        DIR *dir = ::opendir(folder.constData());
        QVERIFY(dir);
        QByteArrayList names;
        while (const dirent *entry = ::readdir(dir)) {
            if (qstrcmp(entry->d_name, ".") != 0 && qstrcmp(entry->d_name, "..") != 0)
                names << entry->d_name;
        }
        ::closedir(dir);
        QCOMPARE(names, QByteArrayList{QStringLiteral("报告.txt").toUtf8()});
        FILE *file = std::fopen((folder + "/" + QStringLiteral("报告.txt").toUtf8()).constData(), "rb");
        QVERIFY(file);
        char content[16] = {};
        const size_t read = std::fread(content, 1, sizeof content, file);
        std::fclose(file);
        QCOMPARE(QByteArray(content, qsizetype(read)), QByteArray("saved"));
    }

    void contentFileGoneIsAnError()
    {
        QTemporaryDir folder;
        const QString source = folder.filePath(QStringLiteral("content.tmp"));
        writeFile(source, "data");
        Attachment attachment;
        attachment.setContentFile(source);
        QFile::remove(source);
        QVERIFY(!attachment.savetofile(folder.filePath(QStringLiteral("a.txt"))));
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("a.txt"))));
    }

    void notedFilesAreFlushedOnceAndVanishedOnesSkipped()
    {
        QTemporaryDir folder;
        Attachment attachment;
        attachment.setContent("kept");
        QVERIFY(attachment.savetofile(folder.filePath(QStringLiteral("kept.txt"))));
        component::noteUnsyncedFile(folder.filePath(QStringLiteral("removed-since.txt")));
        QString error;
        QVERIFY2(component::syncNotedFiles(&error), qPrintable(error));
        QVERIFY(error.isEmpty());
        QVERIFY(component::syncNotedFiles(&error));

        // (Kept last: /dev/null stays noted for the rest of the process.)
        // The flush really happens: a noted file the kernel cannot flush
        // (fsync on a character device fails) fails it, named, and stays
        // noted for the next attempt.
        component::noteUnsyncedFile(QStringLiteral("/dev/null"));
        QVERIFY(!component::syncNotedFiles(&error));
        QVERIFY2(error.contains(QStringLiteral("/dev/null")), qPrintable(error));
        error.clear();
        QVERIFY(!component::syncNotedFiles(&error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_attachment_save)
#include "tst_attachment_save.moc"
