// SPDX-License-Identifier: MIT
#pragma once

// Marks the C entry points the program resolves by name; everything else in
// the library stays hidden.
#define ORVEX_EXPORT extern "C" __attribute__((visibility("default")))
