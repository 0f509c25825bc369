// SPDX-License-Identifier: MIT
// The late-bound handle against the probe library (objects built to fail in
// every way a component can) and against the real mail component.
#include "platform/automation_object.h"
#include "platform/component_library.h"
#include "platform/component_registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

using platform::AutomationObject;

class TestAutomationObject : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void createByName_data();
    void createByName();
    void propertiesResolveInAnyCase();
    void methodsResolveInAnyCase();
    void failingCallsAreReported_data();
    void failingCallsAreReported();
    void collectionElements();
    void borrowedObjectOfDeletedOwnerIsReported();
    void releaseAndMove();
    void realComponentClasses_data();
    void realComponentClasses();
    void realComponentMembers();
};

void TestAutomationObject::initTestCase()
{
    QDir(QFileInfo(platform::componentRegistryFile()).absolutePath()).removeRecursively();
    QVERIFY(QDir().mkpath(QFileInfo(platform::componentRegistryFile()).absolutePath()));
    {
        QSettings registry(platform::componentRegistryFile(), QSettings::IniFormat);
        registry.beginGroup(QStringLiteral("classes"));
        registry.setValue(QStringLiteral("probe.Object"), QStringLiteral(PROBE_LIBRARY));
        registry.setValue(QStringLiteral("probe.List"), QStringLiteral(PROBE_LIBRARY));
        registry.setValue(QStringLiteral("probe.Refused"), QStringLiteral(PROBE_LIBRARY));
        registry.setValue(QStringLiteral("probe.Broken"), QStringLiteral("/nonexistent/libprobe-missing.so"));
        registry.endGroup();
    }
    // The real component registers itself next to the probe classes.
    qputenv("ORVEX_COMPONENT", qgetenv("ORVEX_BIN_DIR") + "/liborvex.so");
    QString error;
    QCOMPARE(platform::callComponentEntryPoint("DllRegisterServer", &error).value_or(-99), 0L);
    qunsetenv("ORVEX_COMPONENT");
    QCOMPARE(platform::registeredLibrary(QStringLiteral("probe.object")), QStringLiteral(PROBE_LIBRARY));
}

void TestAutomationObject::createByName_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("expected");
    QTest::newRow("registered") << "probe.Object" << int(platform::kCreateOk);
    QTest::newRow("other letter case") << "PROBE.oBJECT" << int(platform::kCreateOk);
    QTest::newRow("unknown class") << "probe.NoSuchClass" << int(platform::kCreateUnknownClass);
    QTest::newRow("empty name") << "" << int(platform::kCreateInvalidCall);
    QTest::newRow("library does not make it") << "probe.Refused" << int(platform::kCreateRefused);
    QTest::newRow("library missing") << "probe.Broken" << int(platform::kCreateLibraryFailed);
}

void TestAutomationObject::createByName()
{
    QFETCH(QString, className);
    QFETCH(int, expected);
    AutomationObject object;
    const int code = object.connectToNewObject(className);
    QCOMPARE(code, expected);
    QCOMPARE(object.isBound(), code == 0);
    if (code != 0) {
        QVERIFY(code < 0);
        QVERIFY(!object.lastError().isEmpty());
    }
}

void TestAutomationObject::propertiesResolveInAnyCase()
{
    AutomationObject object;
    QCOMPARE(object.connectToNewObject(QStringLiteral("probe.Object")), 0);
    QVERIFY(object.setProperty(QStringLiteral("TEXT"), QStringLiteral("你好")));
    QCOMPARE(object.property(QStringLiteral("text")).value_or(QVariant()).toString(), QStringLiteral("你好"));
    QCOMPARE(object.property(QStringLiteral("Text")).value_or(QVariant()).toString(), QStringLiteral("你好"));

    // Values arrive in whatever type the caller holds them and are converted.
    QVERIFY(object.setProperty(QStringLiteral("Number"), QStringLiteral("42")));
    QCOMPARE(object.property(QStringLiteral("NUMBER")).value_or(QVariant()).toInt(), 42);
    QVERIFY(object.setProperty(QStringLiteral("fLaG"), true));
    QCOMPARE(object.property(QStringLiteral("flag")).value_or(QVariant()).toBool(), true);
    QCOMPARE(object.property(QStringLiteral("CONSTANT")).value_or(QVariant()).toString(), QStringLiteral("fixed"));
    QVERIFY(object.lastError().isEmpty());
}

void TestAutomationObject::methodsResolveInAnyCase()
{
    AutomationObject object;
    QCOMPARE(object.connectToNewObject(QStringLiteral("probe.Object")), 0);
    QCOMPARE(object.invoke(QStringLiteral("add"), {2, 3}).value_or(QVariant()).toInt(), 5);
    QCOMPARE(object.invoke(QStringLiteral("ADD"), {QStringLiteral("40"), 2}).value_or(QVariant()).toInt(), 42);
    QCOMPARE(object.invoke(QStringLiteral("Join"), {QStringLiteral("a"), 1}).value_or(QVariant()).toString(),
             QStringLiteral("a1"));
    QCOMPARE(object.invoke(QStringLiteral("ECHO"), {QStringLiteral("x")}).value_or(QVariant()),
             QVariant(QStringLiteral("x")));
    // An overload is chosen by the arguments it can take.
    QCOMPARE(object.invoke(QStringLiteral("describe"), {7}).value_or(QVariant()).toString(),
             QStringLiteral("number 7"));
    QObject *self = object.object();
    QCOMPARE(object.invoke(QStringLiteral("describe"), {QVariant::fromValue(self)}).value_or(QVariant()).toString(),
             QStringLiteral("object"));
    // A method with no result still reports success.
    QVERIFY(object.invoke(QStringLiteral("TOUCH")).has_value());
    QCOMPARE(object.property(QStringLiteral("number")).value_or(QVariant()).toInt(), 1);
}

void TestAutomationObject::failingCallsAreReported_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("member");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("errorPart");
    QTest::newRow("unknown property read") << "get" << "nosuch" << QVariantList{} << "nosuch";
    QTest::newRow("unknown property write") << "set" << "nosuch" << QVariantList{1} << "nosuch";
    QTest::newRow("read-only property") << "set" << "constant" << QVariantList{QStringLiteral("x")} << "constant";
    QTest::newRow("property of the wrong type")
            << "set" << "number" << QVariantList{QStringLiteral("not a number")} << "number";
    QTest::newRow("error raised reading") << "get" << "faulty" << QVariantList{} << "reading is not allowed";
    QTest::newRow("error raised writing") << "set" << "faulty" << QVariantList{QStringLiteral("v")} << "cannot take v";
    QTest::newRow("unknown method") << "call" << "nosuch" << QVariantList{} << "nosuch";
    QTest::newRow("wrong argument count") << "call" << "add" << QVariantList{1} << "add";
    QTest::newRow("wrong argument type") << "call" << "add" << QVariantList{QStringLiteral("x"), 1} << "add";
    QTest::newRow("object as a number")
            << "call" << "add" << QVariantList{QVariant::fromValue<QObject *>(nullptr), 1} << "add";
    QTest::newRow("error raised in a method")
            << "call" << "fail" << QVariantList{QStringLiteral("disk full")} << "disk full";
    QTest::newRow("exception in a method") << "call" << "explode" << QVariantList{} << "exploded inside";
}

void TestAutomationObject::failingCallsAreReported()
{
    QFETCH(QString, call);
    QFETCH(QString, member);
    QFETCH(QVariantList, args);
    QFETCH(QString, errorPart);

    AutomationObject object;
    QCOMPARE(object.connectToNewObject(QStringLiteral("probe.Object")), 0);
    bool succeeded = true;
    if (call == QLatin1String("get"))
        succeeded = object.property(member).has_value();
    else if (call == QLatin1String("set"))
        succeeded = object.setProperty(member, args.value(0));
    else
        succeeded = object.invoke(member, args).has_value();
    QVERIFY(!succeeded);
    QVERIFY2(object.lastError().contains(errorPart, Qt::CaseInsensitive), qPrintable(object.lastError()));

    // The failure is over once reported: the next call works and is clean.
    QVERIFY(object.isBound());
    QCOMPARE(object.invoke(QStringLiteral("add"), {1, 1}).value_or(QVariant()).toInt(), 2);
    QVERIFY(object.lastError().isEmpty());
}

void TestAutomationObject::collectionElements()
{
    AutomationObject list;
    QCOMPARE(list.connectToNewObject(QStringLiteral("probe.list")), 0);
    QCOMPARE(list.property(QStringLiteral("Count")).value_or(QVariant()).toInt(), 3);
    for (int n = 1; n <= 3; ++n) {
        AutomationObject item;
        QVERIFY2(list.element(n, item), qPrintable(list.lastError()));
        QCOMPARE(item.property(QStringLiteral("NAME")).value_or(QVariant()).toString(),
                 QStringLiteral("item %1").arg(n));
    }
    for (int n : {0, 4, -1}) {
        AutomationObject item;
        QVERIFY(!list.element(n, item));
        QVERIFY(!item.isBound());
        QVERIFY(list.lastError().contains(QStringLiteral("no element")));
    }
    // Nor into the collection's own handle, which would drop the collection.
    QVERIFY(!list.element(1, list));
    QVERIFY(list.isBound());
    QCOMPARE(list.property(QStringLiteral("count")).value_or(QVariant()).toInt(), 3);

    // An object that is no collection has no elements.
    AutomationObject plain;
    QCOMPARE(plain.connectToNewObject(QStringLiteral("probe.Object")), 0);
    AutomationObject item;
    QVERIFY(!plain.element(1, item));
    QVERIFY(!plain.lastError().isEmpty());
}

void TestAutomationObject::borrowedObjectOfDeletedOwnerIsReported()
{
    AutomationObject list;
    QCOMPARE(list.connectToNewObject(QStringLiteral("probe.List")), 0);
    AutomationObject item;
    QVERIFY(list.element(2, item));

    // Releasing a borrowed handle leaves the object to its owner.
    item.release();
    QVERIFY(list.element(2, item));
    QCOMPARE(list.property(QStringLiteral("count")).value_or(QVariant()).toInt(), 3);

    AutomationObject owner;
    QCOMPARE(owner.connectToNewObject(QStringLiteral("probe.Object")), 0);
    AutomationObject child;
    QVERIFY(child.bindTo(owner.property(QStringLiteral("child")).value_or(QVariant())));
    QCOMPARE(child.property(QStringLiteral("name")).value_or(QVariant()).toString(), QStringLiteral("child"));

    list.release();
    owner.release();
    QVERIFY(!item.isBound());
    QVERIFY(!item.property(QStringLiteral("name")).has_value());
    QVERIFY(!item.lastError().isEmpty());
    QVERIFY(!child.setProperty(QStringLiteral("name"), QStringLiteral("x")));
    QVERIFY(!child.invoke(QStringLiteral("deleteLater")).has_value());
    QVERIFY(!child.lastError().isEmpty());

    // A value that holds no object binds to nothing.
    AutomationObject none;
    QVERIFY(!none.bindTo(QVariant(5)));
    QVERIFY(!none.bindTo(QVariant::fromValue<QObject *>(nullptr)));
    QVERIFY(!none.isBound());
}

void TestAutomationObject::releaseAndMove()
{
    AutomationObject first;
    QCOMPARE(first.connectToNewObject(QStringLiteral("probe.Object")), 0);
    QPointer<QObject> made = first.object();
    AutomationObject second(std::move(first));
    QVERIFY(!first.isBound());
    QCOMPARE(second.object(), made.data());

    AutomationObject third;
    QCOMPARE(third.connectToNewObject(QStringLiteral("probe.List")), 0);
    QPointer<QObject> replaced = third.object();
    third = std::move(second);
    QVERIFY(replaced.isNull()); // the object it owned went with the assignment
    QCOMPARE(third.object(), made.data());

    third.release();
    third.release();
    QVERIFY(made.isNull());
    QVERIFY(!third.property(QStringLiteral("text")).has_value());

    // Connecting again releases the previous object first.
    QCOMPARE(third.connectToNewObject(QStringLiteral("probe.Object")), 0);
    QPointer<QObject> before = third.object();
    QVERIFY(third.connectToNewObject(QStringLiteral("probe.NoSuchClass")) < 0);
    QVERIFY(before.isNull());
    QVERIFY(!third.isBound());
}

void TestAutomationObject::realComponentClasses_data()
{
    QTest::addColumn<QString>("className");
    for (const char *name : {"orvex.Message", "orvex.POP3", "orvex.Attachments", "orvex.Attachment",
                             "orvex.Recipients", "ORVEX.recipient"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestAutomationObject::realComponentClasses()
{
    QFETCH(QString, className);
    AutomationObject object;
    QCOMPARE(object.connectToNewObject(className), 0);
}

void TestAutomationObject::realComponentMembers()
{
    AutomationObject message;
    QCOMPARE(message.connectToNewObject(QStringLiteral("Orvex.Message")), 0);
    QVERIFY(message.setProperty(QStringLiteral("SUBJECT"), QStringLiteral("测试邮件")));
    QCOMPARE(message.property(QStringLiteral("Subject")).value_or(QVariant()).toString(), QStringLiteral("测试邮件"));
    QVERIFY(message.setProperty(QStringLiteral("Priority"), 3));
    QVERIFY(message.setProperty(QStringLiteral("silent"), true));
    QCOMPARE(message.invoke(QStringLiteral("AddRecipient"), {QStringLiteral("a@example.org")})
                     .value_or(QVariant())
                     .toBool(),
             true);
    QVERIFY(message.invoke(QStringLiteral("addrecipient"), {QStringLiteral("b@example.org")}).has_value());

    AutomationObject recipients;
    QVERIFY(recipients.bindTo(message.property(QStringLiteral("RECIPIENTS")).value_or(QVariant())));
    QCOMPARE(recipients.property(QStringLiteral("count")).value_or(QVariant()).toInt(), 2);
    AutomationObject recipient;
    QVERIFY(recipients.element(1, recipient));
    QCOMPARE(recipient.property(QStringLiteral("Email")).value_or(QVariant()).toString(),
             QStringLiteral("b@example.org"));
    AutomationObject beyond;
    QVERIFY(!recipients.element(2, beyond));
    QVERIFY(!recipients.lastError().isEmpty());

    QVERIFY(!message.invoke(QStringLiteral("nosuchmethod")).has_value());
    QVERIFY(!message.lastError().isEmpty());

    // Closing and releasing the message takes its collections with it.
    QVERIFY(message.invoke(QStringLiteral("CLOSE")).has_value());
    message.release();
    QVERIFY(!recipients.property(QStringLiteral("count")).has_value());
    QVERIFY(!recipient.property(QStringLiteral("email")).has_value());
}

QTEST_GUILESS_MAIN(TestAutomationObject)
#include "test_automation_object.moc"
