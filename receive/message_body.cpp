// SPDX-License-Identifier: MIT
#include "receive/message_body.h"

QString bodyAsHtml(const QString &body, bool html)
{
    if (html)
        return body;
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QString escaped = text.toHtmlEscaped();
    escaped.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return QStringLiteral("<span style=\"white-space: pre-wrap;\">") + escaped + QStringLiteral("</span>");
}
