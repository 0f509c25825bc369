// SPDX-License-Identifier: MIT
#include "component/mime_reader.h"

#include "component/attachment.h"
#include "component/attachment_name.h"
#include "component/attachments.h"
#include "component/charset_decoding.h"
#include "component/gobject_ref.h"
#include "component/inline_images.h"
#include "component/line_ends.h"
#include "component/message.h"
#include "component/message_skeleton.h"
#include "component/mime_headers.h"
#include "component/temporary_files.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace component {

namespace {

// Attachments up to this size (as they stand in the message) are decoded
// into memory; larger ones go to a temporary file.
constexpr qint64 kInMemoryAttachmentBytes = 256 * 1024;
// The stdio buffer a fetched message is parsed through.
constexpr size_t kReadBufferBytes = 1024 * 1024;

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

bool isMarkedAttachment(GMimeObject *part)
{
    GMimeContentDisposition *disposition = g_mime_object_get_content_disposition(part);
    return disposition && g_mime_content_disposition_is_attachment(disposition);
}

bool isType(GMimeObject *part, const char *type, const char *subtype)
{
    GMimeContentType *contentType = g_mime_object_get_content_type(part);
    return contentType && g_mime_content_type_is_type(contentType, type, subtype);
}

// The body texts of a part or of a whole subtree.
struct BodyText {
    QString plain;
    QString html;
};

QString joinedText(const QString &first, const QString &second)
{
    if (first.isEmpty() || second.isEmpty())
        return first + second;
    return first.endsWith(QLatin1Char('\n')) ? first + second : first + QStringLiteral("\r\n") + second;
}

// Text parts side by side (text, picture, text) are one body, in order.
void appendBody(BodyText &into, const BodyText &part)
{
    into.plain = joinedText(into.plain, part.plain);
    into.html += part.html;
}

// Alternatives say the same thing twice: the first of each kind is the body.
void addAlternative(BodyText &into, const BodyText &part)
{
    if (into.plain.isEmpty())
        into.plain = part.plain;
    if (into.html.isEmpty())
        into.html = part.html;
}

// Parts whose content was decoded as the message arrived, with the file
// that holds it.
using DecodedParts = QHash<GMimeObject *, MessageSkeleton::Run *>;

// Goes over every part of a message: text parts that are not attachments
// form the body, everything else is kept as an attachment.
class Walker {
public:
    Walker(Message &message, GMimeParserOptions *options, const DecodedParts &decoded)
        : m_message(message), m_options(options), m_decoded(decoded)
    {
    }

    // Reads the parts below `root` in order. The nesting is followed with a
    // stack of its own rather than by recursion, so that no depth of
    // nesting, however deep, leaves a part unread.
    void walk(GMimeObject *root)
    {
        walkParts(root);
        // Text parts that carry a name but no disposition are attachments
        // to some senders and the text to others: with no other body, the
        // first of them is shown as well, as mail readers do.
        if (m_body.plain.isEmpty() && m_body.html.isEmpty())
            m_body.plain = m_namedText;
    }

    const BodyText &body() const { return m_body; }
    const PartsByContentId &partsByContentId() const { return m_partsByContentId; }
    // The attachment that holds content whose parts could not be told
    // apart; empty when there is none.
    QString unparsedName() const { return m_unparsedName; }
    QString error() const { return m_error; }

private:
    void walkParts(GMimeObject *root)
    {
        if (!root)
            return;
        if (!GMIME_IS_MULTIPART(root)) {
            m_body = visitLeaf(root);
            return;
        }
        struct Level {
            GMimeMultipart *multipart;
            int next;
            BodyText body;
        };
        std::vector<Level> open{{GMIME_MULTIPART(root), 0, {}}};
        while (!open.empty() && m_error.isEmpty()) {
            Level &level = open.back();
            if (level.next < g_mime_multipart_get_count(level.multipart)) {
                GMimeObject *child = g_mime_multipart_get_part(level.multipart, level.next++);
                if (GMIME_IS_MULTIPART(child))
                    open.push_back({GMIME_MULTIPART(child), 0, {}});
                else
                    merge(level.multipart, level.body, visitLeaf(child));
                continue;
            }
            if (g_mime_multipart_get_count(level.multipart) == 0)
                keepUnparsedContent(level.multipart);
            const BodyText finished = std::move(level.body);
            open.pop_back();
            if (open.empty())
                m_body = finished;
            else
                merge(open.back().multipart, open.back().body, finished);
        }
    }

    static void merge(GMimeMultipart *parent, BodyText &into, const BodyText &part)
    {
        if (isType(GMIME_OBJECT(parent), "multipart", "alternative"))
            addAlternative(into, part);
        else
            appendBody(into, part);
    }

    BodyText visitLeaf(GMimeObject *object)
    {
        const QString fileName = partFileName(object, m_options);
        // An attached message is kept whole, never opened up, so that its
        // bodies never pass for ours.
        if (GMIME_IS_MESSAGE_PART(object)) {
            saveAttachment(object, fileName);
            return {};
        }
        if (!GMIME_IS_PART(object))
            return {};
        GMimePart *part = GMIME_PART(object);
        // A text/plain attachment is still a text part: look at how it is
        // marked before taking it for a body.
        if (!isMarkedAttachment(object) && fileName.trimmed().isEmpty()) {
            if (isType(object, "text", "plain"))
                return {bodyText(part), {}};
            if (isType(object, "text", "html"))
                return {{}, bodyText(part)};
        }
        if (m_namedText.isEmpty() && !g_mime_object_get_content_disposition(object) && isType(object, "text", "plain"))
            m_namedText = bodyText(part);
        saveAttachment(object, fileName);
        if (const char *id = g_mime_object_get_content_id(object); id && *id) {
            const QString key = QString::fromUtf8(id).toLower();
            if (!m_partsByContentId.contains(key))
                m_partsByContentId.insert(key, part);
        }
        return {};
    }

    // GMime's parser goes down a limited number of levels (1024 in 3.2):
    // deeper parts are left undecoded as the text of the deepest multipart,
    // which then has no parts. So is the body of a multipart whose boundary
    // never comes. That text is kept as one attachment, a MIME entity that
    // a mail program opens ("附件3.eml").
    void keepUnparsedContent(GMimeMultipart *multipart)
    {
        const char *text = g_mime_multipart_get_prologue(multipart);
        if (text && !QByteArray(text).trimmed().isEmpty())
            m_unparsedName = saveAttachment(GMIME_OBJECT(multipart), QString(), QStringLiteral("message/rfc822"));
    }

    QString bodyText(GMimePart *part)
    {
        GMimeDataWrapper *content = g_mime_part_get_content(part);
        if (!content)
            return {};
        GObjectRef<GMimeStream> memory(g_mime_stream_mem_new());
        g_mime_data_wrapper_write_to_stream(content, memory.get());
        const QByteArray raw = memoryStreamBytes(memory.get());
        const char *charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
        return decodeText(raw, charset ? QByteArray(charset) : QByteArray());
    }

    // Returns the name the attachment was given.
    QString saveAttachment(GMimeObject *object, const QString &fileName, const QString &mimeType = QString())
    {
        const int position = m_message.attachmentList()->count() + 1;
        const QString name = safeAttachmentName(fileName, position, mimeType.isEmpty() ? mimeTypeOf(object) : mimeType);
        if (MessageSkeleton::Run *run = m_decoded.value(object)) {
            // Already decoded into a file of its own: that file becomes the
            // attachment's.
            run->decoded->setAutoRemove(false);
            const QString path = run->decoded->fileName();
            run->decoded.reset();
            m_message.attachmentList()->add(name)->setContentFile(path);
            return name;
        }
        if (const qint64 size = encodedSize(object); size >= 0 && size <= kInMemoryAttachmentBytes) {
            GObjectRef<GMimeStream> memory(g_mime_stream_mem_new());
            if (!writeDecoded(object, memory.get())) {
                m_error = QStringLiteral("无法读出附件 %1").arg(fileName);
                return {};
            }
            m_message.attachmentList()->add(name)->setContent(memoryStreamBytes(memory.get()));
            return name;
        }
        QTemporaryFile file(temporaryFileTemplate(QStringLiteral("attachment")));
        file.setAutoRemove(false);
        if (!file.open()) {
            m_error = QStringLiteral("无法在临时文件夹中保存附件：%1").arg(file.errorString());
            return {};
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
            return {};
        }
        m_message.attachmentList()->add(name)->setContentFile(path);
        return name;
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
            return !inner || writeAsReceived(GMIME_OBJECT(inner), out);
        }
        if (GMIME_IS_MULTIPART(object))
            return writeAsReceived(object, out);
        GMimeDataWrapper *content = g_mime_part_get_content(GMIME_PART(object));
        return !content || g_mime_data_wrapper_write_to_stream(content, out) >= 0;
    }

    // Writes a whole entity, headers included, with the CRLF line ends mail
    // has on the wire (and the server sent), not the local convention: GMime
    // writes headers with the ends it is told and keeps the preamble text
    // of a multipart with LF only, which the filter mends.
    static bool writeAsReceived(GMimeObject *object, GMimeStream *out)
    {
        GMimeFormatOptions *format = g_mime_format_options_new();
        g_mime_format_options_set_newline_format(format, GMIME_NEWLINE_FORMAT_DOS);
        GObjectRef<GMimeStream> filtered(g_mime_stream_filter_new(out));
        GObjectRef<GMimeFilter> crlf(g_mime_filter_unix2dos_new(FALSE));
        g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), crlf.get());
        // No flush: this filter holds nothing back, and the flush of a file
        // stream below it is an fsync the temporary file does not need.
        const bool written = g_mime_object_write_to_stream(object, format, filtered.get()) >= 0;
        g_mime_format_options_free(format);
        return written;
    }

    Message &m_message;
    GMimeParserOptions *m_options;
    const DecodedParts &m_decoded;
    BodyText m_body;
    QString m_namedText; // the first named text/plain part without a disposition
    PartsByContentId m_partsByContentId;
    QString m_unparsedName;
    QString m_error;
};

} // namespace

namespace {

GMimeMessage *parseMessage(GMimeStream *stream, const ParserOptions &options)
{
    GObjectRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
    return g_mime_parser_construct_message(parser.get(), options.options);
}

// A message the parser cannot make out is not dropped: its bytes, as they
// came, become its one attachment, a MIME entity a mail program may still
// open ("附件1.eml"), and its body says so. Nothing at all needs no keeping.
bool keepUnreadableMessage(GMimeStream *stream, Message &message, QString *error)
{
    if (g_mime_stream_reset(stream) != 0 || g_mime_stream_length(stream) == 0)
        return true;
    QTemporaryFile file(temporaryFileTemplate(QStringLiteral("attachment")));
    file.setAutoRemove(false);
    const int fd = file.open() ? ::dup(file.handle()) : -1;
    const QString path = file.fileName();
    file.close();
    bool written = false;
    if (fd >= 0) {
        GObjectRef<GMimeStream> out(g_mime_stream_fs_new(fd));
        written = g_mime_stream_write_to_stream(stream, out.get()) >= 0;
    }
    if (!written) {
        QFile::remove(path);
        if (error)
            *error = QStringLiteral("无法在临时文件夹中保存无法读取的邮件原文");
        return false;
    }
    const QString name = safeAttachmentName(QString(), 1, QStringLiteral("message/rfc822"));
    message.attachmentList()->add(name)->setContentFile(path);
    message.setPlainBody(QStringLiteral("（这封邮件无法读取，原文已保存为附件“%1”。）").arg(name));
    return true;
}

bool readParsedMessage(GMimeMessage *mime, const ParserOptions &options, const DecodedParts &decoded,
                       Message &message, QString *error)
{

    readMessageHeaders(mime, message, options.options);
    Walker walker(message, options.options, decoded);
    walker.walk(g_mime_message_get_mime_part(mime));
    if (!walker.error().isEmpty()) {
        if (error)
            *error = walker.error();
        return false;
    }
    QString plain = walker.body().plain;
    // A message of nothing but content that could not be taken apart says
    // where that content is.
    if (plain.isEmpty() && walker.body().html.isEmpty() && !walker.unparsedName().isEmpty())
        plain = QStringLiteral("（这封邮件的各部分无法分开读取，内容已原样保存为附件“%1”。）").arg(walker.unparsedName());
    message.setPlainBody(plain);
    message.setHtmlBody(withInlineImages(walker.body().html, walker.partsByContentId()));
    return true;
}

bool readMimeStream(GMimeStream *stream, Message &message, QString *error)
{
    ParserOptions options;
    GObjectRef<GMimeMessage> mime(parseMessage(stream, options));
    if (!mime)
        return keepUnreadableMessage(stream, message, error);
    return readParsedMessage(mime.get(), options, {}, message, error);
}

// Calls `visit` for every part the walker takes for a leaf: everything
// below the multiparts, attached messages left closed.
template <typename Visit>
void forEachLeaf(GMimeObject *root, Visit visit)
{
    std::vector<GMimeObject *> pending;
    if (root)
        pending.push_back(root);
    while (!pending.empty()) {
        GMimeObject *object = pending.back();
        pending.pop_back();
        if (!GMIME_IS_MULTIPART(object)) {
            visit(object);
            continue;
        }
        for (int i = g_mime_multipart_get_count(GMIME_MULTIPART(object)); i-- > 0;)
            pending.push_back(g_mime_multipart_get_part(GMIME_MULTIPART(object), i));
    }
}

// The token a base64 part of the skeleton holds as its whole content, or
// nothing. Line ends around it are no content to a base64 decoder.
QByteArray tokenContent(GMimeObject *object, qsizetype longestToken)
{
    if (!GMIME_IS_PART(object))
        return {};
    GMimeDataWrapper *content = g_mime_part_get_content(GMIME_PART(object));
    if (!content || g_mime_data_wrapper_get_encoding(content) != GMIME_CONTENT_ENCODING_BASE64)
        return {};
    GMimeStream *stream = g_mime_data_wrapper_get_stream(content);
    const gint64 length = stream ? g_mime_stream_length(stream) : -1;
    if (length < 0 || length > longestToken + 8)
        return {};
    QByteArray bytes(qsizetype(length), Qt::Uninitialized);
    g_mime_stream_reset(stream);
    if (g_mime_stream_read(stream, bytes.data(), size_t(length)) != length)
        return {};
    qsizetype start = 0, end = bytes.size();
    while (start < end && (bytes[start] == '\r' || bytes[start] == '\n'))
        ++start;
    while (end > start && (bytes[end - 1] == '\r' || bytes[end - 1] == '\n'))
        --end;
    return bytes.mid(start, end - start);
}

// Finds the part each run of the skeleton was taken out of. Only when every
// token stands alone as the content of one base64 part did the run hold
// exactly that part's content, so that its decoded file is the part's.
bool findDecodedParts(GMimeMessage *mime, std::vector<MessageSkeleton::Run> &runs, DecodedParts *decoded)
{
    QHash<QByteArray, MessageSkeleton::Run *> byToken;
    qsizetype longestToken = 0;
    for (MessageSkeleton::Run &run : runs) {
        byToken.insert(run.token, &run);
        longestToken = std::max(longestToken, run.token.size());
    }
    QSet<MessageSkeleton::Run *> found;
    bool twice = false;
    forEachLeaf(mime ? g_mime_message_get_mime_part(mime) : nullptr, [&](GMimeObject *leaf) {
        if (MessageSkeleton::Run *run = byToken.value(tokenContent(leaf, longestToken))) {
            twice |= found.contains(run);
            found.insert(run);
            decoded->insert(leaf, run);
        }
    });
    return !twice && found.size() == qsizetype(runs.size());
}

// The part's content becomes its decoded file, as if it had been sent
// unencoded: bodies and pictures read it like any other part.
bool useDecodedFiles(const DecodedParts &decoded)
{
    for (auto it = decoded.begin(); it != decoded.end(); ++it) {
        const int fd = ::dup(it.value()->decoded->handle());
        if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        GObjectRef<GMimeStream> stream(g_mime_stream_fs_new(fd));
        GObjectRef<GMimeDataWrapper> content(
            g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
        g_mime_part_set_content(GMIME_PART(it.key()), content.get());
    }
    return true;
}

} // namespace

namespace {

bool readMimeFile(const QString &path, Message &message, QString *error)
{
    // Through stdio with a large buffer: the parser and every part's
    // substream read 4 KB at a time and seek before each read; in a buffered
    // stream those seeks land inside the buffer and cost no system call.
    FILE *file = std::fopen(QFile::encodeName(path).constData(), "rbe");
    if (!file) {
        if (error)
            *error = QStringLiteral("无法读取邮件文件 %1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    std::setvbuf(file, nullptr, _IOFBF, kReadBufferBytes);
    GObjectRef<GMimeStream> stream(g_mime_stream_file_new(file)); // owns and closes the file
    return readMimeStream(stream.get(), message, error);
}

} // namespace

bool readMimeMessage(const QString &path, Message &message, QString *error)
{
    ensureGMimeInitialized();
    QFile original(path);
    if (!original.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("无法读取邮件文件 %1：%2").arg(path, original.errorString());
        return false;
    }
    if (!hasBareLineFeed(original))
        return readMimeFile(path, message, error);
    // Mixed line ends: the parser reads a copy with CRLF throughout.
    QTemporaryFile copy(temporaryFileTemplate(QStringLiteral("message")));
    QString reason;
    if (!copy.open() || !original.seek(0) || !copyWithCrlfLineEnds(original, copy, &reason) || !copy.flush()) {
        if (error)
            *error = QStringLiteral("无法建立临时文件：%1").arg(reason.isEmpty() ? copy.errorString() : reason);
        return false;
    }
    return readMimeFile(copy.fileName(), message, error);
}

bool readMimeMessage(MessageSkeleton &skeleton, Message &message, QString *error)
{
    if (skeleton.isUsable()) {
        ensureGMimeInitialized();
        const QByteArray text = withCrlfLineEnds(skeleton.text());
        GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(text.constData(), gsize(text.size())));
        ParserOptions options;
        GObjectRef<GMimeMessage> mime(parseMessage(stream.get(), options));
        DecodedParts decoded;
        if (mime && findDecodedParts(mime.get(), skeleton.runs(), &decoded) && useDecodedFiles(decoded))
            return readParsedMessage(mime.get(), options, decoded, message, error);
    }
    QString wholeError;
    const QString path = skeleton.wholeMessageFile(&wholeError);
    if (path.isEmpty()) {
        if (error)
            *error = wholeError;
        return false;
    }
    return readMimeMessage(path, message, error);
}

bool readMimeMessage(const QByteArray &raw, Message &message, QString *error)
{
    ensureGMimeInitialized();
    const QByteArray text = withCrlfLineEnds(raw);
    GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(text.constData(), gsize(text.size())));
    return readMimeStream(stream.get(), message, error);
}

} // namespace component
