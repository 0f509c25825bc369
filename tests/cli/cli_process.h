// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

// One run of the built orvex-cli.
struct CliRun {
    int exitCode = -1;
    bool crashed = false;
    QByteArray out;
    QString err;  // stderr, decoded as UTF-8
};

// The environment a run starts from: the test's own, without ORVEX_PASSWORD.
QProcessEnvironment cliEnvironment();

// Runs orvex-cli with `arguments` and waits for it to end. `prepare`, when
// given, sets the process up before it starts (where its output goes, what
// its child does before the program runs).
CliRun runCli(const QStringList &arguments, const QProcessEnvironment &environment = cliEnvironment(),
              const QString &workingDirectory = QString(), const QByteArray &input = QByteArray(),
              const std::function<void(QProcess &)> &prepare = {});
