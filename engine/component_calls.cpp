// SPDX-License-Identifier: MIT
#include "engine/component_calls.h"

namespace engine {

void ComponentCalls::fail(const QString &reason, FailureKind kind)
{
    if (m_failed)
        return;
    m_failed = true;
    m_error = reason;
    m_kind = kind;
}

void ComponentCalls::explainFailure(const QString &context, FailureKind kind)
{
    if (!m_failed)
        return;
    m_error = m_error.isEmpty() ? context : QStringLiteral("%1：%2").arg(context, m_error);
    if (kind != FailureKind::None)
        m_kind = kind;
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
        fail(QStringLiteral("组件的“%1”不是数目：%2").arg(name, value.toString()), FailureKind::Protocol);
        return 0;
    }
    return n;
}

QString componentReason(platform::AutomationObject &object, const QString &fallback)
{
    const QString reason = object.property(QStringLiteral("lasterror")).value_or(QVariant()).toString();
    return reason.isEmpty() ? fallback : reason;
}

Failure transferFailure(const ComponentCalls &calls, platform::AutomationObject &object)
{
    Failure failure;
    failure.kind = calls.failureKind();
    if (failure.kind == FailureKind::None) {
        // A component without the property still failed: Other.
        failure.kind = failureKindFromName(
                object.property(QStringLiteral("failurekind")).value_or(QVariant()).toString());
    }
    failure.reason = calls.failed() && !calls.error().isEmpty()
                             ? calls.error()
                             : componentReason(object, QStringLiteral("组件没有说明原因"));
    return failure;
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
