// SPDX-License-Identifier: MIT
#include "engine_test_support.h"

#include "platform/component_registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace enginetest {

void registerComponentClasses(const QString &libraryPath)
{
    const QString file = platform::componentRegistryFile();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings registry(file, QSettings::IniFormat);
    registry.beginGroup(QStringLiteral("classes"));
    for (const char *name : {"orvex.Message", "orvex.POP3", "orvex.Attachments", "orvex.Attachment",
                             "orvex.Recipients", "orvex.Recipient"})
        registry.setValue(QLatin1String(name), libraryPath);
    registry.endGroup();
    registry.sync();
}

QStringList entriesStartingWith(const QStringList &journal, const QString &prefix)
{
    QStringList matching;
    for (const QString &entry : journal) {
        if (entry.startsWith(prefix))
            matching.append(entry);
    }
    return matching;
}

} // namespace enginetest
