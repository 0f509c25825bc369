// SPDX-License-Identifier: MIT
#pragma once

#include "cli/cli_arguments.h"

// Hands the message to the engine as the compose window does; returns the
// program's exit code.
int runSend(const SendArguments &arguments);

// The body with every line break as CR LF, whether it came as LF or CR LF;
// a CR LF never becomes CR CR LF.
QString bodyWithCrLf(const QString &body);
