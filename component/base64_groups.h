// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace component {

// Whether `c` is one of base64's 64 characters ('=' is not).
bool isBase64Character(unsigned char c);

// Decodes `length` characters, a whole number of groups of four without
// padding, into `out` (3 bytes a group). False, with `out` undefined, when
// any of them is not a base64 character. This is the line almost every
// encoder writes, and a large attachment passes through here whole: where
// the processor has AVX2, 32 characters are checked and decoded at a time.
bool decodeWholeGroups(const unsigned char *in, qsizetype length, unsigned char *out);

} // namespace component
