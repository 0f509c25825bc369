// SPDX-License-Identifier: MIT
#include "platform/component_registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

QString &inProcessLibrary()
{
    static QString path;
    return path;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

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
    return inProcessLibrary();
}

void registerComponentInProcess(const QString &path)
{
    inProcessLibrary() = path;
}

QString componentRegistryWriteProblem()
{
    const QString file = componentRegistryFile();
    const QString folder = QFileInfo(file).absolutePath();
    // Each missing folder is made in turn, so that the one that cannot be
    // made is named with the system's own reason.
    QString made;
    for (const QString &part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        made += QLatin1Char('/') + part;
        if (QFileInfo(made).isDir())
            continue;
        if (::mkdir(QFile::encodeName(made).constData(), 0777) != 0 && errno != EEXIST)
            return QStringLiteral("无法建立文件夹 %1（为写入 %2）：%3").arg(made, file, systemError(errno));
    }
    // The settings file is replaced through a new file in its folder.
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return QStringLiteral("无法写入 %1：%2").arg(file, systemError(errno));
    if (QFileInfo::exists(file) && ::access(QFile::encodeName(file).constData(), W_OK) != 0)
        return QStringLiteral("无法写入 %1：%2").arg(file, systemError(errno));
    return {};
}

QStringList registeredClassNames()
{
    QSettings registry(componentRegistryFile(), QSettings::IniFormat);
    registry.beginGroup(QStringLiteral("classes"));
    return registry.childKeys();
}

} // namespace platform
