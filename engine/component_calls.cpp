#include "engine/component_calls.h"

namespace engine {

void ComponentCalls::fail(const QString &reason)
{
    if (m_failed)
        return;
    m_failed = true;
    m_error = reason;
}

void ComponentCalls::explainFailure(const QString &context)
{
    if (m_failed)
        m_error = m_error.isEmpty() ? context : QStringLiteral("%1：%2").arg(context, m_error);
}

bool ComponentCalls::check(bool succeeded, const platform::AutomationObject &object)
{
    if (!succeeded)
        fail(object.lastError());
    return succeeded;
}

bool ComponentCalls::set(platform::AutomationObject &object, const QString &name, const QVariant &value)
{
    if (m_failed)
        return false;
    return check(object.setProperty(name, value), object);
}

QVariant ComponentCalls::get(platform::AutomationObject &object, const QString &name)
{
    if (m_failed)
        return {};
    const std::optional<QVariant> value = object.property(name);
    check(value.has_value(), object);
    return value.value_or(QVariant());
}

QVariant ComponentCalls::call(platform::AutomationObject &object, const QString &method, const QVariantList &args)
{
    if (m_failed)
        return {};
    const std::optional<QVariant> result = object.invoke(method, args);
    check(result.has_value(), object);
    return result.value_or(QVariant());
}

bool ComponentCalls::bindProperty(platform::AutomationObject &object, const QString &name,
                                  platform::AutomationObject &target)
{
    const QVariant value = get(object, name);
    if (m_failed)
        return false;
    return check(target.bindTo(value), target);
}

bool ComponentCalls::bindElement(platform::AutomationObject &collection, qint64 n, platform::AutomationObject &target)
{
    if (m_failed)
        return false;
    return check(collection.element(n, target), collection);
}

qint64 ComponentCalls::count(platform::AutomationObject &object, const QString &name)
{
    const QVariant value = get(object, name);
    if (m_failed)
        return 0;
    bool isNumber = false;
    const qint64 n = value.toLongLong(&isNumber);
    if (!isNumber || n < 0) {
        fail(QStringLiteral("组件的“%1”不是数目：%2").arg(name, value.toString()));
        return 0;
    }
    return n;
}

bool saysFalse(const QVariant &result)
{
    return result.isValid() && !result.isNull() && !result.toBool();
}

void passUserInput(platform::AutomationObject &object)
{
    object.setProperty(QStringLiteral("passuserinput"), true);
}

} // namespace engine
