#pragma once

#include "platform/media/command_parser.h"
#include "platform/media/gst_support.h"
#include "platform/media/x11_child_window.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tovimo::media {

// Opening options of a media file.
struct PlaybackOptions {
    std::string element;                 // a file path or a file:// URI
    std::optional<std::uint32_t> parent; // an X11 window id
    std::uint32_t style = 0;             // kChildStyle: draw inside `parent`
};

inline constexpr std::uint32_t kChildStyle = 0x40000000;

enum class PlaybackMode { Stopped, Playing, Paused };

// Why the engine failed, as GStreamer told it; one line of text.
struct PlaybackFailure {
    std::string message;       // the error's own text
    std::string debug;         // its debug text, or empty
    std::string element;       // path of the element that posted it
    std::string missingPlugin; // what a missing plugin would have done

    std::string describe() const;
};

// One media file on a GStreamer playbin3 (playbin would ready its video sink
// for audio-only media too, some 50 ms per open), owned and driven on the
// calling thread only. Bus messages are read at each call (no callbacks from
// streaming threads), so the end of the stream is seen by the next call.
//
// Every method answers 0 or an error code of error_codes.h.
//
// Invariants:
// - after a successful open the pipeline is at least PAUSED, prerolled, with
//   its length known; the playback starts stopped at position 0;
// - positionMs() alone decides what the position is, and at the end of the
//   stream it answers the end point (the length, or the `to` of the play
//   that ended) while the mode is stopped;
// - a play at the end of the media leaves it there; only a seek or a play
//   `from` moves it away;
// - the child window, when there is one, outlives every use the video sink
//   makes of it: the pipeline goes to NULL before the window is destroyed.
class Playback {
public:
    // Opens and prerolls the media. Fails at once for files the engine
    // recognises but cannot play (a missing plugin, no audio or video
    // stream); waits at most a bounded time for reads that stall. On
    // failure, `failure` says why when the engine told.
    static std::uint32_t open(const PlaybackOptions& options, std::unique_ptr<Playback>& playback,
                              std::optional<PlaybackFailure>& failure);

    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Takes in what the engine has reported: the end, errors, a repeat.
    void takeMessages();

    std::uint32_t play(std::optional<std::int32_t> from, std::optional<std::int32_t> to, bool repeat,
                       bool wait);
    std::uint32_t pause();
    std::uint32_t resume();
    std::uint32_t stop();
    // Seeks and stops there; a seek to the length shows the last frame.
    std::uint32_t seek(SeekTarget target, std::int64_t positionMs);
    std::uint32_t setVolume(std::int32_t volume);
    // Places the picture in its window; kNoWindow never: audio-only media
    // accept and ignore it, so that the caller's sizing goes on.
    std::uint32_t put(const Rect& rect);
    std::uint32_t showWindow(bool show);

    std::int64_t lengthMs() const { return lengthMs_; }
    std::int64_t positionMs();
    std::int32_t volume() const { return volume_; }
    PlaybackMode mode() const { return mode_; }
    bool hasVideo() const { return hasVideo_; }
    // The picture's size as shown: square pixels, turned as the stream's
    // orientation says.
    Rect source() const;
    // The geometry last applied to the picture.
    Rect destination() const { return destination_; }

    // The engine's last error, if any.
    const std::optional<PlaybackFailure>& failure() const { return failure_; }

private:
    Playback() = default;
    using Clock = std::chrono::steady_clock;

    std::uint32_t preroll(const std::string& path);
    GstStateChangeReturn startPaused();
    bool queryLength();
    bool seekTo(std::int64_t startMs, std::optional<std::int64_t> stopMs);
    bool seekPaused(std::int64_t targetMs, std::optional<std::int64_t> stopMs = std::nullopt);
    void reachEnd();
    // Where a picture of the end is shown: the last frame starts there.
    std::int64_t lastFrameMs() const;
    bool atEndOfMedia() const { return endedAtMs_ && *endedAtMs_ >= lengthMs_; }
    void handle(GstMessage* message);
    GstMessageType waitFor(int types, Clock::duration timeout);
    void readVideoFormat();
    void fitVideoToWindow();
    void fail(PlaybackFailure failure);

    ElementPtr pipeline_;
    ElementPtr videoSink_;
    BusPtr bus_;
    StreamCollectionPtr streams_;
    std::unique_ptr<X11ChildWindow> child_;

    PlaybackMode mode_ = PlaybackMode::Stopped;
    std::int64_t lengthMs_ = 0;
    bool lengthFixed_ = false;              // the length was read from the file, not the demuxer
    std::optional<std::int64_t> endedAtMs_; // where the stream ended, until it moves again
    std::int64_t lastPositionMs_ = 0;
    std::optional<std::int32_t> playTo_;
    bool repeat_ = false;
    std::int64_t repeatFromMs_ = 0;
    std::int32_t volume_ = 1000;
    std::optional<PlaybackFailure> failure_;
    std::string missingPlugin_; // what the engine last found missing
    bool unplayable_ = false;   // nothing in the file can be played

    bool hasVideo_ = false;
    int videoWidth_ = 0;
    int videoHeight_ = 0;
    bool turned_ = false; // the orientation swaps width and height
    double frameMs_ = 0;
    Rect destination_;
};

} // namespace tovimo::media
