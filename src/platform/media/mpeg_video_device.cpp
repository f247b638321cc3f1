#include "platform/media/mpeg_video_device.h"

#include "platform/media/error_codes.h"
#include "platform/media/program_stream.h"
#include "platform/media/short_path.h"

#include <gst/audio/streamvolume.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <X11/Xlib.h>
// Xlib's macro would shadow the command verb of that name.
#undef Status

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tovimo::media {

namespace {

using Clock = std::chrono::steady_clock;

// Bounds on waiting for the engine: generous for a loaded machine, but a
// broken file can never hang the caller.
constexpr auto kOpenTimeout = std::chrono::seconds(10);
constexpr auto kSeekTimeout = std::chrono::seconds(5);

struct ObjectUnref {
    void operator()(gpointer object) const {
        if (object)
            gst_object_unref(object);
    }
};
struct MessageUnref {
    void operator()(GstMessage* message) const {
        if (message)
            gst_message_unref(message);
    }
};
struct CapsUnref {
    void operator()(GstCaps* caps) const {
        if (caps)
            gst_caps_unref(caps);
    }
};
using ElementPtr = std::unique_ptr<GstElement, ObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, ObjectUnref>;
using PadPtr = std::unique_ptr<GstPad, ObjectUnref>;
using MessagePtr = std::unique_ptr<GstMessage, MessageUnref>;
using CapsPtr = std::unique_ptr<GstCaps, CapsUnref>;

std::atomic<int> lastXError{0};

// Late draws into a window that has just gone must not end the process, as
// Xlib's default handler would.
int keepGoingOnXError(Display*, XErrorEvent* event) {
    lastXError = event->error_code;
    return 0;
}

void installXErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { XSetErrorHandler(keepGoingOnXError); });
}

// The probing connection stays open for the process: closing the only
// client of an X server started without -noreset (Xvfb) makes it reset, and
// the video sink's own connection, opened next, would be refused.
bool displayAvailable() {
    static const bool available = [] {
        const char* name = std::getenv("DISPLAY");
        return name && *name && XOpenDisplay(nullptr) != nullptr;
    }();
    return available;
}

// The scaling sink of real desktops when it works here, else the plain one.
const char* videoSinkName() {
    static const char* name = [] {
        ElementPtr sink(gst_element_factory_make("xvimagesink", nullptr));
        if (sink) {
            gst_object_ref_sink(sink.get());
            const bool usable =
                gst_element_set_state(sink.get(), GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
            gst_element_set_state(sink.get(), GST_STATE_NULL);
            if (usable)
                return "xvimagesink";
        }
        return "ximagesink";
    }();
    return name;
}

bool audioDeviceAvailable() {
    static const bool available = [] {
        std::unique_ptr<GstDeviceMonitor, ObjectUnref> monitor(gst_device_monitor_new());
        gst_device_monitor_add_filter(monitor.get(), "Audio/Sink", nullptr);
        GList* devices = gst_device_monitor_get_devices(monitor.get());
        const bool any = devices != nullptr;
        g_list_free_full(devices, gst_object_unref);
        return any;
    }();
    return available;
}

const char* soundFontPath() {
    static const char* const candidates[] = {
        "/usr/share/sounds/sf2/default-GM.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2",
    };
    for (const char* path : candidates)
        if (::access(path, R_OK) == 0)
            return path;
    return nullptr;
}

// The synthesiser's own gain is too quiet to hear beside other media.
void onElementSetup(GstElement*, GstElement* element, gpointer) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || std::strcmp(GST_OBJECT_NAME(factory), "fluiddec") != 0)
        return;
    if (const char* font = soundFontPath())
        g_object_set(element, "soundfont", font, nullptr);
    g_object_set(element, "synth-gain", 1.0, nullptr);
}

// An X11 window inside a foreign parent, on a connection of its own.
class ChildWindow {
public:
    static std::unique_ptr<ChildWindow> create(std::uint32_t parent) {
        installXErrorHandler();
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            return nullptr;
        lastXError = 0;
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, parent, &attributes) || lastXError != 0) {
            XCloseDisplay(display);
            return nullptr;
        }
        const unsigned width = std::max(attributes.width, 1);
        const unsigned height = std::max(attributes.height, 1);
        const Window window = XCreateSimpleWindow(display, parent, 0, 0, width, height, 0, 0,
                                                  BlackPixel(display, DefaultScreen(display)));
        XMapWindow(display, window);
        XSync(display, False);
        if (lastXError != 0) {
            XCloseDisplay(display);
            return nullptr;
        }
        return std::unique_ptr<ChildWindow>(
            new ChildWindow(display, window, static_cast<int>(width), static_cast<int>(height)));
    }

    ~ChildWindow() {
        XDestroyWindow(display_, window_);
        XSync(display_, False);
        XCloseDisplay(display_);
    }
    ChildWindow(const ChildWindow&) = delete;
    ChildWindow& operator=(const ChildWindow&) = delete;

    unsigned long id() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void place(int x, int y, int width, int height) {
        width_ = std::max(width, 1);
        height_ = std::max(height, 1);
        XMoveResizeWindow(display_, window_, x, y, static_cast<unsigned>(width_),
                          static_cast<unsigned>(height_));
        XSync(display_, False);
    }

    void show(bool visible) {
        if (visible)
            XMapWindow(display_, window_);
        else
            XUnmapWindow(display_, window_);
        XSync(display_, False);
    }

private:
    ChildWindow(Display* display, Window window, int width, int height)
        : display_(display), window_(window), width_(width), height_(height) {}

    Display* display_;
    Window window_;
    int width_;
    int height_;
};

enum class Mode { Stopped, Playing, Paused };

const char* modeText(Mode mode) {
    switch (mode) {
    case Mode::Playing:
        return "playing";
    case Mode::Paused:
        return "paused";
    case Mode::Stopped:
        break;
    }
    return "stopped";
}

std::string rectText(const Rect& rect) {
    return std::to_string(rect.x) + ' ' + std::to_string(rect.y) + ' ' + std::to_string(rect.width) + ' ' +
           std::to_string(rect.height);
}

std::vector<std::uint8_t> readStretch(int fd, off_t offset, std::size_t size) {
    std::vector<std::uint8_t> data(size);
    const ssize_t got = ::pread(fd, data.data(), size, offset);
    data.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return data;
}

// The demuxer estimates a program stream's length from its clock references,
// short of the last frames; the time stamps at both ends are exact.
std::optional<std::int64_t> programStreamLengthOf(const std::string& path, double frameMs) {
    constexpr std::size_t kStretch = 512 * 1024;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<std::int64_t> length;
    if (::fstat(fd, &info) == 0) {
        const auto start = readStretch(fd, 0, 4);
        const auto head = isProgramStream(start.data(), start.size()) ? readStretch(fd, 0, kStretch) : start;
        if (isProgramStream(head.data(), head.size()) && head.size() > start.size()) {
            const off_t tailStart = std::max<off_t>(0, info.st_size - static_cast<off_t>(kStretch));
            const auto tail = readStretch(fd, tailStart, kStretch);
            length = programStreamLength(head.data(), head.size(), tail.data(), tail.size(), frameMs);
        }
    }
    ::close(fd);
    return length;
}

} // namespace

struct MpegVideoDevice::Engine {
    ElementPtr pipeline;
    ElementPtr videoSink;
    BusPtr bus;
    std::unique_ptr<GstStreamCollection, ObjectUnref> streams;
    std::unique_ptr<ChildWindow> child;

    Mode mode = Mode::Stopped;
    std::int64_t lengthMs = 0;
    bool lengthFixed = false;
    bool atEnd = false;
    std::int64_t endMs = 0;
    std::int64_t lastPositionMs = 0;
    std::optional<std::int32_t> playTo;
    bool repeat = false;
    std::int64_t repeatFrom = 0;
    bool failed = false;
    std::int32_t volume = 1000;

    bool hasVideo = false;
    int videoWidth = 0;
    int videoHeight = 0;
    double frameMs = 0;
    Rect destination;

    ~Engine() {
        if (pipeline)
            gst_element_set_state(pipeline.get(), GST_STATE_NULL);
        videoSink.reset();
        pipeline.reset();
        child.reset();
    }

    bool queryLength() {
        gint64 duration = 0;
        if (!gst_element_query_duration(pipeline.get(), GST_FORMAT_TIME, &duration) || duration <= 0)
            return false;
        lengthMs = duration / GST_MSECOND;
        return true;
    }

    std::int64_t positionMs() {
        if (atEnd)
            return endMs;
        gint64 position = 0;
        if (gst_element_query_position(pipeline.get(), GST_FORMAT_TIME, &position) && position >= 0)
            lastPositionMs = std::clamp<std::int64_t>(position / GST_MSECOND, 0, lengthMs);
        return lastPositionMs;
    }

    bool seek(std::int64_t startMs, std::optional<std::int64_t> stopMs) {
        const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
        const gint64 stop = stopMs ? *stopMs * GST_MSECOND : static_cast<gint64>(GST_CLOCK_TIME_NONE);
        return gst_element_seek(pipeline.get(), 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                                startMs * GST_MSECOND, GST_SEEK_TYPE_SET, stop);
    }

    void reachEnd() {
        gst_element_set_state(pipeline.get(), GST_STATE_PAUSED);
        mode = Mode::Stopped;
        atEnd = true;
        endMs = playTo ? *playTo : lengthMs;
    }

    void handle(GstMessage* message) {
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_EOS:
            if (repeat && mode == Mode::Playing && seek(repeatFrom, playTo))
                break;
            reachEnd();
            break;
        case GST_MESSAGE_ERROR:
            failed = true;
            gst_element_set_state(pipeline.get(), GST_STATE_PAUSED);
            mode = Mode::Stopped;
            break;
        case GST_MESSAGE_STREAM_COLLECTION: {
            GstStreamCollection* collection = nullptr;
            gst_message_parse_stream_collection(message, &collection);
            streams.reset(collection);
            break;
        }
        case GST_MESSAGE_DURATION_CHANGED:
            if (!lengthFixed)
                queryLength();
            break;
        default:
            break;
        }
    }

    // Reads every message waiting on the bus.
    void pumpBus() {
        while (MessagePtr message{gst_bus_pop(bus.get())})
            handle(message.get());
    }

    // Reads messages until one of `types` comes from the pipeline (errors
    // from any element end the wait) or the time runs out. Returns the type
    // that ended the wait, or GST_MESSAGE_UNKNOWN on time-out.
    GstMessageType waitFor(int types, Clock::duration timeout) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            const auto left = deadline - Clock::now();
            if (left <= Clock::duration::zero())
                return GST_MESSAGE_UNKNOWN;
            const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            MessagePtr message{gst_bus_timed_pop(bus.get(), static_cast<GstClockTime>(wait))};
            if (!message)
                continue;
            const GstMessageType type = GST_MESSAGE_TYPE(message.get());
            handle(message.get());
            if (type == GST_MESSAGE_ERROR)
                return type;
            if ((type & types) && GST_MESSAGE_SRC(message.get()) == GST_OBJECT(pipeline.get()))
                return type;
        }
    }

    // Seeks while not playing and waits until the new frame is shown.
    bool seekPaused(std::int64_t targetMs, std::optional<std::int64_t> stopMs = std::nullopt) {
        // Leaving PLAYING completes first, so that the preroll awaited below
        // is the one after the seek.
        if (gst_element_set_state(pipeline.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_ASYNC)
            gst_element_get_state(pipeline.get(), nullptr, nullptr,
                                  std::chrono::duration_cast<std::chrono::nanoseconds>(kSeekTimeout).count());
        if (!seek(targetMs, stopMs))
            return false;
        const auto ended = waitFor(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_EOS, kSeekTimeout);
        return ended != GST_MESSAGE_ERROR && ended != GST_MESSAGE_UNKNOWN;
    }

    // Makes the sink read the window's new size and ask upstream for frames
    // of that size (the scaler before it does the work).
    void fitVideoToWindow() {
        if (!videoSink || !GST_IS_VIDEO_OVERLAY(videoSink.get()))
            return;
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(videoSink.get()));
        PadPtr pad(gst_element_get_static_pad(videoSink.get(), "sink"));
        if (pad)
            gst_pad_push_event(pad.get(), gst_event_new_reconfigure());
    }

    // From the streams the engine found; their caps come from the parsers,
    // so they carry the picture size and rate.
    void readVideoFormat() {
        hasVideo = false;
        if (!streams)
            return;
        const guint count = gst_stream_collection_get_size(streams.get());
        for (guint i = 0; i < count && !hasVideo; ++i) {
            GstStream* stream = gst_stream_collection_get_stream(streams.get(), i);
            if (!(gst_stream_get_stream_type(stream) & GST_STREAM_TYPE_VIDEO))
                continue;
            hasVideo = true;
            CapsPtr caps(gst_stream_get_caps(stream));
            const GstStructure* format =
                caps && gst_caps_get_size(caps.get()) > 0 ? gst_caps_get_structure(caps.get(), 0) : nullptr;
            if (!format)
                continue;
            gst_structure_get_int(format, "width", &videoWidth);
            gst_structure_get_int(format, "height", &videoHeight);
            gint numerator = 0;
            gint denominator = 0;
            if (gst_structure_get_fraction(format, "pixel-aspect-ratio", &numerator, &denominator) &&
                numerator > 0 && denominator > 0)
                videoWidth = static_cast<int>(static_cast<gint64>(videoWidth) * numerator / denominator);
            if (gst_structure_get_fraction(format, "framerate", &numerator, &denominator) && numerator > 0)
                frameMs = 1000.0 * denominator / numerator;
        }
    }
};

namespace {

std::uint32_t checkFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG ? kFileNotFound : kInternalError;
    // FIFOs and device nodes would block or stream forever in the file source.
    if (!S_ISREG(info.st_mode) || info.st_size == 0)
        return kInternalError;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return kInternalError;
    ::close(fd);
    return kOk;
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/')
        return path;
    std::vector<char> cwd(4096);
    if (!::getcwd(cwd.data(), cwd.size()))
        return path;
    return std::string(cwd.data()) + '/' + path;
}

} // namespace

void initializeMediaProcess() {
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        installXErrorHandler();
        if (!gst_is_initialized())
            gst_init(nullptr, nullptr);
    });
}

MpegVideoDevice::MpegVideoDevice(std::unique_ptr<Engine> engine) : engine_(std::move(engine)) {}

MpegVideoDevice::~MpegVideoDevice() = default;

std::uint32_t MpegVideoDevice::open(const VideoDeviceOptions& options,
                                    std::unique_ptr<MpegVideoDevice>& device) {
    initializeMediaProcess();
    std::string path = options.element;
    if (looksLikeFileUri(options.element)) {
        const auto decoded = pathOfFileUri(options.element);
        if (!decoded)
            return kFileNotFound;
        path = *decoded;
    }
    if (const auto code = checkFile(path); code != kOk)
        return code;

    auto engine = std::make_unique<Engine>();
    engine->pipeline.reset(gst_element_factory_make("playbin3", nullptr));
    if (!engine->pipeline)
        return kCannotLoadDriver;
    gst_object_ref_sink(engine->pipeline.get());
    GstElement* playbin = engine->pipeline.get();
    engine->bus.reset(gst_element_get_bus(playbin));

    // With no display the media still plays, without video output; a null
    // parent handle means no parent.
    const bool display = displayAvailable();
    const bool embedded = display && options.parent.value_or(0) != 0 && (options.style & kChildStyle);
    engine->videoSink.reset(gst_element_factory_make(display ? videoSinkName() : "fakesink", nullptr));
    if (GstElement* videoSink = engine->videoSink.get()) {
        gst_object_ref_sink(videoSink);
        if (!display)
            g_object_set(videoSink, "sync", TRUE, nullptr);
        g_object_set(playbin, "video-sink", videoSink, nullptr);
    }
    if (!audioDeviceAvailable()) {
        if (GstElement* audioSink = gst_element_factory_make("fakeaudiosink", nullptr))
            g_object_set(playbin, "audio-sink", audioSink, nullptr);
    }
    g_signal_connect(playbin, "element-setup", G_CALLBACK(onElementSetup), nullptr);
    const std::string uri = fileUriOf(absolutePath(path));
    g_object_set(playbin, "uri", uri.c_str(), nullptr);

    if (embedded) {
        engine->child = ChildWindow::create(*options.parent);
        if (!engine->child)
            return kCreateWindow;
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(playbin), engine->child->id());
    }

    const GstStateChangeReturn change = gst_element_set_state(playbin, GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_FAILURE)
        return kInternalError;
    if (change == GST_STATE_CHANGE_ASYNC &&
        engine->waitFor(GST_MESSAGE_ASYNC_DONE, kOpenTimeout) != GST_MESSAGE_ASYNC_DONE)
        return kInternalError;
    engine->pumpBus();
    if (engine->failed)
        return kInternalError;
    if (!engine->queryLength()) {
        engine->waitFor(GST_MESSAGE_DURATION_CHANGED, std::chrono::seconds(2));
        if (!engine->queryLength())
            return kInternalError;
    }
    engine->readVideoFormat();
    if (const auto length = programStreamLengthOf(path, engine->frameMs)) {
        engine->lengthMs = std::max(engine->lengthMs, *length);
        engine->lengthFixed = true;
        // Before its first seek the demuxer counts from its first clock
        // reference, not from the first frame.
        if (!engine->seekPaused(0))
            return kInternalError;
    }
    if (engine->child) {
        engine->destination = Rect{0, 0, engine->child->width(), engine->child->height()};
        if (!engine->hasVideo)
            engine->child->show(false);
    } else {
        engine->destination = Rect{0, 0, engine->videoWidth, engine->videoHeight};
    }
    device.reset(new MpegVideoDevice(std::move(engine)));
    return kOk;
}

void MpegVideoDevice::poll() {
    engine_->pumpBus();
}

std::uint32_t MpegVideoDevice::execute(const Command& command, std::string& reply) {
    Engine& e = *engine_;
    GstElement* pipeline = e.pipeline.get();
    e.pumpBus();
    reply.clear();
    switch (command.verb) {
    case Verb::Play: {
        if (e.failed)
            return kInternalError;
        if ((command.from && *command.from > e.lengthMs) || (command.to && *command.to > e.lengthMs))
            return kOutOfRange;
        if (command.repeat && command.wait)
            return kFlagsNotCompatible;
        const bool restart = e.atEnd && e.endMs >= e.lengthMs;
        const std::int64_t start = command.from ? *command.from : restart ? 0 : e.positionMs();
        if (command.to && start > *command.to)
            return kOutOfRange;
        const bool needsSeek = command.from || command.to || e.atEnd || e.playTo || command.repeat;
        e.playTo = command.to;
        e.repeat = command.repeat;
        e.repeatFrom = start;
        // Waiting for the seek keeps the position right for the next query.
        if (needsSeek &&
            !e.seekPaused(start, command.to ? std::optional<std::int64_t>(*command.to) : std::nullopt))
            return kInternalError;
        e.atEnd = false;
        e.mode = Mode::Playing;
        if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return kInternalError;
        if (command.wait) {
            const std::int64_t stop = command.to ? *command.to : e.lengthMs;
            const auto bound = std::chrono::milliseconds(2 * (stop - start) + 10000);
            if (e.waitFor(GST_MESSAGE_EOS, bound) == GST_MESSAGE_ERROR)
                return kInternalError;
        }
        return kOk;
    }
    case Verb::Pause:
        if (e.mode == Mode::Playing) {
            gst_element_set_state(pipeline, GST_STATE_PAUSED);
            e.mode = Mode::Paused;
        }
        return kOk;
    case Verb::Resume:
        if (e.mode == Mode::Paused) {
            if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
                return kInternalError;
            e.mode = Mode::Playing;
        }
        return kOk;
    case Verb::Stop:
        if (e.mode != Mode::Stopped) {
            gst_element_set_state(pipeline, GST_STATE_PAUSED);
            e.mode = Mode::Stopped;
        }
        return kOk;
    case Verb::Seek: {
        const std::int64_t target = command.seekTarget == SeekTarget::Start ? 0
                                    : command.seekTarget == SeekTarget::End ? e.lengthMs
                                                                            : command.seekPosition;
        if (target > e.lengthMs)
            return kOutOfRange;
        e.mode = Mode::Stopped;
        e.playTo.reset();
        e.repeat = false;
        e.atEnd = false;
        e.failed = false;
        if (!e.seekPaused(target))
            return kInternalError;
        if (target >= e.lengthMs) {
            e.atEnd = true;
            e.endMs = e.lengthMs;
        }
        e.lastPositionMs = target;
        return kOk;
    }
    case Verb::SetAudio:
        e.volume = command.volume;
        gst_stream_volume_set_volume(GST_STREAM_VOLUME(pipeline), GST_STREAM_VOLUME_FORMAT_CUBIC,
                                     command.volume / 1000.0);
        return kOk;
    case Verb::Status:
        switch (command.statusItem) {
        case StatusItem::Length:
            reply = std::to_string(e.lengthMs);
            break;
        case StatusItem::Position:
            reply = std::to_string(e.positionMs());
            break;
        case StatusItem::Volume:
            reply = std::to_string(e.volume);
            break;
        case StatusItem::Mode:
            reply = modeText(e.mode);
            break;
        case StatusItem::Ready:
        case StatusItem::MediaPresent:
            reply = "true";
            break;
        case StatusItem::TimeFormat:
            reply = "milliseconds";
            break;
        }
        return kOk;
    case Verb::Set:
        return kOk; // milliseconds is the only time format, checked by the parser
    case Verb::Where:
        if (!e.hasVideo)
            return kNoWindow;
        reply = command.rectTarget == RectTarget::Source ? rectText(Rect{0, 0, e.videoWidth, e.videoHeight})
                                                         : rectText(e.destination);
        return kOk;
    case Verb::Put:
        // Audio-only media have nothing to place; the sizing succeeds so that
        // playing goes on.
        if (!e.hasVideo)
            return kOk;
        e.destination = command.rect;
        if (e.child) {
            e.child->place(command.rect.x, command.rect.y, command.rect.width, command.rect.height);
            e.destination.width = e.child->width();
            e.destination.height = e.child->height();
            e.fitVideoToWindow();
            // The sink only rescales at its next frame: show one now.
            if (e.mode != Mode::Playing && !e.atEnd && !e.seekPaused(e.positionMs()))
                return kInternalError;
        }
        return kOk;
    case Verb::Window:
        if (!e.hasVideo)
            return kNoWindow;
        if (e.child)
            e.child->show(command.show);
        return kOk;
    case Verb::Open:
    case Verb::Close:
        break;
    }
    return kUnrecognizedCommand;
}

} // namespace tovimo::media
