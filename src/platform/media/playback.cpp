// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/playback.h"

#include "platform/media/error_codes.h"
#include "platform/media/playback_detail.h"

#include <gst/audio/streamvolume.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <algorithm>

#define GST_CAT_DEFAULT tovimo_debug

namespace tovimo::media {

namespace {

// How long a wait on the pipeline goes on without a sign of life: longer
// than any caller waits, so that a source that answers late still finishes
// the command it was given.
constexpr auto kQuietBound = std::chrono::seconds(10);

// Posted on the bus right before a seek is sent, with the seek's seqnum.
constexpr const char* kSeekMarker = "tovimo-seek";
constexpr const char* kExposed = "tovimo-exposed";

GstState pipelineStateFor(PlaybackMode mode) {
    return mode == PlaybackMode::Playing ? GST_STATE_PLAYING : GST_STATE_PAUSED;
}

bool hasAudioOrVideo(GstStreamCollection* streams) {
    const guint count = gst_stream_collection_get_size(streams);
    for (guint i = 0; i < count; ++i)
        if (gst_stream_get_stream_type(gst_stream_collection_get_stream(streams, i)) &
            (GST_STREAM_TYPE_AUDIO | GST_STREAM_TYPE_VIDEO))
            return true;
    return false;
}

} // namespace

Playback::~Playback() {
    seenErrors_.clear();
    if (pipeline_)
        setTarget(GST_STATE_NULL);
    videoSink_.reset();
    pipeline_.reset();
    child_.reset();
}

std::int64_t Playback::positionMs() const {
    if (run_.endedAtMs)
        return *run_.endedAtMs;
    gint64 position = 0;
    if (!failure_ && gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &position) && position >= 0)
        return std::clamp<std::int64_t>(position / GST_MSECOND, 0, lengthMs_);
    return lastPositionMs_;
}

void Playback::readPosition() {
    if (run_.endedAtMs || failure_)
        return;
    previousPositionMs_ = lastPositionMs_;
    previousReadAt_ = lastReadAt_;
    lastPositionMs_ = positionMs();
    lastReadAt_ = Clock::now();
}

void Playback::restartReadings(std::int64_t atMs) {
    lastPositionMs_ = previousPositionMs_ = runFromMs_ = atMs;
    lastReadAt_ = previousReadAt_ = runFromAt_ = Clock::now();
}

Rect Playback::source() const {
    return turned_ ? Rect{0, 0, videoHeight_, videoWidth_} : Rect{0, 0, videoWidth_, videoHeight_};
}

bool Playback::seekTo(std::int64_t startMs, std::optional<std::int64_t> stopMs) {
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    const gint64 stop = stopMs ? *stopMs * GST_MSECOND : static_cast<gint64>(GST_CLOCK_TIME_NONE);
    GstEvent* event = gst_event_new_seek(1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET,
                                         startMs * GST_MSECOND, GST_SEEK_TYPE_SET, stop);
    const guint32 seqnum = gst_event_get_seqnum(event);
    // Whatever the bus holds before the marker was posted before the seek.
    gst_bus_post(bus_.get(), gst_message_new_application(
                                 GST_OBJECT(pipeline_.get()),
                                 gst_structure_new(kSeekMarker, "seqnum", G_TYPE_UINT, seqnum, nullptr)));
    seek_ = PendingSeek{seqnum, false, false};
    if (!gst_element_send_event(pipeline_.get(), event)) {
        seek_.reset();
        return false;
    }
    return true;
}

const char* modeName(PlaybackMode mode) {
    switch (mode) {
    case PlaybackMode::Playing:
        return "playing";
    case PlaybackMode::Paused:
        return "paused";
    case PlaybackMode::Seeking:
        return "seeking";
    case PlaybackMode::Stopped:
        break;
    }
    return "stopped";
}

GstStateChangeReturn Playback::setTarget(GstState state) {
    target_ = state;
    return gst_element_set_state(pipeline_.get(), state);
}

void Playback::transition(PlaybackMode to, const char* why) {
    if (mode_ == to)
        return;
    GST_CAT_DEBUG(tovimo_debug, "%s -> %s (%s)", modeName(mode_), modeName(to), why);
    mode_ = to;
    if (changed_)
        changed_();
}

bool Playback::request(PlaybackMode wanted, const char* why) {
    wanted_ = wanted;
    const GstState state = pipelineStateFor(wanted);
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(pipeline_.get(), &current, &pending, 0);
    if (current == state && pending == GST_STATE_VOID_PENDING && target_ == state && !seek_) {
        // Stopped and paused are one pipeline state: the pipeline already
        // stands where it is asked to go, and posts nothing.
        transition(wanted, why);
        return true;
    }
    if (setTarget(state) == GST_STATE_CHANGE_FAILURE) {
        // The error that says why is on the bus already, as a rule.
        takeMessages();
        if (!failure_)
            fail(PlaybackFailure{std::string("the engine refused to ") + why, {}, {}, {}});
        return false;
    }
    if (settle(kQuietBound))
        return true;
    if (!failure_)
        fail(PlaybackFailure{
            std::string("the engine could not ") + why + ": its source stopped answering", {}, {}, {}});
    return false;
}

bool Playback::settle(Clock::duration quiet) {
    constexpr auto kStep = std::chrono::milliseconds(100);
    constexpr auto kCheckEvery = std::chrono::milliseconds(50);
    for (;;) {
        if (failure_)
            return false;
        if (mode_ == wanted_ && !seek_)
            return true;
        if (life_->quietFor() > quiet)
            return false;
        const auto step = seenErrors_.empty() ? kStep : kCheckEvery;
        const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(step).count();
        if (MessagePtr message{gst_bus_timed_pop(bus_.get(), static_cast<GstClockTime>(wait))})
            handle(message.get());
        checkSeenErrors();
    }
}

void Playback::onStateChanged(GstMessage* message) {
    if (GST_MESSAGE_SRC(message) != GST_OBJECT(pipeline_.get()))
        return;
    GstState old = GST_STATE_VOID_PENDING;
    GstState now = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    gst_message_parse_state_changed(message, &old, &now, &pending);
    if (pending != GST_STATE_VOID_PENDING) {
        // A flush takes the preroll away: the pipeline posts its state as
        // old, new and pending at once. The ASYNC_DONE after that is the seek's.
        if (seek_ && seek_->marked && old == now && pending == now)
            seek_->flushed = true;
        return;
    }
    // While a seek is on its way the preroll is not the one asked for.
    if (!seek_ && now == pipelineStateFor(wanted_))
        transition(wanted_, "the pipeline got there");
}

void Playback::onAsyncDone() {
    if (!seek_ || !seek_->flushed)
        return;
    // One posted late by the change before the seek: the seek's own preroll
    // is still under way.
    if (target_ != GST_STATE_PLAYING &&
        gst_element_get_state(pipeline_.get(), nullptr, nullptr, 0) == GST_STATE_CHANGE_ASYNC)
        return;
    seek_.reset();
    GstState current = GST_STATE_VOID_PENDING;
    gst_element_get_state(pipeline_.get(), &current, nullptr, 0);
    if (current == pipelineStateFor(wanted_))
        transition(wanted_, "the seek is done");
}

void Playback::handle(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STATE_CHANGED:
        onStateChanged(message);
        break;
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(pipeline_.get()))
            onAsyncDone();
        break;
    case GST_MESSAGE_EOS:
        // The end of what a seek sent: the seek is over.
        if (seek_ && gst_message_get_seqnum(message) == seek_->seqnum)
            seek_.reset();
        if (run_.repeat && mode_ == PlaybackMode::Playing && seekTo(run_.repeatFromMs, run_.playTo)) {
            restartReadings(run_.repeatFromMs);
            break;
        }
        reachEnd();
        break;
    case GST_MESSAGE_ERROR:
        if (detail::isAudioOutput(GST_MESSAGE_SRC(message))) {
            // The errors of an output already replaced come after it.
            if (soundLost_ &&
                !gst_object_has_as_ancestor(GST_MESSAGE_SRC(message), GST_OBJECT(pipeline_.get())))
                break;
            if (!soundLost_ && playOnWithoutSound())
                break;
        }
        fail(detail::failureOf(message));
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
        if (const GstStructure* body = gst_message_get_structure(message);
            body && gst_structure_has_name(body, kExposed)) {
            if (videoSink_ && GST_IS_VIDEO_OVERLAY(videoSink_.get()))
                gst_video_overlay_expose(GST_VIDEO_OVERLAY(videoSink_.get()));
        } else if (body && gst_structure_has_name(body, kSeekMarker)) {
            guint seqnum = 0;
            if (seek_ && gst_structure_get_uint(body, "seqnum", &seqnum) && seqnum == seek_->seqnum)
                seek_->marked = true;
        } else if (GstMessage* error = errorSeenIn(message)) {
            GstElement* source = GST_ELEMENT(GST_MESSAGE_SRC(error));
            seenErrors_.push_back(SeenError{ElementPtr(GST_ELEMENT(gst_object_ref(source))),
                                            MessagePtr(gst_message_ref(error)), Clock::now()});
        }
        break;
    default:
        break;
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

void Playback::postExposed(GstBus* bus) {
    gst_bus_post(bus, gst_message_new_application(nullptr, gst_structure_new_empty(kExposed)));
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

// Seeks while not playing and waits until the new frame is shown, for as
// long as the engine shows signs of life. A playing pipeline stops first,
// and the seek is sent once it has: one reset by a failure prerolls again.
bool Playback::seekPaused(std::int64_t targetMs, std::optional<std::int64_t> stopMs) {
    if (mode_ == PlaybackMode::Playing && !request(PlaybackMode::Stopped, "seek"))
        return false;
    if (!prerollAgain())
        return false;
    takeMessages();
    if (failure_ || !seekTo(targetMs, stopMs))
        return false;
    return settle(kQuietBound);
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
        if (mode_ != PlaybackMode::Stopped && !request(PlaybackMode::Stopped, "stay at the end"))
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
    if (mayStart_ && !mayStart_()) {
        if (mode_ != PlaybackMode::Stopped)
            request(PlaybackMode::Stopped, "give up the play");
        return kInternalError;
    }
    if (!request(PlaybackMode::Playing, "play"))
        return kInternalError;
    restartReadings(start);
    if (wait) {
        const std::int64_t stop = to ? *to : lengthMs_;
        const auto bound = std::chrono::milliseconds(2 * (stop - start) + 10000);
        if (waitFor(GST_MESSAGE_EOS, bound) == GST_MESSAGE_ERROR)
            return kInternalError;
    }
    return kOk;
}

std::uint32_t Playback::pause() {
    if (mode_ == PlaybackMode::Playing && !request(PlaybackMode::Paused, "pause"))
        return kInternalError;
    return kOk;
}

std::uint32_t Playback::resume() {
    if (mode_ != PlaybackMode::Paused)
        return kOk;
    const std::int64_t at = positionMs();
    if (!request(PlaybackMode::Playing, "resume"))
        return kInternalError;
    restartReadings(at);
    return kOk;
}

std::uint32_t Playback::stop() {
    if (mode_ != PlaybackMode::Stopped && !request(PlaybackMode::Stopped, "stop"))
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
    if (mode_ != PlaybackMode::Stopped && !request(PlaybackMode::Stopped, "seek"))
        return kInternalError;
    // A seek to the very end would show no frame at all: the last one is
    // shown instead, and the position still answers the length.
    if (!seekPaused(targetMs < lengthMs_ ? targetMs : lastFrameMs())) {
        if (!failure_)
            fail(PlaybackFailure{
                "the seek to " + std::to_string(targetMs) + " ms was refused or timed out", {}, {}, {}});
        return kInternalError;
    }
    // An end the pipeline reported before the seek is not where it stands.
    stopRun();
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
