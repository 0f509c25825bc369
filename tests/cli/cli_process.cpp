// SPDX-License-Identifier: MIT
#include "cli/cli_process.h"

#include <QProcess>

QProcessEnvironment cliEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("ORVEX_PASSWORD"));
    return environment;
}

CliRun runCli(const QStringList &arguments, const QProcessEnvironment &environment,
              const QString &workingDirectory, const QByteArray &input,
              const std::function<void(QProcess &)> &prepare)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    if (prepare)
        prepare(process);
    process.start(qEnvironmentVariable("ORVEX_BIN_DIR") + QStringLiteral("/orvex-cli"), arguments);
    CliRun run;
    if (!process.waitForStarted(10000)) {
        run.err = QStringLiteral("orvex-cli did not start: ") + process.errorString();
        return run;
    }
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(240000);
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
