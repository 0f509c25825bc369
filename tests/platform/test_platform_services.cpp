// SPDX-License-Identifier: MIT
// Layout units, the dialog service and its Qt file dialogs, files and the
// wait cursor.
#include "platform/dialog_service.h"
#include "platform/files.h"
#include "platform/layout_units.h"
#include "platform/wait_cursor.h"
#include "platform/window_services.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include "component/native_path.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using testfiles::readFile;
using testfiles::writeFile;

namespace {

// Runs `act` on the file dialog once it is up.
void whenFileDialogOpens(std::function<void(QFileDialog *)> act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(dialog);
        }
    });
    poll->start(20);
}

} // namespace

class TestPlatformServices : public QObject {
    Q_OBJECT

private slots:
    // As the program's main() does: Qt's dialogs become the default.
    void initTestCase() { platform::installWindowServices(); }
    void layoutUnits_data();
    void layoutUnits();
    void fileFilter_data();
    void fileFilter();
    void serviceCanBeReplaced();
    void fileSaveDialog();
    void fileOpenDialogCancelled();
    void fileCopyAndDelete_data();
    void fileCopyAndDelete();
    void currentDirectory_data();
    void currentDirectory();
    void waitCursorLastsForTheScope();
};

void TestPlatformServices::layoutUnits_data()
{
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("pixelsX");
    QTest::addColumn<int>("pixelsY");
    QTest::newRow("zero") << 0 << 0 << 0;
    QTest::newRow("one pixel") << 32 << 7 << 8;
    QTest::newRow("frame") << 3602 << 788 << 901;
    QTest::newRow("frame height") << 2304 << 504 << 576;
    QTest::newRow("negative") << -64 << -14 << -16;
}

void TestPlatformServices::layoutUnits()
{
    QFETCH(int, units);
    QFETCH(int, pixelsX);
    QFETCH(int, pixelsY);
    QCOMPARE(platform::unitsToPixelsX(units), pixelsX);
    QCOMPARE(platform::unitsToPixelsY(units), pixelsY);
    QCOMPARE(platform::unitsToPixels(units, units, units, units), QRect(pixelsX, pixelsY, pixelsX, pixelsY));
}

void TestPlatformServices::fileFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("qt");
    QTest::newRow("all files") << "All files,*.*" << "All files (*)";
    QTest::newRow("two filters") << "Text,*.txt,All files,*.*" << "Text (*.txt);;All files (*)";
    QTest::newRow("several patterns") << "Pictures,*.png;*.jpg" << "Pictures (*.png *.jpg)";
    QTest::newRow("empty") << "" << "";
}

void TestPlatformServices::fileFilter()
{
    QFETCH(QString, filter);
    QFETCH(QString, qt);
    QCOMPARE(platform::qtFileFilter(filter), qt);
}

void TestPlatformServices::serviceCanBeReplaced()
{
    platform::DialogService *qtService = &platform::dialogs();
    {
        ScriptedDialogs scripted;
        QCOMPARE(&platform::dialogs(), static_cast<platform::DialogService *>(&scripted));
    }
    QCOMPARE(&platform::dialogs(), qtService);
}

void TestPlatformServices::fileSaveDialog()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString title;
    whenFileDialogOpens([&title](QFileDialog *dialog) {
        title = dialog->windowTitle();
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (name)
            name->setText(QStringLiteral("report"));
        static_cast<QDialog *>(dialog)->accept();
    });
    QString pathname = dir.path();
    QString filename;
    const int rc = platform::dialogs().getFileSaveName(QStringLiteral("保存"), pathname, filename,
                                                       QStringLiteral("txt"), QStringLiteral("All files,*.*"));
    QCOMPARE(rc, 1);
    QCOMPARE(title, QStringLiteral("保存"));
    QCOMPARE(filename, QStringLiteral("report.txt"));
    QCOMPARE(pathname, dir.filePath(QStringLiteral("report.txt")));
}

void TestPlatformServices::fileOpenDialogCancelled()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("a.txt")), "a");
    whenFileDialogOpens([](QFileDialog *dialog) { dialog->reject(); });
    QString pathname = dir.filePath(QStringLiteral("a.txt"));
    QString filename = QStringLiteral("unchanged");
    QCOMPARE(platform::dialogs().getFileOpenName(QStringLiteral("打开"), pathname, filename, QString(),
                                                 QStringLiteral("All files,*.*")),
             0);
    QCOMPARE(pathname, dir.filePath(QStringLiteral("a.txt")));
    QCOMPARE(filename, QStringLiteral("unchanged"));
}

namespace {

// Folder names as they come, in bytes: not every disk or archive writes
// them in UTF-8.
void addFolderNames()
{
    QTest::addColumn<QByteArray>("folderName");
    QTest::newRow("UTF-8") << QByteArray("文件夹");
    QTest::newRow("GBK") << QByteArray("\xCE\xC4\xBC\xFE\xBC\xD0"); // 文件夹 in GBK
    QTest::newRow("Latin-1") << QByteArray("caf\xE9");
}

// A folder of that name made inside `parent` by its bytes, as a path.
QString makeFolder(const QTemporaryDir &parent, const QByteArray &name)
{
    const QByteArray path = QFile::encodeName(parent.path()) + '/' + name;
    return ::mkdir(path.constData(), 0700) == 0 ? component::pathFromNative(path) : QString();
}

// Files of such a folder, read and written by their bytes.
void writeNative(const QString &path, const QByteArray &content)
{
    FILE *file = std::fopen(component::nativePath(path).constData(), "wb");
    QVERIFY(file);
    QCOMPARE(std::fwrite(content.constData(), 1, size_t(content.size()), file), size_t(content.size()));
    std::fclose(file);
}

QByteArray readNative(const QString &path)
{
    QFile file;
    if (!platform::openForReading(file, path))
        return "(cannot be read)";
    return file.readAll();
}

} // namespace

void TestPlatformServices::fileCopyAndDelete_data()
{
    addFolderNames();
}

void TestPlatformServices::fileCopyAndDelete()
{
    QFETCH(QByteArray, folderName);
    QTemporaryDir parent;
    const QString dir = makeFolder(parent, folderName);
    QVERIFY(!dir.isEmpty());
    const QString source = dir + QStringLiteral("/附件.bin");
    const QString target = dir + QStringLiteral("/copy.bin");
    writeNative(source, QByteArray("new content\0with a zero", 23));
    writeNative(target, "old and longer content that must go away");

    QVERIFY(platform::fileCopy(source, target));
    QCOMPARE(readNative(target), readNative(source));
    // Onto itself: the file stays whole.
    QVERIFY(platform::fileCopy(source, source));
    QCOMPARE(readNative(source), QByteArray("new content\0with a zero", 23));
    // A missing source or an impossible target fails and leaves the target.
    QVERIFY(!platform::fileCopy(dir + QStringLiteral("/missing"), target));
    QCOMPARE(readNative(target), readNative(source));
    QVERIFY(!platform::fileCopy(source, dir + QStringLiteral("/no/such/folder/x")));
    QVERIFY(!platform::fileCopy(dir, target));

    QVERIFY(platform::fileExists(target));
    QVERIFY(!platform::fileExists(dir));
    QVERIFY(platform::isFolder(dir));
    QVERIFY(platform::fileDelete(target));
    QVERIFY(!platform::fileExists(target));
    QVERIFY(!platform::fileDelete(target));

    // A new file made in that folder is there under the name given back.
    QString error;
    const std::optional<QString> made = platform::createUniqueFile(dir + QStringLiteral("/.new-XXXXXX"), &error);
    QVERIFY2(made, qPrintable(error));
    QVERIFY(made->startsWith(dir));
    QVERIFY(platform::fileExists(*made));
}

void TestPlatformServices::currentDirectory_data()
{
    addFolderNames();
}

void TestPlatformServices::currentDirectory()
{
    QFETCH(QByteArray, folderName);
    const QString before = platform::currentDirectory();
    QTemporaryDir parent;
    const QString dir = makeFolder(parent, folderName);
    QVERIFY(!dir.isEmpty());
    QVERIFY(platform::setCurrentDirectory(dir));
    char *real = ::realpath(".", nullptr);
    const QByteArray realBytes(real);
    std::free(real);
    QCOMPARE(component::nativePath(platform::currentDirectory()), realBytes);
    QCOMPARE(platform::absolutePath(QStringLiteral("a.txt")), platform::currentDirectory() + QStringLiteral("/a.txt"));
    QVERIFY(!platform::setCurrentDirectory(dir + QStringLiteral("/missing")));
    QCOMPARE(component::nativePath(platform::currentDirectory()), realBytes);
    QVERIFY(platform::setCurrentDirectory(before));
    // A command-line argument keeps its bytes the same way.
    QByteArray argument = "--attach-dir=" + realBytes;
    char *argv[] = {argument.data()};
    QCOMPARE(component::nativePath(platform::nativeArguments(1, argv).value(0)), argument);
}

void TestPlatformServices::waitCursorLastsForTheScope()
{
    QVERIFY(!QApplication::overrideCursor());
    {
        platform::WaitCursor outer;
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            platform::WaitCursor inner;
        }
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(TestPlatformServices)
#include "test_platform_services.moc"
