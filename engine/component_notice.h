// SPDX-License-Identifier: MIT
#pragma once

namespace engine {

// Tells the user that the mail component's classes cannot be created: the
// one message box the engine shows itself.
void reportMissingComponent();

} // namespace engine
