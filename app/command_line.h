// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of the windowed program. It is read before
// the application object exists, so that --help and --version work
// without a display.
struct CommandLineRequest {
    enum Action { Run, PrintAndExit };
    Action action = Run;
    QString output;       // what PrintAndExit prints
    QString mailtoLink;   // Run: a mailto: link to open in the compose sheet
};

// `arguments` includes the program name. Anything besides --help, -h,
// --version and a mailto: link (Qt's own options such as -platform, other
// words) is left alone, as the program has always ignored it.
CommandLineRequest readCommandLine(const QStringList &arguments);
