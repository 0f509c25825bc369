#pragma once

#include "engine/stru_mail.h"

#include <QJsonObject>
#include <QList>

#include <cstdio>

// A fetched message as a JSON object: senderaddress, sendername,
// recipientaddress1 (array), subject, body, html, attachment (array of
// saved paths) and maildatetime (local time "YYYY-MM-DDTHH:MM:SS", null
// when the message has no date).
QJsonObject mailToJson(const stru_mail &mail);

// Writes all messages to `out` as one JSON array in UTF-8, one object per
// line, ending with a line break. Objects are written one at a time, so a
// large fetch never needs a second copy of every body in memory.
void writeMailsJson(const QList<stru_mail> &mails, std::FILE *out);
