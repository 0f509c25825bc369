#include "component/message_skeleton.h"

#include <QDir>
#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <cstring>

namespace component {

namespace {

enum class LineKind { Other, Base64, Base64Padded };

constexpr std::array<bool, 256> base64Characters()
{
    std::array<bool, 256> table{};
    for (int c = 'A'; c <= 'Z'; ++c)
        table[size_t(c)] = true;
    for (int c = 'a'; c <= 'z'; ++c)
        table[size_t(c)] = true;
    for (int c = '0'; c <= '9'; ++c)
        table[size_t(c)] = true;
    table['+'] = table['/'] = table['='] = true;
    return table;
}

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
    static constexpr std::array<bool, 256> isBase64 = base64Characters();
    const qsizetype length = size - lineEndLength(line, size);
    if (length == 0)
        return LineKind::Other;
    bool padded = false;
    for (qsizetype i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (!isBase64[c])
            return LineKind::Other;
        padded |= c == '=';
    }
    return padded ? LineKind::Base64Padded : LineKind::Base64;
}

} // namespace

MessageSkeleton::MessageSkeleton(qsizetype minimumRunBytes) : m_minimumRunBytes(std::max<qsizetype>(1, minimumRunBytes))
{
    // Random, so that no message can hold a token of its own making.
    auto *random = QRandomGenerator::system();
    m_tokenPrefix = "orvexrun" + QByteArray::number(random->generate64(), 16)
                    + QByteArray::number(random->generate64(), 16) + "n";
}

MessageSkeleton::~MessageSkeleton() = default;

void MessageSkeleton::append(const char *data, qsizetype size)
{
    if (m_abandoned || size <= 0)
        return;
    if (!m_partialLine.isEmpty()) {
        const auto *newline = static_cast<const char *>(std::memchr(data, '\n', size_t(size)));
        const qsizetype taken = newline ? qsizetype(newline - data) + 1 : size;
        m_partialLine.append(data, taken);
        data += taken;
        size -= taken;
        if (!newline) {
            if (m_text.size() + m_partialLine.size() > kMaximumTextBytes)
                abandon();
            return;
        }
        const QByteArray line = std::exchange(m_partialLine, QByteArray());
        takeLine(line.constData(), line.size());
    }
    takeLines(data, size);
}

// Takes the complete lines of `data` and keeps the rest for the next bytes.
// While a run is being taken out, its lines are decoded a stretch at a time
// rather than line by line.
void MessageSkeleton::takeLines(const char *data, qsizetype size)
{
    const char *end = data + size;
    const char *stretch = nullptr;
    while (data < end && !m_abandoned) {
        const auto *newline = static_cast<const char *>(std::memchr(data, '\n', size_t(end - data)));
        if (!newline)
            break;
        const qsizetype length = qsizetype(newline - data) + 1;
        if (m_hollowing && kindOf(data, length) == LineKind::Base64) {
            if (!stretch)
                stretch = data;
            m_runLineEnd = lineEndLength(data, length);
        } else {
            if (stretch)
                decode(stretch, qsizetype(data - stretch));
            stretch = nullptr;
            takeLine(data, length);
        }
        data = newline + 1;
    }
    if (stretch && !m_abandoned)
        decode(stretch, qsizetype(data - stretch));
    if (data < end && !m_abandoned) {
        m_partialLine.append(data, qsizetype(end - data));
        if (m_text.size() + m_partialLine.size() > kMaximumTextBytes)
            abandon();
    }
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
    auto file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/orvex-attachment-XXXXXX"));
    if (!file->open()) {
        abandon();
        return;
    }
    m_runs.push_back({m_tokenPrefix + QByteArray::number(qulonglong(m_runs.size())), std::move(file)});
    g_mime_encoding_init_decode(&m_decoder, GMIME_CONTENT_ENCODING_BASE64);
    m_hollowing = true;
    decode(m_text.constData() + m_runStart, m_text.size() - m_runStart);
    m_text.truncate(m_runStart);
    m_runStart = -1;
}

void MessageSkeleton::decode(const char *data, qsizetype size)
{
    m_decodedBuffer.resize(qsizetype(g_mime_encoding_outlen(&m_decoder, size_t(size))));
    const size_t decoded = g_mime_encoding_step(&m_decoder, data, size_t(size), m_decodedBuffer.data());
    if (m_runs.back().decoded->write(m_decodedBuffer.constData(), qint64(decoded)) != qint64(decoded))
        abandon();
}

// A line that is not part of the run ends it: a run that was taken out
// leaves its token in its place.
void MessageSkeleton::endRun()
{
    m_runStart = -1;
    if (!m_hollowing)
        return;
    m_hollowing = false;
    if (!m_runs.back().decoded->flush()) {
        abandon();
        return;
    }
    m_text += m_runs.back().token;
    m_text.append(m_runLineEnd == 2 ? "\r\n" : m_runLineEnd == 1 ? "\n" : "");
}

void MessageSkeleton::finish()
{
    if (m_abandoned)
        return;
    if (!m_partialLine.isEmpty()) {
        const QByteArray line = std::exchange(m_partialLine, QByteArray());
        takeLine(line.constData(), line.size());
    }
    if (!m_abandoned)
        endRun();
}

void MessageSkeleton::abandon()
{
    m_abandoned = true;
    m_hollowing = false;
    m_text = QByteArray();
    m_partialLine = QByteArray();
    m_decodedBuffer = QByteArray();
    m_runs.clear();
}

} // namespace component
