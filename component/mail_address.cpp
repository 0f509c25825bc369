// SPDX-License-Identifier: MIT
#include "component/mail_address.h"

#include "component/gmime_support.h"

#include <QUrl>

#include <algorithm>

namespace component {

namespace {

bool isAsciiText(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7e)
            return false;
    }
    return true;
}

// Characters that would break an envelope command or an address header
// even where RFC 5322 quoting could hold them.
bool isUnusableInAddress(QChar c)
{
    return c.isSpace() || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('"');
}

std::optional<MailAddress> splitAddress(const QString &name, const QString &address, const QString &text,
                                        QString *error)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    const QString localPart = address.left(at);
    const QString domain = address.mid(at + 1);
    if (at <= 0 || domain.isEmpty() || std::any_of(address.cbegin(), address.cend(), isUnusableInAddress)) {
        *error = QStringLiteral("地址“%1”无效").arg(text);
        return std::nullopt;
    }
    MailAddress parsed{name, localPart, domain};
    if (!isAsciiText(domain) || domain.startsWith(QLatin1String("xn--"), Qt::CaseInsensitive)
        || domain.contains(QLatin1String(".xn--"), Qt::CaseInsensitive)) {
        const QByteArray ace = QUrl::toAce(domain);
        if (ace.isEmpty()) {
            *error = QStringLiteral("地址“%1”中的域名无效").arg(text);
            return std::nullopt;
        }
        parsed.domain = QUrl::fromAce(ace);
    }
    return parsed;
}

} // namespace

QString MailAddress::unicodeAddress() const
{
    return localPart + QLatin1Char('@') + domain;
}

QByteArray MailAddress::asciiAddress() const
{
    if (!isAsciiText(localPart))
        return {};
    const QByteArray ace = isAsciiText(domain) ? domain.toLatin1() : QUrl::toAce(domain);
    return ace.isEmpty() ? QByteArray() : localPart.toLatin1() + '@' + ace;
}

bool MailAddress::isAscii() const
{
    return isAsciiText(localPart) && isAsciiText(domain);
}

QString visibleControls(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        if (c == QLatin1Char('\r'))
            shown += QLatin1String("\\r");
        else if (c == QLatin1Char('\n'))
            shown += QLatin1String("\\n");
        else if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return true;
    }
    return false;
}

std::optional<MailAddress> parseMailAddress(const QString &text, QString *error)
{
    if (hasControlCharacter(text)) {
        *error = QStringLiteral("地址“%1”中含有换行或其他控制字符").arg(visibleControls(text));
        return std::nullopt;
    }
    ensureGMimeInitialized();
    InternetAddressList *list = internet_address_list_parse(nullptr, text.trimmed().toUtf8().constData());
    const bool oneMailbox = list && internet_address_list_length(list) == 1
                            && INTERNET_ADDRESS_IS_MAILBOX(internet_address_list_get_address(list, 0));
    QString name;
    QString address;
    if (oneMailbox) {
        InternetAddress *mailbox = internet_address_list_get_address(list, 0);
        name = QString::fromUtf8(internet_address_get_name(mailbox));
        address = QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(mailbox)));
    }
    if (list)
        g_object_unref(list);
    if (!oneMailbox || hasControlCharacter(name)) {
        *error = QStringLiteral("地址“%1”无法识别").arg(text);
        return std::nullopt;
    }
    return splitAddress(name, address, text, error);
}

} // namespace component
