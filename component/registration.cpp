// SPDX-License-Identifier: MIT
// DllRegisterServer / DllUnregisterServer: write or remove this library's
// classes in the per-user component registry, an ini file under the user's
// config folder that maps each class name to the library's path.
#include "component/class_names.h"
#include "component/export.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <dlfcn.h>

ORVEX_EXPORT long DllRegisterServer();
ORVEX_EXPORT long DllUnregisterServer();

namespace {

QString registryFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/orvex/components.ini");
}

QString ownLibraryPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&DllRegisterServer), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

// True when the registry already maps every class to `path`, as a
// registration would leave it. The program registers at every start; an
// unchanged registry is then neither locked nor rewritten.
bool registersEveryClassAt(const QSettings &registry, const QString &path)
{
    for (const char *name : component::kClassNames) {
        if (registry.value(QLatin1String(name)).toString() != path)
            return false;
    }
    return true;
}

long syncStatus(QSettings &registry)
{
    registry.sync();
    return registry.status() == QSettings::NoError ? 0 : 1;
}

} // namespace

long DllRegisterServer()
{
    const QString path = ownLibraryPath();
    if (path.isEmpty())
        return 2;
    QSettings registry(registryFile(), QSettings::IniFormat);
    registry.beginGroup(QStringLiteral("classes"));
    if (registersEveryClassAt(registry, path))
        return 0;
    if (!QDir().mkpath(QFileInfo(registryFile()).absolutePath()))
        return 3;
    for (const char *name : component::kClassNames)
        registry.setValue(QLatin1String(name), path);
    registry.endGroup();
    return syncStatus(registry);
}

long DllUnregisterServer()
{
    QSettings registry(registryFile(), QSettings::IniFormat);
    registry.beginGroup(QStringLiteral("classes"));
    for (const char *name : component::kClassNames)
        registry.remove(QLatin1String(name));
    registry.endGroup();
    return syncStatus(registry);
}
