// SPDX-License-Identifier: MIT
#include "platform/component_factory.h"

#include "platform/automation_object.h"
#include "platform/component_library.h"
#include "platform/component_registry.h"

#include <QLibrary>
#include <QObject>

namespace platform {

CreatedObject createComponentObject(const QString &className, QString *error)
{
    if (className.trimmed().isEmpty()) {
        *error = QStringLiteral("no class name given");
        return {kCreateInvalidCall, nullptr};
    }
    const QString libraryPath = registeredLibrary(className);
    if (libraryPath.isEmpty()) {
        *error = QStringLiteral("class %1 is not registered").arg(className);
        return {kCreateUnknownClass, nullptr};
    }
    QLibrary *library = loadComponentLibrary(libraryPath, error);
    if (!library)
        return {kCreateLibraryFailed, nullptr};
    using Factory = QObject *(*)(const char *);
    auto factory = reinterpret_cast<Factory>(library->resolve(kComponentFactorySymbol));
    if (!factory) {
        *error = QStringLiteral("%1 has no object factory").arg(libraryPath);
        return {kCreateLibraryFailed, nullptr};
    }
    QObject *object = factory(className.toUtf8().constData());
    if (!object) {
        *error = QStringLiteral("%1 does not make class %2").arg(libraryPath, className);
        return {kCreateRefused, nullptr};
    }
    return {kCreateOk, object};
}

} // namespace platform
