// SPDX-License-Identifier: MIT
#include "platform/component_library.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>

namespace platform {

namespace {

// The folders that may hold the component, relative to the program's own:
// the program's folder itself (the build puts both there), then the private
// library folder of the installed layout.
QStringList componentFoldersBesideProgram()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    QStringList folders{programFolder};
#ifdef ORVEX_INSTALLED_COMPONENT_DIR
    folders << QDir::cleanPath(programFolder + QLatin1Char('/') + QStringLiteral(ORVEX_INSTALLED_COMPONENT_DIR));
#endif
    return folders;
}

} // namespace

QString componentLibraryLocation()
{
    const QString overridden = qEnvironmentVariable("ORVEX_COMPONENT");
    if (!overridden.isEmpty())
        return overridden;
    if (QCoreApplication::instance()) {
        for (const QString &folder : componentFoldersBesideProgram()) {
            const QString candidate = folder + QStringLiteral("/liborvex.so");
            if (QFileInfo::exists(candidate))
                return candidate;
        }
    }
    return QStringLiteral("orvex");
}

QLibrary *loadComponentLibrary(const QString &location, QString *error)
{
    // Loaded libraries are never unloaded: component objects and their
    // meta-objects live in them. The table is never destroyed either, so
    // that it still holds them while the process ends.
    static auto *loaded = new QHash<QString, QLibrary *>;
    if (QLibrary *library = loaded->value(location))
        return library;
    auto *library = new QLibrary(location);
    if (!library->load()) {
        if (error)
            *error = library->errorString();
        delete library;
        return nullptr;
    }
    loaded->insert(location, library);
    return library;
}

std::optional<long> callComponentEntryPoint(const char *name, QString *error)
{
    QLibrary *library = loadComponentLibrary(componentLibraryLocation(), error);
    if (!library)
        return std::nullopt;
    using EntryPoint = long (*)();
    auto entry = reinterpret_cast<EntryPoint>(library->resolve(name));
    if (!entry) {
        if (error)
            *error = QStringLiteral("%1 has no entry point %2").arg(library->fileName(), QLatin1String(name));
        return std::nullopt;
    }
    return entry();
}

} // namespace platform
