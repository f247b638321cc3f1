#include "platform/media/x11_child_window.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <mutex>

namespace tovimo::media {

namespace {

struct XErrorRecord {
    Display* display;
    unsigned long serial;
    int code;
};

// Errors not yet claimed by a trap. Bounded: errors of connections nobody
// traps (the video sink's) are dropped oldest first.
constexpr std::size_t kMaxKeptErrors = 64;
std::mutex xErrorsMutex;
std::deque<XErrorRecord> xErrors;

int recordXError(Display* display, XErrorEvent* event) {
    const std::lock_guard lock(xErrorsMutex);
    if (xErrors.size() == kMaxKeptErrors)
        xErrors.pop_front();
    xErrors.push_back({display, event->serial, event->error_code});
    return 0;
}

} // namespace

void installXErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { XSetErrorHandler(recordXError); });
}

bool x11DisplayAvailable() {
    // The probe's connection stays open for the life of the process (an
    // Xvfb with no other client would reset under the sink otherwise), held
    // here so that it is not lost.
    static Display* const probe = [] {
        const char* name = std::getenv("DISPLAY");
        return name && *name ? XOpenDisplay(nullptr) : nullptr;
    }();
    return probe != nullptr;
}

XErrorTrap::XErrorTrap(Display* display) : display_(display), firstSerial_(NextRequest(display)) {
    installXErrorHandler();
    // Left by a closed connection that had the same address.
    const std::lock_guard lock(xErrorsMutex);
    std::erase_if(xErrors, [this](const XErrorRecord& record) {
        return record.display == display_ && record.serial >= firstSerial_;
    });
}

XErrorTrap::~XErrorTrap() {
    // Errors still on their way for this connection would otherwise outlive
    // it and match a later connection at the same address.
    XSync(display_, False);
    const std::lock_guard lock(xErrorsMutex);
    std::erase_if(xErrors, [this](const XErrorRecord& record) { return record.display == display_; });
}

int XErrorTrap::firstError() {
    XSync(display_, False);
    const std::lock_guard lock(xErrorsMutex);
    int code = 0;
    for (const XErrorRecord& record : xErrors)
        if (record.display == display_ && record.serial >= firstSerial_) {
            code = record.code;
            break;
        }
    std::erase_if(xErrors, [this](const XErrorRecord& record) {
        return record.display == display_ && record.serial >= firstSerial_;
    });
    return code;
}

std::unique_ptr<X11ChildWindow> X11ChildWindow::create(std::uint32_t parent) {
    installXErrorHandler();
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    Window window = 0;
    unsigned width = 1;
    unsigned height = 1;
    {
        XErrorTrap trap(display);
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, parent, &attributes) && trap.firstError() == 0) {
            width = static_cast<unsigned>(std::max(attributes.width, 1));
            height = static_cast<unsigned>(std::max(attributes.height, 1));
            window = XCreateSimpleWindow(display, parent, 0, 0, width, height, 0, 0,
                                         BlackPixel(display, DefaultScreen(display)));
            XMapWindow(display, window);
            if (trap.firstError() != 0)
                window = 0;
        }
    }
    if (window == 0) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<X11ChildWindow>(
        new X11ChildWindow(display, window, static_cast<int>(width), static_cast<int>(height)));
}

X11ChildWindow::~X11ChildWindow() {
    {
        XErrorTrap trap(display_);
        XDestroyWindow(display_, window_);
    }
    XCloseDisplay(display_);
}

void X11ChildWindow::place(int x, int y, int width, int height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    XErrorTrap trap(display_);
    XMoveResizeWindow(display_, window_, x, y, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    trap.firstError();
}

void X11ChildWindow::show(bool visible) {
    XErrorTrap trap(display_);
    if (visible)
        XMapWindow(display_, window_);
    else
        XUnmapWindow(display_, window_);
    trap.firstError();
}

} // namespace tovimo::media
