#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The per-user component registry: an ini file in the user's config folder
// ($XDG_CONFIG_HOME/orvex/components.ini) that maps each registered class
// name to the path of the library that makes it. Components write it from
// their DllRegisterServer; the platform only reads it.
QString componentRegistryFile();

// The library path registered for className (letter case ignored), or an
// empty string when the class is not registered.
QString registeredLibrary(const QString &className);

// Every class name in the registry, spelled as it was registered.
QStringList registeredClassNames();

} // namespace platform
