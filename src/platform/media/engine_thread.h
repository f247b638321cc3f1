// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/playback.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tovimo::media {

// What a caller knows of an engine without reaching it: the state taken
// after the engine's last command, message or tick, or the state the caller
// asked for while its commands are still on their way.
struct PlaybackSnapshot {
    PlaybackMode mode = PlaybackMode::Stopped;
    std::int64_t positionMs = 0;
    std::int64_t lengthMs = 0;
    std::int32_t volume = 1000;
    bool hasVideo = false;
    Rect source;
    Rect destination;
    bool atEnd = false;      // stopped where a run ended: a play there plays nothing
    bool failed = false;     // play is refused until a seek prerolls again
    bool sourceLost = false; // the file shrank under the engine: seeks and plays are refused
    std::string failure;     // the engine's reason, when it failed
};

// Reads the state a snapshot keeps; on the engine thread only.
PlaybackSnapshot snapshotOf(const Playback& playback);

// The result of one command run on the engine thread.
struct EngineResult {
    std::uint32_t code = 0;
    std::string reply;
    std::string failure; // the engine's reason when the command failed
};

// One Playback on a thread of its own, the only thread that ever touches
// its pipeline. Commands are queued and carried out in order; between them
// the thread reads the bus as messages arrive and reads the position once
// a tick while it plays, so the end of the media, an error or a repeat is
// taken in when it happens.
//
// Invariants:
// - no call but open() and await() waits on the engine: queries answer from
//   view(), under a mutex that the engine holds only to copy state;
// - view() is the engine's own state once it has carried out every command
//   posted so far, and the state the last posted command asked for before;
// - a posted command whose kind is Transport drops the transport commands
//   still queued before it: a seek replaces one that has not started;
// - the engine is stalled() only while it waits on the pipeline (a command
//   runs, or it plays) and no sign of life came for kStallAfter: no bytes
//   from the source, no moving position. Slow work that reads is not stuck;
// - giveUp() drops the queued commands, which never run, and keeps the
//   running one from starting playback when it returns: the engine checks
//   that under the same mutex, and a check it passes counts as a sign of
//   life, so a stall cannot be declared between the check and the play;
// - closing never waits on a stuck engine: the thread owns the Playback and
//   destroys it (pipeline to NULL, then the window) when it gets there,
//   however late the stuck read returns; its picture is hidden at once. A
//   healthy engine is gone when the destructor returns: it waits a short
//   bound for the teardown unless the engine is stalled.
class EngineThread {
public:
    using Command = std::function<EngineResult(Playback&)>;
    using Clock = std::chrono::steady_clock;

    // How long an engine that waits on the pipeline may go without a sign
    // of life before it counts as stalled.
    static constexpr std::chrono::milliseconds kStallAfter{2000};

    enum class Kind {
        Transport, // play, pause, resume, stop
        Seek,      // seek, play from: replaces queued transport commands
        Other,
    };

    struct Job;
    using Ticket = std::shared_ptr<Job>;

    // Starts the thread and opens the media on it; waits at most `bound`.
    // Returns 0 and sets `engine`, or an error code and the reason in
    // `failure` when the engine gave one.
    static std::uint32_t open(const PlaybackOptions& options, std::chrono::milliseconds bound,
                              std::unique_ptr<EngineThread>& engine, std::optional<PlaybackFailure>& failure);

    // Starts closing: hides the picture and tells the thread to tear the
    // engine down; never waits. Any number of calls.
    void close();
    // Closes, and waits a short bound for an idle engine's teardown.
    ~EngineThread();
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    // Queues `command`; `promised` is what view() answers until the engine
    // has carried it out. `seeking` marks a command that moves the position,
    // shown as the mode "seeking" once it has taken a while.
    Ticket post(Command command, Kind kind, PlaybackSnapshot promised, bool seeking = false);

    // Waits for the command of `ticket` at most `bound` (or, with no bound,
    // until it is done or the engine stalls); nullopt when it is not done.
    // A command dropped by a later one answers 0.
    std::optional<EngineResult> await(const Ticket& ticket,
                                      std::optional<std::chrono::milliseconds> bound) const;

    // The state queries answer.
    PlaybackSnapshot view() const;

    // Whether the engine has waited on its source with no sign of life for
    // kStallAfter.
    bool stalled() const;

    // Drops every queued command and keeps the running one from playing.
    void giveUp();

    // Engine threads still running in the process, closed ones included
    // until their teardown ends.
    static int liveThreads();

private:
    struct Shared;
    explicit EngineThread(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    static void main(std::shared_ptr<Shared> shared, PlaybackOptions options);

    std::shared_ptr<Shared> shared_;
    bool waitOnClose_ = false;
};

} // namespace tovimo::media
