// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// The player draws its video into X11 child windows, so it runs on Qt's xcb
// platform, on an X display (Xwayland on a Wayland desktop), and ends
// cleanly when that display goes away.
namespace tovimo::app {

// The status the program ends with when no X display answers at start-up
// (media::kDisplayLostExitStatus when it goes away later).
inline constexpr int kNoDisplayExitStatus = 1;

// The QT_QPA_PLATFORM to run with, given the user's: unset or naming xcb
// first, it stands; otherwise its xcb entry with that entry's options
// ("wayland;xcb:nomitshmem" gives "xcb:nomitshmem"), or plain "xcb".
struct PlatformChoice {
    QByteArray platform;
    bool overridden = false; // the user's setting is set aside

    friend bool operator==(const PlatformChoice&, const PlatformChoice&) = default;
};
PlatformChoice choosePlatform(const QByteArray& requested);

// Before the QApplication is made: sets QT_QPA_PLATFORM, with one line on
// standard error when it sets the user's aside, and checks that the X
// display answers (within a few seconds). False, after one line on standard
// error saying why, when none does: the program then ends with
// kNoDisplayExitStatus instead of opening a window nobody sees.
bool prepareX11Display();

// Once the QApplication is made (its xcb plugin has replaced the process's
// Xlib handlers by then): takes them back, and makes every way the loss of
// the display is noticed end the process at once with
// media::kDisplayLostExitStatus: Xlib's I/O error on any thread, a thread
// watching a connection of its own, and the toolkit's exit() on the main
// thread.
void endCleanlyWhenDisplayIsLost();

} // namespace tovimo::app
