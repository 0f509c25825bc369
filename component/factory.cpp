// SPDX-License-Identifier: MIT
// OrvexCreateObject: the factory the program calls, through the component
// registry, to make an object by class name (letter case ignored).
#include "component/attachment.h"
#include "component/attachments.h"
#include "component/export.h"
#include "component/message.h"
#include "component/pop3.h"
#include "component/recipient.h"
#include "component/recipients.h"

#include <QString>

ORVEX_EXPORT QObject *OrvexCreateObject(const char *className);

QObject *OrvexCreateObject(const char *className)
{
    const QString name = QString::fromUtf8(className);
    auto is = [&name](const char *candidate) {
        return name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0;
    };
    if (is("orvex.Message"))
        return new component::Message;
    if (is("orvex.POP3"))
        return new component::Pop3;
    if (is("orvex.Attachments"))
        return new component::Attachments;
    if (is("orvex.Attachment"))
        return new component::Attachment;
    if (is("orvex.Recipients"))
        return new component::Recipients;
    if (is("orvex.Recipient"))
        return new component::Recipient;
    return nullptr;
}
