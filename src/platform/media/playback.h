// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/command_parser.h"
#include "platform/media/gst_support.h"
#include "platform/media/x11_child_window.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tovimo::media {

// Opening options of a media file.
struct PlaybackOptions {
    std::string element;                 // a file path or a file:// URI
    std::optional<std::uint32_t> parent; // an X11 window id
    std::uint32_t style = 0;             // kChildStyle: draw inside `parent`
};

inline constexpr std::uint32_t kChildStyle = 0x40000000;

// Seeking is never a Playback's own mode: it is how a device tells a seek
// that its engine has not finished yet.
enum class PlaybackMode { Stopped, Playing, Paused, Seeking };

// The mode as `status ... mode` answers it: "stopped", "playing", "paused",
// "seeking".
const char* modeName(PlaybackMode mode);

// Why the engine failed, as GStreamer told it; one line of text.
struct PlaybackFailure {
    std::string message;       // the error's own text
    std::string debug;         // its debug text, or empty
    std::string element;       // path of the element that posted it
    std::string missingPlugin; // what a missing plugin would have done

    std::string describe() const;
};

// Where the current play ends and what happens there: reset in one place
// (Playback::stopRun) whenever the media moves away from the run.
struct PlayRun {
    std::optional<std::int64_t> endedAtMs; // where the stream ended, until it moves again
    std::optional<std::int32_t> playTo;    // the `to` of the play
    bool repeat = false;
    std::int64_t repeatFromMs = 0;
};

// When the engine last showed a sign of life: bytes from the media's source
// (marked from the streaming threads), a position that moved, a command
// that got through. Whether it is stalled is judged from this alone.
class Liveness {
    using Clock = std::chrono::steady_clock;

public:
    Liveness() { mark(); }
    void mark() { lastNs_.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed); }
    Clock::duration quietFor() const {
        return Clock::now().time_since_epoch() - Clock::duration(lastNs_.load(std::memory_order_relaxed));
    }

private:
    std::atomic<Clock::rep> lastNs_{0};
};

// One media file on a GStreamer playbin3 (playbin would ready its video sink
// for audio-only media too, some 50 ms per open), owned and driven on one
// thread only: the engine thread of engine_thread.h, which reads the bus as
// messages arrive (handleNext), reads the position once a tick while playing
// (readPosition) and runs commands in between. Calls may wait on the engine
// for as long as a stalled read lasts: callers that must not wait go
// through the engine thread. Waits on the pipeline are judged by progress
// (liveness()), never by how long healthy work takes.
//
// Every method answers 0 or an error code of error_codes.h.
//
// Invariants:
// - after a successful open the pipeline is at least PAUSED, prerolled, with
//   its length known; the playback starts stopped at position 0;
// - the pipeline's target state is set in setTarget() alone, and the mode
//   changes in transition() alone, from what the bus reports: the pipeline's
//   STATE_CHANGED reaching the state the mode asked for needs, the
//   ASYNC_DONE of the pending seek, EOS and ERROR. A command asks for a mode
//   (request()) and waits on the bus until the pipeline is there, for as
//   long as the engine shows signs of life; set_state's return value never
//   decides the mode. Stopped and Paused are the same pipeline state
//   (PAUSED): moving between them changes nothing in the pipeline, and is
//   taken at once;
// - mode and pipeline agree after every command, whether it succeeded or
//   failed (Playing: PLAYING; Paused and Stopped: PAUSED, or READY after a
//   failure);
// - a seek is done only at the ASYNC_DONE that follows its own flush: the
//   pipeline's ASYNC_DONE carries no seqnum, so the seek posts a marker
//   with its seqnum on the bus before it is sent, and an ASYNC_DONE counts
//   once that marker and then the pipeline's loss of its preroll have been
//   read, with no state change left pending. What an earlier pause or
//   preroll posted never ends a later seek;
// - failure has one channel, failure(), set only by fail(), which also
//   resets the pipeline to READY and the mode to stopped. A failure blocks
//   play and resume (kInternalError) until a seek prerolls again and clears
//   it; pause, stop and queries still answer;
// - positionMs() alone decides what the position is, without side effects,
//   and at the end of the stream it answers the end point (the length, or
//   the `to` of the play that ended) while the mode is stopped, or where
//   the data ran out when the stream ended well before that;
// - a play at the end of the media leaves it there; only a seek or a play
//   `from` moves it away;
// - the child window, when there is one, outlives every use the video sink
//   makes of it: the pipeline goes to NULL before the window is destroyed.
class Playback {
public:
    using Clock = std::chrono::steady_clock;

    // Opens and prerolls the media. Fails at once for files the engine
    // recognises but cannot play (a missing plugin, no audio or video
    // stream, an error the decoding bins swallowed); waits at most a bounded
    // time for reads that stall. On failure, `failure` says why when the
    // engine told, and `playback` may hold the half-made engine: destroying
    // it may wait for a stalled read, so a caller that must not wait hands
    // it to a thread of its own.
    static std::uint32_t open(const PlaybackOptions& options, std::unique_ptr<Playback>& playback,
                              std::optional<PlaybackFailure>& failure);

    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    // Takes in what the engine has reported so far: the end, errors, a repeat.
    void takeMessages();
    // Waits up to `timeout` for one message and takes it in.
    void handleNext(Clock::duration timeout);
    // Ends a handleNext() wait from any thread; safe until the object goes.
    static void wake(GstBus* bus);
    // From any thread: the video window was uncovered, and the engine has
    // the sink draw its last picture again.
    static void postExposed(GstBus* bus);
    GstBus* bus() const { return bus_.get(); }

    // Asked right before playback starts; false when the command has been
    // given up (its caller was told it failed): the play then ends stopped
    // instead of starting late.
    void onStart(std::function<bool()> mayStart) { mayStart_ = std::move(mayStart); }
    const std::shared_ptr<Liveness>& liveness() const { return life_; }
    // The picture's window, or null; it lives as long as this object.
    X11ChildWindow* window() const { return child_.get(); }
    // Called after every change of mode and every failure, on this thread,
    // so that what the engine last knew can be told while it is stuck.
    void onChange(std::function<void()> changed) { changed_ = std::move(changed); }

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
    std::int64_t positionMs() const;
    // The engine's tick while playing: one reading of the position, kept
    // with its time (where a file cut short stopped is judged from these).
    void readPosition();
    // Stopped where a run ended, until the media moves away.
    bool ended() const { return run_.endedAtMs.has_value(); }
    // The file shrank while it played: what is gone cannot be sought.
    bool sourceLost() const { return sourceLost_; }
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

    // An error seen leaving an element inside the pipeline, which a
    // decoding bin may keep from the bus (see gst_support.h).
    struct SeenError {
        ElementPtr element;
        MessagePtr message;
        Clock::time_point seenAt;
    };

    std::uint32_t preroll(const std::string& path);
    GstStateChangeReturn startPaused();
    bool prerollAgain();
    bool queryLength();
    bool seekTo(std::int64_t startMs, std::optional<std::int64_t> stopMs);
    bool seekPaused(std::int64_t targetMs, std::optional<std::int64_t> stopMs = std::nullopt);
    // The one place the pipeline's target state is set.
    GstStateChangeReturn setTarget(GstState state);
    // Asks for `wanted` and waits on the bus until the pipeline is there,
    // while the engine shows signs of life; fails the engine when the
    // pipeline refuses or goes quiet on the way. Returns whether it got there.
    bool request(PlaybackMode wanted, const char* why);
    // Reads the bus until the mode is the one asked for and no seek is
    // pending, or the engine fails or shows no sign of life for `quiet`.
    bool settle(Clock::duration quiet);
    // The one way the mode changes, called from what the bus reports.
    void transition(PlaybackMode to, const char* why);
    // The pipeline's STATE_CHANGED and ASYNC_DONE, as they bear on the mode
    // asked for and on the pending seek.
    void onStateChanged(GstMessage* message);
    void onAsyncDone();
    // The one way a failure is recorded: keeps the reason, resets the
    // pipeline to READY and the mode to stopped, ends the run.
    void fail(PlaybackFailure failure);
    void stopRun() { run_ = PlayRun{}; }
    // Starts the readings of a run that plays from `atMs` now: where the
    // stream ends is judged against them and against real time since.
    void restartReadings(std::int64_t atMs);
    void reachEnd();
    // Where a run that ended stopped: its end point, or where the data ran
    // out when that was well before it.
    std::int64_t endPoint() const;
    // Where the last picture the video sink was given stands, if known.
    std::optional<std::int64_t> lastShownMs() const;
    bool fileCutShort() const;
    // Where a picture of the end is shown: the last frame starts there.
    std::int64_t lastFrameMs() const;
    bool atEndOfMedia() const { return run_.endedAtMs && *run_.endedAtMs >= lengthMs_; }
    void handle(GstMessage* message);
    // The audio output failed (the sound server went away): the media plays
    // on from where it was, without sound. False when that failed too.
    bool playOnWithoutSound();
    void checkSeenErrors();
    GstMessageType waitFor(int types, Clock::duration timeout);
    void readVideoFormat();
    void fitVideoToWindow();

    ElementPtr pipeline_;
    ElementPtr videoSink_;
    BusPtr bus_;
    StreamCollectionPtr streams_;
    std::unique_ptr<X11ChildWindow> child_;
    std::string path_;
    std::int64_t fileSize_ = 0;

    PlaybackMode mode_ = PlaybackMode::Stopped;   // what the pipeline has reached
    PlaybackMode wanted_ = PlaybackMode::Stopped; // what the last request asked for
    // The flushing seek sent last, until its preroll is done.
    struct PendingSeek {
        guint32 seqnum = 0;
        bool marked = false;  // its marker has been read: what follows is its own
        bool flushed = false; // the pipeline has lost its preroll to it since
    };
    std::optional<PendingSeek> seek_;
    GstState target_ = GST_STATE_NULL; // the pipeline's, as setTarget() last set it
    std::int64_t lengthMs_ = 0;
    bool lengthFixed_ = false; // the length was read from the file, not the demuxer
    std::int64_t lastPositionMs_ = 0;
    std::int64_t previousPositionMs_ = 0; // the reading before lastPositionMs_
    Clock::time_point lastReadAt_{};
    Clock::time_point previousReadAt_{};
    std::int64_t runFromMs_ = 0; // where the media last started playing, and when
    Clock::time_point runFromAt_{};
    bool sourceLost_ = false;
    bool soundLost_ = false; // the audio output failed and was replaced by a silent one
    PlayRun run_;
    std::int32_t volume_ = 1000;
    std::optional<PlaybackFailure> failure_;
    std::string missingPlugin_; // what the engine last found missing
    std::vector<SeenError> seenErrors_;
    std::function<bool()> mayStart_;
    std::shared_ptr<Liveness> life_ = std::make_shared<Liveness>();
    std::function<void()> changed_;

    bool hasVideo_ = false;
    int videoWidth_ = 0;
    int videoHeight_ = 0;
    bool turned_ = false; // the orientation swaps width and height
    double frameMs_ = 0;
    Rect destination_;
};

} // namespace tovimo::media
