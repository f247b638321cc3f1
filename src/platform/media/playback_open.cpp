// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a media file and prerolling it, again after a failure.
#include "platform/media/playback.h"

#include "platform/media/error_codes.h"
#include "platform/media/missing_data_watch.h"
#include "platform/media/output_chain.h"
#include "platform/media/playback_detail.h"
#include "platform/media/program_stream.h"
#include "platform/media/short_path.h"

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

// The engine thread's own bound on an open, generous for a loaded machine.
// Callers never wait this long: engine_thread.h bounds them.
constexpr auto kOpenTimeout = std::chrono::seconds(10);

using LivenessRef = std::shared_ptr<Liveness>;

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

// Orientations that swap the picture's width and height.
bool turnsSideways(const GstTagList* tags) {
    gchar* orientation = nullptr;
    if (!tags || !gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &orientation))
        return false;
    const GStringPtr owned(orientation);
    const std::string value = orientation;
    return value.ends_with("rotate-90") || value.ends_with("rotate-270");
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

// Every buffer the source hands on, pushed or pulled, is a sign of life.
GstPadProbeReturn markSourceData(GstPad*, GstPadProbeInfo* info, gpointer data) {
    if (GST_PAD_PROBE_INFO_DATA(info))
        (*static_cast<LivenessRef*>(data))->mark();
    return GST_PAD_PROBE_OK;
}

// playbin3's "source-setup".
void watchSourceData(GstElement*, GstElement* source, gpointer data) {
    const PadPtr pad(gst_element_get_static_pad(source, "src"));
    if (!pad)
        return;
    gst_pad_add_probe(
        pad.get(), static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
        markSourceData, new LivenessRef(*static_cast<LivenessRef*>(data)),
        [](gpointer owned) { delete static_cast<LivenessRef*>(owned); });
}

} // namespace

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
            if (GstElement* subtitles = subtitleSinkFor(output))
                g_object_set(playbin, "text-sink", subtitles, nullptr);
            showSubtitleFileFor(output, path);
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
    g_signal_connect_data(
        playbin, "source-setup", G_CALLBACK(watchSourceData), new LivenessRef(made->life_),
        [](gpointer owned, GClosure*) { delete static_cast<LivenessRef*>(owned); }, GConnectFlags(0));
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
        // With its events off, the sink no longer redraws an uncovered
        // window: the engine has it do so.
        std::shared_ptr<GstBus> bus(GST_BUS(gst_object_ref(made->bus_.get())), gst_object_unref);
        made->child_->onExposed([bus] { Playback::postExposed(bus.get()); });
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
    const GstStateChangeReturn change = setTarget(GST_STATE_PAUSED);
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

bool Playback::queryLength() {
    gint64 duration = 0;
    if (!gst_element_query_duration(pipeline_.get(), GST_FORMAT_TIME, &duration) || duration <= 0)
        return false;
    lengthMs_ = duration / GST_MSECOND;
    return true;
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

} // namespace tovimo::media
