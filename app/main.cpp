// SPDX-License-Identifier: MIT
#include "app/command_line.h"
#include "app/compose_report.h"
#include "app/orvex_application.h"
#include "app/qt_translations.h"
#include "frame/w_main.h"
#include "platform/files.h"
#include "platform/fonts.h"
#include "platform/window_services.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>

namespace {

// Without a display Qt's default platform aborts with a cryptic message;
// say what to do instead.
bool haveDisplay()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char *argv[])
{
    const CommandLineRequest request = readCommandLine(platform::nativeArguments(argc, argv));
    if (request.action == CommandLineRequest::PrintAndExit) {
        const QByteArray output = request.output.toUtf8();
        std::fwrite(output.constData(), 1, size_t(output.size()), stdout);
        return 0;
    }
    if (!haveDisplay()) {
        std::fprintf(stderr,
                     "orvex: no display found (DISPLAY is not set).\n"
                     "Run it on a desktop, or without one under a virtual X server:\n"
                     "    xvfb-run -a %s\n",
                     argc > 0 && argv[0] ? argv[0] : "orvex");
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(orvex::appname));
    // Lets the desktop match the windows to the installed desktop entry.
    QApplication::setDesktopFileName(QStringLiteral("org.orvex.orvex"));
    platform::installFontSubstitutions();
    platform::installWindowServices();
    installQtTranslations();

    orvex app;
    // Without its component the program can do nothing: after the box that
    // says so, it ends as a failure.
    w_main *frame = app.open(QApplication::arguments().mid(1).join(QLatin1Char(' ')));
    if (!frame)
        return 1;
    if (!request.mailtoLink.isEmpty())
        orvex::openMailto(*frame, request.mailtoLink);
    writeComposeReportWhenAsked(*frame);
    return application.exec();
}
