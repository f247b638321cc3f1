// SPDX-License-Identifier: GPL-3.0-or-later
// Reports when a top-level window is first mapped on the display, to time a
// program's start-up from the outside. Prints "ready" once it listens; the
// caller then starts the program. Then prints the CLOCK_MONOTONIC time in
// nanoseconds of the first map of a top-level window (or "timeout" after
// 20 s), and exits.
//
// Without a window manager every top-level window is a child of the root, so
// the root's substructure events see each map as it happens.
#include <X11/Xlib.h>

#include <chrono>
#include <iostream>
#include <poll.h>

namespace {

long long now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::cerr << "map_probe: no display\n";
        return 1;
    }
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    std::cout << "ready" << std::endl;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    pollfd connection{ConnectionNumber(display), POLLIN, 0};
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify) {
                std::cout << now() << std::endl;
                XCloseDisplay(display);
                return 0;
            }
        }
        poll(&connection, 1, 50);
    }
    std::cout << "timeout" << std::endl;
    XCloseDisplay(display);
    return 0;
}
