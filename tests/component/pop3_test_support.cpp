// SPDX-License-Identifier: MIT
#include "pop3_test_support.h"

#include "component_registration.h"

#include "engine/n_orvex.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace pop3test {

void ensureRegistered()
{
    componenttest::ensureRegistered();
}

namespace {

QVariant get(platform::AutomationObject &object, const char *name)
{
    const std::optional<QVariant> value = object.property(QLatin1String(name));
    if (!value)
        qWarning("reading %s failed: %s", name, qPrintable(object.lastError()));
    return value.value_or(QVariant());
}

bool bindProperty(platform::AutomationObject &object, const char *name, platform::AutomationObject &out)
{
    const std::optional<QVariant> value = object.property(QLatin1String(name));
    return value && out.bindTo(*value);
}

} // namespace

Mailbox::Mailbox()
{
    ensureRegistered();
    if (m_pop3.connectToNewObject(QStringLiteral("orvex.POP3")) != platform::kCreateOk)
        qFatal("orvex.POP3 cannot be created");
}

Mailbox::~Mailbox()
{
    m_pop3.release();
}

bool Mailbox::connect(const QString &user, const QString &password, const QString &host, int port, int timeoutSeconds)
{
    m_pop3.setProperty(QStringLiteral("timeout"), timeoutSeconds);
    m_pop3.setProperty(QStringLiteral("logging"), true);
    const std::optional<QVariant> result = m_pop3.invoke(QStringLiteral("connect"), {user, password, host, port});
    return result && result->toBool();
}

int Mailbox::count()
{
    return get(m_pop3, "count").toInt();
}

FetchedMessage Mailbox::fetch(int number, const QString &saveDir)
{
    FetchedMessage fetched;
    platform::AutomationObject messages;
    if (!bindProperty(m_pop3, "messages", messages)) {
        fetched.error = QStringLiteral("no messages collection");
        return fetched;
    }
    platform::AutomationObject message;
    if (!messages.element(number, message)) {
        fetched.error = messages.lastError();
        return fetched;
    }
    fetched.ok = true;
    fetched.from = get(message, "from").toString();
    fetched.fromName = get(message, "fromname").toString();
    fetched.subject = get(message, "subject").toString();
    fetched.date = get(message, "date").toDateTime();
    fetched.html = get(message, "htmlbody").toString();
    fetched.body = get(message, "body").toString();

    platform::AutomationObject recipients;
    if (bindProperty(message, "recipients", recipients)) {
        const int n = get(recipients, "count").toInt();
        for (int k = 0; k < n; ++k) {
            platform::AutomationObject recipient;
            if (recipients.element(k, recipient)) {
                fetched.recipients << get(recipient, "email").toString();
                fetched.recipientNames << get(recipient, "name").toString();
            }
        }
    }

    QTemporaryDir temporary;
    const QString dir = saveDir.isEmpty() ? temporary.path() : saveDir;
    platform::AutomationObject attachments;
    if (bindProperty(message, "attachments", attachments)) {
        const int n = get(attachments, "count").toInt();
        for (int j = 0; j < n; ++j) {
            platform::AutomationObject attachment;
            if (!attachments.element(j, attachment))
                continue;
            FetchedAttachment item;
            item.name = get(attachment, "name").toString();
            const QString path = dir + QLatin1Char('/') + item.name;
            const std::optional<QVariant> saved = attachment.invoke(QStringLiteral("savetofile"), {path});
            item.saved = saved && saved->toBool();
            QFile file(path);
            if (item.saved && file.open(QIODevice::ReadOnly)) {
                item.size = file.size();
                QCryptographicHash hash(QCryptographicHash::Sha256);
                hash.addData(&file);
                item.sha256 = hash.result();
                if (item.size <= 8 * 1024 * 1024 && file.seek(0))
                    item.content = file.readAll();
            }
            fetched.attachments << item;
        }
    }
    return fetched;
}

bool Mailbox::deleteMessages()
{
    const std::optional<QVariant> result = m_pop3.invoke(QStringLiteral("deletemessages"));
    return result && result->toBool();
}

bool Mailbox::disconnect()
{
    const std::optional<QVariant> result = m_pop3.invoke(QStringLiteral("disconnect"));
    return result && result->toBool();
}

QString Mailbox::log()
{
    return get(m_pop3, "log").toString();
}

QByteArray crlf(const QByteArray &text)
{
    QByteArray out = text;
    out.replace("\r\n", "\n");
    out.replace("\n", "\r\n");
    return out;
}

} // namespace pop3test
