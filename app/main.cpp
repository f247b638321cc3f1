#include "platform/media/null_media_service.h"
#include "platform/toolkit/app.h"
#include "player/form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
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
