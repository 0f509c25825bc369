// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The per-user component registry: an ini file in the user's config folder
// ($XDG_CONFIG_HOME/orvex/components.ini) that maps each registered class
// name to the path of the library that makes it. Components write it from
// their DllRegisterServer; the platform only reads it.
QString componentRegistryFile();

// The library path registered for className (letter case ignored); else
// the library registered for this process only, if any; else an empty
// string.
QString registeredLibrary(const QString &className);

// Registers the library at `path` for every class it makes, in this
// process only: for a program that loaded the component itself and could
// not write the registry file.
void registerComponentInProcess(const QString &path);

// Why the registry file cannot be written, naming the file or folder and
// the system's error; empty when nothing stands in the way. Creates the
// registry's folder on the way, as registering would.
QString componentRegistryWriteProblem();

// Every class name in the registry, spelled as it was registered.
QStringList registeredClassNames();

} // namespace platform
