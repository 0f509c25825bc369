// SPDX-License-Identifier: MIT
// The mail component's self-registration entry points and the per-user
// registry they write, as the program reads it.
#include "platform/automation_object.h"
#include "platform/component_library.h"
#include "platform/component_registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestComponentRegistration : public QObject {
    Q_OBJECT

private slots:
    void init();
    void registryLivesInTheConfigFolder();
    void registerWritesTheSixClasses();
    void registeringTwiceIsLikeOnce();
    void unregisterRemovesOnlyItsClasses();
    void libraryLocation();
    void missingLibraryOrEntryPoint();
    void unwritableRegistryFails();

private:
    static QString componentPath() { return qEnvironmentVariable("ORVEX_BIN_DIR") + QStringLiteral("/liborvex.so"); }
    static long callEntry(const char *name)
    {
        QString error;
        return platform::callComponentEntryPoint(name, &error).value_or(-99);
    }
    static ino_t registryInode()
    {
        struct stat info {};
        return ::stat(QFile::encodeName(platform::componentRegistryFile()).constData(), &info) == 0 ? info.st_ino : 0;
    }
    static QByteArray registryBytes()
    {
        QFile file(platform::componentRegistryFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    const QStringList m_classes{QStringLiteral("orvex.Message"),    QStringLiteral("orvex.POP3"),
                                QStringLiteral("orvex.Attachments"), QStringLiteral("orvex.Attachment"),
                                QStringLiteral("orvex.Recipients"),  QStringLiteral("orvex.Recipient")};
};

void TestComponentRegistration::init()
{
    QDir(QFileInfo(platform::componentRegistryFile()).absolutePath()).removeRecursively();
    qputenv("ORVEX_COMPONENT", componentPath().toLocal8Bit());
}

void TestComponentRegistration::registryLivesInTheConfigFolder()
{
    QCOMPARE(platform::componentRegistryFile(),
             qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/orvex/components.ini"));
}

void TestComponentRegistration::registerWritesTheSixClasses()
{
    QVERIFY(!QFile::exists(platform::componentRegistryFile()));
    QCOMPARE(callEntry("DllRegisterServer"), 0L);
    QVERIFY(QFile::exists(platform::componentRegistryFile()));

    const QString library = QFileInfo(componentPath()).canonicalFilePath();
    QSettings registry(platform::componentRegistryFile(), QSettings::IniFormat);
    registry.beginGroup(QStringLiteral("classes"));
    QCOMPARE(registry.childKeys().size(), 6);
    for (const QString &name : m_classes) {
        QCOMPARE(QFileInfo(registry.value(name).toString()).canonicalFilePath(), library);
        QCOMPARE(QFileInfo(platform::registeredLibrary(name.toUpper())).canonicalFilePath(), library);
    }
}

void TestComponentRegistration::registeringTwiceIsLikeOnce()
{
    QCOMPARE(callEntry("DllRegisterServer"), 0L);
    const QByteArray once = registryBytes();
    QVERIFY(!once.isEmpty());
    // The program registers at every start: a registry that already says
    // it all is left as it is, not rewritten (a rewrite replaces the file).
    const ino_t file = registryInode();
    QCOMPARE(callEntry("DllRegisterServer"), 0L);
    QCOMPARE(registryBytes(), once);
    QCOMPARE(registryInode(), file);
    platform::AutomationObject pop3;
    QCOMPARE(pop3.connectToNewObject(QStringLiteral("orvex.POP3")), 0);

    // A class left pointing elsewhere (a moved library) is written again.
    {
        QSettings registry(platform::componentRegistryFile(), QSettings::IniFormat);
        registry.setValue(QStringLiteral("classes/orvex.Recipient"), QStringLiteral("/old/place/liborvex.so"));
    }
    QCOMPARE(callEntry("DllRegisterServer"), 0L);
    QCOMPARE(registryBytes(), once);
}

void TestComponentRegistration::unregisterRemovesOnlyItsClasses()
{
    QCOMPARE(callEntry("DllRegisterServer"), 0L);
    {
        QSettings registry(platform::componentRegistryFile(), QSettings::IniFormat);
        registry.setValue(QStringLiteral("classes/other.Thing"), QStringLiteral("/opt/other/libthing.so"));
    }
    QCOMPARE(callEntry("DllUnregisterServer"), 0L);
    for (const QString &name : m_classes)
        QVERIFY2(platform::registeredLibrary(name).isEmpty(), qPrintable(name));
    QCOMPARE(platform::registeredLibrary(QStringLiteral("other.thing")), QStringLiteral("/opt/other/libthing.so"));

    platform::AutomationObject message;
    QCOMPARE(message.connectToNewObject(QStringLiteral("orvex.Message")), int(platform::kCreateUnknownClass));

    // Unregistering what is not registered is no failure; registering again
    // makes the classes creatable again.
    QCOMPARE(callEntry("DllUnregisterServer"), 0L);
    QCOMPARE(callEntry("DllRegisterServer"), 0L);
    QCOMPARE(message.connectToNewObject(QStringLiteral("orvex.Message")), 0);
}

void TestComponentRegistration::libraryLocation()
{
    QCOMPARE(platform::componentLibraryLocation(), componentPath());
    qunsetenv("ORVEX_COMPONENT");
    // The tests sit beside the component, as the program does.
    const QString own = QCoreApplication::applicationDirPath() + QStringLiteral("/liborvex.so");
    if (QFileInfo::exists(own))
        QCOMPARE(platform::componentLibraryLocation(), own);
    else
        QCOMPARE(platform::componentLibraryLocation(), QStringLiteral("orvex"));
}

void TestComponentRegistration::missingLibraryOrEntryPoint()
{
    qputenv("ORVEX_COMPONENT", "/nonexistent/liborvex.so");
    QString error;
    QVERIFY(!platform::callComponentEntryPoint("DllRegisterServer", &error).has_value());
    QVERIFY(!error.isEmpty());

    qputenv("ORVEX_COMPONENT", componentPath().toLocal8Bit());
    error.clear();
    QVERIFY(!platform::callComponentEntryPoint("NoSuchEntryPoint", &error).has_value());
    QVERIFY(error.contains(QStringLiteral("NoSuchEntryPoint")));
    QVERIFY(!QFile::exists(platform::componentRegistryFile()));
}

void TestComponentRegistration::unwritableRegistryFails()
{
    // The config folder is taken by a plain file: nothing can be written
    // below it, and registration must say so rather than report success.
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("not-a-folder"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("XDG_CONFIG_HOME", blocker.toLocal8Bit());
    const long rc = callEntry("DllRegisterServer");
    qputenv("XDG_CONFIG_HOME", saved);
    QVERIFY(rc != 0);
}

QTEST_GUILESS_MAIN(TestComponentRegistration)
#include "test_component_registration.moc"
