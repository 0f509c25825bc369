// SPDX-License-Identifier: MIT
#pragma once

#include "cli/cli_arguments.h"

// Fetches through the engine as the receive window does and prints the
// records as JSON on stdout; returns the program's exit code.
int runFetch(const FetchArguments &arguments);
