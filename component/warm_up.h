// SPDX-License-Identifier: MIT
#pragma once

namespace component {

// Loads, once a process and on a worker thread, what a mail session needs
// before it logs on: the TLS library with its settings, then GNU SASL. A
// session calls it as early as it can; the first TLS socket and the first
// SASL exchange then find them ready instead of loading them while the
// server waits. One thread does both: a second one cost more to start than
// it saved.
void warmUpForMailSession();

} // namespace component
