// SPDX-License-Identifier: MIT
#pragma once

namespace htmlview {

// The style every page starts from: the usual look of HTML elements in a
// browser, so that a plain mail reads as it always has. A mail's own styles
// come after it and win.
extern const char *const kDefaultStyleSheet;

} // namespace htmlview
