// SPDX-License-Identifier: MIT
#pragma once

// A program started with standard input, output or error closed would give
// that number to the next file or socket it opens, and then write its
// output into it. Each closed one is taken by /dev/null instead; standard
// output opened for reading only, so that what is written to it still fails
// and is reported rather than silently lost.
void reserveStandardStreams();

// Ends the program with `code` once standard output and error are flushed,
// without the teardown a return from main() runs: the Qt application, the
// loaded libraries' destructors and the TLS library's clean-up take a
// millisecond or two, which a fetch run from cron every minute would pay
// each time, and which do nothing a finished command needs. The commands
// close every file they write, and flush and check their own output,
// before they return their code.
[[noreturn]] void endProgram(int code);
