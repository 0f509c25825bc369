// SPDX-License-Identifier: MIT
#pragma once

// GMime pulls in GLib's GIO headers, whose struct members are named like
// Qt's `signals` keyword macro; including GMime through this header works
// whatever Qt header came first.
#pragma push_macro("signals")
#undef signals
#include <gmime/gmime.h>
#pragma pop_macro("signals")

#include <QByteArray>

namespace component {

// Loads and initialises GMime once for the whole process; call it before
// any other GMime function (the component is not linked with GMime: a call
// before it ends the process). Safe to call from every entry point, as
// often as needed.
void ensureGMimeInitialized();

// A copy of what a GMime memory stream holds.
QByteArray memoryStreamBytes(GMimeStream *memory);

} // namespace component
