// SPDX-License-Identifier: MIT
#include "component/mime_builder.h"

#include "component/charset_decoding.h"
#include "component/gmime_support.h"
#include "component/gobject_ref.h"
#include "component/html_plain_text.h"
#include "component/native_path.h"
#include "component/text_charset.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace component {

void GMimeMessageDeleter::operator()(GMimeMessage *message) const
{
    if (message)
        g_object_unref(message);
}

namespace {

QString normalizedLineBreaks(QString text)
{
    // Written with LF here; the SMTP writer turns every LF into CRLF.
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

void setPartContent(GMimePart *part, const QByteArray &bytes)
{
    GObjectRef<GMimeStream> content(g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    GObjectRef<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(content.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, wrapper.get());
}

// An HTML document that names its charset in a META line must name the one
// it goes out in, or a browser shows it garbled: a declaration that names
// another charset is corrected; one that already agrees stays as written.
QString withDeclaredCharset(const QString &html, const QByteArray &charset)
{
    static const QRegularExpression declaration(
            QStringLiteral("(<meta\\b[^>]*?\\bcharset\\s*=\\s*[\"']?)([A-Za-z0-9_.:-]+)"),
            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = declaration.match(html);
    if (!match.hasMatch() || match.captured(2).compare(QLatin1String(charset), Qt::CaseInsensitive) == 0)
        return html;
    QString corrected = html;
    corrected.replace(match.capturedStart(2), match.capturedLength(2), QString::fromLatin1(charset.toLower()));
    return corrected;
}

GMimeObject *makeTextPart(const char *subtype, const QString &text, const QByteArray &preferred)
{
    QString lfText = normalizedLineBreaks(text);
    if (qstrcmp(subtype, "html") == 0)
        lfText = withDeclaredCharset(lfText, charsetFor(lfText, preferred));
    const EncodedText encoded = encodeText(lfText, preferred);
    GMimePart *part = GMIME_PART(g_mime_text_part_new_with_subtype(subtype));
    setPartContent(part, encoded.bytes);
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset", encoded.charset.toLower().constData());
    const GMimeContentEncoding encoding = g_mime_part_get_best_content_encoding(part, GMIME_ENCODING_CONSTRAINT_7BIT);
    g_mime_part_set_content_encoding(part, encoding);
    if (encoding == GMIME_CONTENT_ENCODING_BASE64) {
        // Inside base64 no line break is converted on the way, so the text
        // goes in its canonical form, with CRLF (RFC 2046 4.1.1).
        QString crlfText = lfText;
        crlfText.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        setPartContent(part, encodeText(crlfText, encoded.charset).bytes);
    }
    return GMIME_OBJECT(part);
}

bool isPrintableAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

// The text as RFC 2047 encoded words (base64) in `charset`, each short
// enough for a header line of its own, joined by folding whitespace.
// GMime's own header encoder is not used for this: it writes a run of CJK
// text as one encoded word of any length, and labels GB2312 text "GBK".
// Every word but the last holds a multiple of three bytes, so that its
// base64 has no padding: decoders that join adjacent words before decoding
// (GMime among them) stop at a padding "=" in the middle.
QByteArray encodedWords(const QString &text, const QByteArray &charset)
{
    constexpr int kMaxWord = 66; // "Subject: " plus a word stays within 78 columns
    const QByteArray prefix = "=?" + charset + "?B?";
    const qsizetype maxBytes = (kMaxWord - prefix.size() - 2) / 4 * 3;

    QList<QByteArray> words;
    QByteArray chunk;        // bytes of the word being filled
    qsizetype cleanCut = -1; // the last length of `chunk` that is a multiple of three
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray character = encodeText(text.mid(i, length), charset).bytes;
        i += length;
        if (chunk.size() + character.size() > maxBytes && !chunk.isEmpty()) {
            const qsizetype cut = cleanCut > 0 ? cleanCut : chunk.size();
            words << prefix + chunk.left(cut).toBase64() + "?=";
            chunk = chunk.mid(cut);
            cleanCut = -1;
        }
        chunk += character;
        if (chunk.size() % 3 == 0)
            cleanCut = chunk.size();
    }
    if (!chunk.isEmpty())
        words << prefix + chunk.toBase64() + "?=";
    return words.join("\n ");
}

// Replaces the written form of a header GMime already holds.
void setRawHeader(GMimeObject *object, const char *name, const QByteArray &value)
{
    GMimeHeader *header = g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
    if (header)
        g_mime_header_set_raw_value(header, (" " + value + "\n").constData());
}

// Writes the file name both ways mail readers look for it, in UTF-8 both
// times so that they agree: RFC 2231 (filename*=) on Content-Disposition,
// and an RFC 2047 encoded word in quotes on Content-Type's name for the
// readers that look only there (a tool that saves the raw bytes of either
// gets a UTF-8 name, which is what file names are here).
void setAttachmentName(GMimePart *part, const QString &name)
{
    g_mime_object_set_disposition(GMIME_OBJECT(part), GMIME_DISPOSITION_ATTACHMENT);
    g_mime_part_set_filename(part, name.toUtf8().constData());

    GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(GMIME_OBJECT(part));
    if (GMimeParam *filename = g_mime_param_list_get_parameter(
            g_mime_content_disposition_get_parameters(disposition), "filename")) {
        g_mime_param_set_charset(filename, "utf-8");
        g_mime_param_set_encoding_method(filename, GMIME_PARAM_ENCODING_METHOD_RFC2231);
    }
    GMimeContentType *type = g_mime_object_get_content_type(GMIME_OBJECT(part));
    if (GMimeParam *typeName = g_mime_param_list_get_parameter(g_mime_content_type_get_parameters(type), "name")) {
        g_mime_param_set_charset(typeName, "utf-8");
        g_mime_param_set_encoding_method(typeName, GMIME_PARAM_ENCODING_METHOD_RFC2047);
    }
}

// A file name as a person reads it: its bytes as UTF-8, else GB18030, else
// Latin-1 (windows-1252), since a name may come from a disk or an archive
// written on a system of another charset.
QString readableFileName(const QString &name)
{
    const QByteArray bytes = nativePath(name);
    const QString text = decodeText(bytes, {});
    return text.contains(QChar::ReplacementCharacter) ? decodeText(bytes, "iso-8859-1") : text;
}

// The name the attachment goes out under: the file's base name with every
// control character replaced. A line break in a file name (legal on Linux)
// would otherwise be written as it is and start a header of its own.
QString attachmentName(const QString &path)
{
    QString name = readableFileName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    for (QChar &c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('_');
    }
    return name;
}

GMimeObject *makeAttachment(const QString &path, const QByteArray &preferred, QString *error)
{
    const QString reason = unreadableFileReason(path);
    if (!reason.isEmpty()) {
        *error = QStringLiteral("无法读取附件 %1：%2").arg(path, reason);
        return nullptr;
    }
    GError *gerror = nullptr;
    GMimeStream *file = g_mime_stream_fs_open(nativePath(path).constData(), O_RDONLY, 0, &gerror);
    if (!file) {
        *error = QStringLiteral("无法读取附件 %1：%2")
                     .arg(path, gerror ? QString::fromUtf8(gerror->message) : QStringLiteral("无法打开"));
        if (gerror)
            g_error_free(gerror);
        return nullptr;
    }
    GObjectRef<GMimeStream> content(file);

    static const QMimeDatabase mimeDatabase;
    const QString mimeName = mimeDatabase.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    const int slash = mimeName.indexOf(QLatin1Char('/'));
    const QByteArray type = slash > 0 ? mimeName.left(slash).toLatin1() : QByteArrayLiteral("application");
    const QByteArray subtype = slash > 0 ? mimeName.mid(slash + 1).toLatin1() : QByteArrayLiteral("octet-stream");

    GMimePart *part = g_mime_part_new_with_type(type.constData(), subtype.constData());
    if (type == "text") {
        // Without a charset a reader takes the text for US-ASCII and shows
        // every other character as "?".
        const QByteArray charset = textFileCharset(path, preferred);
        if (!charset.isEmpty())
            g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset", charset.constData());
    }
    GObjectRef<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(content.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, wrapper.get());
    // Always base64: the file goes out exactly as it is, whatever it holds,
    // and deciding otherwise would mean reading it twice.
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
    setAttachmentName(part, attachmentName(path));
    return GMIME_OBJECT(part);
}

// The address as the header writes it: in UTF-8 for a server that takes
// SMTPUTF8, otherwise in ASCII with the domain as its A-label.
QByteArray headerAddress(const MailAddress &address, bool utf8)
{
    return utf8 ? address.unicodeAddress().toUtf8() : address.asciiAddress();
}

InternetAddress *makeMailbox(const MailAddress &address, const QByteArray &preferred, bool utf8)
{
    InternetAddress *mailbox =
            internet_address_mailbox_new(address.name.toUtf8().constData(), headerAddress(address, utf8).constData());
    if (!address.name.isEmpty())
        internet_address_set_charset(mailbox, charsetFor(address.name, preferred).constData());
    return mailbox;
}

// One mailbox written for a header, the name encoded as GMime does it.
// GMime always writes a domain as its A-label; in UTF-8 mode the address
// at the end of its text is put back as the user wrote it.
QByteArray mailboxText(InternetAddress *mailbox, const MailAddress &address, bool utf8)
{
    char *text = internet_address_to_string(mailbox, nullptr, TRUE);
    QByteArray written(text);
    g_free(text);
    if (!utf8)
        return written;
    const QByteArray idn = internet_address_mailbox_get_idn_addr(INTERNET_ADDRESS_MAILBOX(mailbox));
    const QByteArray bracketed = "<" + idn + ">";
    if (written.endsWith(bracketed))
        return written.chopped(bracketed.size()) + "<" + headerAddress(address, true) + ">";
    return headerAddress(address, true);
}

QByteArray messageIdDomain(const MailAddress &from)
{
    const QString domain = QString::fromLatin1(QUrl::toAce(from.domain));
    static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
    if (hostName.match(domain).hasMatch())
        return domain.toLatin1();
    return QByteArrayLiteral("localhost.localdomain");
}

const char *priorityText(int priority)
{
    switch (priority) {
    case 1:
        return "1 (Highest)";
    case 2:
        return "2 (High)";
    case 3:
        return "3 (Normal)";
    case 4:
        return "4 (Low)";
    case 5:
        return "5 (Lowest)";
    default:
        return nullptr;
    }
}

// Adds `addresses` to the header list of `type`; returns each as it is
// written in the header.
QList<QByteArray> addAddresses(GMimeMessage *mime, GMimeAddressType type, const QList<MailAddress> &addresses,
                               const OutgoingMessage &message)
{
    InternetAddressList *list = g_mime_message_get_addresses(mime, type);
    QList<QByteArray> texts;
    for (const MailAddress &address : addresses) {
        GObjectRef<InternetAddress> mailbox(makeMailbox(address, message.charset, message.utf8Addresses));
        internet_address_list_add(list, mailbox.get());
        texts << mailboxText(mailbox.get(), address, message.utf8Addresses);
    }
    return texts;
}

void setAddressHeaders(GMimeMessage *mime, const OutgoingMessage &message)
{
    const bool utf8 = message.utf8Addresses;
    GObjectRef<InternetAddress> sender(makeMailbox(message.from, message.charset, utf8));
    internet_address_list_add(g_mime_message_get_from(mime), sender.get());
    const QByteArray senderText = mailboxText(sender.get(), message.from, utf8);

    const QList<QByteArray> toTexts = addAddresses(mime, GMIME_ADDRESS_TYPE_TO, message.recipients, message);
    const QList<QByteArray> ccTexts = addAddresses(mime, GMIME_ADDRESS_TYPE_CC, message.cc, message);
    if (utf8) {
        setRawHeader(GMIME_OBJECT(mime), "From", senderText);
        setRawHeader(GMIME_OBJECT(mime), "To", toTexts.join(",\n "));
        if (!ccTexts.isEmpty())
            setRawHeader(GMIME_OBJECT(mime), "Cc", ccTexts.join(",\n "));
    }
    if (message.returnReceipt) {
        // The receipt goes back to the sender, written as the From header is.
        // Set raw: handed over as text, GMime would parse the address again
        // and re-encode the name under another label.
        g_mime_object_set_header(GMIME_OBJECT(mime), "Disposition-Notification-To", senderText.constData(), nullptr);
        setRawHeader(GMIME_OBJECT(mime), "Disposition-Notification-To", senderText);
    }
}

void setHeaders(GMimeMessage *mime, const OutgoingMessage &message)
{
    setAddressHeaders(mime, message);

    const QByteArray subjectCharset = charsetFor(message.subject, message.charset);
    g_mime_message_set_subject(mime, message.subject.toUtf8().constData(), subjectCharset.constData());
    if (!isPrintableAscii(message.subject))
        setRawHeader(GMIME_OBJECT(mime), "Subject", encodedWords(message.subject, subjectCharset));

    const QDateTime when = message.date.isValid() ? message.date : QDateTime::currentDateTime();
    GDateTime *date = g_date_time_new_from_unix_local(when.toSecsSinceEpoch());
    g_mime_message_set_date(mime, date);
    g_date_time_unref(date);

    char *messageId = g_mime_utils_generate_message_id(messageIdDomain(message.from).constData());
    g_mime_message_set_message_id(mime, messageId);
    g_free(messageId);

    if (const char *priority = priorityText(message.priority))
        g_mime_object_set_header(GMIME_OBJECT(mime), "X-Priority", priority, nullptr);
}

GMimeObject *makeBody(const OutgoingMessage &message)
{
    const bool hasHtml = !message.htmlBody.isEmpty();
    // An HTML message also carries its text as plain text, first: readers
    // that show no HTML show that instead of nothing.
    const QString plainBody =
            message.plainBody.isEmpty() && hasHtml ? plainTextFromHtml(message.htmlBody) : message.plainBody;
    const bool hasPlain = !plainBody.isEmpty();
    if (hasPlain && hasHtml) {
        GMimeMultipart *alternative = g_mime_multipart_new_with_subtype("alternative");
        GObjectRef<GMimeObject> plain(makeTextPart("plain", plainBody, message.charset));
        GObjectRef<GMimeObject> html(makeTextPart("html", message.htmlBody, message.charset));
        g_mime_multipart_add(alternative, plain.get());
        g_mime_multipart_add(alternative, html.get());
        return GMIME_OBJECT(alternative);
    }
    if (hasHtml)
        return makeTextPart("html", message.htmlBody, message.charset);
    return makeTextPart("plain", plainBody, message.charset);
}

} // namespace

QString unreadableFileReason(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("没有给出文件路径");
    // By the path's own bytes: a name in another charset than UTF-8 is
    // still the user's file.
    const QByteArray native = nativePath(path);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0)
        return errno == ENOENT ? QStringLiteral("文件不存在") : QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("这是一个文件夹，不是文件");
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("不是普通文件");
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    return QString();
}

GMimeMessagePtr buildMimeMessage(const OutgoingMessage &message, QString *error)
{
    ensureGMimeInitialized();
    GMimeMessagePtr mime(g_mime_message_new(TRUE));
    setHeaders(mime.get(), message);

    GObjectRef<GMimeObject> body(makeBody(message));
    if (message.attachmentFiles.isEmpty()) {
        g_mime_message_set_mime_part(mime.get(), body.get());
        return mime;
    }
    GObjectRef<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
    g_mime_multipart_add(mixed.get(), body.get());
    for (const QString &path : message.attachmentFiles) {
        GObjectRef<GMimeObject> attachment(makeAttachment(path, message.charset, error));
        if (!attachment.get())
            return nullptr;
        g_mime_multipart_add(mixed.get(), attachment.get());
    }
    g_mime_message_set_mime_part(mime.get(), GMIME_OBJECT(mixed.get()));
    return mime;
}

} // namespace component
