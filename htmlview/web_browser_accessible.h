// SPDX-License-Identifier: MIT
#pragma once

namespace htmlview {

// Makes the HTML view known to screen readers as a document whose text is
// the page's text, with its images as pictures named by their alt texts.
// Installed once; further calls do nothing.
void installWebBrowserAccessibility();

} // namespace htmlview
