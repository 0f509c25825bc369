// SPDX-License-Identifier: MIT
#include "platform/layout_units.h"

#include <cmath>

namespace platform {

int unitsToPixelsX(int units)
{
    return int(std::lround(units * 7.0 / 32.0));
}

int unitsToPixelsY(int units)
{
    return int(std::lround(units / 4.0));
}

QRect unitsToPixels(int x, int y, int width, int height)
{
    return QRect(unitsToPixelsX(x), unitsToPixelsY(y), unitsToPixelsX(width), unitsToPixelsY(height));
}

} // namespace platform
