#include "platform/media/allocator_tuning.h"
#include "platform/media/mci_service.h"
#include "platform/toolkit/app.h"
#include "player/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Before any thread starts: each file played starts streaming threads.
    tovimo::media::tuneAllocator();
    // Before Qt opens its X connection: the video sinks draw from their own
    // threads through Xlib.
    tovimo::media::initializeProcess();
    // Video is drawn into X11 child windows: on a Wayland desktop run through
    // XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovimo"));
    QApplication::setDesktopFileName(QStringLiteral("tovimo"));
    tovimo::tk::App::registerInstance();

    tovimo::media::MciService media;
    tovimo::player::Form1 form(media, media);
    form.Load();
    form.Show();
    return QApplication::exec();
}
