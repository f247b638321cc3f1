#include "app/command_line.h"
#include "app/desktop_session.h"
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

int main(int argc, char* argv[]) {
    // First: it may start the program again, before any thread runs.
    tovimo::media::restartWithMallocSlices(argv);
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
        break;
    }

    // Before any thread starts: each file played starts streaming threads.
    tovimo::media::tuneAllocator();
    // fontconfig reads its configuration and font caches at the first font
    // lookup, which would otherwise come in the middle of building the
    // window. Read them beside Qt's own start instead.
    std::thread fontconfigStart([] { FcInit(); });
    // Before Qt opens its X connection: the video sinks draw from their own
    // threads through Xlib.
    tovimo::media::initializeProcess();
    // Video is drawn into X11 child windows: on a Wayland desktop run through
    // XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovimo"));
    QApplication::setDesktopFileName(QStringLiteral(TOVIMO_APP_ID));
    tovimo::tk::App::registerInstance();

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
