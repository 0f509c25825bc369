// SPDX-License-Identifier: MIT
#include "cli/fetch_command.h"

#include "cli/exit_codes.h"
#include "cli/mail_json.h"
#include "cli/raw_copies.h"
#include "cli/seen_messages.h"
#include "cli/stderr_dialog_service.h"
#include "engine/n_orvex.h"
#include "engine/server_field.h"

#include <QDir>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

constexpr quint16 kDefaultPop3Port = 110;

std::unique_ptr<RawCopies> rawCopiesFor(const FetchArguments &arguments)
{
    if (!arguments.maildir.isEmpty())
        return RawCopies::forMaildir(arguments.maildir);
    if (!arguments.mbox.isEmpty())
        return RawCopies::forMbox(arguments.mbox);
    return nullptr;
}

// The seen list of the mailbox, named by the server as it is reached.
SeenMessages seenMessagesOf(const FetchArguments &arguments)
{
    QString ignored;  // the field was checked with the arguments
    const std::optional<engine::ServerField> field =
            engine::resolveServerField(arguments.server, arguments.port, kDefaultPop3Port, &ignored);
    return field ? SeenMessages(arguments.user, field->host, field->port)
                 : SeenMessages(arguments.user, arguments.server, arguments.port);
}

// After a fetch with --only-new: the messages it left on the server join
// the seen list, and those gone from the server leave it. False when the
// list could not be written.
bool updateSeenList(const SeenMessages &seenMessages, const QStringList &seenBefore, const QStringList &mailbox,
                    const QStringList &fetchedUids, const FetchArguments &arguments)
{
    if (mailbox.isEmpty() && !fetchedUids.isEmpty()) {
        printError(QStringLiteral("orvex-cli：服务器不支持 UIDL，无法分辨新邮件，已收取全部邮件。"));
        return true;
    }
    QString error;
    const QStringList seen =
            seenAfterFetch(seenBefore, mailbox, arguments.deleteAfterRead ? QStringList() : fetchedUids);
    if (seenMessages.save(seen, error))
        return true;
    printError(QStringLiteral("orvex-cli：") + error);
    return false;
}

} // namespace

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
    pop3.tlsrequired = arguments.tls.required;
    pop3.tlsfingerprint = arguments.tls.fingerprint;
    pop3.cafile = arguments.tls.caFile;

    const std::unique_ptr<RawCopies> rawCopies = rawCopiesFor(arguments);
    if (rawCopies) {
        pop3.rawcopydir = rawCopies->scratchFolder();
        if (pop3.rawcopydir.isEmpty()) {
            printError(QStringLiteral("接收失败！") + rawCopies->error());
            return kExitIoError;
        }
    }
    const SeenMessages seenMessages = seenMessagesOf(arguments);
    if (arguments.onlyNew) {
        QString error;
        if (!seenMessages.load(pop3.seenuids, error)) {
            printError(QStringLiteral("接收失败！") + error);
            return kExitIoError;
        }
        pop3.onlynew = true;
    }

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
    QStringList fetchedUids;
    const auto each = [&](const stru_mail &record) {
        if (rawCopies)
            rawCopies->keep(record);
        output.write(record);
        fetchedUids << record.uid;
    };
    // Both the raw copies and the output are safe before anything is deleted.
    const auto recordsKept = [&](QString *reason) {
        return (!rawCopies || rawCopies->makeDurable(*reason)) && outputKept(reason);
    };
    const int result = ln_orvex.of_recimail(pop3, each, arguments.range, recordsKept);
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
    if (fetched) {
        if (arguments.onlyNew
            && !updateSeenList(seenMessages, pop3.seenuids, ln_orvex.is_uids, fetchedUids, arguments))
            return kExitIoError;
        return kExitOk;
    }
    if (result == n_orvex::kFetchedEndUnsure) {
        // Every record is out; only the end of the session is in doubt.
        return ln_orvex.is_failure.kind == engine::FailureKind::None ? kExitTemporary
                                                                    : exitCodeFor(ln_orvex.is_failure.kind);
    }
    printFailure(QStringLiteral("接收失败！"), ln_orvex.is_failure);
    return exitCodeFor(ln_orvex.is_failure.kind);
}
