// SPDX-License-Identifier: MIT
#include "probe_component.h"

#include <stdexcept>

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace probe {

namespace {
void raise(QObject *object, const QString &text)
{
    object->setProperty("automationError", text);
}
} // namespace

Object::Object(QObject *parent) : QObject(parent), m_child(new Item(QStringLiteral("child"), this)) {}

QString Object::faulty()
{
    raise(this, QStringLiteral("reading is not allowed"));
    return {};
}

void Object::setFaulty(const QString &value)
{
    raise(this, QStringLiteral("cannot take %1").arg(value));
}

bool Object::fail(const QString &why)
{
    raise(this, why);
    return false;
}

int Object::explode()
{
    throw std::runtime_error("exploded inside the object");
}

List::List(QObject *parent) : QObject(parent)
{
    for (int i = 1; i <= 3; ++i)
        m_items.append(new Item(QStringLiteral("item %1").arg(i), this));
}

QObject *List::item(int n)
{
    if (n < 1 || n > m_items.size()) {
        raise(this, QStringLiteral("no element %1").arg(n));
        return nullptr;
    }
    return m_items.at(n - 1);
}

} // namespace probe

PROBE_EXPORT QObject *OrvexCreateObject(const char *className);

QObject *OrvexCreateObject(const char *className)
{
    const QString name = QString::fromUtf8(className).toLower();
    if (name == QLatin1String("probe.object"))
        return new probe::Object;
    if (name == QLatin1String("probe.list"))
        return new probe::List;
    return nullptr;
}
