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

bool namespacesCanBeMade(QString *reason)
{
    QProcess probe;
    probe.start(QStringLiteral("unshare"), {QStringLiteral("--net"), QStringLiteral("true")});
    if (probe.waitForFinished(60 * 1000) && probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0)
        return true;
    const QString error = QString::fromLocal8Bit(probe.readAllStandardError()).trimmed();
    *reason = QStringLiteral("no network namespace can be made here (unshare --net: %1); "
                             "the case of a server elsewhere needs one (run as root)")
                  .arg(error.isEmpty() ? probe.errorString() : error);
    return false;
}

} // namespace

QString elsewhereAddress()
{
    return qEnvironmentVariable(kAddressVariable);
}

NamespaceRun runInOwnNetworkNamespace(const QString &testCase)
{
    NamespaceRun run;
    if (!namespacesCanBeMade(&run.unavailableReason))
        return run;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kAddressVariable), kAddress);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("unshare"), {QStringLiteral("--net"), QStringLiteral("sh"), QStringLiteral("-c"),
                                           kSetup.arg(kAddress), QStringLiteral("sh"),
                                           QCoreApplication::applicationFilePath(), testCase});
    if (!child.waitForFinished(240 * 1000)) {
        child.kill();
        child.waitForFinished();
    }
    run.output = child.readAll();
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 77) {
        run.unavailableReason = QStringLiteral("the network inside the namespace cannot be set up: %1")
                             .arg(QString::fromLocal8Bit(run.output).trimmed());
        return run;
    }
    run.ran = true;
    run.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    return run;
}

QString failureInOwnNetworkNamespace(const QString &testCase)
{
    const NamespaceRun run = runInOwnNetworkNamespace(testCase);
    if (!run.ran)
        return run.unavailableReason;
    return run.exitCode == 0 ? QString() : QString::fromLocal8Bit(run.output);
}

QString currentTestCase()
{
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    const char *tag = QTest::currentDataTag();
    return tag && *tag ? QStringLiteral("%1:%2").arg(function, QString::fromUtf8(tag)) : function;
}

} // namespace nettest
