// SPDX-License-Identifier: MIT
#pragma once

namespace platform {

// Shows the wait cursor from construction until the end of the scope: a
// handler makes one on entry and the cursor stays until the handler ends,
// whichever way it returns.
//
// When the outermost one ends, the handler's transfer is over: whatever
// progress it showed is cleared.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace platform
