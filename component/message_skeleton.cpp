#include "component/message_skeleton.h"

#include <QDir>
#include <QRandomGenerator>

#include <algorithm>
#include <array>
#include <cstring>

namespace component {

namespace {

enum class LineKind { Other, Base64, Base64Padded };

constexpr unsigned char kNotBase64 = 0xff;

// Each base64 character's six bits; kNotBase64 for every other byte ('='
// included).
constexpr std::array<unsigned char, 256> base64Values()
{
    std::array<unsigned char, 256> table{};
    for (auto &value : table)
        value = kNotBase64;
    const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (unsigned char value = 0; value < 64; ++value)
        table[static_cast<unsigned char>(alphabet[value])] = value;
    return table;
}

constexpr std::array<unsigned char, 256> kBase64Values = base64Values();

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
        else if (kBase64Values[c] == kNotBase64)
            return LineKind::Other;
    }
    return padded ? LineKind::Base64Padded : LineKind::Base64;
}

// Decodes `length` characters, a whole number of groups of four without
// padding, into `out` (3 bytes a group). False, with `out` undefined, when
// any of them is not a base64 character. This is the line almost every
// encoder writes; it takes one pass where checking the line and then
// decoding it took two.
bool decodeWholeGroups(const unsigned char *in, qsizetype length, unsigned char *out)
{
    unsigned invalid = 0;
    for (qsizetype i = 0; i < length; i += 4, out += 3) {
        const unsigned a = kBase64Values[in[i]], b = kBase64Values[in[i + 1]], c = kBase64Values[in[i + 2]],
                       d = kBase64Values[in[i + 3]];
        invalid |= a | b | c | d;
        const unsigned group = a << 18 | b << 12 | c << 6 | d;
        out[0] = static_cast<unsigned char>(group >> 16);
        out[1] = static_cast<unsigned char>(group >> 8);
        out[2] = static_cast<unsigned char>(group);
    }
    return (invalid & 0x80) == 0;
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
void MessageSkeleton::takeLines(const char *data, qsizetype size)
{
    const char *end = data + size;
    while (data < end && !m_abandoned) {
        const auto *newline = static_cast<const char *>(std::memchr(data, '\n', size_t(end - data)));
        if (!newline)
            break;
        const qsizetype length = qsizetype(newline - data) + 1;
        if (!m_hollowing || !decodeUnpaddedLine(data, length))
            takeLine(data, length);
        data = newline + 1;
    }
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
    m_runLineEnd = ending;
    if (m_decoded.size() >= kWriteBytes)
        writeDecoded();
    return true;
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
    m_decoded.truncate(before + qsizetype(g_mime_encoding_step(&m_decoder, data, size_t(size), m_decoded.data() + before)));
    if (m_decoded.size() >= kWriteBytes)
        writeDecoded();
}

void MessageSkeleton::writeDecoded()
{
    if (m_runs.back().decoded->write(m_decoded) != m_decoded.size())
        abandon();
    m_decoded.resize(0);
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
    if (m_abandoned || !m_runs.back().decoded->flush()) {
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
    m_decoded = QByteArray();
    m_runs.clear();
}

} // namespace component
