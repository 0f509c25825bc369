// Layout units, the dialog service and its Qt file dialogs, files and the
// wait cursor.
#include "platform/dialog_service.h"
#include "platform/files.h"
#include "platform/layout_units.h"
#include "platform/wait_cursor.h"
#include "platform/window_services.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

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
    void fileCopyAndDelete();
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

void TestPlatformServices::fileCopyAndDelete()
{
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("附件.bin"));
    const QString target = dir.filePath(QStringLiteral("copy.bin"));
    writeFile(source, QByteArray("new content\0with a zero", 23));
    writeFile(target, "old and longer content that must go away");

    QVERIFY(platform::fileCopy(source, target));
    QCOMPARE(readFile(target), readFile(source));
    // Onto itself: the file stays whole.
    QVERIFY(platform::fileCopy(source, source));
    QCOMPARE(readFile(source), QByteArray("new content\0with a zero", 23));
    // A missing source or an impossible target fails and leaves the target.
    QVERIFY(!platform::fileCopy(dir.filePath(QStringLiteral("missing")), target));
    QCOMPARE(readFile(target), readFile(source));
    QVERIFY(!platform::fileCopy(source, dir.filePath(QStringLiteral("no/such/folder/x"))));
    QVERIFY(!platform::fileCopy(dir.path(), target));

    QVERIFY(platform::fileExists(target));
    QVERIFY(!platform::fileExists(dir.path()));
    QVERIFY(platform::fileDelete(target));
    QVERIFY(!platform::fileExists(target));
    QVERIFY(!platform::fileDelete(target));
}

void TestPlatformServices::currentDirectory()
{
    const QString before = platform::currentDirectory();
    QTemporaryDir dir;
    QVERIFY(platform::setCurrentDirectory(dir.path()));
    QCOMPARE(QDir(platform::currentDirectory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QVERIFY(!platform::setCurrentDirectory(dir.filePath(QStringLiteral("missing"))));
    QCOMPARE(QDir(platform::currentDirectory()).canonicalPath(), QDir(dir.path()).canonicalPath());
    QVERIFY(platform::setCurrentDirectory(before));
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
