// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

// xcb's and Xlib's types stay out of this header: Xlib's macros (Status,
// None, Bool) clash with names elsewhere.
struct xcb_connection_t;

namespace tovimo::media {

// The status the process ends with when its X display goes away under it.
inline constexpr int kDisplayLostExitStatus = 3;

// Sets the process's Xlib error and I/O error handlers. Errors on Xlib
// connections (the video sink's late draw into a window that has just gone)
// are dropped instead of ending the process, as Xlib's default handler
// would; the loss of a connection ends the process through
// endProcessForLostDisplay(). Qt's xcb plugin replaces both handlers when it
// connects: call this again once the QApplication exists. Any number of
// calls is fine.
void installXErrorHandler();

// Ends the process at once with kDisplayLostExitStatus, after one line on
// standard error; callable from any thread, any number of times (only the
// first caller writes and ends it, the others wait for that). No exit
// handler or static destructor runs: the streaming threads and the sink's
// own X connection still run, and two threads in exit() at once, or
// destructors freeing what those threads use, is how a lost display used to
// end in a crash.
[[noreturn]] void endProcessForLostDisplay();

// Claims the end of the process for the caller, who is about to close the
// process's connections and end it: a lost display seen after this (the
// caller's own doing) neither ends the process nor says anything. False when
// a lost display got there first; that thread is ending the process.
bool claimProcessEnd();

// How long x11DisplayAvailable() waits for a server that accepts the
// connection but does not answer (stopped, or hung).
inline constexpr std::chrono::milliseconds kDisplayProbeBound{3000};

// True when the X display named by DISPLAY answers within
// kDisplayProbeBound. The first call connects; later calls answer at once
// with that result, or wait out what is left of the bound. The probing
// connection stays open for the process: closing the only client of an X
// server started without -noreset (Xvfb) makes it reset, and the next
// connection would be refused.
bool x11DisplayAvailable();

// Ends the process through endProcessForLostDisplay() when the X display
// goes away, from a thread of its own that waits on the probing connection:
// the toolkit's own reaction to a lost display (exit() on the main thread)
// must not get there first. Does nothing without a display; starts once.
void endProcessWhenDisplayIsLost();

// The largest geometry an X window can take: positions are 16-bit signed,
// sizes 16-bit unsigned and at least 1.
inline constexpr std::int32_t kMinWindowCoordinate = -32768;
inline constexpr std::int32_t kMaxWindowCoordinate = 32767;
inline constexpr std::int32_t kMaxWindowSize = 65535;

// An X11 window inside a foreign parent, on an xcb connection of its own, so
// that it never shares Xlib state with the toolkit or the video sink. Every
// request is checked: an X error comes back to the call that caused it,
// whatever error handler the process has (Qt's xcb plugin replaces Xlib's),
// and never reaches a handler or an event queue.
//
// Invariant: width() and height() are the geometry last asked for (at least
// 1x1); the window lives until the object goes, unless the parent is
// destroyed first, which takes the window with it.
class X11ChildWindow {
public:
    // Creates and maps a child covering `parent`. Null when `parent` is not
    // a window (never was, or was destroyed) or the display cannot be
    // reached.
    static std::unique_ptr<X11ChildWindow> create(std::uint32_t parent);

    ~X11ChildWindow();
    X11ChildWindow(const X11ChildWindow&) = delete;
    X11ChildWindow& operator=(const X11ChildWindow&) = delete;

    unsigned long id() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Moves and sizes the window. Sizes below 1 become 1; the caller keeps
    // every value within the limits above. Returns the X error code of the
    // request (BadWindow once the parent is gone), or 0.
    int place(int x, int y, int width, int height);

    // Maps or unmaps the window; the X error code, or 0.
    int show(bool visible);

    // Calls `exposed`, from a thread of the window's own, whenever part of
    // the window was uncovered and must be drawn again (another window
    // passed over it): a video sink draws only when a frame comes, so a
    // paused picture would stay erased. Call at most once; no call is made
    // once the destructor has begun.
    void onExposed(std::function<void()> exposed);

private:
    X11ChildWindow(xcb_connection_t* connection, std::uint32_t window, int width, int height)
        : connection_(connection), window_(window), width_(width), height_(height) {}

    xcb_connection_t* connection_;
    std::uint32_t window_;
    int width_;
    int height_;
    std::atomic<bool> stopping_{false};
    std::thread exposures_;
};

} // namespace tovimo::media
