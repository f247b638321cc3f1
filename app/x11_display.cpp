// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/x11_display.h"

#include "platform/media/x11_child_window.h"

#include <QGuiApplication>
#include <QList>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <xcb/xcb.h>

namespace tovimo::app {

namespace {

bool namesXcb(const QByteArray& entry) {
    return entry.trimmed().split(':').value(0).toLower() == "xcb";
}

// Qt's own connection, for as long as the QApplication lives.
std::atomic<xcb_connection_t*> toolkitConnection{nullptr};

// Qt's xcb plugin calls exit() on the main thread when its connection
// breaks: registered after the QApplication, this runs before the handlers
// registered earlier, and ends the process before any of them races the
// threads that still run.
void endIfTheToolkitLostItsDisplay() {
    xcb_connection_t* connection = toolkitConnection.load();
    if (connection && xcb_connection_has_error(connection))
        media::endProcessForLostDisplay();
}

} // namespace

PlatformChoice choosePlatform(const QByteArray& requested) {
    const QList<QByteArray> entries = requested.split(';');
    if (requested.trimmed().isEmpty())
        return {"xcb", false};
    if (namesXcb(entries.first()))
        return {requested, false};
    for (const QByteArray& entry : entries)
        if (namesXcb(entry))
            return {entry.trimmed(), true};
    return {"xcb", true};
}

bool prepareX11Display() {
    const QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    const PlatformChoice choice = choosePlatform(requested);
    if (choice.overridden)
        std::fprintf(stderr,
                     "tovimo: QT_QPA_PLATFORM=\"%s\" set aside: the video is drawn in an X11 window, "
                     "so the player runs on %s (through Xwayland on Wayland)\n",
                     requested.constData(), choice.platform.constData());
    qputenv("QT_QPA_PLATFORM", choice.platform);

    if (media::x11DisplayAvailable())
        return true;
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty())
        std::fputs("tovimo: no X display (DISPLAY is not set): the video is drawn in an X11 window; "
                   "on Wayland the player needs Xwayland\n",
                   stderr);
    else
        std::fprintf(stderr,
                     "tovimo: cannot open the X display \"%s\": no server there, or it does not answer\n",
                     display.constData());
    return false;
}

void endCleanlyWhenDisplayIsLost() {
    media::installXErrorHandler();
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        toolkitConnection = x11->connection();
        // Qt closes the connection as the application goes: nothing may
        // look at it after that.
        QObject::connect(qGuiApp, &QObject::destroyed, [] { toolkitConnection = nullptr; });
        std::atexit(endIfTheToolkitLostItsDisplay);
    }
    media::endProcessWhenDisplayIsLost();
}

} // namespace tovimo::app
