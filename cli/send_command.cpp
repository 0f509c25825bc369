// SPDX-License-Identifier: MIT
#include "cli/send_command.h"

#include "cli/stderr_dialog_service.h"
#include "engine/n_orvex.h"

QString bodyWithCrLf(const QString &body)
{
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

int runSend(const SendArguments &arguments)
{
    stru_mail mail;
    mail.senderaddress = arguments.from;
    mail.sendername = arguments.fromName;
    mail.recipientaddress = arguments.to;
    mail.ccaddress = arguments.cc;
    mail.bccaddress = arguments.bcc;
    mail.subject = arguments.subject;
    mail.body = bodyWithCrLf(arguments.body);
    mail.attachment = arguments.attachments;
    mail.returnreceipt = arguments.receipt;
    mail.html = arguments.html;

    stru_smtp_login smtp;
    smtp.host = arguments.server;
    smtp.port = arguments.port;
    smtp.username = arguments.user;
    smtp.password = arguments.password;
    smtp.smtpauth = !arguments.user.isEmpty();
    smtp.timeout = arguments.timeout;
    smtp.tlsrequired = arguments.tls.required;
    smtp.tlsfingerprint = arguments.tls.fingerprint;
    smtp.cafile = arguments.tls.caFile;

    n_orvex ln_orvex;
    const bool sent = ln_orvex.of_sendmail(smtp, mail) == 1;
    // A script wants silence on success; a failure is said with its reason,
    // and its exit code tells the kind.
    if (arguments.log)
        printLog(ln_orvex.of_getlasterror());
    if (sent)
        return kExitOk;
    printFailure(QStringLiteral("发送失败！"), ln_orvex.is_failure);
    return exitCodeFor(ln_orvex.is_failure.kind);
}
