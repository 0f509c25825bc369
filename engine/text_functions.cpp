// SPDX-License-Identifier: MIT
#include "engine/text_functions.h"

#include <QStringEncoder>

namespace engine {

namespace {

bool splitsPair(const QString &text, qsizetype position)
{
    return position > 0 && position < text.size() && text.at(position).isLowSurrogate()
           && text.at(position - 1).isHighSurrogate();
}

QString mapAscii(QString text, char16_t first, char16_t last, int shift)
{
    for (QChar &c : text) {
        const char16_t u = c.unicode();
        if (u >= first && u <= last)
            c = QChar(char16_t(u + shift));
    }
    return text;
}

} // namespace

QString asciiLower(QString text)
{
    return mapAscii(std::move(text), u'A', u'Z', 'a' - 'A');
}

QString asciiUpper(QString text)
{
    return mapAscii(std::move(text), u'a', u'z', 'A' - 'a');
}

qsizetype findWholeCharacters(const QString &haystack, const QString &needle, qsizetype from)
{
    if (needle.isEmpty())
        return -1;
    for (qsizetype at = haystack.indexOf(needle, from, Qt::CaseSensitive); at >= 0;
         at = haystack.indexOf(needle, at + 1, Qt::CaseSensitive)) {
        if (!splitsPair(haystack, at) && !splitsPair(haystack, at + needle.size()))
            return at;
    }
    return -1;
}

QString replaceAll(const QString &text, const QString &before, const QString &after)
{
    if (before.isEmpty())
        return text;
    QString result;
    qsizetype rest = 0;  // start of the part not yet searched
    for (qsizetype at = findWholeCharacters(text, before, rest); at >= 0;
         at = findWholeCharacters(text, before, rest)) {
        result += QStringView(text).mid(rest, at - rest);
        result += after;
        rest = at + before.size();
    }
    result += QStringView(text).mid(rest);
    return result;
}

QStringList splitAt(const QString &text, const QString &separator)
{
    if (separator.isEmpty())
        return {text};
    const QString foldedText = asciiLower(text);
    const QString foldedSeparator = asciiLower(separator);
    QStringList pieces;
    qsizetype rest = 0;
    for (qsizetype at = findWholeCharacters(foldedText, foldedSeparator, rest); at >= 0;
         at = findWholeCharacters(foldedText, foldedSeparator, rest)) {
        pieces.append(text.mid(rest, at - rest));
        rest = at + separator.size();
    }
    pieces.append(text.mid(rest));
    return pieces;
}

qsizetype gbByteLength(const QString &text)
{
    QStringEncoder encoder("GB18030");
    if (encoder.isValid()) {
        const QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError())
            return bytes.size();
    }
    // Without a GB18030 codec: ASCII is one byte, the rest of the basic
    // plane two (four for what GBK lacks, which this cannot tell), and
    // characters beyond it four.
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80)
            length += 1;
        else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            length += 4;
            ++i;
        } else
            length += 2;
    }
    return length;
}

} // namespace engine
