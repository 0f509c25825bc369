// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace engine {

// The HTML document sent for a message body marked as HTML: a body that
// already holds an <HTML> tag (any letter case) goes out unchanged; any
// other body is wrapped in the fixed document head, its CR LF line breaks
// turned into <br>.
QString htmlDocumentFor(const QString &body);

} // namespace engine
