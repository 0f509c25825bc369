// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <optional>

class QLibrary;

namespace platform {

// Where the mail component library is looked for: the file named by the
// environment variable ORVEX_COMPONENT when it is set; otherwise
// liborvex.so in the program's own folder when it is there (the build tree);
// otherwise in the installed private library folder, found from the
// program's folder (bin/../lib/<multiarch>/orvex); otherwise the bare name
// "orvex", which the dynamic loader's normal search resolves.
QString componentLibraryLocation();

// Loads the library at `location` (a path or a bare name) once and keeps it
// loaded for the life of the process: objects it made may outlive any
// caller. Returns nullptr with a reason in *error when it cannot be loaded.
QLibrary *loadComponentLibrary(const QString &location, QString *error);

// Calls a `long f(void)` entry point (DllRegisterServer, DllUnregisterServer)
// of the component library. No value when the library cannot be loaded or
// lacks the entry point; the reason goes to *error.
std::optional<long> callComponentEntryPoint(const char *name, QString *error);

} // namespace platform
