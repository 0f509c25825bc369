// SPDX-License-Identifier: MIT
// Start-up: register the component on every start, then open the frame, or
// say that registration failed and open nothing. Also the engine's
// registration answers and its log. The program's --help and --version.
#include "app/orvex_application.h"
#include "app/qt_translations.h"
#include "compose/w_sendmail.h"
#include "engine/n_orvex.h"
#include "support/modal_watch.h"
#include "support/scripted_dialogs.h"
#include "frame/w_main.h"
#include "platform/automation_object.h"
#include "platform/component_registry.h"
#include "orvex_version.h"

#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QFile>
#include <QTest>

namespace {

const QString kFailureText = QStringLiteral("注册orvex组件失败！");

QString realComponent()
{
    return qEnvironmentVariable("ORVEX_BIN_DIR") + QStringLiteral("/liborvex.so");
}

void useComponent(const QString &path)
{
    qputenv("ORVEX_COMPONENT", path.toLocal8Bit());
}

QList<QWidget *> visibleWindows()
{
    QList<QWidget *> windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible())
            windows.append(widget);
    }
    return windows;
}

void closeAndFlush(w_main *frame)
{
    if (frame)
        frame->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void init();
    void failedRegistrationOpensNoFrame_data();
    void failedRegistrationOpensNoFrame();
    void successfulStartShowsTheComposeSheet_data();
    void successfulStartShowsTheComposeSheet();
    void startingTwiceIsLikeOnce();
    void registerAnswers_data();
    void registerAnswers();
    void lastErrorIsEmptyOnANewEngine();
    void helpAndVersionNeedNoDisplay_data();
    void helpAndVersionNeedNoDisplay();
    void qtsOwnTextsAreChinese();
};

void TestStartup::init()
{
    QDir(QFileInfo(platform::componentRegistryFile()).absolutePath()).removeRecursively();
}

void TestStartup::failedRegistrationOpensNoFrame_data()
{
    QTest::addColumn<QString>("library");
    QTest::addColumn<bool>("unwritableConfig");
    QTest::addColumn<QStringList>("reasonNames"); // what the box's detail names
    QTest::newRow("entry point returns 1") << QStringLiteral(STUB_RETURNS_ONE) << false << QStringList{"返回 1"};
    QTest::newRow("entry point returns -1") << QStringLiteral(STUB_RETURNS_MINUS_ONE) << false
                                            << QStringList{"返回 -1"};
    QTest::newRow("no entry point") << QStringLiteral(STUB_NO_ENTRY_POINT) << false
                                    << QStringList{"DllRegisterServer"};
    QTest::newRow("library missing") << QStringLiteral("/nonexistent/liborvex.so") << false
                                     << QStringList{"/nonexistent/liborvex.so"};
    // A home where no folder can be made: the file and the system's error.
    QTest::newRow("registry cannot be written") << realComponent() << true
                                                << QStringList{"orvex/components.ini", "Not a directory"};
}

void TestStartup::failedRegistrationOpensNoFrame()
{
    QFETCH(QString, library);
    QFETCH(bool, unwritableConfig);
    QFETCH(QStringList, reasonNames);
    useComponent(library);
    QTemporaryDir home;
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    const auto restoreConfigHome = qScopeGuard([&configHome] { qputenv("XDG_CONFIG_HOME", configHome); });
    if (unwritableConfig) {
        QFile plainFile(home.filePath("not-a-folder"));
        QVERIFY(plainFile.open(QIODevice::WriteOnly));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("not-a-folder/config")));
    }
    ScriptedDialogs dialogs;
    ModalWatch watch;
    orvex app;
    w_main *frame = app.open(QString());
    QVERIFY(!frame);
    QCOMPARE(dialogs.messageBoxes.size(), 1);
    QVERIFY(dialogs.messageBoxes.first().title.isEmpty());
    QCOMPARE(dialogs.messageBoxes.first().text, kFailureText);
    for (const QString &name : reasonNames)
        QVERIFY2(dialogs.messageBoxes.first().detail.contains(name), qPrintable(dialogs.messageBoxes.first().detail));
    QVERIFY(visibleWindows().isEmpty());
    QVERIFY(QApplication::topLevelWidgets().isEmpty() || !QApplication::activeWindow());
    QCOMPARE(watch.caught, 0);
}

void TestStartup::successfulStartShowsTheComposeSheet_data()
{
    QTest::addColumn<QString>("commandline");
    QTest::newRow("no command line") << QString();
    QTest::newRow("command line ignored") << QStringLiteral("--unregister /tmp/x -v");
}

void TestStartup::successfulStartShowsTheComposeSheet()
{
    QFETCH(QString, commandline);
    useComponent(realComponent());
    ScriptedDialogs dialogs;
    orvex app;
    QPointer<w_main> frame = app.open(commandline);
    QVERIFY(frame);
    QVERIFY(QTest::qWaitForWindowExposed(frame));
    QVERIFY(dialogs.messageBoxes.isEmpty());
    QCOMPARE(visibleWindows(), QList<QWidget *>{frame.data()});

    const QList<QMdiSubWindow *> sheets = frame->mdiArea()->subWindowList();
    QCOMPARE(sheets.size(), 1);
    QVERIFY(qobject_cast<w_sendmail *>(sheets.first()->widget()));
    QVERIFY(sheets.first()->isMaximized());

    // The start registered the component: its classes can be made by name.
    platform::AutomationObject message;
    QCOMPARE(message.connectToNewObject(QStringLiteral("orvex.Message")), 0);
    closeAndFlush(frame);
    QVERIFY(frame.isNull());
}

void TestStartup::startingTwiceIsLikeOnce()
{
    useComponent(realComponent());
    ScriptedDialogs dialogs;
    for (int start = 0; start < 2; ++start) {
        orvex app;
        QPointer<w_main> frame = app.open(QString());
        QVERIFY(frame);
        QCOMPARE(frame->mdiArea()->subWindowList().size(), 1);
        closeAndFlush(frame);
        // Closing leaves the component registered.
        QVERIFY(!platform::registeredLibrary(QStringLiteral("orvex.POP3")).isEmpty());
    }
    QVERIFY(dialogs.messageBoxes.isEmpty());
}

void TestStartup::registerAnswers_data()
{
    QTest::addColumn<QString>("library");
    QTest::addColumn<bool>("registered");
    QTest::newRow("component") << realComponent() << true;
    QTest::newRow("result 1") << QStringLiteral(STUB_RETURNS_ONE) << false;
    QTest::newRow("result -1") << QStringLiteral(STUB_RETURNS_MINUS_ONE) << false;
    QTest::newRow("no entry point") << QStringLiteral(STUB_NO_ENTRY_POINT) << false;
    QTest::newRow("library missing") << QStringLiteral("/nonexistent/liborvex.so") << false;
}

void TestStartup::registerAnswers()
{
    QFETCH(QString, library);
    QFETCH(bool, registered);
    useComponent(library);
    n_orvex ln_orvex;
    QCOMPARE(ln_orvex.of_register(), registered);
    QCOMPARE(ln_orvex.of_unregister(), registered);
    QVERIFY(ln_orvex.is_log.isEmpty());
    if (registered)
        QVERIFY(platform::registeredLibrary(QStringLiteral("orvex.Message")).isEmpty());
}

void TestStartup::lastErrorIsEmptyOnANewEngine()
{
    n_orvex engine;
    QVERIFY(engine.is_log.isNull());
    const QString log = engine.of_getlasterror();
    QVERIFY(log.isEmpty());
    QVERIFY(!log.isNull());
    QVERIFY(!engine.is_log.isNull()); // the empty string is kept from now on
}

void TestStartup::helpAndVersionNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("printed");
    const QString version = QStringLiteral("orvex %1\n").arg(QLatin1String(kOrvexVersion));
    QTest::newRow("--version") << QStringList{"--version"} << version;
    QTest::newRow("--help") << QStringList{"--help"} << QStringLiteral("mailto:");
    QTest::newRow("-h after Qt's options and a link")
            << QStringList{"-platform", "xcb", "-stylesheet", "x.qss", "mailto:a@x.cn", "-h"}
            << QStringLiteral("--version");
}

// Run as a user would from a terminal without a desktop: the program
// answers and ends instead of looking for a display.
void TestStartup::helpAndVersionNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, printed);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    program.setProcessEnvironment(environment);
    program.start(qEnvironmentVariable("ORVEX_BIN_DIR") + QStringLiteral("/orvex"), arguments);
    QVERIFY(program.waitForFinished());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    QVERIFY2(out.contains(printed), qPrintable(out));
    QVERIFY2(program.readAllStandardError().isEmpty(), "nothing on stderr");
}

// The buttons of Qt's own dialogs beside the Chinese windows.
void TestStartup::qtsOwnTextsAreChinese()
{
    QVERIFY(installQtTranslations());
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
