// SPDX-License-Identifier: MIT
#include "bus/component_service.h"

#include "bus/bus_errors.h"
#include "bus/exported_class.h"
#include "bus/member_call.h"
#include "bus/signal_relay.h"
#include "platform/automation_object.h"
#include "platform/component_factory.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcService, "orvex.component-service")

namespace bus {

namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
// The member that ends an object's transfers: it must reach the object
// while a call of it is still running.
const QString kInterruptMethod = QStringLiteral("abandon");
// Objects made by one client (or detached ones, together) at most: each
// has a thread.
constexpr int kMaxObjectsPerClient = 64;
constexpr int kHousekeepingMs = 5000;

const QString kServiceInterfaceXml = QStringLiteral(
        "  <interface name=\"org.orvex.Component\">\n"
        "    <method name=\"CreateObject\">\n"
        "      <arg name=\"classname\" type=\"s\" direction=\"in\"/>\n"
        "      <arg name=\"path\" type=\"o\" direction=\"out\"/>\n"
        "    </method>\n"
        "    <method name=\"CreateDetachedObject\">\n"
        "      <arg name=\"classname\" type=\"s\" direction=\"in\"/>\n"
        "      <arg name=\"path\" type=\"o\" direction=\"out\"/>\n"
        "    </method>\n"
        "    <method name=\"ReleaseObject\">\n"
        "      <arg name=\"path\" type=\"o\" direction=\"in\"/>\n"
        "    </method>\n"
        "  </interface>\n");

// What a client sent, shortened for an error text: names only, never
// values, reach the log and the errors.
QString shown(const QString &text)
{
    constexpr int kMaxShown = 80;
    return text.size() <= kMaxShown ? text : text.left(kMaxShown) + QStringLiteral("…");
}

QString clientName(const QString &owner)
{
    return owner.isEmpty() ? QStringLiteral("（不属于任何客户）") : owner;
}

// Ends what the object's thread is transferring, through its own
// "abandon" when it has one.
void abandonTransfers(QObject *object)
{
    platform::AutomationObject handle;
    handle.bindTo(QVariant::fromValue(object));
    if (object->metaObject()->indexOfMethod("abandon()") >= 0)
        handle.invoke(kInterruptMethod);
}

} // namespace

ComponentService::ComponentService(const QDBusConnection &connection, ClassCatalogue &catalogue, int idleSeconds)
    : m_connection(connection), m_catalogue(catalogue), m_table(catalogue), m_clients(connection),
      m_idleMs(idleSeconds * 1000)
{
    m_table.setExportHook([this](QObject *object, const QString &path, const ObjectTable::Entry &entry) {
        exportSignals(object, path, entry);
    });
    connect(&m_clients, &ClientWatch::clientLeft, this, &ComponentService::releaseObjectsOf);
    // Sent by the bus library itself when the connection drops.
    m_connection.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                         QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                         SLOT(busDisconnected()));
    m_sinceLastCall.start();
    connect(&m_housekeeping, &QTimer::timeout, this, &ComponentService::keepHouse);
    m_housekeeping.start(std::min(kHousekeepingMs, std::max(m_idleMs / 2, 100)));
}

// At exit the objects are left as they are, only their transfers ended:
// a mailbox let go without "disconnect" deletes nothing on its server.
ComponentService::~ComponentService()
{
    for (quint64 id : m_table.roots()) {
        if (const std::optional<ObjectTable::Entry> entry = m_table.takeRoot(id)) {
            QObject *object = entry->object;
            entry->thread->interrupt([object] { abandonTransfers(object); });
            delete entry->thread;
        }
    }
}

void ComponentService::exportSignals(QObject *object, const QString &path, const ObjectTable::Entry &entry)
{
    if (entry.exported->signalList().isEmpty())
        return;
    const quint64 rootId = entry.rootId;
    new SignalRelay(object, *entry.exported, path, entry.owner, m_connection,
                    [this, rootId](QObject *other) { return m_table.pathFor(other, rootId); });
}

QString ComponentService::introspect(const QString &path) const
{
    if (path == QLatin1String(kPath))
        return kServiceInterfaceXml + QStringLiteral("  <node name=\"object\"/>\n");
    if (path == ObjectTable::objectFolder()) {
        QString nodes;
        for (quint64 id : m_table.ids())
            nodes += QStringLiteral("  <node name=\"%1\"/>\n").arg(id);
        return nodes;
    }
    if (const std::optional<quint64> id = ObjectTable::idOf(path)) {
        if (const std::optional<ObjectTable::Entry> entry = m_table.find(*id))
            return entry->exported->introspectionXml();
    }
    return {};
}

bool ComponentService::handleMessage(const QDBusMessage &message, const QDBusConnection &)
{
    if (message.type() != QDBusMessage::MethodCallMessage)
        return false;
    m_sinceLastCall.start();
    // QtDBus answers these itself, from introspect().
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Introspectable")
        || message.interface() == QLatin1String("org.freedesktop.DBus.Peer"))
        return false;
    if (!m_clients.isSameUser(message.service())) {
        replyError(message, errors::kAccessDenied, QStringLiteral("只为本用户服务"));
        return true;
    }
    if (message.path() == QLatin1String(kPath)) {
        handleServiceCall(message);
    } else if (const std::optional<quint64> id = ObjectTable::idOf(message.path())) {
        handleObjectCall(*id, message);
    } else {
        replyError(message, errors::kUnknownObject, QStringLiteral("没有对象 %1").arg(shown(message.path())));
    }
    return true;
}

void ComponentService::handleServiceCall(const QDBusMessage &message)
{
    if (!message.interface().isEmpty() && message.interface() != QLatin1String(kInterface)) {
        replyError(message, errors::kUnknownInterface, QStringLiteral("没有接口 %1").arg(shown(message.interface())));
        return;
    }
    const QString member = message.member();
    if (member == QLatin1String("CreateObject") || member == QLatin1String("CreateDetachedObject")) {
        if (message.signature() != QLatin1String("s")) {
            replyError(message, errors::kInvalidArgs, QStringLiteral("%1 要一个类名 (s)").arg(member));
            return;
        }
        createObject(message, member == QLatin1String("CreateObject") ? message.service() : QString());
    } else if (member == QLatin1String("ReleaseObject")) {
        if (message.signature() != QLatin1String("o")) {
            replyError(message, errors::kInvalidArgs, QStringLiteral("ReleaseObject 要一个对象路径 (o)"));
            return;
        }
        releaseObject(message);
    } else {
        replyError(message, errors::kUnknownMethod, QStringLiteral("没有方法 %1").arg(shown(member)));
    }
}

void ComponentService::createObject(const QDBusMessage &message, const QString &owner)
{
    const QString requested = message.arguments().value(0).toString();
    const QString className = m_catalogue.registeredName(requested);
    if (className.isEmpty()) {
        replyError(message, errors::kUnknownClass, QStringLiteral("没有注册名为“%1”的类").arg(shown(requested)));
        return;
    }
    if (m_table.rootsOwnedBy(owner).size() >= kMaxObjectsPerClient) {
        replyError(message, errors::kLimitReached,
                   QStringLiteral("已有 %1 个对象，请先释放不再使用的对象").arg(kMaxObjectsPerClient));
        return;
    }
    QString error;
    const platform::CreatedObject created = platform::createComponentObject(className, &error);
    if (created.code != platform::kCreateOk) {
        replyError(message, errors::kComponentUnavailable, QStringLiteral("无法建立 %1：%2").arg(className, error));
        return;
    }
    auto *thread = new ObjectThread;
    const quint64 id =
            m_table.addRoot(created.object, &m_catalogue.exportedClass(created.object->metaObject()), owner, thread);
    // Moved with everything the table added to it (its signal relay).
    created.object->moveToThread(thread->workerThread());
    if (!owner.isEmpty())
        m_clients.watch(owner);
    const QString path = ObjectTable::pathOf(id);
    qCInfo(lcService).noquote() << "建立了" << className << path << "客户" << clientName(owner);
    reply(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
}

void ComponentService::releaseObject(const QDBusMessage &message)
{
    const QString path = qvariant_cast<QDBusObjectPath>(message.arguments().value(0)).path();
    const std::optional<quint64> id = ObjectTable::idOf(path);
    const std::optional<ObjectTable::Entry> entry = id ? m_table.find(*id) : std::nullopt;
    if (!entry) {
        replyError(message, errors::kUnknownObject, QStringLiteral("没有对象 %1（可能已经释放）").arg(shown(path)));
        return;
    }
    if (entry->rootId != *id) {
        replyError(message, errors::kNotReleasable,
                   QStringLiteral("%1 属于 %2，随它一起释放").arg(path, ObjectTable::pathOf(entry->rootId)));
        return;
    }
    releaseRoot(*id, QStringLiteral("客户释放"));
    reply(message.createReply());
}

void ComponentService::releaseRoot(quint64 id, const QString &why)
{
    const std::optional<ObjectTable::Entry> entry = m_table.takeRoot(id);
    if (!entry)
        return;
    QObject *object = entry->object;
    // A call still running on it ends first (as a failure), then the object
    // goes in its own thread, and the thread after it.
    if (entry->thread->isBusy())
        entry->thread->interrupt([object] { abandonTransfers(object); });
    entry->thread->retire([object] { delete object; });
    qCInfo(lcService).noquote() << "释放了" << ObjectTable::pathOf(id) << why;
}

void ComponentService::releaseObjectsOf(const QString &client)
{
    for (quint64 id : m_table.rootsOwnedBy(client))
        releaseRoot(id, QStringLiteral("客户 %1 已离开总线").arg(client));
}

void ComponentService::handleObjectCall(quint64 id, const QDBusMessage &message)
{
    const std::optional<ObjectTable::Entry> entry = m_table.find(id);
    if (!entry) {
        replyError(message, errors::kUnknownObject, QStringLiteral("没有对象 %1（可能已经释放）").arg(message.path()));
        return;
    }
    if (message.interface() == kPropertiesInterface)
        handlePropertiesCall(id, *entry, message);
    else if (message.interface().isEmpty() || message.interface() == entry->exported->interfaceName())
        handleMethodCall(id, *entry, message);
    else
        replyError(message, errors::kUnknownInterface, QStringLiteral("没有接口 %1").arg(shown(message.interface())));
}

void ComponentService::handleMethodCall(quint64 id, const ObjectTable::Entry &entry, const QDBusMessage &message)
{
    const ExportedClass::Method *method = entry.exported->method(message.member());
    if (!method) {
        replyError(message, errors::kUnknownMethod,
                   QStringLiteral("%1 没有方法“%2”").arg(entry.exported->interfaceName(), shown(message.member())));
        return;
    }
    if (message.signature() != method->parameterSignature) {
        replyError(message, errors::kInvalidArgs,
                   QStringLiteral("“%1”的参数应为 (%2)，收到的是 (%3)")
                           .arg(method->name, method->parameterSignature, shown(message.signature())));
        return;
    }
    QVariantList arguments;
    const QVariantList received = message.arguments();
    for (int i = 0; i < received.size(); ++i) {
        const std::optional<QVariant> argument = fromBusValue(received[i], method->parameterTypes.value(i));
        if (!argument) {
            replyError(message, errors::kInvalidArgs, QStringLiteral("“%1”的第 %2 个参数无法使用").arg(method->name).arg(i + 1));
            return;
        }
        arguments << *argument;
    }
    ObjectThread::Job job = jobFor(id, message, [message, method, arguments](QObject *object, const PathOfObject &pathOf) {
        return callMethod(message, object, *method, arguments, pathOf);
    });
    if (method->name == kInterruptMethod)
        entry.thread->interrupt(std::move(job));
    else
        entry.thread->submit(std::move(job));
}

void ComponentService::handlePropertiesCall(quint64 id, const ObjectTable::Entry &entry, const QDBusMessage &message)
{
    const QString member = message.member();
    const QVariantList arguments = message.arguments();
    const ExportedClass &exported = *entry.exported;
    const QString expected = member == QLatin1String("Get")    ? QStringLiteral("ss")
                             : member == QLatin1String("Set")  ? QStringLiteral("ssv")
                             : member == QLatin1String("GetAll") ? QStringLiteral("s")
                                                                 : QString();
    if (expected.isEmpty()) {
        replyError(message, errors::kUnknownMethod, QStringLiteral("没有方法 %1").arg(shown(member)));
        return;
    }
    if (message.signature() != expected) {
        replyError(message, errors::kInvalidArgs,
                   QStringLiteral("%1 的参数应为 (%2)，收到的是 (%3)").arg(member, expected, shown(message.signature())));
        return;
    }
    const QString interface = arguments.value(0).toString();
    if (!interface.isEmpty() && interface != exported.interfaceName()) {
        replyError(message, errors::kUnknownInterface, QStringLiteral("没有接口 %1").arg(shown(interface)));
        return;
    }
    if (member == QLatin1String("GetAll")) {
        entry.thread->submit(jobFor(id, message, [message, &exported](QObject *object, const PathOfObject &pathOf) {
            return readAllProperties(message, object, exported, pathOf);
        }));
        return;
    }
    const ExportedClass::Property *property = exported.property(arguments.value(1).toString());
    if (!property) {
        replyError(message, errors::kUnknownProperty,
                   QStringLiteral("%1 没有属性“%2”").arg(exported.interfaceName(), shown(arguments.value(1).toString())));
        return;
    }
    if (member == QLatin1String("Get")) {
        entry.thread->submit(jobFor(id, message, [message, property](QObject *object, const PathOfObject &pathOf) {
            return readProperty(message, object, *property, pathOf);
        }));
        return;
    }
    if (!property->writable) {
        replyError(message, errors::kPropertyReadOnly, QStringLiteral("属性“%1”是只读的").arg(property->name));
        return;
    }
    const std::optional<QVariant> value =
            fromBusValue(qvariant_cast<QDBusVariant>(arguments.value(2)).variant(), property->type);
    if (!value) {
        replyError(message, errors::kInvalidArgs,
                   QStringLiteral("属性“%1”的值应为 (%2)").arg(property->name, property->signature));
        return;
    }
    entry.thread->submit(jobFor(id, message, [message, property, value](QObject *object, const PathOfObject &) {
        return writeProperty(message, object, *property, *value);
    }));
}

ObjectThread::Job ComponentService::jobFor(quint64 id, const QDBusMessage &message, ObjectCall call)
{
    return [this, id, message, call = std::move(call)] {
        const std::optional<ObjectTable::Entry> entry = m_table.find(id);
        if (!entry) {
            replyError(message, errors::kUnknownObject, QStringLiteral("对象 %1 已经释放").arg(message.path()));
            return;
        }
        const quint64 rootId = entry->rootId;
        reply(call(entry->object, [this, rootId](QObject *object) { return m_table.pathFor(object, rootId); }));
    };
}

void ComponentService::reply(const QDBusMessage &message)
{
    m_connection.send(message);
}

void ComponentService::replyError(const QDBusMessage &call, const QString &name, const QString &text)
{
    reply(call.createErrorReply(name, text));
}

// The session is over: nothing can reach the objects any more.
void ComponentService::busDisconnected()
{
    qCInfo(lcService) << "总线连接已断开，服务结束";
    QCoreApplication::quit();
}

void ComponentService::keepHouse()
{
    const QList<quint64> roots = m_table.roots();
    for (quint64 id : roots) {
        const std::optional<ObjectTable::Entry> entry = m_table.find(id);
        if (entry && entry->owner.isEmpty() && entry->thread->idleMs() >= m_idleMs)
            releaseRoot(id, QStringLiteral("长时间没有调用"));
    }
    if (m_table.rootCount() == 0 && m_sinceLastCall.elapsed() >= m_idleMs) {
        qCInfo(lcService) << "没有对象，服务结束";
        m_connection.unregisterService(QLatin1String(kServiceName));
        QCoreApplication::quit();
    }
}

} // namespace bus
