// SPDX-License-Identifier: MIT
#include "network_namespace.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

namespace nettest {

namespace {

const char *const kAddressVariable = "ORVEX_TEST_ELSEWHERE_ADDRESS";
const QString kAddress = QStringLiteral("10.203.0.1");

// Brings up lo and an interface with the address (a dummy one, or a veth
// pair where the kernel has no dummy driver), then runs the command given.
// Exits 77 when the network cannot be set up.
const QString kSetup = QStringLiteral(
    "ip link set lo up || exit 77\n"
    "ip link add orvex0 type dummy 2>/dev/null"
    " || { ip link add orvex0 type veth peer name orvex1 && ip link set orvex1 up; } || exit 77\n"
    "ip addr add %1/24 dev orvex0 && ip link set orvex0 up || exit 77\n"
    "exec \"$@\"\n");

bool namespacesCanBeMade(const QStringList &unshareOptions, QString *reason)
{
    QProcess probe;
    probe.start(QStringLiteral("unshare"), unshareOptions + QStringList{QStringLiteral("true")});
    if (probe.waitForFinished(60 * 1000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
        return true;
    const QString error = QString::fromLocal8Bit(probe.readAllStandardError()).trimmed();
    *reason = QStringLiteral("no namespace can be made here (unshare %1: %2); this case needs one (run as root)")
                  .arg(unshareOptions.join(QLatin1Char(' ')), error.isEmpty() ? probe.errorString() : error);
    return false;
}

} // namespace

QString elsewhereAddress()
{
    return qEnvironmentVariable(kAddressVariable);
}

QString failureInOwnNamespaces(const QStringList &unshareOptions, const QString &setup, const QString &testCase,
                               const QProcessEnvironment &environment)
{
    QString reason;
    if (!namespacesCanBeMade(unshareOptions, &reason))
        return reason;
    QProcess child;
    QProcessEnvironment childEnvironment = QProcessEnvironment::systemEnvironment();
    childEnvironment.insert(environment);
    child.setProcessEnvironment(childEnvironment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("unshare"),
                unshareOptions + QStringList{QStringLiteral("sh"), QStringLiteral("-c"), setup, QStringLiteral("sh"),
                                             QCoreApplication::applicationFilePath(), testCase});
    if (!child.waitForFinished(240 * 1000)) {
        child.kill();
        child.waitForFinished();
    }
    const QString output = QString::fromLocal8Bit(child.readAll());
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 77)
        return QStringLiteral("the namespace cannot be set up: %1").arg(output.trimmed());
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0)
        return {};
    return QStringLiteral("the case failed inside (%1):\n%2")
        .arg(child.exitStatus() == QProcess::NormalExit ? QStringLiteral("exit code %1").arg(child.exitCode())
                                                        : QStringLiteral("crashed"),
             output);
}

QString failureInOwnNetworkNamespace(const QString &testCase)
{
    QProcessEnvironment environment;
    environment.insert(QString::fromLatin1(kAddressVariable), kAddress);
    return failureInOwnNamespaces({QStringLiteral("--net")}, kSetup.arg(kAddress), testCase, environment);
}

QString currentTestCase()
{
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    const char *tag = QTest::currentDataTag();
    return tag && *tag ? QStringLiteral("%1:%2").arg(function, QString::fromUtf8(tag)) : function;
}

} // namespace nettest
