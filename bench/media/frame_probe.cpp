// SPDX-License-Identifier: GPL-3.0-or-later
// Creates a window and reports, on request, when pixels appear or change in
// it. Prints the window id first; then for each line read from standard
// input:
//   content  waits until the centre pixel is no longer black
//   change   takes the middle row, answers "ready", waits until it changes
// and answers the CLOCK_MONOTONIC time of the event in nanoseconds (or
// "timeout" after 20 s).
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<unsigned long> row(Display* display, Window window, int width, int y) {
    std::vector<unsigned long> pixels;
    XImage* image = XGetImage(display, window, 0, y, static_cast<unsigned>(width), 1, AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    for (int x = 0; x < width; x += 4)
        pixels.push_back(XGetPixel(image, x, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

long long now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char* argv[]) {
    const int width = argc > 1 ? std::atoi(argv[1]) : 1920;
    const int height = argc > 2 ? std::atoi(argv[2]) : 1080;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::cerr << "frame_probe: no display\n";
        return 1;
    }
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, width, height, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
    std::cout << window << std::endl;
    std::string command;
    while (std::getline(std::cin, command)) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool seen = false;
        if (command == "content") {
            while (!seen && std::chrono::steady_clock::now() < deadline) {
                const auto pixels = row(display, window, width, height / 2);
                for (const auto pixel : pixels)
                    seen = seen || pixel != 0;
                if (!seen)
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        } else if (command == "change") {
            const auto before = row(display, window, width, height / 2);
            std::cout << "ready" << std::endl;
            while (!seen && std::chrono::steady_clock::now() < deadline) {
                seen = row(display, window, width, height / 2) != before;
                if (!seen)
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
        } else {
            continue;
        }
        if (seen)
            std::cout << now() << std::endl;
        else
            std::cout << "timeout" << std::endl;
    }
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return 0;
}
