// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
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

// Runs `testCase` ("function" or "function:data tag") of this test program
// again under `unshare` with `unshareOptions`, after `setup`, a shell script
// that ends by running "$@" and exits 77 when it cannot set the namespaces
// up; `environment` is added to the program's. Empty when the case passed
// there, else why not (no namespace could be made, or the case's own
// output). Making namespaces takes root.
QString failureInOwnNamespaces(const QStringList &unshareOptions, const QString &setup, const QString &testCase,
                               const QProcessEnvironment &environment);

// The same inside a new network namespace with lo up and the address of
// the server elsewhere on an interface of its own.
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
