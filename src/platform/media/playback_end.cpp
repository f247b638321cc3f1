// SPDX-License-Identifier: GPL-3.0-or-later
// The end of the stream: where it ended, and whether the file was cut short under it.
#include "platform/media/playback.h"

#include "platform/media/playback_detail.h"

#include <algorithm>
#include <sys/stat.h>

#define GST_CAT_DEFAULT tovimo_debug

namespace tovimo::media {

namespace {

// How far a reading may run ahead of the time since the one before it.
constexpr auto kReadingSlack = std::chrono::milliseconds(500);
// How much sooner than its end point a run may end and still count as
// having reached it: the last frame and audio buffer, and a tick.
constexpr auto kDataRanOutSlack = std::chrono::milliseconds(1000);
// Where a seek to the length lands when the frame rate is not known.
constexpr double kDefaultFrameMs = 40;

} // namespace

std::int64_t Playback::lastFrameMs() const {
    const double frame = frameMs_ > 0 ? frameMs_ : kDefaultFrameMs;
    return std::max<std::int64_t>(0, lengthMs_ - static_cast<std::int64_t>(frame));
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
        // Where the sinks stand now is where the data ran out, read once
        // more at the end rather than a tick before it. Once video sinks
        // have ended, though, a position query may answer the segment's
        // end: the last picture shown says where the data ran out, and for
        // audio alone a reading that jumped past real time is not taken.
        readPosition();
        const auto step = std::chrono::milliseconds(lastPositionMs_ - previousPositionMs_);
        const bool readAfterEnd = step > lastReadAt_ - previousReadAt_ + kReadingSlack;
        sourceLost_ = true;
        run_.endedAtMs = lastShownMs().value_or(readAfterEnd ? previousPositionMs_ : lastPositionMs_);
        fail(PlaybackFailure{"the file was cut short while it played", {}, {}, {}});
        return;
    }
    const std::int64_t end = endPoint();
    // The end is the bus's own word: the mode follows it at once, and the
    // pipeline is told to hold the last frame.
    wanted_ = PlaybackMode::Stopped;
    setTarget(GST_STATE_PAUSED);
    transition(PlaybackMode::Stopped, "the stream ended");
    run_.endedAtMs = end;
}

// A file cut off before it was opened still has its whole length in its
// index (an MP4 written index first, a Matroska header): the demuxer ends
// the stream where the data runs out. Playing never runs ahead of real
// time, so a run cannot have got further than where it started plus the
// time since: one that ends well before its end point that way stopped
// where it had got to, as the last picture or reading says. Readings taken
// after the sinks ended answer the segment's end, hence the bound. A pause
// or a slow machine only ever errs towards the end point.
std::int64_t Playback::endPoint() const {
    const std::int64_t end = run_.playTo ? *run_.playTo : lengthMs_;
    if (runFromAt_ == Clock::time_point{})
        return end;
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - runFromAt_);
    const std::int64_t reachable = runFromMs_ + since.count();
    if (reachable + kDataRanOutSlack.count() >= end)
        return end;
    const std::int64_t reached = std::max(lastPositionMs_, lastShownMs().value_or(0));
    GST_CAT_INFO(tovimo_debug, "the stream ended at %" G_GINT64_FORMAT " ms of %" G_GINT64_FORMAT, reached,
                 end);
    return std::clamp(reached, runFromMs_, reachable);
}

} // namespace tovimo::media
