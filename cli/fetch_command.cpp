#include "cli/fetch_command.h"

#include "cli/mail_json.h"
#include "cli/stderr_dialog_service.h"
#include "engine/n_orvex.h"

#include <QDir>

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
    // whole range came.
    MailJsonWriter output(stdout);
    n_orvex ln_orvex;
    const bool fetched =
            ln_orvex.of_recimail(pop3, [&output](const stru_mail &record) { output.write(record); }, arguments.range)
            == 1;
    output.finish();
    std::fflush(stdout);

    if (arguments.log)
        printLog(ln_orvex.of_getlasterror());
    if (fetched)
        return kExitOk;
    printFailure(QStringLiteral("接收失败！"), ln_orvex.is_failure);
    return exitCodeFor(ln_orvex.is_failure.kind);
}
