#include "component/mime_reader.h"

#include "component/attachment.h"
#include "component/attachment_name.h"
#include "component/attachments.h"
#include "component/charset_decoding.h"
#include "component/gmime_support.h"
#include "component/message.h"
#include "component/recipients.h"

#include <gmime/gmime.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <fcntl.h>
#include <unistd.h>

namespace component {

namespace {

// Attachments up to this size (as they stand in the message) are decoded
// into memory; larger ones go to a temporary file.
constexpr qint64 kInMemoryAttachmentBytes = 256 * 1024;

// Owning handles for the GLib objects used here.
template <typename T>
struct GObjectRef {
    T *ptr = nullptr;
    explicit GObjectRef(T *p = nullptr) : ptr(p) {}
    ~GObjectRef()
    {
        if (ptr)
            g_object_unref(ptr);
    }
    GObjectRef(const GObjectRef &) = delete;
    GObjectRef &operator=(const GObjectRef &) = delete;
    T *get() const { return ptr; }
    explicit operator bool() const { return ptr != nullptr; }
};

struct ParserOptions {
    GMimeParserOptions *options;
    ParserOptions() : options(g_mime_parser_options_new())
    {
        // Raw 8-bit headers carry no charset: try UTF-8, then the Chinese one.
        static const char *fallback[] = {"UTF-8", "GB18030", nullptr};
        g_mime_parser_options_set_fallback_charsets(options, fallback);
        g_mime_parser_options_set_rfc2047_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_address_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
    }
    ~ParserOptions() { g_mime_parser_options_free(options); }
    ParserOptions(const ParserOptions &) = delete;
    ParserOptions &operator=(const ParserOptions &) = delete;
};

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// The header's value as it stood in the message (folded, undecoded), with
// GB-family charset labels widened to GB18030. Empty when absent.
QByteArray rawHeader(GMimeObject *object, const char *name)
{
    GMimeHeaderList *headers = g_mime_object_get_header_list(object);
    GMimeHeader *header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
    const char *raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    if (!raw)
        return {};
    return widenGbCharsets(QByteArray(raw));
}

QString decodedHeaderText(GMimeObject *object, const char *name, GMimeParserOptions *options)
{
    const QByteArray raw = rawHeader(object, name);
    if (raw.isEmpty())
        return {};
    char *unfolded = g_mime_utils_header_unfold(raw.constData());
    char *decoded = g_mime_utils_header_decode_text(options, unfolded);
    QString text = fromUtf8(decoded).trimmed();
    g_free(decoded);
    g_free(unfolded);
    return text;
}

// Calls `visit` for every mailbox of an address header, groups flattened.
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
void forEachHeaderMailbox(GMimeObject *object, const char *name, GMimeParserOptions *options, Visit &&visit)
{
    const QByteArray raw = rawHeader(object, name);
    if (raw.isEmpty())
        return;
    GObjectRef<InternetAddressList> list(internet_address_list_parse(options, raw.constData()));
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

void readHeaders(GMimeMessage *mime, Message &message, GMimeParserOptions *options)
{
    GMimeObject *object = GMIME_OBJECT(mime);
    bool haveSender = false;
    auto takeSender = [&](InternetAddressMailbox *mailbox) {
        if (haveSender)
            return;
        haveSender = true;
        message.setFromAddress(mailboxAddress(mailbox));
        message.setFromName(mailboxName(mailbox));
    };
    forEachHeaderMailbox(object, "From", options, takeSender);
    if (!haveSender)
        forEachHeaderMailbox(object, "Sender", options, takeSender);

    message.setSubject(decodedHeaderText(object, "Subject", options));

    QDateTime date;
    const QByteArray rawDate = rawHeader(object, "Date");
    if (!rawDate.isEmpty()) {
        char *unfolded = g_mime_utils_header_unfold(rawDate.constData());
        GDateTime *parsed = g_mime_utils_header_decode_date(unfolded);
        g_free(unfolded);
        if (parsed) {
            date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(parsed)).toLocalTime();
            g_date_time_unref(parsed);
        }
    }
    message.setDate(date);

    for (const char *header : {"To", "Cc"}) {
        forEachHeaderMailbox(object, header, options, [&](InternetAddressMailbox *mailbox) {
            const QString address = mailboxAddress(mailbox);
            if (!address.isEmpty())
                message.recipientList()->add(address, mailboxName(mailbox));
        });
    }
}

// The decoded file name a part carries: the disposition's filename, else the
// content type's name; RFC 2231 and RFC 2047 forms, GB labels read as GB18030.
QString partFileName(GMimeObject *part, GMimeParserOptions *options)
{
    const QByteArray disposition = rawHeader(part, "Content-Disposition");
    if (!disposition.isEmpty()) {
        GObjectRef<GMimeContentDisposition> parsed(g_mime_content_disposition_parse(options, disposition.constData()));
        if (parsed) {
            const QString name = fromUtf8(g_mime_content_disposition_get_parameter(parsed.get(), "filename"));
            if (!name.trimmed().isEmpty())
                return name;
        }
    }
    const QByteArray type = rawHeader(part, "Content-Type");
    if (!type.isEmpty()) {
        GObjectRef<GMimeContentType> parsed(g_mime_content_type_parse(options, type.constData()));
        if (parsed) {
            const QString name = fromUtf8(g_mime_content_type_get_parameter(parsed.get(), "name"));
            if (!name.trimmed().isEmpty())
                return name;
        }
    }
    // GMime's own reading, for forms the raw headers above did not give.
    if (GMIME_IS_PART(part))
        return fromUtf8(g_mime_part_get_filename(GMIME_PART(part)));
    return {};
}

bool isMarkedAttachment(GMimeObject *part)
{
    GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(part);
    return disposition && g_mime_content_disposition_is_attachment(disposition);
}

QString mimeTypeOf(GMimeObject *part)
{
    GMimeContentType *type = g_mime_object_get_content_type(part);
    if (!type)
        return {};
    char *text = g_mime_content_type_get_mime_type(type);
    QString result = fromUtf8(text);
    g_free(text);
    return result;
}

class Walker {
public:
    Walker(Message &message, GMimeParserOptions *options) : m_message(message), m_options(options) {}

    void walk(GMimeObject *object, int depth)
    {
        // Deeply nested multiparts are malformed on purpose; stop descending.
        if (!object || depth > 64 || !m_error.isEmpty())
            return;
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart *multipart = GMIME_MULTIPART(object);
            const int n = g_mime_multipart_get_count(multipart);
            for (int i = 0; i < n; ++i)
                walk(g_mime_multipart_get_part(multipart, i), depth + 1);
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            visitMessagePart(object);
        } else if (GMIME_IS_PART(object)) {
            visitLeaf(GMIME_PART(object));
        }
    }

    bool haveHtml() const { return m_haveHtml; }
    bool havePlain() const { return m_havePlain; }
    QString error() const { return m_error; }

private:
    void visitLeaf(GMimePart *part)
    {
        GMimeObject *object = GMIME_OBJECT(part);
        // A text/plain attachment is still a text part: look at how it is
        // marked before taking it for a body.
        const QString fileName = partFileName(object, m_options);
        if (isMarkedAttachment(object) || !fileName.trimmed().isEmpty()) {
            saveAttachment(object, fileName);
            return;
        }
        GMimeContentType *type = g_mime_object_get_content_type(object);
        if (!type || !g_mime_content_type_is_type(type, "text", "*"))
            return;
        if (!m_haveHtml && g_mime_content_type_is_type(type, "text", "html")) {
            m_message.setHtmlBody(bodyText(part));
            m_haveHtml = true;
        } else if (!m_havePlain && g_mime_content_type_is_type(type, "text", "plain")) {
            m_message.setPlainBody(bodyText(part));
            m_havePlain = true;
        }
    }

    void visitMessagePart(GMimeObject *object)
    {
        // An attached message is saved whole; one merely forwarded inline is
        // not opened up, so that its bodies never pass for ours.
        const QString fileName = partFileName(object, m_options);
        if (isMarkedAttachment(object) || !fileName.trimmed().isEmpty())
            saveAttachment(object, fileName);
    }

    QString bodyText(GMimePart *part)
    {
        GMimeDataWrapper *content = g_mime_part_get_content(part);
        if (!content)
            return {};
        GObjectRef<GMimeStream> memory(g_mime_stream_mem_new());
        g_mime_data_wrapper_write_to_stream(content, memory.get());
        GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
        const QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char *>(bytes->data), bytes->len);
        const char *charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
        return decodeText(raw, charset ? QByteArray(charset) : QByteArray());
    }

    void saveAttachment(GMimeObject *object, const QString &fileName)
    {
        const int position = m_message.attachmentList()->count() + 1;
        const QString name = safeAttachmentName(fileName, position, mimeTypeOf(object));
        if (const qint64 size = encodedSize(object); size >= 0 && size <= kInMemoryAttachmentBytes) {
            GObjectRef<GMimeStream> memory(g_mime_stream_mem_new());
            if (!writeDecoded(object, memory.get())) {
                m_error = QStringLiteral("无法读出附件 %1").arg(fileName);
                return;
            }
            GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory.get()));
            m_message.attachmentList()->add(name)->setContent(
                QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len)));
            return;
        }
        QTemporaryFile file(QDir::tempPath() + QStringLiteral("/orvex-attachment-XXXXXX"));
        file.setAutoRemove(false);
        if (!file.open()) {
            m_error = QStringLiteral("无法在临时文件夹中保存附件：%1").arg(file.errorString());
            return;
        }
        const QString path = file.fileName();
        const int fd = ::dup(file.handle());
        file.close();
        bool written = false;
        if (fd >= 0) {
            GObjectRef<GMimeStream> out(g_mime_stream_fs_new(fd));
            // No flush: a file stream writes straight through, and its flush
            // is an fsync this temporary file does not need.
            written = writeDecoded(object, out.get());
        }
        if (!written) {
            QFile::remove(path);
            m_error = QStringLiteral("无法在临时文件夹中保存附件 %1").arg(fileName);
            return;
        }
        m_message.attachmentList()->add(name)->setContentFile(path);
    }

    // The size of the part as it stands in the message (encoded), or -1
    // when it cannot be told cheaply.
    static qint64 encodedSize(GMimeObject *object)
    {
        if (!GMIME_IS_PART(object))
            return -1;
        GMimeDataWrapper *content = g_mime_part_get_content(GMIME_PART(object));
        GMimeStream *stream = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
        return stream ? qint64(g_mime_stream_length(stream)) : -1;
    }

    static bool writeDecoded(GMimeObject *object, GMimeStream *out)
    {
        if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage *inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            return !inner || g_mime_object_write_to_stream(GMIME_OBJECT(inner), nullptr, out) >= 0;
        }
        GMimeDataWrapper *content = g_mime_part_get_content(GMIME_PART(object));
        return !content || g_mime_data_wrapper_write_to_stream(content, out) >= 0;
    }

    Message &m_message;
    GMimeParserOptions *m_options;
    bool m_haveHtml = false;
    bool m_havePlain = false;
    QString m_error;
};

} // namespace

namespace {

bool readMimeStream(GMimeStream *stream, Message &message, QString *error)
{
    ParserOptions options;
    GObjectRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
    GObjectRef<GMimeMessage> mime(g_mime_parser_construct_message(parser.get(), options.options));
    if (!mime)
        return true; // nothing that looks like a message: every field stays empty

    readHeaders(mime.get(), message, options.options);
    Walker walker(message, options.options);
    walker.walk(g_mime_message_get_mime_part(mime.get()), 0);
    if (!walker.error().isEmpty()) {
        if (error)
            *error = walker.error();
        return false;
    }
    return true;
}

} // namespace

bool readMimeMessage(const QString &path, Message &message, QString *error)
{
    ensureGMimeInitialized();
    GError *openError = nullptr;
    GObjectRef<GMimeStream> stream(
        g_mime_stream_fs_open(QFile::encodeName(path).constData(), O_RDONLY, 0, &openError));
    if (!stream) {
        if (error)
            *error = QStringLiteral("无法读取邮件文件 %1：%2")
                         .arg(path, openError ? QString::fromUtf8(openError->message) : QString());
        if (openError)
            g_error_free(openError);
        return false;
    }
    return readMimeStream(stream.get(), message, error);
}

bool readMimeMessage(const QByteArray &raw, Message &message, QString *error)
{
    ensureGMimeInitialized();
    GObjectRef<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(raw.constData(), gsize(raw.size())));
    return readMimeStream(stream.get(), message, error);
}

} // namespace component
