#include "platform/component_registry.h"

#include <QSettings>
#include <QStandardPaths>

namespace platform {

QString componentRegistryFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/orvex/components.ini");
}

QString registeredLibrary(const QString &className)
{
    if (className.isEmpty())
        return {};
    QSettings registry(componentRegistryFile(), QSettings::IniFormat);
    registry.beginGroup(QStringLiteral("classes"));
    const QStringList keys = registry.childKeys();
    for (const QString &key : keys) {
        if (key.compare(className, Qt::CaseInsensitive) == 0)
            return registry.value(key).toString();
    }
    return {};
}

QStringList registeredClassNames()
{
    QSettings registry(componentRegistryFile(), QSettings::IniFormat);
    registry.beginGroup(QStringLiteral("classes"));
    return registry.childKeys();
}

} // namespace platform
