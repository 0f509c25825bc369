// SPDX-License-Identifier: MIT
// orvex-component-service: the mail component on the session bus, for any
// program in any language. Started by the bus on the first call to
// org.orvex.Component; ends itself once it has held no object for a while.
#include "bus/class_catalogue.h"
#include "bus/component_service.h"
#include "platform/component_library.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <cstdio>

namespace {

constexpr int kDefaultIdleSeconds = 60;

void printError(const QString &text)
{
    const QByteArray bytes = (QStringLiteral("orvex-component-service：") + text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

// Registers the component so that its classes can be made by name. A
// registry that cannot be written may still hold them from before.
void registerComponent(bus::ClassCatalogue &catalogue)
{
    QString error;
    const std::optional<long> result = platform::callComponentEntryPoint("DllRegisterServer", &error);
    if (!result)
        printError(QStringLiteral("无法载入组件：%1").arg(error));
    else if (*result != 0)
        printError(QStringLiteral("注册orvex组件失败（%1）").arg(*result));
    for (const QString &failure : catalogue.learnRegisteredClasses())
        printError(failure);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvex-component-service"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVEX_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("在会话总线上提供 orvex 邮件组件（org.orvex.Component），由总线按需启动。"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption idleOption(QStringLiteral("idle-timeout"),
                                        QStringLiteral("没有对象多少秒后结束（默认 %1）").arg(kDefaultIdleSeconds),
                                        QStringLiteral("seconds"), QString::number(kDefaultIdleSeconds));
    parser.addOption(idleOption);
    parser.process(application);
    bool idleValid = false;
    const int idleSeconds = parser.value(idleOption).toInt(&idleValid);
    if (!idleValid || idleSeconds <= 0) {
        printError(QStringLiteral("--idle-timeout 要一个正整数"));
        return 2;
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        printError(QStringLiteral("无法连接会话总线：%1").arg(bus.lastError().message()));
        return 1;
    }
    bus::ClassCatalogue catalogue;
    registerComponent(catalogue);
    bus::ComponentService service(bus, catalogue, idleSeconds);
    // The objects first, then the name: the call that started the service
    // reaches it as soon as the name is ours.
    if (!bus.registerVirtualObject(QLatin1String(bus::ComponentService::kPath), &service,
                                   QDBusConnection::SubPath)) {
        printError(QStringLiteral("无法登记对象 %1").arg(QLatin1String(bus::ComponentService::kPath)));
        return 1;
    }
    if (!bus.registerService(QLatin1String(bus::ComponentService::kServiceName))) {
        printError(QStringLiteral("名字 %1 已被占用（服务已在运行？）")
                           .arg(QLatin1String(bus::ComponentService::kServiceName)));
        return 1;
    }
    const int result = application.exec();
    bus.unregisterObject(QLatin1String(bus::ComponentService::kPath), QDBusConnection::UnregisterTree);
    return result;
}
