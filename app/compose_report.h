// SPDX-License-Identifier: MIT
#pragma once

class w_main;

// Lets a script check what a start put into the compose sheet (the
// installed package's checks open a mailto: link through the desktop
// entry this way, with no screen to look at): when ORVEX_COMPOSE_REPORT
// names a file, the recipients, subject and body the compose sheet of
// `frame` shows are written there as a JSON object.
void writeComposeReportWhenAsked(const w_main &frame);
