// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/playback.h"

#include "platform/media/error_codes.h"
#include "platform/media/missing_data_watch.h"
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

// Bounds on the engine thread's own waits, generous for a loaded machine.
// Callers never wait this long: engine_thread.h bounds them.
constexpr auto kOpenTimeout = std::chrono::seconds(10);
// Readings while playing come every 200 ms or so.
constexpr std::int64_t kMaxReadingStepMs = 1000;
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
    markEnginePipeline(playbin);
    made->path_ = path;
    if (struct stat info{}; ::stat(path.c_str(), &info) == 0)
        made->fileSize_ = info.st_size;

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
    g_signal_connect(playbin, "element-setup", G_CALLBACK(watchForMissingData), nullptr);
    const std::string uri = fileUriOf(path);
    g_object_set(playbin, "uri", uri.c_str(), nullptr);

    if (embedded) {
        made->child_ = X11ChildWindow::create(*options.parent);
        if (!made->child_)
            return kCreateWindow;
        gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(playbin), made->child_->id());
        // The sink would take the keys and clicks that reach the picture
        // while it draws; they belong to the player's window.
        gst_video_overlay_handle_events(GST_VIDEO_OVERLAY(playbin), FALSE);
    }

    const auto code = made->preroll(path);
    if (code != kOk) {
        failure = made->failure_;
        GST_CAT_INFO(tovimo_debug, "open %s failed with %u: %s", path.c_str(), code,
                     failure ? failure->describe().c_str() : "no reason given");
        playback = std::move(made);
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
    if (failure_)
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

// After a failure reset it to READY, the pipeline prerolls again as at open.
bool Playback::prerollAgain() {
    GstState state = GST_STATE_VOID_PENDING;
    gst_element_get_state(pipeline_.get(), &state, nullptr, 0);
    if (state >= GST_STATE_PAUSED)
        return true;
    const GstStateChangeReturn change = startPaused();
    if (change == GST_STATE_CHANGE_FAILURE) {
        takeMessages();
        return false;
    }
    return change != GST_STATE_CHANGE_ASYNC ||
           waitFor(GST_MESSAGE_ASYNC_DONE, kOpenTimeout) == GST_MESSAGE_ASYNC_DONE;
}

Playback::~Playback() {
    seenErrors_.clear();
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
    if (run_.endedAtMs)
        return *run_.endedAtMs;
    gint64 position = 0;
    if (!failure_ && gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &position) &&
        position >= 0) {
        previousPositionMs_ = lastPositionMs_;
        lastPositionMs_ = std::clamp<std::int64_t>(position / GST_MSECOND, 0, lengthMs_);
    }
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

const char* modeName(PlaybackMode mode) {
    switch (mode) {
    case PlaybackMode::Playing:
        return "playing";
    case PlaybackMode::Paused:
        return "paused";
    case PlaybackMode::Stopped:
        break;
    }
    return "stopped";
}

bool Playback::transition(PlaybackMode target, const char* why) {
    const PlaybackMode old = mode_;
    const GstState state = target == PlaybackMode::Playing ? GST_STATE_PLAYING : GST_STATE_PAUSED;
    if (gst_element_set_state(pipeline_.get(), state) == GST_STATE_CHANGE_FAILURE) {
        // The error that says why is on the bus already, as a rule.
        takeMessages();
        if (!failure_)
            fail(PlaybackFailure{std::string("the engine refused to ") + why, {}, {}, {}});
        return false;
    }
    mode_ = target;
    GST_CAT_DEBUG(tovimo_debug, "%s -> %s (%s)", modeName(old), modeName(target), why);
    if (changed_)
        changed_();
    return true;
}

void Playback::fail(PlaybackFailure failure) {
    if (failure.missingPlugin.empty())
        failure.missingPlugin = missingPlugin_;
    lastPositionMs_ = positionMs();
    GST_CAT_INFO(tovimo_debug, "engine failed at %" G_GINT64_FORMAT " ms: %s; %s -> stopped", lastPositionMs_,
                 failure.describe().c_str(), modeName(mode_));
    failure_ = std::move(failure);
    seenErrors_.clear();
    stopRun();
    mode_ = PlaybackMode::Stopped;
    if (changed_)
        changed_();
    // Nothing is left half-running: a seek prerolls again from here.
    gst_element_set_state(pipeline_.get(), GST_STATE_READY);
}

// A file that shrinks while it plays ends early without an error: the
// demuxer takes the short read for the end of the stream.
bool Playback::fileCutShort() const {
    struct stat info {};
    return !path_.empty() && fileSize_ > 0 && ::stat(path_.c_str(), &info) == 0 && info.st_size < fileSize_;
}

std::optional<std::int64_t> Playback::lastShownMs() const {
    if (!hasVideo_ || !videoSink_ ||
        !g_object_class_find_property(G_OBJECT_GET_CLASS(videoSink_.get()), "last-sample"))
        return std::nullopt;
    GstSample* sample = nullptr;
    g_object_get(videoSink_.get(), "last-sample", &sample, nullptr);
    if (!sample)
        return std::nullopt;
    std::optional<std::int64_t> shownMs;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    const GstSegment* segment = gst_sample_get_segment(sample);
    if (buffer && segment && GST_BUFFER_PTS_IS_VALID(buffer)) {
        const guint64 streamTime =
            gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        if (streamTime != GST_CLOCK_TIME_NONE)
            shownMs =
                std::clamp<std::int64_t>(static_cast<std::int64_t>(streamTime / GST_MSECOND), 0, lengthMs_);
    }
    gst_sample_unref(sample);
    return shownMs;
}

void Playback::reachEnd() {
    if (fileCutShort()) {
        // Past the end of the data the sinks answer the stream's end: the
        // last position read while it played is where it stopped.
        // Once the sinks have ended, a position query answers the segment's
        // end: the last picture shown says where the data ran out, and for
        // audio alone a reading that jumped is not taken.
        const bool readAfterEnd = lastPositionMs_ - previousPositionMs_ > kMaxReadingStepMs;
        run_.endedAtMs = lastShownMs().value_or(readAfterEnd ? previousPositionMs_ : lastPositionMs_);
        fail(PlaybackFailure{"the file was cut short while it played", {}, {}, {}});
        return;
    }
    transition(PlaybackMode::Stopped, "stop at the end");
    run_.endedAtMs = run_.playTo ? *run_.playTo : lengthMs_;
}

void Playback::handle(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        if (run_.repeat && mode_ == PlaybackMode::Playing && seekTo(run_.repeatFromMs, run_.playTo))
            break;
        reachEnd();
        break;
    case GST_MESSAGE_ERROR:
        fail(failureOf(message));
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
            if (!failure_ && (!streams_ || !hasAudioOrVideo(streams_.get()))) {
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
            !failure_)
            fail(PlaybackFailure{"the file holds neither audio nor video", {}, {}, {}});
        break;
    }
    case GST_MESSAGE_DURATION_CHANGED:
        if (!lengthFixed_)
            queryLength();
        break;
    case GST_MESSAGE_APPLICATION:
        if (GstMessage* error = errorSeenIn(message)) {
            GstElement* source = GST_ELEMENT(GST_MESSAGE_SRC(error));
            seenErrors_.push_back(SeenError{ElementPtr(GST_ELEMENT(gst_object_ref(source))),
                                            MessagePtr(gst_message_ref(error)), Clock::now()});
        }
        break;
    default:
        break;
    }
}

// An error that reached the bus clears the record of its sighting at once;
// one still missing after a while from an element that went on to run (it
// was not merely tried and thrown away by its bin) was swallowed, and fails
// the engine as it would have.
void Playback::checkSeenErrors() {
    constexpr auto kGrace = std::chrono::milliseconds(100);
    constexpr auto kForget = std::chrono::seconds(3);
    const auto now = Clock::now();
    for (auto it = seenErrors_.begin(); it != seenErrors_.end();) {
        GstElement* element = it->element.get();
        const ElementPtr parent(GST_ELEMENT_CAST(gst_object_get_parent(GST_OBJECT(element))));
        GstState state = GST_STATE_VOID_PENDING;
        gst_element_get_state(element, &state, nullptr, 0);
        if (parent && state >= GST_STATE_PAUSED && now - it->seenAt >= kGrace) {
            GST_CAT_INFO(tovimo_debug, "an error of %s never reached the bus", GST_ELEMENT_NAME(element));
            fail(failureOf(it->message.get()));
            return;
        }
        if (!parent || now - it->seenAt > kForget)
            it = seenErrors_.erase(it);
        else
            ++it;
    }
}

void Playback::takeMessages() {
    while (MessagePtr message{gst_bus_pop(bus_.get())})
        handle(message.get());
    checkSeenErrors();
}

void Playback::handleNext(Clock::duration timeout) {
    constexpr auto kCheckEvery = std::chrono::milliseconds(50);
    if (!seenErrors_.empty())
        timeout = std::min<Clock::duration>(timeout, kCheckEvery);
    const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
    if (MessagePtr message{
            gst_bus_timed_pop(bus_.get(), static_cast<GstClockTime>(std::max<gint64>(wait, 0)))})
        handle(message.get());
    checkSeenErrors();
}

void Playback::wake(GstBus* bus) {
    gst_bus_post(bus, gst_message_new_application(nullptr, gst_structure_new_empty("tovimo-wake")));
}

// Reads messages until one of `types` comes from the pipeline (a duration
// change from any element) or the time runs out. A failure ends the wait at
// once. Returns the type that ended the wait: GST_MESSAGE_ERROR for a
// failure, GST_MESSAGE_UNKNOWN on time-out.
GstMessageType Playback::waitFor(int types, Clock::duration timeout) {
    constexpr auto kCheckEvery = std::chrono::milliseconds(50);
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (failure_)
            return GST_MESSAGE_ERROR;
        auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return GST_MESSAGE_UNKNOWN;
        if (!seenErrors_.empty())
            left = std::min<Clock::duration>(left, kCheckEvery);
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        MessagePtr message{gst_bus_timed_pop(bus_.get(), static_cast<GstClockTime>(wait))};
        checkSeenErrors();
        if (!message)
            continue;
        const GstMessageType type = GST_MESSAGE_TYPE(message.get());
        handle(message.get());
        if (failure_)
            return GST_MESSAGE_ERROR;
        // A bin keeps its children's ASYNC_DONE and EOS to itself and posts
        // its own, but passes a parser's DURATION_CHANGED up as it is.
        if ((type & types) && (type == GST_MESSAGE_DURATION_CHANGED ||
                               GST_MESSAGE_SRC(message.get()) == GST_OBJECT(pipeline_.get())))
            return type;
    }
}

// Seeks while not playing and waits until the new frame is shown. A playing
// pipeline stops first; one reset by a failure prerolls again.
bool Playback::seekPaused(std::int64_t targetMs, std::optional<std::int64_t> stopMs) {
    if (mode_ == PlaybackMode::Playing && !transition(PlaybackMode::Stopped, "seek"))
        return false;
    if (!prerollAgain())
        return false;
    // Leaving PLAYING completes first, so that the preroll awaited below is
    // the one after the seek.
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
        if (mode_ != PlaybackMode::Stopped && !transition(PlaybackMode::Stopped, "stay at the end"))
            return kInternalError;
        run_.endedAtMs = lengthMs_;
        return kOk;
    }
    const bool needsSeek = from || to || run_.endedAtMs || run_.playTo || repeat;
    // Waiting for the seek keeps the position right for the next query.
    if (needsSeek && !seekPaused(start, to ? std::optional<std::int64_t>(*to) : std::nullopt)) {
        if (!failure_)
            fail(PlaybackFailure{
                "the seek to " + std::to_string(start) + " ms was refused or timed out", {}, {}, {}});
        return kInternalError;
    }
    run_ = PlayRun{std::nullopt, to, repeat, start};
    // A caller that has given up on this play has been told it failed.
    if (abandoned_ && abandoned_->load()) {
        if (mode_ != PlaybackMode::Stopped)
            transition(PlaybackMode::Stopped, "play given up");
        return kInternalError;
    }
    if (!transition(PlaybackMode::Playing, "play"))
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
    if (mode_ == PlaybackMode::Playing && !transition(PlaybackMode::Paused, "pause"))
        return kInternalError;
    return kOk;
}

std::uint32_t Playback::resume() {
    if (mode_ == PlaybackMode::Paused && !transition(PlaybackMode::Playing, "resume"))
        return kInternalError;
    return kOk;
}

std::uint32_t Playback::stop() {
    if (mode_ != PlaybackMode::Stopped && !transition(PlaybackMode::Stopped, "stop"))
        return kInternalError;
    return kOk;
}

std::uint32_t Playback::seek(SeekTarget target, std::int64_t positionMs) {
    const std::int64_t targetMs = target == SeekTarget::Start ? 0
                                  : target == SeekTarget::End ? lengthMs_
                                                              : positionMs;
    if (targetMs > lengthMs_)
        return kOutOfRange;
    // A seek is the one command that clears a failure: it prerolls again.
    failure_.reset();
    stopRun();
    if (mode_ != PlaybackMode::Stopped && !transition(PlaybackMode::Stopped, "seek"))
        return kInternalError;
    // A seek to the very end would show no frame at all: the last one is
    // shown instead, and the position still answers the length.
    if (!seekPaused(targetMs < lengthMs_ ? targetMs : lastFrameMs())) {
        if (!failure_)
            fail(PlaybackFailure{
                "the seek to " + std::to_string(targetMs) + " ms was refused or timed out", {}, {}, {}});
        return kInternalError;
    }
    if (targetMs >= lengthMs_)
        run_.endedAtMs = lengthMs_;
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
        // The sink only rescales at its next frame: show one now. A failed
        // engine shows nothing until a seek prerolls it again.
        if (mode_ != PlaybackMode::Playing && !failure_ &&
            !seekPaused(atEndOfMedia() ? lastFrameMs() : positionMs()))
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
