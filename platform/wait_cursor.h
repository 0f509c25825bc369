#pragma once

namespace platform {

// Shows the wait cursor from construction until the end of the scope: a
// handler makes one on entry and the cursor stays until the handler ends,
// whichever way it returns.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace platform
