// SPDX-License-Identifier: MIT
#include "engine/n_orvex.h"

#include "engine/attachment_targets.h"
#include "engine/component_calls.h"
#include "engine/component_notice.h"
#include "engine/fetch_range.h"
#include "engine/message_reader.h"
#include "engine/server_field.h"
#include "engine/tls_settings.h"
#include "engine/transfer_log.h"

#include "platform/automation_object.h"
#include "platform/input_hold_back.h"

#include <QSet>

#include <array>

namespace {

constexpr quint16 kDefaultPop3Port = 110;
// With "pop3s://" and no port, the port of TLS from the first byte.
constexpr quint16 kDefaultPop3sPort = 995;
constexpr int kPop3Timeout = 300;

// The range of messages to read from a mailbox of `count` messages.
engine::FetchRange requestedRange(engine::ComponentCalls &calls, platform::AutomationObject &orvexpop3,
                                  const QString &index, qint64 count)
{
    if (count == 0)
        return {};
    if (engine::asksForAll(index))
        return {1, calls.count(orvexpop3)};
    return engine::rangeWithin(index, count);
}

// "第 2 封邮件", "第 2 至 5 封邮件": the messages a fetch read.
QString messagesText(const engine::FetchRange &range)
{
    if (range.first == range.last)
        return QStringLiteral("第 %1 封邮件").arg(range.first);
    return QStringLiteral("第 %1 至 %2 封邮件").arg(range.first).arg(range.last);
}

QString notDeletedText(const engine::FetchRange &range)
{
    if (range.isEmpty())
        return QStringLiteral("服务器上的邮件没有删除");
    return QStringLiteral("服务器上的邮件没有删除，%1仍在服务器上").arg(messagesText(range));
}

// For the user, after every message was read and saved but the server did
// not confirm the end of the session that deleted them.
QString unsureEndText(const engine::FetchRange &range)
{
    return QStringLiteral("邮件已全部收到，附件已保存，但服务器没有确认退出（QUIT）：%1可能已在服务器上删除，"
                          "也可能仍在服务器上。请到服务器上查看，以免重复收取或误以为邮件丢失。")
            .arg(messagesText(range));
}

// With only new mail asked for: the numbers of the messages whose unique id
// is among `seenuids`, each told to the mailbox so that it is never read
// ahead. `uids` receives the mailbox's ids; a server without them has every
// message fetched, and the log says so.
QSet<qint64> seenMessages(engine::ComponentCalls &calls, platform::AutomationObject &orvexpop3,
                          const QStringList &seenuids, QStringList &uids)
{
    uids = calls.call(orvexpop3, QStringLiteral("uids")).toStringList();
    const QSet<QString> seenIds(seenuids.cbegin(), seenuids.cend());
    QSet<qint64> numbers;
    for (qsizetype n = 1; n <= uids.size() && calls.ok(); ++n) {
        if (seenIds.contains(uids.at(n - 1))) {
            numbers.insert(n);
            calls.call(orvexpop3, QStringLiteral("skipmessage"), {int(n)});
        }
    }
    return numbers;
}

// Has the component write the message as the server sent it into the raw
// copy folder, when one was asked for.
bool keepRawCopy(engine::ComponentCalls &calls, platform::AutomationObject &orvexpop3message,
                 const stru_pop3_login &pop3, stru_mail &record)
{
    if (pop3.rawcopydir.isEmpty())
        return true;
    record.rawfile = calls.call(orvexpop3message, QStringLiteral("saveraw"), {pop3.rawcopydir}).toString();
    if (calls.failed())
        calls.explainFailure(QStringLiteral("邮件原文没有保存到 %1").arg(pop3.rawcopydir), engine::FailureKind::LocalFile);
    else if (record.rawfile.isEmpty())
        calls.fail(QStringLiteral("邮件原文没有保存到 %1").arg(pop3.rawcopydir), engine::FailureKind::LocalFile);
    return calls.ok();
}

} // namespace

int n_orvex::of_recimail(stru_pop3_login pop3, QList<stru_mail> &mail, QString index)
{
    return of_recimail(std::move(pop3), [&mail](const stru_mail &record) { mail.append(record); }, std::move(index));
}

int n_orvex::of_recimail(stru_pop3_login pop3, const std::function<void(const stru_mail &)> &each, QString index,
                         const RecordsKept &kept)
{
    is_failure = {};
    is_warning.clear();
    is_uids.clear();
    platform::AutomationObject orvexpop3;
    platform::AutomationObject orvexpop3message;
    platform::AutomationObject orvexattachments;
    platform::AutomationObject orvexattachment;
    platform::AutomationObject orvexrecipients;
    platform::AutomationObject orvexrecipient;
    // Closing the window ends the fetch at once, before anything is deleted.
    const platform::InputHoldBack holdBack([&orvexpop3] { orvexpop3.invoke(QStringLiteral("abandon")); });

    const std::array<std::pair<platform::AutomationObject *, const char *>, 6> creations{{
            {&orvexpop3, "orvex.POP3"},
            {&orvexpop3message, "orvex.Message"},
            {&orvexattachments, "orvex.Attachments"},
            {&orvexattachment, "orvex.Attachment"},
            {&orvexrecipients, "orvex.Recipients"},
            {&orvexrecipient, "orvex.Recipient"},
    }};
    for (const auto &[object, className] : creations) {
        const int li_return = object->connectToNewObject(QLatin1String(className));
        if (li_return != platform::kCreateOk) {
            engine::reportMissingComponent();
            is_failure = {engine::FailureKind::Unavailable, QString()};
            return li_return;
        }
    }

    if (holdBack.holdsInput())
        engine::passUserInput(orvexpop3);

    // Calls stop at the first one that fails; then nothing is deleted on the
    // server and no half-read message is kept.
    engine::ComponentCalls calls;
    calls.set(orvexpop3, QStringLiteral("timeout"), pop3.timeout > 0 ? pop3.timeout : kPop3Timeout);
    calls.set(orvexpop3, QStringLiteral("logging"), true);
    calls.set(orvexpop3message, QStringLiteral("charset"), QStringLiteral("gb2312"));
    engine::applyTlsSettings(calls, orvexpop3, pop3.tlsrequired, pop3.tlsfingerprint, pop3.cafile);
    if (!pop3.rawcopydir.isEmpty())
        calls.set(orvexpop3, QStringLiteral("keepraw"), true);

    // A port written in the server field counts as given.
    QString serverError;
    const std::optional<engine::ServerField> server =
            engine::resolveServerField(pop3.host, pop3.port,
                                       engine::defaultPortFor(pop3.host, kDefaultPop3Port, QStringLiteral("pop3s"),
                                                              kDefaultPop3sPort),
                                       &serverError);
    if (!server)
        calls.fail(serverError, engine::FailureKind::Input);
    const QVariant connected =
            server ? calls.call(orvexpop3, QStringLiteral("connect"),
                                {pop3.username, pop3.password, server->host, int(server->port)})
                   : QVariant();
    if (calls.ok() && engine::saysFalse(connected))
        calls.fail(engine::componentReason(orvexpop3,
                                           QStringLiteral("无法登录到邮箱 %1（端口 %2）").arg(server->host).arg(server->port)));

    const qint64 count = calls.count(orvexpop3);
    const engine::FetchRange range = calls.ok() ? requestedRange(calls, orvexpop3, index, count) : engine::FetchRange{};
    // Read-ahead stops at the last message asked for: the server never sees
    // a retrieval of a message outside the range.
    if (calls.ok())
        calls.set(orvexpop3, QStringLiteral("lastmessage"), int(range.last));
    const QSet<qint64> seen = pop3.onlynew && calls.ok() ? seenMessages(calls, orvexpop3, pop3.seenuids, is_uids)
                                                          : QSet<qint64>();

    engine::AttachmentTargets targets(pop3.attachpath);
    const engine::MessageHandles handles{orvexpop3message, orvexattachments, orvexattachment, orvexrecipients,
                                         orvexrecipient};
    platform::AutomationObject messages;
    for (qint64 i = range.first; i <= range.last && calls.ok(); ++i) {
        if (seen.contains(i))
            continue;
        if (!calls.bindProperty(orvexpop3, QStringLiteral("messages"), messages)
            || !calls.bindElement(messages, i, orvexpop3message))
            break;
        stru_mail record;
        record.uid = is_uids.value(i - 1);
        if (engine::readMessage(calls, handles, targets, record) && keepRawCopy(calls, orvexpop3message, pop3, record))
            each(record);
    }

    // The caller's records of the messages are safe before any of them may
    // leave the server.
    if (calls.ok() && kept) {
        QString reason;
        if (!kept(&reason))
            calls.fail(pop3.deleteafterread ? QStringLiteral("%1，%2").arg(reason, notDeletedText(range)) : reason,
                       engine::FailureKind::LocalFile);
    }

    // Deleting is asked for only once everything requested was read and
    // saved: after a failure the messages stay on the server. Once asked,
    // the fetch succeeds only when the server took every deletion, which it
    // commits only on confirming the QUIT of "disconnect".
    const bool deleting = calls.ok() && pop3.deleteafterread && !range.isEmpty();
    if (calls.ok() && pop3.deleteafterread) {
        const QVariant deleted = calls.call(orvexpop3, QStringLiteral("deletemessages"));
        if (calls.failed())
            calls.explainFailure(notDeletedText(range));
        else if (engine::saysFalse(deleted))
            calls.fail(notDeletedText(range));
    }

    // Logging off comes before the log is read, so that what became of the
    // QUIT is in it. Every message is read and saved by then: a session that
    // ends in doubt hides none of them, but says what may be gone.
    const std::optional<QVariant> quit = orvexpop3.invoke(QStringLiteral("disconnect"));
    if (deleting && calls.ok() && (!quit || engine::saysFalse(*quit))) {
        const QString reason = QStringLiteral("服务器没有确认退出（QUIT），%1可能仍在服务器上").arg(messagesText(range));
        is_warning = unsureEndText(range);
        calls.fail(quit ? reason : QStringLiteral("%1：%2").arg(reason, orvexpop3.lastError()));
    }
    is_log = engine::transferLog(orvexpop3.property(QStringLiteral("log")), calls);
    if (!server)
        is_log = QStringLiteral("错误：%1\n").arg(serverError);
    if (calls.failed())
        is_failure = engine::transferFailure(calls, orvexpop3);
    orvexpop3message.invoke(QStringLiteral("close"));
    for (const auto &[object, className] : creations)
        object->release();
    if (!is_warning.isEmpty())
        return kFetchedEndUnsure;
    return calls.ok() ? 1 : -1;
}
