// SPDX-License-Identifier: MIT
#include "platform/automation_object.h"

#include "platform/component_factory.h"
#include "platform/transfer_progress.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <array>
#include <exception>

namespace platform {

namespace {

constexpr int kMaxArguments = 10;

int findProperty(const QMetaObject *meta, const QString &name)
{
    for (int i = 0; i < meta->propertyCount(); ++i) {
        if (name.compare(QLatin1String(meta->property(i).name()), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool isCallable(const QMetaMethod &method)
{
    return method.access() == QMetaMethod::Public
           && (method.methodType() == QMetaMethod::Method || method.methodType() == QMetaMethod::Slot);
}

// Converts `value` in place to `type`; a QVariant parameter takes anything.
bool convertArgument(QVariant &value, QMetaType type)
{
    if (type.id() == QMetaType::QVariant || value.metaType() == type)
        return true;
    if (!value.canConvert(type))
        return false;
    return value.convert(type);
}

// The public method or slot called `name` (any letter case) that takes
// exactly args.size() arguments. Among overloads, the first one whose
// parameters all take the given values wins; with none, the first of that
// name and count, so that the caller hears about the wrong argument.
int findMethod(const QMetaObject *meta, const QString &name, const QVariantList &args)
{
    int fallback = -1;
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (!isCallable(method) || method.parameterCount() != args.size())
            continue;
        if (name.compare(QLatin1String(method.name()), Qt::CaseInsensitive) != 0)
            continue;
        bool fits = true;
        for (int a = 0; a < args.size() && fits; ++a) {
            QVariant probe = args.at(a);
            fits = convertArgument(probe, method.parameterMetaType(a));
        }
        if (fits)
            return i;
        if (fallback < 0)
            fallback = i;
    }
    return fallback;
}

// Runs one call into a component object. An exception that escapes the
// object counts as an error raised inside it: the call fails with its text
// in *thrown instead of unwinding through the caller.
template <typename Call>
bool runGuarded(Call &&call, QString *thrown)
{
    try {
        return call();
    } catch (const std::exception &e) {
        *thrown = QString::fromLocal8Bit(e.what());
    } catch (...) {
        *thrown = QStringLiteral("未知的异常");
    }
    return false;
}

} // namespace

AutomationObject::~AutomationObject()
{
    release();
}

AutomationObject::AutomationObject(AutomationObject &&other) noexcept
    : m_object(other.m_object), m_owned(other.m_owned), m_lastError(std::move(other.m_lastError))
{
    other.m_object.clear();
    other.m_owned = false;
}

AutomationObject &AutomationObject::operator=(AutomationObject &&other) noexcept
{
    if (this != &other) {
        release();
        m_object = other.m_object;
        m_owned = other.m_owned;
        m_lastError = std::move(other.m_lastError);
        other.m_object.clear();
        other.m_owned = false;
    }
    return *this;
}

int AutomationObject::connectToNewObject(const QString &className)
{
    release();
    m_lastError.clear();
    QString error;
    const CreatedObject created = createComponentObject(className, &error);
    if (created.code != kCreateOk) {
        m_lastError = error;
        return created.code;
    }
    m_object = created.object;
    m_owned = true;
    // An object that reports the progress of its transfers gets it shown.
    connectTransferProgress(m_object.data());
    return kCreateOk;
}

bool AutomationObject::bindTo(const QVariant &value)
{
    QObject *target = value.metaType().flags().testFlag(QMetaType::PointerToQObject)
                              ? qvariant_cast<QObject *>(value)
                              : nullptr;
    release();
    if (!target)
        return fail(QStringLiteral("值中没有对象"));
    m_object = target;
    m_owned = false;
    m_lastError.clear();
    return true;
}

bool AutomationObject::setProperty(const QString &name, const QVariant &value)
{
    if (!checkBound(name))
        return false;
    const QMetaObject *meta = m_object->metaObject();
    const int index = findProperty(meta, name);
    if (index < 0)
        return fail(QStringLiteral("没有属性“%1”").arg(name));
    const QMetaProperty property = meta->property(index);
    if (!property.isWritable())
        return fail(QStringLiteral("属性“%1”是只读的").arg(name));
    QVariant converted = value;
    if (!convertArgument(converted, property.metaType()))
        return fail(QStringLiteral("属性“%1”不接受 %2 类型的值").arg(name, QLatin1String(value.typeName())));
    m_object->setProperty(kAutomationErrorProperty, QVariant());
    QString thrown;
    QObject *target = m_object.data();
    if (!runGuarded([&] { return property.write(target, converted); }, &thrown)) {
        if (!thrown.isEmpty())
            return fail(QStringLiteral("“%1”出错：%2").arg(name, thrown));
        if (!takeObjectError(name))
            return false;
        return fail(QStringLiteral("属性“%1”拒绝了这个值").arg(name));
    }
    return takeObjectError(name);
}

std::optional<QVariant> AutomationObject::property(const QString &name)
{
    if (!checkBound(name))
        return std::nullopt;
    const QMetaObject *meta = m_object->metaObject();
    const int index = findProperty(meta, name);
    if (index < 0) {
        fail(QStringLiteral("没有属性“%1”").arg(name));
        return std::nullopt;
    }
    m_object->setProperty(kAutomationErrorProperty, QVariant());
    QVariant value;
    QString thrown;
    QObject *target = m_object.data();
    const QMetaProperty metaProperty = meta->property(index);
    if (!runGuarded([&] { value = metaProperty.read(target); return true; }, &thrown)) {
        fail(QStringLiteral("“%1”出错：%2").arg(name, thrown));
        return std::nullopt;
    }
    if (!takeObjectError(name))
        return std::nullopt;
    return value;
}

std::optional<QVariant> AutomationObject::invoke(const QString &methodName, const QVariantList &args)
{
    if (!checkBound(methodName))
        return std::nullopt;
    if (args.size() > kMaxArguments) {
        fail(QStringLiteral("“%1”的参数过多").arg(methodName));
        return std::nullopt;
    }
    const QMetaObject *meta = m_object->metaObject();
    const int index = findMethod(meta, methodName, args);
    if (index < 0) {
        fail(QStringLiteral("没有带 %2 个参数的方法“%1”").arg(methodName).arg(args.size()));
        return std::nullopt;
    }
    const QMetaMethod method = meta->method(index);

    QVariantList converted = args;
    std::array<QGenericArgument, kMaxArguments> generic{};
    for (int i = 0; i < converted.size(); ++i) {
        const QMetaType type = method.parameterMetaType(i);
        if (!convertArgument(converted[i], type)) {
            fail(QStringLiteral("“%2”的第 %1 个参数类型不对").arg(i + 1).arg(methodName));
            return std::nullopt;
        }
        void *data = type.id() == QMetaType::QVariant ? static_cast<void *>(&converted[i]) : converted[i].data();
        generic[i] = QGenericArgument(type.name(), data);
    }

    const QMetaType returnType = method.returnMetaType();
    const bool returnsValue = returnType.isValid() && returnType.id() != QMetaType::Void;
    QVariant result = returnsValue ? QVariant(returnType) : QVariant();
    QGenericReturnArgument returnArgument;
    if (returnsValue)
        returnArgument = QGenericReturnArgument(returnType.name(), result.data());

    m_object->setProperty(kAutomationErrorProperty, QVariant());
    QString thrown;
    QObject *target = m_object.data();
    const bool invoked = runGuarded(
            [&] {
                return method.invoke(target, Qt::DirectConnection, returnArgument, generic[0], generic[1], generic[2],
                                     generic[3], generic[4], generic[5], generic[6], generic[7], generic[8],
                                     generic[9]);
            },
            &thrown);
    if (!invoked) {
        if (!thrown.isEmpty())
            fail(QStringLiteral("“%1”出错：%2").arg(methodName, thrown));
        else
            fail(QStringLiteral("调用“%1”失败").arg(methodName));
        return std::nullopt;
    }
    if (!takeObjectError(methodName))
        return std::nullopt;
    if (returnType.id() == QMetaType::QVariant)
        return result.value<QVariant>();
    return result;
}

bool AutomationObject::element(qint64 n, AutomationObject &out)
{
    // Rebinding the collection's own handle would release the collection,
    // and with it the element, before the element is bound.
    if (&out == this)
        return fail(QStringLiteral("第 %1 个元素不能取代它所在的集合").arg(n));
    const std::optional<QVariant> item = invoke(QStringLiteral("item"), {n});
    if (!item) {
        out.release();
        out.m_lastError = m_lastError;
        return false;
    }
    if (!out.bindTo(*item))
        return fail(QStringLiteral("集合中没有第 %1 个元素").arg(n));
    return true;
}

void AutomationObject::release()
{
    if (m_owned && m_object)
        delete m_object.data();
    m_object.clear();
    m_owned = false;
}

bool AutomationObject::fail(const QString &message)
{
    m_lastError = message;
    m_objectError.clear();
    return false;
}

bool AutomationObject::checkBound(const QString &member)
{
    if (m_object)
        return true;
    return fail(QStringLiteral("对不存在的对象调用了“%1”").arg(member));
}

bool AutomationObject::takeObjectError(const QString &member)
{
    if (!m_object)
        return fail(QStringLiteral("对象在“%1”中被销毁").arg(member));
    const QString error = m_object->property(kAutomationErrorProperty).toString();
    if (error.isEmpty()) {
        m_lastError.clear();
        m_objectError.clear();
        return true;
    }
    m_object->setProperty(kAutomationErrorProperty, QVariant());
    fail(QStringLiteral("“%1”出错：%2").arg(member, error));
    m_objectError = error;
    return false;
}

} // namespace platform
