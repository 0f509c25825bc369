// SPDX-License-Identifier: MIT
#pragma once

namespace platform {

// What only a program with windows puts behind the platform's services:
// Qt's dialogs as the default dialog service and the window system's side
// of holding input back during a transfer. Call once after the application
// exists. A program without windows leaves this out and so loads no widget
// library at start.
void installWindowServices();

// True from a close request during a transfer until the next transfer
// starts: the handler shows no result, since its window is going.
bool transferAbandoned();

} // namespace platform
