#include "cli/cli_arguments.h"
#include "cli/fetch_command.h"
#include "cli/password_sources.h"
#include "cli/send_command.h"
#include "cli/stderr_dialog_service.h"
#include "engine/n_orvex.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvex-cli"));

    StderrDialogService stderrDialogs;
    platform::setDialogService(&stderrDialogs);

    // Arguments are checked before anything is registered, so that --help
    // and a mistyped option never touch the component.
    // A password on the command line is taken, then wiped from what ps
    // shows of this process.
    const QStringList arguments = QCoreApplication::arguments();
    hidePasswordArguments(argc, argv);
    const ParsedArguments parsed = parseArguments(arguments, qEnvironmentVariable("ORVEX_PASSWORD"));
    if (parsed.kind == ParsedArguments::Help) {
        const QByteArray help = parsed.text.toUtf8();
        std::fwrite(help.constData(), 1, size_t(help.size()), stdout);
        return kExitOk;
    }
    if (parsed.kind == ParsedArguments::Error) {
        printError(QStringLiteral("orvex-cli：") + parsed.text);
        printError(QStringLiteral("用 orvex-cli --help 查看全部选项。"));
        return kExitBadArguments;
    }

    {
        n_orvex ln_orvex;
        if (!ln_orvex.of_register()) {
            printError(QStringLiteral("注册orvex组件失败！"));
            return kExitFailed;
        }
    }
    return parsed.kind == ParsedArguments::Send ? runSend(parsed.send) : runFetch(parsed.fetch);
}
