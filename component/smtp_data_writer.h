// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <functional>

typedef struct _GMimeObject GMimeObject;

namespace component {

// Writes a MIME message as the data of an SMTP DATA command: CRLF line
// breaks, leading dots doubled, ending with the "." line. GMime produces the
// message piece by piece (attachments are read from their files as it goes)
// and every piece goes straight to `sink`, in chunks of bounded size; the
// whole message is never held in memory.
//
// `sink` returns false to stop (the connection broke, or the user
// cancelled); writing then ends at once and the result is false. A file
// that cannot be read half-way also makes it false, and in every failure
// case the terminating "." line is NOT written, so a server never takes a
// truncated message as complete. `bytesWritten` counts what went to the
// sink, the final "." line included.
class SmtpDataWriter {
public:
    using Sink = std::function<bool(const QByteArray &chunk)>;

    explicit SmtpDataWriter(Sink sink) : m_sink(std::move(sink)) {}

    bool write(GMimeObject *message);
    qint64 bytesWritten() const { return m_written; }
    // True once the final "." line has been handed to the sink: from then
    // on a server may take the message as complete.
    bool endMarkPassed() const { return m_endMarkPassed; }

    // Bytes gathered before they are handed to the sink.
    static constexpr qsizetype kChunkSize = 64 * 1024;

    // Called by the stream that GMime writes into: the next bytes of the
    // message, with LF line breaks.
    bool accept(const char *data, size_t length);
    // Passes on what is left and ends the data with the "." line.
    bool finish();

private:
    bool pass(const QByteArray &chunk);
    bool flushPending();

    Sink m_sink;
    QByteArray m_pending;
    QByteArray m_tail; // the last two bytes passed on, to end the data properly
    bool m_atLineStart = true;
    bool m_afterCarriageReturn = false;
    qint64 m_written = 0;
    bool m_failed = false;
    bool m_endMarkPassed = false;
};

} // namespace component
