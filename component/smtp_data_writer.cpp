// SPDX-License-Identifier: MIT
#include "component/smtp_data_writer.h"

#include "component/gmime_support.h"

#include <cstring>

// A write-only GMime stream that hands everything written to it to an
// SmtpDataWriter.
namespace {

struct SinkStream {
    GMimeStream parent;
    component::SmtpDataWriter *writer;
};

struct SinkStreamClass {
    GMimeStreamClass parent_class;
};

GType sink_stream_get_type();

G_DEFINE_TYPE(SinkStream, sink_stream, GMIME_TYPE_STREAM)

ssize_t sinkRead(GMimeStream *, char *, size_t)
{
    return -1;
}

ssize_t sinkWrite(GMimeStream *stream, const char *buf, size_t len)
{
    auto *self = reinterpret_cast<SinkStream *>(stream);
    if (!self->writer || !self->writer->accept(buf, len))
        return -1;
    stream->position += gint64(len);
    return ssize_t(len);
}

int sinkFlush(GMimeStream *)
{
    return 0;
}

int sinkClose(GMimeStream *stream)
{
    reinterpret_cast<SinkStream *>(stream)->writer = nullptr;
    return 0;
}

gboolean sinkEos(GMimeStream *)
{
    return FALSE;
}

int sinkReset(GMimeStream *)
{
    return -1;
}

gint64 sinkSeek(GMimeStream *, gint64, GMimeSeekWhence)
{
    return -1;
}

gint64 sinkTell(GMimeStream *stream)
{
    return stream->position;
}

gint64 sinkLength(GMimeStream *)
{
    return -1;
}

GMimeStream *sinkSubstream(GMimeStream *, gint64, gint64)
{
    return nullptr;
}

void sink_stream_class_init(SinkStreamClass *klass)
{
    GMimeStreamClass *stream = GMIME_STREAM_CLASS(klass);
    stream->read = sinkRead;
    stream->write = sinkWrite;
    stream->flush = sinkFlush;
    stream->close = sinkClose;
    stream->eos = sinkEos;
    stream->reset = sinkReset;
    stream->seek = sinkSeek;
    stream->tell = sinkTell;
    stream->length = sinkLength;
    stream->substream = sinkSubstream;
}

void sink_stream_init(SinkStream *self)
{
    self->writer = nullptr;
}

GMimeStream *newSinkStream(component::SmtpDataWriter *writer)
{
    auto *self = static_cast<SinkStream *>(g_object_new(sink_stream_get_type(), nullptr));
    g_mime_stream_construct(GMIME_STREAM(self), 0, -1);
    self->writer = writer;
    return GMIME_STREAM(self);
}

} // namespace

namespace component {

bool SmtpDataWriter::pass(const QByteArray &chunk)
{
    if (chunk.isEmpty())
        return true;
    if (!m_sink(chunk)) {
        m_failed = true;
        return false;
    }
    m_written += chunk.size();
    m_tail = chunk.size() >= 2 ? chunk.right(2) : (m_tail + chunk).right(2);
    return true;
}

bool SmtpDataWriter::flushPending()
{
    const bool ok = pass(m_pending);
    m_pending.clear();
    return ok;
}

// GMime writes the message with LF line breaks. Each line goes on with a
// CRLF break (one already there is kept) and with a leading dot doubled; a
// line at a time, found with memchr, rather than a byte at a time through
// two filters.
bool SmtpDataWriter::accept(const char *data, size_t length)
{
    if (m_failed)
        return false;
    const char *end = data + length;
    while (data < end) {
        if (m_atLineStart && *data == '.')
            m_pending += '.';
        const auto *newline = static_cast<const char *>(std::memchr(data, '\n', size_t(end - data)));
        if (!newline) {
            m_pending.append(data, qsizetype(end - data));
            m_afterCarriageReturn = end[-1] == '\r';
            m_atLineStart = false;
            break;
        }
        m_pending.append(data, qsizetype(newline - data));
        if (!(newline > data ? newline[-1] == '\r' : m_afterCarriageReturn))
            m_pending += '\r';
        m_pending += '\n';
        m_atLineStart = true;
        m_afterCarriageReturn = false;
        data = newline + 1;
    }
    if (m_pending.size() >= kChunkSize)
        return flushPending();
    return true;
}

bool SmtpDataWriter::write(GMimeObject *message)
{
    ensureGMimeInitialized();
    GMimeStream *sink = newSinkStream(this);
    GMimeFormatOptions *options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_UNIX);
    const bool ok = g_mime_object_write_to_stream(message, options, sink) != -1 && !m_failed;
    g_mime_format_options_free(options);
    reinterpret_cast<SinkStream *>(sink)->writer = nullptr;
    g_object_unref(sink);

    return ok && finish();
}

bool SmtpDataWriter::finish()
{
    if (m_failed || !flushPending())
        return false;
    if (m_written > 0 && m_tail != "\r\n" && !pass(QByteArrayLiteral("\r\n")))
        return false;
    m_endMarkPassed = true;
    return pass(QByteArrayLiteral(".\r\n"));
}

} // namespace component
