#include "platform/media/playback.h"

#include "platform/media/error_codes.h"
#include "platform/media/output_chain.h"
#include "platform/media/program_stream.h"
#include "platform/media/short_path.h"

#include <gst/audio/streamvolume.h>
#include <gst/base/gstbasetransform.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#define GST_CAT_DEFAULT tovimo_debug

namespace tovimo::media {

namespace {

// Bounds on waiting for the engine: generous for a loaded machine, but a
// stalled read can never hang the caller.
constexpr auto kOpenTimeout = std::chrono::seconds(10);
constexpr auto kSeekTimeout = std::chrono::seconds(5);
// Where a seek to the length lands when the frame rate is not known.
constexpr double kDefaultFrameMs = 40;

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

// Files the engine must not be given; `reason` says why.
std::uint32_t checkFile(const std::string& path, std::string& reason) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        reason = std::strerror(errno);
        return errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG ? kFileNotFound : kInternalError;
    }
    // FIFOs and device nodes would block or stream forever in the file source.
    if (!S_ISREG(info.st_mode)) {
        reason = S_ISDIR(info.st_mode) ? "a folder, not a file" : "not a regular file";
        return kInternalError;
    }
    if (info.st_size == 0) {
        reason = "the file is empty";
        return kInternalError;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return kInternalError;
    }
    ::close(fd);
    return kOk;
}

bool hasAudioOrVideo(GstStreamCollection* streams) {
    const guint count = gst_stream_collection_get_size(streams);
    for (guint i = 0; i < count; ++i)
        if (gst_stream_get_stream_type(gst_stream_collection_get_stream(streams, i)) &
            (GST_STREAM_TYPE_AUDIO | GST_STREAM_TYPE_VIDEO))
            return true;
    return false;
}

// Orientations that swap the picture's width and height.
bool turnsSideways(const GstTagList* tags) {
    gchar* orientation = nullptr;
    if (!tags || !gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &orientation))
        return false;
    const GStringPtr owned(orientation);
    const std::string value = orientation;
    return value.ends_with("rotate-90") || value.ends_with("rotate-270");
}

std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

PlaybackFailure failureOf(GstMessage* message) {
    PlaybackFailure failure;
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const ErrorPtr ownedError(error);
    const GStringPtr ownedDebug(debug);
    if (error)
        failure.message = error->message;
    if (debug)
        failure.debug = oneLine(debug);
    if (GST_MESSAGE_SRC(message)) {
        const GStringPtr path(gst_object_get_path_string(GST_MESSAGE_SRC(message)));
        failure.element = path.get();
    }
    return failure;
}

// The decoding bin inside playbin3's URI decoder, or null.
ElementPtr decodeBinIn(GstElement* playbin) {
    ElementPtr found;
    GstIterator* children = gst_bin_iterate_recurse(GST_BIN(playbin));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(element);
        if (factory && std::strcmp(GST_OBJECT_NAME(factory), "decodebin3") == 0)
            found.reset(GST_ELEMENT(gst_object_ref(element)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(children);
    return found;
}

} // namespace

std::string PlaybackFailure::describe() const {
    std::string text = message;
    const auto add = [&text](std::string_view separator, std::string_view before, const std::string& part,
                             std::string_view after) {
        if (part.empty())
            return;
        if (!text.empty())
            text.append(separator);
        text.append(before).append(part).append(after);
    };
    add("; ", "missing: ", missingPlugin, "");
    add(" ", "[", element, "]");
    // The debug text repeats the source file, function and element path
    // before its own words: only those words are worth a line.
    std::string detail = debug;
    if (const auto at = element.empty() ? std::string::npos : detail.rfind(element + ':');
        at != std::string::npos)
        detail.erase(0, at + element.size() + 1);
    else if (!element.empty() && detail.ends_with(element))
        detail.clear();
    while (!detail.empty() && detail.front() == ' ')
        detail.erase(0, 1);
    add(": ", "", detail, "");
    return text;
}

std::uint32_t Playback::open(const PlaybackOptions& options, std::unique_ptr<Playback>& playback,
                             std::optional<PlaybackFailure>& failure) {
    initializeMediaProcess();
    failure.reset();
    std::string path = options.element;
    if (looksLikeFileUri(options.element)) {
        const auto decoded = pathOfFileUri(options.element);
        if (!decoded)
            return kFileNotFound;
        path = *decoded;
    }
    if (std::string reason; const auto code = checkFile(path, reason)) {
        failure = PlaybackFailure{reason, {}, {}, {}};
        return code;
    }

    std::unique_ptr<Playback> made(new Playback);
    made->pipeline_.reset(gst_element_factory_make("playbin3", nullptr));
    if (!made->pipeline_)
        return kCannotLoadDriver;
    gst_object_ref_sink(made->pipeline_.get());
    GstElement* playbin = made->pipeline_.get();
    made->bus_.reset(gst_element_get_bus(playbin));

    // With no display the media still plays, without video output; a null
    // parent handle means no parent.
    const bool display = x11DisplayAvailable();
    const bool embedded = display && options.parent.value_or(0) != 0 && (options.style & kChildStyle);
    made->videoSink_.reset(gst_element_factory_make(display ? videoSinkName() : "fakesink", nullptr));
    if (GstElement* videoSink = made->videoSink_.get()) {
        gst_object_ref_sink(videoSink);
        if (!display)
            g_object_set(videoSink, "sync", TRUE, nullptr);
        if (GstElement* output = display ? videoOutputFor(videoSink) : nullptr) {
            g_object_set(playbin, "video-sink", output, nullptr);
            setPlayFlags(playbin, kPlayFlagNativeVideo, true);
        } else {
            g_object_set(playbin, "video-sink", videoSink, nullptr);
            // Phones store upright video lying on its side with a tag saying so.
            if (GstElement* flip = makeAutoFlip())
                g_object_set(playbin, "video-filter", flip, nullptr);
        }
    }
    if (!audioDeviceAvailable()) {
        if (GstElement* audioSink = gst_element_factory_make("fakeaudiosink", nullptr)) {
            g_object_set(playbin, "audio-sink", audioSink, nullptr);
            // The sink has a volume of its own. playbin's software volume
            // element is never freed with its pipeline (GStreamer 1.22), a
            // few kilobytes lost at every open.
            setPlayFlags(playbin, kPlayFlagSoftVolume, false);
        }
    }
    g_signal_connect(playbin, "element-setup", G_CALLBACK(onElementSetup), nullptr);
    const std::string uri = fileUriOf(path);
    g_object_set(playbin, "uri", uri.c_str(), nullptr);

    if (embedded) {
        made->child_ = X11ChildWindow::create(*options.parent);
        if (!made->child_)
            return kCreateWindow;
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(playbin), made->child_->id());
    }

    const auto code = made->preroll(path);
    if (code != kOk) {
        failure = made->failure_;
        GST_CAT_INFO(tovimo_debug, "open %s failed with %u: %s", path.c_str(), code,
                     failure ? failure->describe().c_str() : "no reason given");
        return code;
    }
    GST_CAT_DEBUG(tovimo_debug, "opened %s: %" G_GINT64_FORMAT " ms, video %dx%d", path.c_str(),
                  made->lengthMs_, made->videoWidth_, made->videoHeight_);
    playback = std::move(made);
    return kOk;
}

// playbin3's URI decoder starts its source before it brings the decoding
// bin to PAUSED. The first stream can reach the decoding bin in that gap: the
// element it then adds for the stream takes the bin's READY state, refuses
// the first buffer as flushing, and the stream stops there with no error, so
// the preroll would only time out. The decoding bin is therefore brought to
// PAUSED on its own first, and left out of the pipeline's change meanwhile.
GstStateChangeReturn Playback::startPaused() {
    GstElement* playbin = pipeline_.get();
    const ElementPtr decoding = decodeBinIn(playbin);
    if (decoding) {
        gst_element_set_locked_state(decoding.get(), TRUE);
        if (gst_element_set_state(decoding.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
            gst_element_set_locked_state(decoding.get(), FALSE);
            return GST_STATE_CHANGE_FAILURE;
        }
    }
    const GstStateChangeReturn change = gst_element_set_state(playbin, GST_STATE_PAUSED);
    if (decoding)
        gst_element_set_locked_state(decoding.get(), FALSE);
    return change;
}

std::uint32_t Playback::preroll(const std::string& path) {
    const GstStateChangeReturn change = startPaused();
    if (change == GST_STATE_CHANGE_FAILURE) {
        takeMessages();
        return kInternalError;
    }
    if (change == GST_STATE_CHANGE_ASYNC &&
        waitFor(GST_MESSAGE_ASYNC_DONE, kOpenTimeout) != GST_MESSAGE_ASYNC_DONE)
        return kInternalError;
    takeMessages();
    if (failure_ || unplayable_)
        return kInternalError;
    if (!queryLength()) {
        waitFor(GST_MESSAGE_DURATION_CHANGED, std::chrono::seconds(2));
        if (!queryLength())
            return kInternalError;
    }
    readVideoFormat();
    if (const auto length = programStreamLengthOf(path, frameMs_)) {
        lengthMs_ = std::max(lengthMs_, *length);
        lengthFixed_ = true;
        // Before its first seek the demuxer counts from its first clock
        // reference, not from the first frame.
        if (!seekPaused(0))
            return kInternalError;
    }
    if (child_) {
        destination_ = Rect{0, 0, child_->width(), child_->height()};
        if (!hasVideo_)
            child_->show(false);
    } else {
        destination_ = source();
    }
    return kOk;
}

Playback::~Playback() {
    if (pipeline_)
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    videoSink_.reset();
    pipeline_.reset();
    child_.reset();
}

bool Playback::queryLength() {
    gint64 duration = 0;
    if (!gst_element_query_duration(pipeline_.get(), GST_FORMAT_TIME, &duration) || duration <= 0)
        return false;
    lengthMs_ = duration / GST_MSECOND;
    return true;
}

std::int64_t Playback::positionMs() {
    if (endedAtMs_)
        return *endedAtMs_;
    gint64 position = 0;
    if (gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &position) && position >= 0)
        lastPositionMs_ = std::clamp<std::int64_t>(position / GST_MSECOND, 0, lengthMs_);
    return lastPositionMs_;
}

std::int64_t Playback::lastFrameMs() const {
    const double frame = frameMs_ > 0 ? frameMs_ : kDefaultFrameMs;
    return std::max<std::int64_t>(0, lengthMs_ - static_cast<std::int64_t>(frame));
}

Rect Playback::source() const {
    return turned_ ? Rect{0, 0, videoHeight_, videoWidth_} : Rect{0, 0, videoWidth_, videoHeight_};
}

bool Playback::seekTo(std::int64_t startMs, std::optional<std::int64_t> stopMs) {
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    const gint64 stop = stopMs ? *stopMs * GST_MSECOND : static_cast<gint64>(GST_CLOCK_TIME_NONE);
    return gst_element_seek(pipeline_.get(), 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                            startMs * GST_MSECOND, GST_SEEK_TYPE_SET, stop);
}

void Playback::reachEnd() {
    gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
    mode_ = PlaybackMode::Stopped;
    endedAtMs_ = playTo_ ? *playTo_ : lengthMs_;
}

void Playback::fail(PlaybackFailure failure) {
    if (failure.missingPlugin.empty())
        failure.missingPlugin = missingPlugin_;
    GST_CAT_INFO(tovimo_debug, "engine failed: %s", failure.describe().c_str());
    failure_ = std::move(failure);
}

void Playback::handle(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        if (repeat_ && mode_ == PlaybackMode::Playing && seekTo(repeatFromMs_, playTo_))
            break;
        reachEnd();
        break;
    case GST_MESSAGE_ERROR:
        fail(failureOf(message));
        gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
        mode_ = PlaybackMode::Stopped;
        break;
    case GST_MESSAGE_ELEMENT:
        // A file that is recognised but has no demuxer or decoder here (a
        // compressed archive, a program) posts no error: the preroll would
        // only time out. Unless audio or video was found, nothing can play.
        if (gst_is_missing_plugin_message(message)) {
            const GStringPtr description(gst_missing_plugin_message_get_description(message));
            missingPlugin_ = description ? description.get() : "a plugin";
            GST_CAT_INFO(tovimo_debug, "missing plugin: %s", missingPlugin_.c_str());
            // A missing piece beside playable audio or video (a subtitle
            // format, say) leaves the rest to play.
            if (!unplayable_ && (!streams_ || !hasAudioOrVideo(streams_.get()))) {
                unplayable_ = true;
                PlaybackFailure missing;
                if (GST_MESSAGE_SRC(message)) {
                    const GStringPtr path(gst_object_get_path_string(GST_MESSAGE_SRC(message)));
                    missing.element = path.get();
                }
                fail(std::move(missing));
            }
        }
        break;
    case GST_MESSAGE_STREAM_COLLECTION: {
        GstStreamCollection* collection = nullptr;
        gst_message_parse_stream_collection(message, &collection);
        streams_.reset(collection);
        if (collection && gst_stream_collection_get_size(collection) > 0 && !hasAudioOrVideo(collection) &&
            !unplayable_) {
            unplayable_ = true;
            fail(PlaybackFailure{"the file holds neither audio nor video", {}, {}, {}});
        }
        break;
    }
    case GST_MESSAGE_DURATION_CHANGED:
        if (!lengthFixed_)
            queryLength();
        break;
    default:
        break;
    }
}

void Playback::takeMessages() {
    while (MessagePtr message{gst_bus_pop(bus_.get())})
        handle(message.get());
}

// Reads messages until one of `types` comes from the pipeline (a duration
// change from any element) or the time runs out. Errors from any element,
// and a file found unplayable, end the wait at once. Returns the type that
// ended the wait: GST_MESSAGE_ERROR for a failure, GST_MESSAGE_UNKNOWN on
// time-out.
GstMessageType Playback::waitFor(int types, Clock::duration timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return GST_MESSAGE_UNKNOWN;
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        MessagePtr message{gst_bus_timed_pop(bus_.get(), static_cast<GstClockTime>(wait))};
        if (!message)
            continue;
        const GstMessageType type = GST_MESSAGE_TYPE(message.get());
        handle(message.get());
        if (type == GST_MESSAGE_ERROR || unplayable_)
            return GST_MESSAGE_ERROR;
        // A bin keeps its children's ASYNC_DONE and EOS to itself and posts
        // its own, but passes a parser's DURATION_CHANGED up as it is.
        if ((type & types) && (type == GST_MESSAGE_DURATION_CHANGED ||
                               GST_MESSAGE_SRC(message.get()) == GST_OBJECT(pipeline_.get())))
            return type;
    }
}

// Seeks while not playing and waits until the new frame is shown.
bool Playback::seekPaused(std::int64_t targetMs, std::optional<std::int64_t> stopMs) {
    // Leaving PLAYING completes first, so that the preroll awaited below is
    // the one after the seek.
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_ASYNC)
        gst_element_get_state(pipeline_.get(), nullptr, nullptr,
                              std::chrono::duration_cast<std::chrono::nanoseconds>(kSeekTimeout).count());
    if (!seekTo(targetMs, stopMs))
        return false;
    const auto ended = waitFor(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_EOS, kSeekTimeout);
    return ended != GST_MESSAGE_ERROR && ended != GST_MESSAGE_UNKNOWN;
}

// Makes the sink read the window's new size and ask upstream for frames of
// that size (the scaler before it does the work).
void Playback::fitVideoToWindow() {
    if (!videoSink_ || !GST_IS_VIDEO_OVERLAY(videoSink_.get()))
        return;
    gst_video_overlay_expose(GST_VIDEO_OVERLAY(videoSink_.get()));
    PadPtr pad(gst_element_get_static_pad(videoSink_.get(), "sink"));
    if (pad)
        gst_pad_push_event(pad.get(), gst_event_new_reconfigure());
}

// From the streams the engine found; their caps come from the parsers, so
// they carry the picture size and rate, and their tags the orientation.
void Playback::readVideoFormat() {
    hasVideo_ = false;
    if (!streams_)
        return;
    const guint count = gst_stream_collection_get_size(streams_.get());
    for (guint i = 0; i < count && !hasVideo_; ++i) {
        GstStream* stream = gst_stream_collection_get_stream(streams_.get(), i);
        if (!(gst_stream_get_stream_type(stream) & GST_STREAM_TYPE_VIDEO))
            continue;
        hasVideo_ = true;
        const TagListPtr tags(gst_stream_get_tags(stream));
        turned_ = turnsSideways(tags.get());
        const CapsPtr caps(gst_stream_get_caps(stream));
        const GstStructure* format =
            caps && gst_caps_get_size(caps.get()) > 0 ? gst_caps_get_structure(caps.get(), 0) : nullptr;
        if (!format)
            continue;
        gst_structure_get_int(format, "width", &videoWidth_);
        gst_structure_get_int(format, "height", &videoHeight_);
        gint numerator = 0;
        gint denominator = 0;
        if (gst_structure_get_fraction(format, "pixel-aspect-ratio", &numerator, &denominator) &&
            numerator > 0 && denominator > 0)
            videoWidth_ = static_cast<int>(static_cast<gint64>(videoWidth_) * numerator / denominator);
        if (gst_structure_get_fraction(format, "framerate", &numerator, &denominator) && numerator > 0)
            frameMs_ = 1000.0 * denominator / numerator;
    }
}

std::uint32_t Playback::play(std::optional<std::int32_t> from, std::optional<std::int32_t> to, bool repeat,
                             bool wait) {
    if (failure_)
        return kInternalError;
    if ((from && *from > lengthMs_) || (to && *to > lengthMs_))
        return kOutOfRange;
    if (repeat && wait)
        return kFlagsNotCompatible;
    const std::int64_t start = from ? *from : positionMs();
    if (to && start > *to)
        return kOutOfRange;
    // Playing from the end plays nothing: the media stays at its end.
    if (start >= lengthMs_) {
        if (mode_ == PlaybackMode::Playing)
            gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
        mode_ = PlaybackMode::Stopped;
        endedAtMs_ = lengthMs_;
        return kOk;
    }
    const bool needsSeek = from || to || endedAtMs_ || playTo_ || repeat;
    playTo_ = to;
    repeat_ = repeat;
    repeatFromMs_ = start;
    // Waiting for the seek keeps the position right for the next query.
    if (needsSeek && !seekPaused(start, to ? std::optional<std::int64_t>(*to) : std::nullopt))
        return kInternalError;
    endedAtMs_.reset();
    mode_ = PlaybackMode::Playing;
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return kInternalError;
    if (wait) {
        const std::int64_t stop = to ? *to : lengthMs_;
        const auto bound = std::chrono::milliseconds(2 * (stop - start) + 10000);
        if (waitFor(GST_MESSAGE_EOS, bound) == GST_MESSAGE_ERROR)
            return kInternalError;
    }
    return kOk;
}

std::uint32_t Playback::pause() {
    if (mode_ == PlaybackMode::Playing) {
        gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
        mode_ = PlaybackMode::Paused;
    }
    return kOk;
}

std::uint32_t Playback::resume() {
    if (mode_ == PlaybackMode::Paused) {
        if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return kInternalError;
        mode_ = PlaybackMode::Playing;
    }
    return kOk;
}

std::uint32_t Playback::stop() {
    if (mode_ != PlaybackMode::Stopped) {
        gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
        mode_ = PlaybackMode::Stopped;
    }
    return kOk;
}

std::uint32_t Playback::seek(SeekTarget target, std::int64_t positionMs) {
    const std::int64_t targetMs = target == SeekTarget::Start ? 0
                                  : target == SeekTarget::End ? lengthMs_
                                                              : positionMs;
    if (targetMs > lengthMs_)
        return kOutOfRange;
    mode_ = PlaybackMode::Stopped;
    playTo_.reset();
    repeat_ = false;
    endedAtMs_.reset();
    failure_.reset();
    // A seek to the very end would show no frame at all: the last one is
    // shown instead, and the position still answers the length.
    if (!seekPaused(targetMs < lengthMs_ ? targetMs : lastFrameMs()))
        return kInternalError;
    if (targetMs >= lengthMs_)
        endedAtMs_ = lengthMs_;
    lastPositionMs_ = targetMs;
    return kOk;
}

std::uint32_t Playback::setVolume(std::int32_t volume) {
    volume_ = volume;
    gst_stream_volume_set_volume(GST_STREAM_VOLUME(pipeline_.get()), GST_STREAM_VOLUME_FORMAT_CUBIC,
                                 volume / 1000.0);
    return kOk;
}

std::uint32_t Playback::put(const Rect& rect) {
    if (!hasVideo_)
        return kOk;
    destination_ = rect;
    if (child_) {
        // Fails once the parent, and the window with it, is gone.
        if (child_->place(rect.x, rect.y, rect.width, rect.height) != 0)
            return kNoWindow;
        destination_.width = child_->width();
        destination_.height = child_->height();
        fitVideoToWindow();
        // The sink only rescales at its next frame: show one now.
        if (mode_ != PlaybackMode::Playing && !seekPaused(atEndOfMedia() ? lastFrameMs() : positionMs()))
            return kInternalError;
    }
    return kOk;
}

std::uint32_t Playback::showWindow(bool show) {
    if (!hasVideo_)
        return kNoWindow;
    if (child_ && child_->show(show) != 0)
        return kNoWindow;
    return kOk;
}

} // namespace tovimo::media
