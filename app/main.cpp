// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"
#include "app/desktop_session.h"
#include "app/process_end.h"
#include "app/x11_display.h"
#include "platform/media/allocator_tuning.h"
#include "platform/media/mci_service.h"
#include "platform/toolkit/app.h"
#include "player/form1.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <fontconfig/fontconfig.h>
#include <thread>

namespace {
void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}
} // namespace

// Before any library's constructor: GLib sets up its slices in its own.
[[gnu::used, gnu::section(".preinit_array")]] static void (*const kTuneAllocators)(int, char**, char**) =
    &tovimo::media::tuneAllocators;

namespace {
// Closing the window ends the program from inside the event loop. An engine
// stuck in a read would keep the window on screen and the bus names taken
// until the read returns.
void endNowIfAReadIsStuck() {
    if (tovimo::media::runningEngines() > 0)
        tovimo::app::endLeavingStuckReadsBehind(0);
}

// The window's life, from the display's check to the event loop's end: every
// Qt object is gone when this returns.
int runPlayer(int argc, char* argv[], const tovimo::app::CommandLine& commandLine) {
    if (!tovimo::app::prepareX11Display())
        return tovimo::app::kNoDisplayExitStatus;
    // fontconfig reads its configuration and font caches at the first font
    // lookup, which would otherwise come in the middle of building the
    // window. Read them beside Qt's own start instead.
    std::thread fontconfigStart([] { FcInit(); });
    // Before Qt opens its X connection: the video sinks draw from their own
    // threads through Xlib.
    tovimo::media::initializeProcess();
    QApplication application(argc, argv);
    tovimo::app::endCleanlyWhenDisplayIsLost();
    QApplication::setApplicationName(QStringLiteral("Tovimo"));
    QApplication::setDesktopFileName(QStringLiteral(TOVIMO_APP_ID));
    tovimo::tk::App::registerInstance();
    tovimo::tk::App::setLastStep(endNowIfAReadIsStuck);

    tovimo::media::MciService media;
    fontconfigStart.join();
    tovimo::player::Form1 form(media, media);
    tovimo::app::DesktopSession session(form, media, QDBusConnection::sessionBus());
    form.Load(); // on a notice day, returns once the notice is closed
    form.Show();
    if (commandLine.file) {
        // From the event loop, as if the user typed the path and pressed Play.
        QTimer::singleShot(0, &form,
                           [&session, path = *commandLine.file] { session.remote().openAndPlay(path); });
    }
    return QApplication::exec();
}
} // namespace

int main(int argc, char* argv[]) {
    // Read before Qt starts, so that --help and --version work with no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QFile::decodeName(argv[i]);
    const tovimo::app::CommandLine commandLine = tovimo::app::parseCommandLine(arguments);
    switch (commandLine.action) {
    case tovimo::app::CommandLine::Action::Help:
        print(stdout, tovimo::app::helpText());
        return 0;
    case tovimo::app::CommandLine::Action::Version:
        print(stdout, tovimo::app::versionText());
        return 0;
    case tovimo::app::CommandLine::Action::UsageError:
        print(stderr, QStringLiteral("tovimo: ") + commandLine.problem + QLatin1Char('\n') +
                          tovimo::app::usageLine());
        return 2;
    case tovimo::app::CommandLine::Action::Run:
        print(stderr, tovimo::app::ignoredArgumentsText(commandLine));
        break;
    }

    const int status = runPlayer(argc, argv, commandLine);
    if (tovimo::media::runningEngines() > 0)
        tovimo::app::endLeavingStuckReadsBehind(status);
    return status;
}
