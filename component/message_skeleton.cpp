// SPDX-License-Identifier: MIT
#include "component/message_skeleton.h"

#include "component/base64_groups.h"
#include "component/temporary_files.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cstring>

namespace component {

namespace {

enum class LineKind { Other, Base64, Base64Padded };

// The line end of `line` ("\r\n", "\n" or none), as a length.
qsizetype lineEndLength(const char *line, qsizetype size)
{
    if (size == 0 || line[size - 1] != '\n')
        return 0;
    return size >= 2 && line[size - 2] == '\r' ? 2 : 1;
}

// A line of nothing but base64 characters (and its line end). A padded one
// ('=' in it) can only end an encoded stretch.
LineKind kindOf(const char *line, qsizetype size)
{
    const qsizetype length = size - lineEndLength(line, size);
    if (length == 0)
        return LineKind::Other;
    bool padded = false;
    for (qsizetype i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '=')
            padded = true;
        else if (!isBase64Character(c))
            return LineKind::Other;
    }
    return padded ? LineKind::Base64Padded : LineKind::Base64;
}

} // namespace

MessageSkeleton::MessageSkeleton(QTemporaryFile &messageFile, qsizetype minimumRunBytes)
    : m_messageFile(messageFile), m_minimumRunBytes(std::max<qsizetype>(1, minimumRunBytes))
{
    // The base64 runs are decoded by GMime as they arrive.
    ensureGMimeInitialized();
    // Random, so that no message can hold a token of its own making.
    auto *random = QRandomGenerator::system();
    m_tokenPrefix = "orvexrun" + QByteArray::number(random->generate64(), 16)
                    + QByteArray::number(random->generate64(), 16) + "n";
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

MessageSkeleton::~MessageSkeleton() = default;

qint64 MessageSkeleton::readData(char *, qint64)
{
    return -1;
}

qint64 MessageSkeleton::writeData(const char *data, qint64 size)
{
    const qint64 total = size;
    if (m_abandoned) {
        writeMessage(data, qsizetype(size));
        return m_failed ? -1 : total;
    }
    if (!m_partialLine.isEmpty()) {
        const auto *newline = static_cast<const char *>(std::memchr(data, '\n', size_t(size)));
        const qsizetype taken = newline ? qsizetype(newline - data) + 1 : qsizetype(size);
        writeMessage(data, taken);
        m_partialLine.append(data, taken);
        data += taken;
        size -= taken;
        if (!newline) {
            if (m_text.size() + m_partialLine.size() > kMaximumTextBytes)
                abandon();
            return m_failed ? -1 : total;
        }
        const QByteArray line = std::exchange(m_partialLine, QByteArray());
        takeLine(line.constData(), line.size());
    }
    takeLines(data, qsizetype(size));
    return m_failed ? -1 : total;
}

// Takes the complete lines of `data` and keeps the rest for the next bytes;
// writes all of it to the message file but the lines decoded on the way.
void MessageSkeleton::takeLines(const char *data, qsizetype size)
{
    const char *end = data + size;
    const char *unwritten = data;
    while (data < end && !m_abandoned) {
        if (data == unwritten) {
            const qsizetype taken = takeLinesLikeTheLast(data, qsizetype(end - data));
            data += taken;
            unwritten = data;
            if (taken > 0)
                continue;
        }
        const auto *newline = static_cast<const char *>(std::memchr(data, '\n', size_t(end - data)));
        if (!newline)
            break;
        const qsizetype length = qsizetype(newline - data) + 1;
        if (m_hollowing && decodeUnpaddedLine(data, length)) {
            writeMessage(unwritten, qsizetype(data - unwritten));
            noteOmission(length - m_runLineEnd, m_runLineEnd);
            unwritten = newline + 1;
        } else {
            takeLine(data, length);
        }
        data = newline + 1;
    }
    writeMessage(unwritten, qsizetype(end - unwritten));
    if (data < end && !m_abandoned) {
        m_partialLine.append(data, qsizetype(end - data));
        if (m_text.size() + m_partialLine.size() > kMaximumTextBytes)
            abandon();
    }
}

// The common line of a run, decoded without the general decoder: whole
// groups of four, no padding, and the decoder between groups. False when
// the line is anything else.
bool MessageSkeleton::decodeUnpaddedLine(const char *line, qsizetype size)
{
    const qsizetype ending = lineEndLength(line, size);
    const qsizetype length = size - ending;
    if (m_decoder.state != 0 || length == 0 || length % 4 != 0)
        return false;
    const qsizetype before = m_decoded.size();
    m_decoded.resize(before + length / 4 * 3);
    if (!decodeWholeGroups(reinterpret_cast<const unsigned char *>(line), length,
                           reinterpret_cast<unsigned char *>(m_decoded.data() + before))) {
        m_decoded.truncate(before);
        return false;
    }
    m_runDecodedBytes += length / 4 * 3;
    m_runLineEnd = ending;
    if (m_decoded.size() >= kWriteBytes)
        writeDecoded();
    return true;
}

// Nearly every line of a run has the length of the one before it. As many
// whole lines of that shape as follow the last one left out are decoded in
// one loop and joined to its omission, without a search for each line's
// end. Returns the bytes taken; 0 when the next line is not of that shape.
qsizetype MessageSkeleton::takeLinesLikeTheLast(const char *data, qsizetype size)
{
    if (!m_hollowing || m_omissions.empty() || m_decoder.state != 0)
        return 0;
    Omission &last = m_omissions.back();
    if (last.at != m_messageBytes || last.run != m_runs.size() - 1)
        return 0;
    const qsizetype lineSize = last.length + last.ending;
    const qsizetype lineBytes = last.length / 4 * 3;
    const char *ending = last.ending == 2 ? "\r\n" : "\n";
    const qsizetype before = m_decoded.size();
    m_decoded.resize(before + size / lineSize * lineBytes);
    auto *out = reinterpret_cast<unsigned char *>(m_decoded.data() + before);
    qsizetype lines = 0;
    for (const char *line = data; size - (line - data) >= lineSize; line += lineSize, out += lineBytes, ++lines) {
        if (std::memcmp(line + last.length, ending, size_t(last.ending)) != 0
            || !decodeWholeGroups(reinterpret_cast<const unsigned char *>(line), last.length, out))
            break;
    }
    m_decoded.truncate(before + lines * lineBytes);
    last.lines += lines;
    m_runDecodedBytes += lines * lineBytes;
    if (m_decoded.size() >= kWriteBytes)
        writeDecoded();
    return lines * lineSize;
}

// A decoded line left out of the message file, joined to the lines left
// out just before it when it is one more of the same.
void MessageSkeleton::noteOmission(qsizetype length, qsizetype ending)
{
    const qsizetype lineBytes = length / 4 * 3;
    const qint64 decodedAt = m_runDecodedBytes - lineBytes;
    const size_t run = m_runs.size() - 1;
    if (!m_omissions.empty()) {
        Omission &last = m_omissions.back();
        if (last.at == m_messageBytes && last.run == run && last.length == length && last.ending == ending
            && last.decodedAt + last.lines * lineBytes == decodedAt) {
            ++last.lines;
            return;
        }
    }
    m_omissions.push_back({m_messageBytes, run, decodedAt, 1, length, ending});
}

void MessageSkeleton::takeLine(const char *line, qsizetype size)
{
    const LineKind kind = kindOf(line, size);
    if (kind == LineKind::Other) {
        endRun();
        m_text.append(line, size);
    } else {
        m_runLineEnd = lineEndLength(line, size);
        if (m_hollowing) {
            decode(line, size);
        } else {
            if (m_runStart < 0)
                m_runStart = m_text.size();
            m_text.append(line, size);
            if (m_text.size() - m_runStart >= m_minimumRunBytes)
                hollowPendingRun();
        }
        // Padding ends what the decoder may take in one go: a run goes on
        // only past lines without it.
        if (kind == LineKind::Base64Padded)
            endRun();
    }
    if (m_text.size() > kMaximumTextBytes)
        abandon();
}

// The run has grown long enough to be worth its own file: what of it is in
// the skeleton is decoded and taken out.
void MessageSkeleton::hollowPendingRun()
{
    auto file = std::make_unique<QTemporaryFile>(temporaryFileTemplate(QStringLiteral("attachment")));
    if (!file->open()) {
        setErrorString(file->errorString());
        fail();
        return;
    }
    m_runs.push_back({m_tokenPrefix + QByteArray::number(qulonglong(m_runs.size())), std::move(file)});
    g_mime_encoding_init_decode(&m_decoder, GMIME_CONTENT_ENCODING_BASE64);
    m_runDecodedBytes = 0;
    m_decoded.reserve(kWriteBytes + m_text.size() - m_runStart);
    m_hollowing = true;
    decode(m_text.constData() + m_runStart, m_text.size() - m_runStart);
    m_text.truncate(m_runStart);
    m_runStart = -1;
}

void MessageSkeleton::decode(const char *data, qsizetype size)
{
    const qsizetype before = m_decoded.size();
    m_decoded.resize(before + qsizetype(g_mime_encoding_outlen(&m_decoder, size_t(size))));
    const auto produced = qsizetype(g_mime_encoding_step(&m_decoder, data, size_t(size), m_decoded.data() + before));
    m_decoded.truncate(before + produced);
    m_runDecodedBytes += produced;
    if (m_decoded.size() >= kWriteBytes)
        writeDecoded();
}

void MessageSkeleton::writeDecoded()
{
    QTemporaryFile &file = *m_runs.back().decoded;
    if (file.write(m_decoded) != m_decoded.size()) {
        setErrorString(file.errorString());
        fail();
    }
    m_decoded.resize(0);
}

void MessageSkeleton::writeMessage(const char *data, qsizetype size)
{
    if (size <= 0 || m_failed)
        return;
    if (m_messageFile.write(data, size) != size) {
        setErrorString(m_messageFile.errorString());
        fail();
        return;
    }
    m_messageBytes += size;
}

// A line that is not part of the run ends it: a run that was taken out
// leaves its token in its place.
void MessageSkeleton::endRun()
{
    m_runStart = -1;
    if (!m_hollowing)
        return;
    m_hollowing = false;
    writeDecoded();
    QTemporaryFile &file = *m_runs.back().decoded;
    if (!m_failed && !file.flush()) {
        setErrorString(file.errorString());
        fail();
    }
    if (!m_abandoned) {
        m_text += m_runs.back().token;
        m_text.append(m_runLineEnd == 2 ? "\r\n" : m_runLineEnd == 1 ? "\n" : "");
    }
}

bool MessageSkeleton::finish()
{
    if (!m_abandoned && !m_partialLine.isEmpty()) {
        const QByteArray line = std::exchange(m_partialLine, QByteArray());
        takeLine(line.constData(), line.size());
    }
    endRun();
    if (!m_failed && !m_messageFile.flush()) {
        setErrorString(m_messageFile.errorString());
        fail();
    }
    return !m_failed;
}

// No skeleton any more: the rest of the message goes to its file as it
// comes. Lines already decoded on the way stay where they are.
void MessageSkeleton::abandon()
{
    endRun();
    m_abandoned = true;
    m_text = QByteArray();
    m_partialLine = QByteArray();
}

void MessageSkeleton::fail()
{
    m_failed = true;
    m_hollowing = false;
    m_abandoned = true;
    m_text = QByteArray();
    m_partialLine = QByteArray();
}

QString MessageSkeleton::wholeMessageFile(QString *error)
{
    m_wholeMessageNeeded = true;
    if (m_omissions.empty())
        return m_messageFile.fileName();
    m_wholeMessage = std::make_unique<QTemporaryFile>(temporaryFileTemplate(QStringLiteral("message")));
    if (!m_wholeMessage->open()) {
        *error = QStringLiteral("无法建立临时文件：%1").arg(m_wholeMessage->errorString());
        return {};
    }
    if (!rebuildMessage(*m_wholeMessage, error))
        return {};
    return m_wholeMessage->fileName();
}

// Writes the message file into `out` with every line left out of it put
// back, encoded again from its decoded bytes: for lines of whole groups
// without padding, encoding gives back exactly the characters that came.
bool MessageSkeleton::rebuildMessage(QFileDevice &out, QString *error)
{
    const auto failed = [error](const QIODevice &device) {
        *error = QStringLiteral("无法写出完整的邮件：%1").arg(device.errorString());
        return false;
    };
    if (!m_messageFile.seek(0))
        return failed(m_messageFile);
    qint64 copied = 0;
    const auto copyUpTo = [&](qint64 at) {
        while (copied < at) {
            const QByteArray chunk = m_messageFile.read(std::min<qint64>(at - copied, kWriteBytes));
            if (chunk.isEmpty() || out.write(chunk) != chunk.size())
                return false;
            copied += chunk.size();
        }
        return true;
    };
    constexpr qint64 kLinesAtOnce = 8192;
    for (const Omission &omission : m_omissions) {
        if (!copyUpTo(omission.at))
            return failed(m_messageFile);
        QTemporaryFile &decoded = *m_runs[omission.run].decoded;
        const qsizetype lineBytes = omission.length / 4 * 3;
        const QByteArray ending = QByteArray("\r\n").right(omission.ending);
        if (!decoded.seek(omission.decodedAt))
            return failed(decoded);
        for (qint64 done = 0; done < omission.lines;) {
            const qint64 lines = std::min(omission.lines - done, kLinesAtOnce);
            const QByteArray bytes = decoded.read(lines * lineBytes);
            if (bytes.size() != lines * lineBytes)
                return failed(decoded);
            QByteArray text;
            text.reserve(qsizetype(lines) * (omission.length + omission.ending));
            for (qint64 line = 0; line < lines; ++line)
                text += QByteArray::fromRawData(bytes.constData() + line * lineBytes, lineBytes).toBase64() + ending;
            if (out.write(text) != text.size())
                return failed(out);
            done += lines;
        }
    }
    if (!copyUpTo(m_messageBytes))
        return failed(m_messageFile);
    return out.flush() || failed(out);
}

} // namespace component
