// SPDX-License-Identifier: MIT
#include "cli/cli_arguments.h"
#include "cli/fetch_command.h"
#include "cli/password_sources.h"
#include "cli/send_command.h"
#include "cli/standard_streams.h"
#include "cli/stderr_dialog_service.h"
#include "engine/n_orvex.h"
#include "platform/component_library.h"
#include "platform/component_registry.h"
#include "platform/files.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// Registers the component for this and later runs. A registry that cannot
// be written (a read-only home, a service account) does not stop a program
// that has the component loaded already: it registers it for this process
// only and says once why the file was not written.
bool registerComponent()
{
    n_orvex ln_orvex;
    if (ln_orvex.of_register())
        return true;
    if (ln_orvex.is_failure.kind == engine::FailureKind::LocalFile) {
        platform::registerComponentInProcess(platform::componentLibraryLocation());
        printError(QStringLiteral("注意：组件注册表没有写入（%1），本次只在本进程内注册orvex组件。")
                           .arg(ln_orvex.is_failure.reason));
        return true;
    }
    printFailure(QStringLiteral("注册orvex组件失败！"), ln_orvex.is_failure);
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    reserveStandardStreams();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvex-cli"));

    StderrDialogService stderrDialogs;
    platform::setDialogService(&stderrDialogs);

    // Arguments are checked before anything is registered, so that --help
    // and a mistyped option never touch the component.
    // A password on the command line is taken, then wiped from what ps
    // shows of this process.
    const QStringList arguments = platform::nativeArguments(argc, argv);
    hidePasswordArguments(argc, argv);
    const ParsedArguments parsed = parseArguments(arguments, qEnvironmentVariable("ORVEX_PASSWORD"));
    if (parsed.kind == ParsedArguments::Help || parsed.kind == ParsedArguments::Version) {
        const QByteArray help = parsed.text.toUtf8();
        std::fwrite(help.constData(), 1, size_t(help.size()), stdout);
        return kExitOk;
    }
    if (parsed.kind == ParsedArguments::Error) {
        printError(QStringLiteral("orvex-cli：") + parsed.text);
        printError(QStringLiteral("用 orvex-cli --help 查看全部选项。"));
        return kExitBadArguments;
    }

    if (!registerComponent())
        return kExitUnavailable;
    endProgram(parsed.kind == ParsedArguments::Send ? runSend(parsed.send) : runFetch(parsed.fetch));
}
