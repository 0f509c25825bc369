#pragma once

namespace component {

// Initialises GMime once for the whole process; call it before any other
// GMime function. Safe to call from every entry point, as often as needed.
void ensureGMimeInitialized();

} // namespace component
