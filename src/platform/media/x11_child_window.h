#pragma once

#include <cstdint>
#include <memory>

// Xlib's types stay out of this header: its macros (Status, None, Bool)
// clash with names elsewhere.
struct _XDisplay;

namespace tovimo::media {

// Installs the process's X error handler (once). Errors are kept per display
// connection and request serial, so that XErrorTrap sees only the errors of
// its own requests; errors nobody traps (a video sink's late draw into a
// window that has just gone) are dropped instead of ending the process, as
// Xlib's default handler would.
void installXErrorHandler();

// True when an X display can be reached. The probing connection stays open
// for the process: closing the only client of an X server started without
// -noreset (Xvfb) makes it reset, and the next connection would be refused.
bool x11DisplayAvailable();

// Collects the X errors caused by the requests sent on `display` from its
// construction on. Other connections' errors, and this connection's earlier
// ones, are not its concern.
class XErrorTrap {
public:
    explicit XErrorTrap(_XDisplay* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to handle every request sent so far; returns the
    // error code of the first that failed, or 0.
    int firstError();

private:
    _XDisplay* display_;
    unsigned long firstSerial_;
};

// The largest geometry an X window can take: positions are 16-bit signed,
// sizes 16-bit unsigned and at least 1.
inline constexpr std::int32_t kMinWindowCoordinate = -32768;
inline constexpr std::int32_t kMaxWindowCoordinate = 32767;
inline constexpr std::int32_t kMaxWindowSize = 65535;

// An X11 window inside a foreign parent, on a connection of its own, so that
// it never shares Xlib state with the toolkit or the video sink.
//
// Invariant: width() and height() are the geometry last applied (at least
// 1x1); the window lives until the object goes.
class X11ChildWindow {
public:
    // Creates and maps a child covering `parent`. Null when `parent` is not a
    // window or the display cannot be reached.
    static std::unique_ptr<X11ChildWindow> create(std::uint32_t parent);

    ~X11ChildWindow();
    X11ChildWindow(const X11ChildWindow&) = delete;
    X11ChildWindow& operator=(const X11ChildWindow&) = delete;

    unsigned long id() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Moves and sizes the window. Sizes below 1 become 1; the caller keeps
    // every value within the limits above.
    void place(int x, int y, int width, int height);

    void show(bool visible);

private:
    X11ChildWindow(_XDisplay* display, unsigned long window, int width, int height)
        : display_(display), window_(window), width_(width), height_(height) {}

    _XDisplay* display_;
    unsigned long window_;
    int width_;
    int height_;
};

} // namespace tovimo::media
