// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class w_main;

// The application object: on every start it registers the mail component
// and then opens the main frame; when registration fails it says so and
// opens no window.
class orvex {
public:
    static constexpr const char *appname = "orvex";
    static constexpr bool toolbartext = true;

    // The start-up sequence. The command line is accepted and ignored.
    // Returns the frame it opened (owned by Qt, deleted when closed), or
    // nullptr when registration failed and the program is to end.
    w_main *open(const QString &commandline);

    // Opens the compose sheet of `frame` (or goes to the open one) filled
    // in from a mailto: link.
    static void openMailto(w_main &frame, const QString &link);
};
