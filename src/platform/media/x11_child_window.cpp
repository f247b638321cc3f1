// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/x11_child_window.h"

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace tovimo::media {

namespace {

int dropXError(Display*, XErrorEvent*) {
    return 0;
}

int endOnXIOError(Display*) {
    endProcessForLostDisplay();
}

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};
template <typename T> using MallocPtr = std::unique_ptr<T, FreeDeleter>;

struct Disconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using ConnectionPtr = std::unique_ptr<xcb_connection_t, Disconnect>;

// The X error code of a checked request: 0 when it succeeded, -1 when the
// connection is lost (xcb then reports no error at all).
int errorOf(xcb_connection_t* connection, xcb_void_cookie_t cookie) {
    const MallocPtr<xcb_generic_error_t> error(xcb_request_check(connection, cookie));
    if (error)
        return error->error_code;
    return xcb_connection_has_error(connection) ? -1 : 0;
}

ConnectionPtr connectToDisplay() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return nullptr;
    ConnectionPtr connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()))
        return nullptr;
    return connection;
}

// The probing connection, made by a thread of its own so that a server that
// accepts connections but never answers cannot hold the caller. Never
// destroyed: that thread may outlive main().
struct DisplayProbe {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    xcb_connection_t* connection = nullptr;
    std::chrono::steady_clock::time_point deadline;
};

DisplayProbe& displayProbe() {
    static DisplayProbe* const probe = [] {
        auto* made = new DisplayProbe;
        made->deadline = std::chrono::steady_clock::now() + kDisplayProbeBound;
        std::thread([made] {
            xcb_connection_t* connection = connectToDisplay().release();
            {
                const std::lock_guard lock(made->mutex);
                made->connection = connection;
                made->done = true;
            }
            made->answered.notify_all();
        }).detach();
        return made;
    }();
    return *probe;
}

xcb_connection_t* probeConnection() {
    DisplayProbe& probe = displayProbe();
    std::unique_lock lock(probe.mutex);
    probe.answered.wait_until(lock, probe.deadline, [&probe] { return probe.done; });
    return probe.connection;
}

const xcb_screen_t* screenWithRoot(xcb_connection_t* connection, xcb_window_t root) {
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem; xcb_screen_next(&it))
        if (it.data->root == root)
            return it.data;
    return nullptr;
}

} // namespace

void installXErrorHandler() {
    XSetErrorHandler(dropXError);
    XSetIOErrorHandler(endOnXIOError);
}

namespace {
std::atomic_flag processEnding = ATOMIC_FLAG_INIT;
} // namespace

bool claimProcessEnd() {
    return !processEnding.test_and_set();
}

void endProcessForLostDisplay() {
    if (processEnding.test_and_set()) {
        // Another thread is ending the process.
        for (;;)
            ::pause();
    }
    const char* display = std::getenv("DISPLAY");
    char line[512];
    const int length = std::snprintf(line, sizeof line, "%s: the X display %s went away; ending.\n",
                                     program_invocation_short_name, display && *display ? display : "(none)");
    if (length > 0) {
        const auto size = std::min(static_cast<std::size_t>(length), sizeof line - 1);
        [[maybe_unused]] const auto written = ::write(STDERR_FILENO, line, size);
    }
    ::_exit(kDisplayLostExitStatus);
}

bool x11DisplayAvailable() {
    return probeConnection() != nullptr;
}

void endProcessWhenDisplayIsLost() {
    static std::once_flag once;
    std::call_once(once, [] {
        xcb_connection_t* connection = probeConnection();
        if (!connection)
            return;
        // Nothing is asked on this connection: the only thing that ends the
        // wait is the connection breaking (MappingNotify and the like, sent to
        // every client, are read and dropped).
        std::thread([connection] {
            while (xcb_generic_event_t* event = xcb_wait_for_event(connection))
                std::free(event);
            endProcessForLostDisplay();
        }).detach();
    });
}

std::unique_ptr<X11ChildWindow> X11ChildWindow::create(std::uint32_t parent) {
    ConnectionPtr connection = connectToDisplay();
    if (!connection)
        return nullptr;
    xcb_connection_t* c = connection.get();
    xcb_generic_error_t* error = nullptr;
    const MallocPtr<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, parent), &error));
    std::free(error);
    if (!geometry)
        return nullptr;
    const xcb_screen_t* screen = screenWithRoot(c, geometry->root);
    const std::uint32_t black = screen ? screen->black_pixel : 0;
    const auto width = static_cast<std::uint16_t>(std::max<int>(geometry->width, 1));
    const auto height = static_cast<std::uint16_t>(std::max<int>(geometry->height, 1));
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {black, black}; // in the order of the mask's bits
    // A pixmap has a geometry too: creating a window in it is what fails.
    if (errorOf(c, xcb_create_window_checked(c, XCB_COPY_FROM_PARENT, window, parent, 0, 0, width, height, 0,
                                             XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                                             XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL, values)) != 0)
        return nullptr;
    // Checked, and so known to the server before the sink draws into it
    // from its own connection.
    if (errorOf(c, xcb_map_window_checked(c, window)) != 0) {
        errorOf(c, xcb_destroy_window_checked(c, window));
        return nullptr;
    }
    return std::unique_ptr<X11ChildWindow>(new X11ChildWindow(connection.release(), window, width, height));
}

X11ChildWindow::~X11ChildWindow() {
    if (exposures_.joinable()) {
        // Wakes the watching thread with an event sent to the window's
        // creator (this connection); with the window already gone, the
        // request's error comes to the same queue and wakes it as well.
        stopping_ = true;
        xcb_client_message_event_t wake{};
        wake.response_type = XCB_CLIENT_MESSAGE;
        wake.format = 32;
        wake.window = window_;
        xcb_send_event(connection_, 0, window_, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&wake));
        xcb_flush(connection_);
        exposures_.join();
    }
    // Waited for, so that the window is gone when the caller goes on; fails
    // harmlessly when the parent took it already.
    errorOf(connection_, xcb_destroy_window_checked(connection_, window_));
    xcb_disconnect(connection_);
}

void X11ChildWindow::onExposed(std::function<void()> exposed) {
    if (exposures_.joinable())
        return;
    const std::uint32_t mask[] = {XCB_EVENT_MASK_EXPOSURE};
    if (errorOf(connection_,
                xcb_change_window_attributes_checked(connection_, window_, XCB_CW_EVENT_MASK, mask)) != 0)
        return;
    // Only this thread reads events here; the checked requests of place()
    // and show() take their own answers (xcb keeps the two apart). A broken
    // connection ends the wait.
    exposures_ = std::thread([this, exposed = std::move(exposed)] {
        while (xcb_generic_event_t* event = xcb_wait_for_event(connection_)) {
            const MallocPtr<xcb_generic_event_t> held(event);
            if (stopping_)
                break;
            // The last of a burst of rectangles stands for them all.
            if ((event->response_type & 0x7F) == XCB_EXPOSE &&
                reinterpret_cast<const xcb_expose_event_t*>(event)->count == 0)
                exposed();
        }
    });
}

int X11ChildWindow::place(int x, int y, int width, int height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    // Positions travel as 32-bit values holding the signed 16-bit coordinate.
    const std::uint32_t values[] = {static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
                                    static_cast<std::uint32_t>(width_), static_cast<std::uint32_t>(height_)};
    return errorOf(connection_,
                   xcb_configure_window_checked(connection_, window_,
                                                XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y |
                                                    XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                                                values));
}

int X11ChildWindow::show(bool visible) {
    return errorOf(connection_, visible ? xcb_map_window_checked(connection_, window_)
                                        : xcb_unmap_window_checked(connection_, window_));
}

} // namespace tovimo::media
