// SPDX-License-Identifier: MIT
#pragma once

// A program started with standard input, output or error closed would give
// that number to the next file or socket it opens, and then write its
// output into it. Each closed one is taken by /dev/null instead; standard
// output opened for reading only, so that what is written to it still fails
// and is reported rather than silently lost.
void reserveStandardStreams();
