#pragma once

#include <QString>
#include <QStringList>

namespace engine {

// True when the recipient text holds a double quote or an angle bracket,
// so that a comma in it may belong to a display name or an address.
bool hasQuotedParts(const QString &text);

// The recipient text split at "," and "，" where they stand outside double
// quotes and angle brackets: `"Zhang, San" <bob@example.cn>` stays one
// piece. Pieces are kept as they stand, empty ones and spaces included.
QStringList splitOutsideQuotes(const QString &text);

} // namespace engine
