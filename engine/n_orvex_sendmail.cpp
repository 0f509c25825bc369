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

} // namespace

int n_orvex::of_sendmail(stru_smtp_login smtp, stru_mail mail)
{
    platform::AutomationObject orvexsmtpmessage;
    // Closing the window ends the send at once; the message is not delivered.
    const platform::InputHoldBack holdBack(
            [&orvexsmtpmessage] { orvexsmtpmessage.invoke(QStringLiteral("abandon")); });
    if (orvexsmtpmessage.connectToNewObject(QStringLiteral("orvex.Message")) != platform::kCreateOk) {
        engine::reportMissingComponent();
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

    // Recipients are separated by ASCII or full-width commas, except inside
    // a quoted display name or an <address>; a piece without "@" (an empty
    // one from a doubled or trailing comma, a stray word) is not an address
    // and is skipped. Pieces go out as they stand. Cc and Bcc are split the
    // same way as To.
    const auto addRecipients = [&](const QString &text, const QString &method) {
        QStringList ls_recipientaddress;
        if (engine::hasQuotedParts(text))
            ls_recipientaddress = engine::splitOutsideQuotes(text);
        else
            of_parse(of_replace(text, QStringLiteral("，"), QStringLiteral(",")), QStringLiteral(","),
                     ls_recipientaddress);
        for (const QString &address : std::as_const(ls_recipientaddress)) {
            if (address.contains(u'@'))
                calls.call(orvexsmtpmessage, method, {address});
        }
    };
    addRecipients(mail.recipientaddress, QStringLiteral("addrecipient"));
    if (!mail.ccaddress.isEmpty())
        addRecipients(mail.ccaddress, QStringLiteral("addcc"));
    if (!mail.bccaddress.isEmpty())
        addRecipients(mail.bccaddress, QStringLiteral("addbcc"));

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
            engine::resolveServerField(smtp.host, smtp.port, kDefaultSmtpPort, &serverError);
    if (!server)
        calls.fail(serverError);

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
    if (!server)
        is_log = QStringLiteral("错误：%1\n").arg(serverError);
    orvexsmtpmessage.invoke(QStringLiteral("close"));
    orvexsmtpmessage.release();
    return li_return;
}
