// SPDX-License-Identifier: MIT
#pragma once

#include "component/gmime_support.h"

#include <QByteArray>
#include <QIODevice>
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
// otherwise (wholeMessageFile()).
//
// Everything written also goes to the message file given, except the lines
// of a run that were decoded as they came: they are written again from the
// decoded file only when the whole message is asked for. So a message with
// a large attachment is written once, decoded, rather than twice.
//
// The skeleton is given up (isUsable() false) when the message holds too
// much else to keep in memory; the message file is then still complete.
class MessageSkeleton : public QIODevice {
public:
    struct Run {
        QByteArray token;
        std::unique_ptr<QTemporaryFile> decoded;
    };

    // `messageFile` (open for writing) receives the message.
    explicit MessageSkeleton(QTemporaryFile &messageFile, qsizetype minimumRunBytes = kMinimumRunBytes);
    ~MessageSkeleton() override;

    // The message is complete; its last line may lack a line end. False
    // when a file could not be written.
    bool finish();

    bool isUsable() const { return !m_abandoned; }
    const QByteArray &text() const { return m_text; }
    std::vector<Run> &runs() { return m_runs; }

    // A file holding the whole message as it came, or an empty string (with
    // `error`) when it cannot be written. Call at most once, before any run's
    // decoded file is handed on.
    QString wholeMessageFile(QString *error);
    // Whether wholeMessageFile() was called.
    bool wholeMessageWasNeeded() const { return m_wholeMessageNeeded; }

    bool isSequential() const override { return true; }

    // Shorter runs cost less to keep than to take out.
    static constexpr qsizetype kMinimumRunBytes = 256 * 1024;
    // More than this outside the runs, and the skeleton is given up.
    static constexpr qsizetype kMaximumTextBytes = 8 * 1024 * 1024;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    // Lines left out of the message file: `lines` lines of `length` base64
    // characters and a line end of `ending` bytes, belonging at `at` in it,
    // decoded into run `run` from `decodedAt` on.
    struct Omission {
        qint64 at;
        size_t run;
        qint64 decodedAt;
        qint64 lines;
        qsizetype length;
        qsizetype ending;
    };

    void takeLines(const char *data, qsizetype size);
    qsizetype takeLinesLikeTheLast(const char *data, qsizetype size);
    void takeLine(const char *line, qsizetype size);
    bool decodeUnpaddedLine(const char *line, qsizetype size);
    void noteOmission(qsizetype length, qsizetype ending);
    void hollowPendingRun();
    void decode(const char *data, qsizetype size);
    void writeDecoded();
    void writeMessage(const char *data, qsizetype size);
    void endRun();
    void abandon();
    void fail();
    bool rebuildMessage(QFileDevice &out, QString *error);

    QTemporaryFile &m_messageFile;
    qint64 m_messageBytes = 0;
    std::vector<Omission> m_omissions;
    std::unique_ptr<QTemporaryFile> m_wholeMessage;
    bool m_wholeMessageNeeded = false;

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
    // Bytes decoded into the current run so far, and those not yet written.
    qint64 m_runDecodedBytes = 0;
    QByteArray m_decoded;
    static constexpr qsizetype kWriteBytes = 1024 * 1024;
    bool m_abandoned = false;
    bool m_failed = false;
};

} // namespace component
