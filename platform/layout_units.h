// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>

namespace platform {

// Forms keep their geometry in layout units; at the design screen metrics
// one pixel is 32/7 horizontal units and 4 vertical units.
int unitsToPixelsX(int units);
int unitsToPixelsY(int units);
QRect unitsToPixels(int x, int y, int width, int height);

} // namespace platform
