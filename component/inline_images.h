// SPDX-License-Identifier: MIT
#pragma once

#include "component/gmime_support.h"

#include <QHash>
#include <QString>

namespace component {

// Parts of one message that an HTML body may show through "cid:" URLs,
// keyed by their Content-ID (without the angle brackets, in lower case).
using PartsByContentId = QHash<QString, GMimePart *>;

// `html` with every "cid:" reference to an image among `parts` replaced by a
// data: URL of that image, so that a view that loads nothing from outside
// the page still shows it. Each image is inlined only up to a size, and all
// of them together only up to a total; a reference past either, or to no
// image, stays as it was.
QString withInlineImages(const QString &html, const PartsByContentId &parts);

} // namespace component
