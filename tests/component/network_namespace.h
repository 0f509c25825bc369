// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>
#include <QTest>

// "A server elsewhere" for tests: an address that is not loopback, inside a
// network namespace the test makes for itself, so that no test traffic ever
// leaves this machine's loopback.
//
//     NETTEST_RUN_INSIDE_OWN_NAMESPACE();  // outside: this case runs in one
//     const QString elsewhere = nettest::elsewhereAddress();
namespace nettest {

// The address of the server elsewhere when this process runs inside the
// namespace; empty outside it.
QString elsewhereAddress();

struct NamespaceRun {
    bool ran = false;
    QString unavailableReason; // why no namespace could be made, when !ran
    int exitCode = -1;
    QByteArray output;
};

// Runs `testCase` ("function" or "function:data tag") of this test program
// again, inside a new network namespace with lo up and the address on an
// interface of its own. Making a namespace takes root.
NamespaceRun runInOwnNetworkNamespace(const QString &testCase);

// The same run, as a test case checks it: empty when the case passed inside
// the namespace, else why not (no namespace could be made, or the case's
// own output).
QString failureInOwnNetworkNamespace(const QString &testCase);

// The case under way, with its data tag when it has one, as
// failureInOwnNetworkNamespace() takes it.
QString currentTestCase();

} // namespace nettest

// Outside the namespace, runs the current case again inside one and ends it
// here with that run's verdict; inside, does nothing.
#define NETTEST_RUN_INSIDE_OWN_NAMESPACE()                                                       \
    if (nettest::elsewhereAddress().isEmpty()) {                                                 \
        const QString nettestFailure = nettest::failureInOwnNetworkNamespace(nettest::currentTestCase()); \
        QVERIFY2(nettestFailure.isEmpty(), qPrintable(nettestFailure));                         \
        return;                                                                                  \
    }
