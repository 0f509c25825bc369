// SPDX-License-Identifier: MIT
#include "engine/html_body.h"

#include "engine/text_functions.h"

namespace engine {

namespace {

// The document head, byte for byte: CR LF between its lines and none after
// the last, no opening body tag; the body follows it directly.
const QString kDocumentHead = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">"
        "\r\n<HTML><HEAD>"
        "\r\n<META http-equiv=Content-Type content=\"text/html; charset=gb2312\">"
        "\r\n<META content=\"MSHTML 6.00.2900.3020\" name=GENERATOR></HEAD>");

const QString kDocumentTail = QStringLiteral("</h2></body></html>");

} // namespace

QString htmlDocumentFor(const QString &body)
{
    if (asciiUpper(body).contains(QLatin1String("<HTML>")))
        return body;
    return kDocumentHead + replaceAll(body, QStringLiteral("\r\n"), QStringLiteral("<br>")) + kDocumentTail;
}

} // namespace engine
