// SPDX-License-Identifier: MIT
#pragma once

#include "engine/stru_mail.h"

#include <QJsonObject>
#include <QString>

#include <cstdio>

// A fetched message as a JSON object: senderaddress, sendername,
// recipientaddress1 (array), subject, body, html, attachment (array of
// saved paths), maildatetime (local time "YYYY-MM-DDTHH:MM:SS", null
// when the message has no date), cc (array), replyto, messageid,
// inreplyto, date (ISO 8601 in the sender's zone, null without a date) and
// text (the plain text: the body, or the plain alternative of an HTML body,
// else that HTML made text).
QJsonObject mailToJson(const stru_mail &mail);

// "2026-12-07T18:00:00+08:00": the moment in the zone `utcOffsetSeconds`.
QString isoDateWithOffset(const QDateTime &dateTime, int utcOffsetSeconds);

// Writes messages to `out` as one JSON array in UTF-8, one object per line,
// ending with a line break, each object as soon as it is handed over, so
// that a fetch never holds more than one message for its output.
class MailJsonWriter {
public:
    explicit MailJsonWriter(std::FILE *out);
    void write(const stru_mail &mail);
    // Closes the array and makes sure every byte of it went out: flushed,
    // checked, and forced to disk when `out` is a regular file. False, with
    // the reason, when any of it could not be written. Nothing is written
    // after it; a second call gives the first one's answer.
    bool finish(QString *error);

private:
    void put(const char *data, std::size_t size);

    std::FILE *m_out;
    const char *m_separator = "\n";
    int m_errorCode = 0; // errno of the first failed write
    bool m_finished = false;
};
