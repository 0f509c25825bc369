// SPDX-License-Identifier: MIT
#include "compose/mailto_link.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

// Addresses are separated by commas; a comma inside an address arrives
// encoded as %2C, so the list is split before it is decoded.
QStringList addressesOf(const QString &encodedList)
{
    QStringList addresses;
    for (const QString &part : encodedList.split(QLatin1Char(','))) {
        const QString address = QUrl::fromPercentEncoding(part.toUtf8()).trimmed();
        if (!address.isEmpty())
            addresses << address;
    }
    return addresses;
}

QString withNewlines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

bool isMailtoLink(const QString &text)
{
    return text.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive);
}

MailtoLink parseMailtoLink(const QString &text)
{
    MailtoLink link;
    if (!isMailtoLink(text))
        return link;
    const QUrl url(text);
    link.to = addressesOf(url.path(QUrl::FullyEncoded));

    bool haveSubject = false;
    bool haveBody = false;
    const QUrlQuery query(url);
    for (const auto &[encodedName, encodedValue] : query.queryItems(QUrl::FullyEncoded)) {
        const QString name = QUrl::fromPercentEncoding(encodedName.toUtf8()).toLower();
        const QString value = QUrl::fromPercentEncoding(encodedValue.toUtf8());
        if (name == QLatin1String("to")) {
            link.to << addressesOf(encodedValue);
        } else if (name == QLatin1String("cc")) {
            link.cc << addressesOf(encodedValue);
        } else if (name == QLatin1String("bcc")) {
            link.bcc << addressesOf(encodedValue);
        } else if (name == QLatin1String("subject") && !haveSubject) {
            link.subject = withNewlines(value).replace(QLatin1Char('\n'), QLatin1Char(' '));
            haveSubject = true;
        } else if (name == QLatin1String("body") && !haveBody) {
            link.body = withNewlines(value);
            haveBody = true;
        }
    }
    return link;
}
