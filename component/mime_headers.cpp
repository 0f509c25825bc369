// SPDX-License-Identifier: MIT
#include "component/mime_headers.h"

#include "component/charset_decoding.h"
#include "component/gobject_ref.h"
#include "component/message.h"
#include "component/recipients.h"

#include <QDateTime>
#include <QRegularExpression>
#include <cstring>

namespace component {

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

bool holdsEightBitBytes(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (uchar(c) >= 0x80)
            return true;
    }
    return false;
}

// Raw 8-bit header text carries no charset. GMime tries its fallback
// charsets on free text, but hands parameter values (file names) on as
// they are; converting the whole value first gives both the same reading.
QByteArray withEightBitTextAsUtf8(const QByteArray &raw, GMimeParserOptions *options)
{
    if (!holdsEightBitBytes(raw) || isValidUtf8(raw))
        return raw;
    char *utf8 = g_mime_utils_decode_8bit(options, raw.constData(), size_t(raw.size()));
    const QByteArray converted = utf8 ? QByteArray(utf8) : raw;
    g_free(utf8);
    return converted;
}

QString decodedText(const QByteArray &raw, GMimeParserOptions *options)
{
    char *unfolded = g_mime_utils_header_unfold(raw.constData());
    char *decoded = g_mime_utils_header_decode_text(options, unfolded);
    QString text = fromUtf8(decoded).trimmed();
    g_free(decoded);
    g_free(unfolded);
    return text;
}

QByteArray firstHeaderValue(GMimeObject *object, const char *name, GMimeParserOptions *options)
{
    const QList<QByteArray> values = headerValues(object, name, options);
    return values.isEmpty() ? QByteArray() : values.first();
}

// Calls `visit` for every mailbox of an address list, groups flattened.
template <typename Visit>
void forEachMailbox(InternetAddressList *list, Visit &&visit)
{
    if (!list)
        return;
    const int n = internet_address_list_length(list);
    for (int i = 0; i < n; ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            visit(INTERNET_ADDRESS_MAILBOX(address));
        } else if (INTERNET_ADDRESS_IS_GROUP(address)) {
            forEachMailbox(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)), visit);
        }
    }
}

template <typename Visit>
void forEachMailbox(const QByteArray &rawValue, GMimeParserOptions *options, Visit &&visit)
{
    GObjectRef<InternetAddressList> list(internet_address_list_parse(options, rawValue.constData()));
    forEachMailbox(list.get(), visit);
}

QString mailboxName(InternetAddressMailbox *mailbox)
{
    return fromUtf8(internet_address_get_name(INTERNET_ADDRESS(mailbox))).trimmed();
}

QString mailboxAddress(InternetAddressMailbox *mailbox)
{
    return fromUtf8(internet_address_mailbox_get_addr(mailbox)).trimmed();
}

// The display name of a sender written with an empty address, as bounces
// are ("MAILER DAEMON <>"): GMime's address parser gives nothing for it.
QString nameBeforeEmptyAddress(const QByteArray &rawValue, GMimeParserOptions *options)
{
    static const QRegularExpression emptyAddress(QStringLiteral("^(.*)<\\s*>$"),
                                                 QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = emptyAddress.match(decodedText(rawValue, options));
    if (!match.hasMatch())
        return {};
    QByteArray name = match.captured(1).trimmed().toUtf8();
    if (name.isEmpty())
        return {};
    g_mime_utils_unquote_string(name.data());
    return QString::fromUtf8(name.constData()).trimmed();
}

void readSender(GMimeObject *object, Message &message, GMimeParserOptions *options)
{
    for (const char *header : {"From", "Sender"}) {
        bool found = false;
        for (const QByteArray &value : headerValues(object, header, options)) {
            forEachMailbox(value, options, [&](InternetAddressMailbox *mailbox) {
                if (found)
                    return;
                found = true;
                message.setFromAddress(mailboxAddress(mailbox));
                message.setFromName(mailboxName(mailbox));
            });
            if (found)
                return;
        }
    }
    for (const QByteArray &value : headerValues(object, "From", options)) {
        if (const QString name = nameBeforeEmptyAddress(value, options); !name.isEmpty()) {
            message.setFromName(name);
            return;
        }
    }
}

// The date in local time; `offset` receives the zone it was written in,
// seconds east of UTC.
QDateTime headerDate(GMimeObject *object, GMimeParserOptions *options, int *offset)
{
    const QByteArray value = firstHeaderValue(object, "Date", options);
    if (value.isEmpty())
        return {};
    char *unfolded = g_mime_utils_header_unfold(value.constData());
    // The obsolete syntax allows spaces around the colons of the time
    // ("00 : 01"), and some senders glue the zone to the time
    // ("00:01+0000"): GMime's date parser reads either as a time without
    // minutes.
    static const QRegularExpression spacedColon(QStringLiteral("(\\d)\\s*:\\s*(?=\\d)"));
    static const QRegularExpression gluedZone(QStringLiteral("(\\d:\\d\\d)(?=[+-]\\d|[A-Za-z])"));
    const QByteArray text = QString::fromLatin1(unfolded)
                                .replace(spacedColon, QStringLiteral("\\1:"))
                                .replace(gluedZone, QStringLiteral("\\1 "))
                                .toLatin1();
    g_free(unfolded);
    GDateTime *parsed = g_mime_utils_header_decode_date(text.constData());
    if (!parsed)
        return {};
    const QDateTime date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(parsed)).toLocalTime();
    *offset = int(g_date_time_get_utc_offset(parsed) / G_TIME_SPAN_SECOND);
    g_date_time_unref(parsed);
    return date;
}

// "<id@host>" as "id@host": the first message id of a header value, the
// whole trimmed value when it has no angle brackets.
QString messageIdText(const QByteArray &value)
{
    const QString text = QString::fromUtf8(value).simplified();
    const qsizetype open = text.indexOf(QLatin1Char('<'));
    const qsizetype close = text.indexOf(QLatin1Char('>'), open + 1);
    if (open < 0 || close < 0)
        return text;
    return text.mid(open + 1, close - open - 1).trimmed();
}

// Reply-To, Message-ID and In-Reply-To, for a program that threads mail or
// answers it.
void readReferenceHeaders(GMimeObject *object, Message &message, GMimeParserOptions *options)
{
    for (const QByteArray &value : headerValues(object, "Reply-To", options)) {
        QString first;
        forEachMailbox(value, options, [&](InternetAddressMailbox *mailbox) {
            if (first.isEmpty())
                first = mailboxAddress(mailbox);
        });
        if (!first.isEmpty()) {
            message.setReplyTo(first);
            break;
        }
    }
    message.setMessageId(messageIdText(firstHeaderValue(object, "Message-ID", options)));
    message.setInReplyTo(messageIdText(firstHeaderValue(object, "In-Reply-To", options)));
}

// RFC 2231 values are percent-encoded; an encoded NUL would end the decoded
// name there (GMime hands it on as a C string), so it is dropped first.
QByteArray withoutEncodedNul(const QByteArray &rawParameters)
{
    static const QRegularExpression extendedValue(QStringLiteral("\\*\\s*=\\s*\"?[^\";]*"));
    if (!rawParameters.contains("%00"))
        return rawParameters;
    QString text = QString::fromLatin1(rawParameters);
    QString out;
    qsizetype done = 0;
    for (auto it = extendedValue.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(text).mid(done, match.capturedStart() - done);
        out += match.captured().remove(QLatin1String("%00"));
        done = match.capturedEnd();
    }
    out += QStringView(text).mid(done);
    return out.toLatin1();
}

} // namespace

QList<QByteArray> headerValues(GMimeObject *object, const char *name, GMimeParserOptions *options)
{
    QList<QByteArray> values;
    GMimeHeaderList *headers = g_mime_object_get_header_list(object);
    const int n = headers ? g_mime_header_list_get_count(headers) : 0;
    for (int i = 0; i < n; ++i) {
        GMimeHeader *header = g_mime_header_list_get_header_at(headers, i);
        const char *raw = g_mime_header_get_raw_value(header);
        if (raw && g_ascii_strcasecmp(g_mime_header_get_name(header), name) == 0)
            values.append(normalizeEncodedWords(withEightBitTextAsUtf8(QByteArray(raw), options)));
    }
    return values;
}

void readMessageHeaders(GMimeMessage *mime, Message &message, GMimeParserOptions *options)
{
    GMimeObject *object = GMIME_OBJECT(mime);
    readSender(object, message, options);
    message.setSubject(decodedText(firstHeaderValue(object, "Subject", options), options));
    int offset = 0;
    message.setDate(headerDate(object, options, &offset));
    message.setDateOffset(offset);
    // Some senders write several To or Cc headers: every one counts.
    for (const char *header : {"To", "Cc"}) {
        const bool cc = std::strcmp(header, "Cc") == 0;
        for (const QByteArray &value : headerValues(object, header, options)) {
            forEachMailbox(value, options, [&](InternetAddressMailbox *mailbox) {
                const QString address = mailboxAddress(mailbox);
                if (address.isEmpty())
                    return;
                message.recipientList()->add(address, mailboxName(mailbox));
                if (cc)
                    message.addCcAddress(address);
            });
        }
    }
    readReferenceHeaders(object, message, options);
}

QString mimeTypeOf(GMimeObject *part)
{
    GMimeContentType *type = g_mime_object_get_content_type(part);
    char *text = type ? g_mime_content_type_get_mime_type(type) : nullptr;
    const QString result = fromUtf8(text).toLower();
    g_free(text);
    return result;
}

QString partFileName(GMimeObject *part, GMimeParserOptions *options)
{
    const QByteArray disposition = withoutEncodedNul(firstHeaderValue(part, "Content-Disposition", options));
    if (!disposition.isEmpty()) {
        GObjectRef<GMimeContentDisposition> parsed(g_mime_content_disposition_parse(options, disposition.constData()));
        const QString name = parsed ? fromUtf8(g_mime_content_disposition_get_parameter(parsed.get(), "filename")) : QString();
        if (!name.trimmed().isEmpty())
            return name;
    }
    const QByteArray type = withoutEncodedNul(firstHeaderValue(part, "Content-Type", options));
    if (!type.isEmpty()) {
        GObjectRef<GMimeContentType> parsed(g_mime_content_type_parse(options, type.constData()));
        const QString name = parsed ? fromUtf8(g_mime_content_type_get_parameter(parsed.get(), "name")) : QString();
        if (!name.trimmed().isEmpty())
            return name;
    }
    // GMime's own reading, for forms the raw headers above did not give.
    if (GMIME_IS_PART(part))
        return fromUtf8(g_mime_part_get_filename(GMIME_PART(part)));
    return {};
}

} // namespace component
