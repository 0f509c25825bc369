#pragma once

#include "engine/stru_mail.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>

// A fetched message as a JSON object: senderaddress, sendername,
// recipientaddress1 (array), subject, body, html, attachment (array of
// saved paths) and maildatetime (local time "YYYY-MM-DDTHH:MM:SS", null
// when the message has no date).
QJsonObject mailToJson(const stru_mail &mail);

// All messages as one JSON array in UTF-8, ending with a line break.
QByteArray mailsToJson(const QList<stru_mail> &mails);
