// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace htmlview {

// The bytes a "data:[<mediatype>][;base64],<data>" URL carries; nothing for
// any other URL.
std::optional<QByteArray> dataUrlPayload(const QString &url);

// The picture a data: URL carries; a null image for any other URL or for
// bytes that are no picture. Never reads a file or the network.
QImage imageFromDataUrl(const QString &url);

} // namespace htmlview
