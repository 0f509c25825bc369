// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QVariant>

namespace engine {

// A fetched message's "date" as a date-time. The component gives a
// QDateTime; a text in ISO 8601 or in the mail header form (RFC 2822) is
// read too. Anything else, or nothing, gives an invalid date-time.
QDateTime toMailDateTime(const QVariant &value);

} // namespace engine
