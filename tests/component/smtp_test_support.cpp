// SPDX-License-Identifier: MIT
#include "smtp_test_support.h"

#include "component_registration.h"

#include "engine/n_orvex.h"
#include "platform/automation_object.h"

#include <QTest>

#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

namespace smtptest {

namespace {

void set(platform::AutomationObject &object, const char *name, const QVariant &value)
{
    if (!object.setProperty(QLatin1String(name), value))
        qFatal("setting %s failed: %s", name, qPrintable(object.lastError()));
}

QString utf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QByteArray decodedContent(GMimePart *part)
{
    GMimeDataWrapper *wrapper = g_mime_part_get_content(part);
    if (!wrapper)
        return {};
    GMimeStream *memory = g_mime_stream_mem_new();
    g_mime_data_wrapper_write_to_stream(wrapper, memory);
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory));
    const QByteArray content(reinterpret_cast<const char *>(bytes->data), int(bytes->len));
    g_object_unref(memory);
    return content;
}

void collect(GMimeObject *object, QList<Part> &parts)
{
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
            collect(g_mime_multipart_get_part(multipart, i), parts);
        return;
    }
    if (!GMIME_IS_PART(object))
        return;
    Part part;
    GMimeContentType *type = g_mime_object_get_content_type(object);
    char *mimeType = g_mime_content_type_get_mime_type(type);
    part.mimeType = utf8(mimeType).toLower();
    g_free(mimeType);
    part.charset = utf8(g_mime_object_get_content_type_parameter(object, "charset")).toLower();
    part.filename = utf8(g_mime_part_get_filename(GMIME_PART(object)));
    part.content = decodedContent(GMIME_PART(object));
    if (GMIME_IS_TEXT_PART(object) && part.filename.isEmpty()) {
        char *text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
        part.text = utf8(text);
        g_free(text);
    }
    parts << part;
}

} // namespace

SendResult send(const Outgoing &mail, const QString &server)
{
    componenttest::ensureRegistered();
    SendResult result;
    platform::AutomationObject message;
    if (message.connectToNewObject(QStringLiteral("orvex.Message")) != platform::kCreateOk)
        qFatal("orvex.Message cannot be created");
    set(message, "charset", mail.charset);
    set(message, "silent", mail.silent);
    set(message, "logging", true);
    set(message, "priority", 3);
    set(message, "returnreceipt", mail.returnReceipt);
    set(message, "from", mail.from);
    set(message, "fromname", mail.fromName);
    if (mail.timeout > 0)
        set(message, "timeout", mail.timeout);
    for (const QString &recipient : mail.recipients)
        message.invoke(QStringLiteral("addrecipient"), {recipient});
    if (!mail.htmlBody.isEmpty())
        set(message, "htmlbody", mail.htmlBody);
    if (!mail.body.isEmpty())
        set(message, "body", mail.body);
    set(message, "subject", mail.subject);
    for (const QString &path : mail.attachments)
        message.invoke(QStringLiteral("addattachment"), {path, true});
    if (!mail.user.isEmpty()) {
        set(message, "mailserverusername", mail.user);
        set(message, "mailserverpassword", mail.password);
    }
    const std::optional<QVariant> sent = message.invoke(QStringLiteral("send"), {server});
    result.sent = sent && sent->toBool();
    if (!sent)
        result.raisedError = message.lastError();
    result.log = message.property(QStringLiteral("log")).value_or(QVariant()).toString();
    result.lastError = message.property(QStringLiteral("lasterror")).value_or(QVariant()).toString();
    result.failureKind = message.property(QStringLiteral("failurekind")).value_or(QVariant()).toString();
    message.invoke(QStringLiteral("close"));
    message.release();
    return result;
}

QByteArray Received::header(const char *name) const
{
    for (const QByteArray &line : rawHeaders.split('\n')) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

Received parse(const QByteArray &raw)
{
    static const bool initialised = [] {
        g_mime_init();
        return true;
    }();
    Q_UNUSED(initialised);
    Received received;
    const int headerEnd = raw.indexOf("\r\n\r\n");
    // Unfolded, for looking at single headers as they were written.
    received.rawHeaders = raw.left(headerEnd < 0 ? raw.size() : headerEnd).replace("\r\n ", " ").replace("\r\n\t", " ");
    received.rawHeaders.replace("\r\n", "\n");

    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(raw.constData(), size_t(raw.size()));
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage *message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message)
        return received;
    received.parsed = true;
    received.subject = utf8(g_mime_message_get_subject(message));
    InternetAddressList *from = g_mime_message_get_from(message);
    if (from && internet_address_list_length(from) > 0) {
        InternetAddress *sender = internet_address_list_get_address(from, 0);
        received.fromName = utf8(internet_address_get_name(sender));
        if (INTERNET_ADDRESS_IS_MAILBOX(sender))
            received.fromAddress = utf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(sender)));
    }
    InternetAddressList *to = g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_TO);
    for (int i = 0; to && i < internet_address_list_length(to); ++i) {
        InternetAddress *address = internet_address_list_get_address(to, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            received.to << utf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    }
    GMimeObject *body = g_mime_message_get_mime_part(message);
    if (body) {
        char *type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(body));
        received.topType = utf8(type).toLower();
        g_free(type);
        collect(body, received.parts);
    }
    g_object_unref(message);
    return received;
}

QString lf(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace smtptest
