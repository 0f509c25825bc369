#include "cli/fetch_command.h"

#include "cli/mail_json.h"
#include "cli/stderr_dialog_service.h"
#include "engine/n_orvex.h"

#include <QDir>

#include <csignal>
#include <cstdio>

int runFetch(const FetchArguments &arguments)
{
    stru_pop3_login pop3;
    pop3.host = arguments.server;
    pop3.port = arguments.port;
    pop3.username = arguments.user;
    pop3.password = arguments.password;
    pop3.attachpath = arguments.attachDir;
    if (!pop3.attachpath.endsWith(QDir::separator()))
        pop3.attachpath += QDir::separator();
    pop3.deleteafterread = arguments.deleteAfterRead;
    pop3.timeout = arguments.timeout;

    // Each message is printed as soon as it is read, and whatever was
    // fetched stays printed after a failure, so that the saved attachments
    // it names are not left unaccounted for; the exit code tells whether the
    // whole range came. The output is the only copy of the bodies: it must
    // have gone out whole before anything is deleted on the server. A reader
    // that went away is a failed write like any other, not a silent end.
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file size limit a write fails like any other, and says so.
    std::signal(SIGXFSZ, SIG_IGN);
    MailJsonWriter output(stdout);
    QString outputError;
    const auto outputKept = [&output, &outputError](QString *reason) {
        if (output.finish(&outputError))
            return true;
        *reason = QStringLiteral("无法写出收到的邮件（标准输出）：%1").arg(outputError);
        return false;
    };
    n_orvex ln_orvex;
    const int result = ln_orvex.of_recimail(
            pop3, [&output](const stru_mail &record) { output.write(record); }, arguments.range, outputKept);
    const bool written = output.finish(&outputError);
    const bool fetched = result == 1 && written;

    if (!written) {
        printError(QStringLiteral("orvex-cli：无法写出收到的邮件（标准输出）：%1").arg(outputError));
        if (arguments.deleteAfterRead)
            printError(QStringLiteral("服务器上的邮件没有删除。"));
    } else if (result == n_orvex::kFetchedEndUnsure) {
        printError(ln_orvex.is_warning);
    }
    if (arguments.log)
        printLog(ln_orvex.of_getlasterror());
    if (!written)
        return kExitIoError;
    if (fetched)
        return kExitOk;
    if (result == n_orvex::kFetchedEndUnsure) {
        // Every record is out; only the end of the session is in doubt.
        return ln_orvex.is_failure.kind == engine::FailureKind::None ? kExitTemporary
                                                                    : exitCodeFor(ln_orvex.is_failure.kind);
    }
    printFailure(QStringLiteral("接收失败！"), ln_orvex.is_failure);
    return exitCodeFor(ln_orvex.is_failure.kind);
}
