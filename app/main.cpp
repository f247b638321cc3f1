#include "platform/media/null_media_service.h"
#include "platform/toolkit/app.h"
#include "player/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // Video is drawn into X11 child windows: on a Wayland desktop run through
    // XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tovimo"));
    QApplication::setDesktopFileName(QStringLiteral("tovimo"));
    tovimo::tk::App::registerInstance();

    tovimo::media::NullMediaService media;
    tovimo::player::Form1 form(media, media);
    form.Load();
    form.Show();
    return QApplication::exec();
}
