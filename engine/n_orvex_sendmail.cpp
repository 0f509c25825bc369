// SPDX-License-Identifier: MIT
#include "engine/n_orvex.h"

#include "engine/component_calls.h"
#include "engine/component_notice.h"
#include "engine/html_body.h"
#include "engine/recipient_list.h"
#include "engine/server_field.h"
#include "engine/tls_settings.h"
#include "engine/transfer_log.h"

#include "platform/automation_object.h"
#include "platform/input_hold_back.h"

namespace {

constexpr quint16 kDefaultSmtpPort = 25;
// With "smtps://" and no port, the port of TLS from the first byte.
constexpr quint16 kDefaultSmtpsPort = 465;

} // namespace

int n_orvex::of_sendmail(stru_smtp_login smtp, stru_mail mail)
{
    ib_maybesent = false;
    is_failure = {};
    // Recipients are separated by ASCII or full-width commas or semicolons,
    // except inside a quoted display name or an <address>. Blank pieces
    // (doubled or trailing separators) are no recipients; any other piece
    // that is not exactly one address stops the send before anything is
    // made or connected, so that no recipient is dropped without a word.
    // Cc and Bcc are split the same way.
    QString malformed;
    const QStringList ls_recipientaddress = engine::recipientPieces(mail.recipientaddress, &malformed);
    const QStringList ls_ccaddress =
            malformed.isNull() ? engine::recipientPieces(mail.ccaddress, &malformed) : QStringList();
    const QStringList ls_bccaddress =
            malformed.isNull() ? engine::recipientPieces(mail.bccaddress, &malformed) : QStringList();
    if (!malformed.isNull()) {
        is_failure = {engine::FailureKind::Input,
                      QStringLiteral("收件人“%1”不是一个邮件地址，邮件没有发出").arg(malformed)};
        is_log = QStringLiteral("错误：%1\n").arg(is_failure.reason);
        return -1;
    }

    platform::AutomationObject orvexsmtpmessage;
    // Closing the window ends the send at once; the message is not delivered.
    const platform::InputHoldBack holdBack(
            [&orvexsmtpmessage] { orvexsmtpmessage.invoke(QStringLiteral("abandon")); });
    if (orvexsmtpmessage.connectToNewObject(QStringLiteral("orvex.Message")) != platform::kCreateOk) {
        engine::reportMissingComponent();
        is_failure = {engine::FailureKind::Unavailable, QString()};
        return -1;
    }

    if (holdBack.holdsInput())
        engine::passUserInput(orvexsmtpmessage);

    // Calls stop at the first component error: a message that could not be
    // built as asked is not sent at all.
    engine::ComponentCalls calls;
    calls.set(orvexsmtpmessage, QStringLiteral("charset"), QStringLiteral("gb2312"));
    calls.set(orvexsmtpmessage, QStringLiteral("silent"), true);
    calls.set(orvexsmtpmessage, QStringLiteral("logging"), true);
    calls.set(orvexsmtpmessage, QStringLiteral("priority"), 3);
    calls.set(orvexsmtpmessage, QStringLiteral("returnreceipt"), mail.returnreceipt);
    calls.set(orvexsmtpmessage, QStringLiteral("from"), mail.senderaddress);
    calls.set(orvexsmtpmessage, QStringLiteral("fromname"), mail.sendername);
    if (smtp.timeout > 0)
        calls.set(orvexsmtpmessage, QStringLiteral("timeout"), smtp.timeout);

    // Pieces go out as they stand.
    for (const QString &address : ls_recipientaddress)
        calls.call(orvexsmtpmessage, QStringLiteral("addrecipient"), {address});
    for (const QString &address : std::as_const(ls_ccaddress))
        calls.call(orvexsmtpmessage, QStringLiteral("addcc"), {address});
    for (const QString &address : std::as_const(ls_bccaddress))
        calls.call(orvexsmtpmessage, QStringLiteral("addbcc"), {address});

    if (mail.html)
        calls.set(orvexsmtpmessage, QStringLiteral("htmlbody"), engine::htmlDocumentFor(mail.body));
    else
        calls.set(orvexsmtpmessage, QStringLiteral("body"), mail.body);

    calls.set(orvexsmtpmessage, QStringLiteral("subject"), mail.subject);

    for (const QString &path : std::as_const(mail.attachment))
        calls.call(orvexsmtpmessage, QStringLiteral("addattachment"), {path, true});

    // A port written in the server field counts as given; the text sent is
    // always one host and one port.
    QString serverError;
    const std::optional<engine::ServerField> server =
            engine::resolveServerField(smtp.host, smtp.port,
                                       engine::defaultPortFor(smtp.host, kDefaultSmtpPort, QStringLiteral("smtps"),
                                                              kDefaultSmtpsPort),
                                       &serverError);
    if (!server)
        calls.fail(serverError, engine::FailureKind::Input);

    engine::applyTlsSettings(calls, orvexsmtpmessage, smtp.tlsrequired, smtp.tlsfingerprint, smtp.cafile);

    if (smtp.smtpauth) {
        calls.set(orvexsmtpmessage, QStringLiteral("mailserverusername"), smtp.username);
        calls.set(orvexsmtpmessage, QStringLiteral("mailserverpassword"), smtp.password);
    }

    int li_return = -1;
    if (calls.ok()) {
        const QVariant sent = calls.call(orvexsmtpmessage, QStringLiteral("send"),
                                         {server->host + QLatin1Char(':') + QString::number(server->port)});
        if (calls.ok() && sent.isValid() && sent.toBool())
            li_return = 1;
    }

    // The log is kept after every attempt, with the reason when something
    // went wrong before the message could go out.
    is_log = engine::transferLog(orvexsmtpmessage.property(QStringLiteral("log")), calls);
    ib_maybesent = li_return != 1 && orvexsmtpmessage.property(QStringLiteral("maybesent")).value_or(QVariant()).toBool();
    if (!server)
        is_log = QStringLiteral("错误：%1\n").arg(serverError);
    if (li_return != 1)
        is_failure = engine::transferFailure(calls, orvexsmtpmessage);
    orvexsmtpmessage.invoke(QStringLiteral("close"));
    orvexsmtpmessage.release();
    return li_return;
}
