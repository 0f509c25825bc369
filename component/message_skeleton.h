#pragma once

#include "component/gmime_support.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>
#include <memory>
#include <vector>

namespace component {

// Takes a message in as it streams from the server and decodes its large
// attachments on the way, so that no second pass over a large message is
// needed once it has arrived.
//
// Every long run of lines made only of base64 characters (an encoded
// attachment, as good as always) is decoded into a temporary file of its
// own as it arrives, and left out of the skeleton: the message as it came,
// with each such run replaced by one line holding a token. Such lines can
// never be a header, a boundary or anything else the MIME structure is made
// of, so the skeleton parses into the same structure as the whole message;
// the reader checks that each token stands alone as the content of a base64
// part before it takes that part's decoded file, and reads the whole message
// otherwise.
//
// The skeleton is given up (isUsable() false) when the message holds too
// much else to keep in memory, or a decoded file cannot be written.
class MessageSkeleton {
public:
    struct Run {
        QByteArray token;
        std::unique_ptr<QTemporaryFile> decoded;
    };

    // Runs shorter than `minimumRunBytes` stay in the skeleton as they are.
    explicit MessageSkeleton(qsizetype minimumRunBytes = kMinimumRunBytes);
    MessageSkeleton(const MessageSkeleton &) = delete;
    MessageSkeleton &operator=(const MessageSkeleton &) = delete;
    ~MessageSkeleton();

    // The next bytes of the message, split anywhere.
    void append(const char *data, qsizetype size);
    // The message is complete; its last line may lack a line end.
    void finish();

    bool isUsable() const { return !m_abandoned; }
    const QByteArray &text() const { return m_text; }
    std::vector<Run> &runs() { return m_runs; }

    // Shorter runs cost less to keep than to take out.
    static constexpr qsizetype kMinimumRunBytes = 256 * 1024;
    // More than this outside the runs, and the skeleton is given up.
    static constexpr qsizetype kMaximumTextBytes = 8 * 1024 * 1024;

private:
    void takeLines(const char *data, qsizetype size);
    void takeLine(const char *line, qsizetype size);
    bool decodeUnpaddedLine(const char *line, qsizetype size);
    void hollowPendingRun();
    void decode(const char *data, qsizetype size);
    void writeDecoded();
    void endRun();
    void abandon();

    QByteArray m_text;
    QByteArray m_partialLine;
    std::vector<Run> m_runs;
    QByteArray m_tokenPrefix;
    qsizetype m_minimumRunBytes;
    // The run of base64 lines now coming in: where it starts in m_text while
    // it is short, and whether it has been taken out (hollowed) already.
    qsizetype m_runStart = -1;
    bool m_hollowing = false;
    qsizetype m_runLineEnd = 0; // the length of the last run line's end
    GMimeEncoding m_decoder{};
    // Decoded bytes not yet written, up to kWriteBytes.
    QByteArray m_decoded;
    static constexpr qsizetype kWriteBytes = 1024 * 1024;
    bool m_abandoned = false;
};

} // namespace component
