// SPDX-License-Identifier: MIT
#pragma once

namespace platform {

// The forms name Windows font faces; map them to what a Linux desktop has:
// "Arial" to the system sans face, "宋体" to a CJK Song (Ming) face and
// "楷体_GB2312" to a CJK Kai face. Call once after the application exists.
void installFontSubstitutions();

} // namespace platform
