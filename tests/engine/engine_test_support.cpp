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

QString outOfOrder(const QStringList &journal, const QStringList &entries)
{
    qsizetype from = 0;
    for (const QString &entry : entries) {
        const qsizetype at = journal.indexOf(entry, from);
        if (at < 0) {
            const QString where = journal.contains(entry) ? QStringLiteral("comes too early") : QStringLiteral("is missing");
            return QStringLiteral("\"%1\" %2 in: %3").arg(entry, where, journal.join(QStringLiteral(" | ")));
        }
        from = at + 1;
    }
    return {};
}

} // namespace enginetest
