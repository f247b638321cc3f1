// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/playback.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>

namespace tovimo::media {

// What a caller may still know of an engine it cannot reach: the state
// taken after the engine's last command or message.
struct PlaybackSnapshot {
    PlaybackMode mode = PlaybackMode::Stopped;
    std::int64_t positionMs = 0;
    std::int64_t lengthMs = 0;
    std::int32_t volume = 1000;
    bool hasVideo = false;
    Rect source;
    Rect destination;
};

// Reads the state a snapshot keeps; on the engine thread only.
PlaybackSnapshot snapshotOf(Playback& playback);

// The result of one command run on the engine thread.
struct EngineResult {
    std::uint32_t code = 0;
    std::string reply;
    std::string failure; // the engine's reason when the command failed
};

// One Playback on a thread of its own, the only thread that ever touches
// its pipeline. Between commands the thread reads the bus as messages
// arrive, so the end of the media, an error or a repeat is taken in when it
// happens. GStreamer calls can wait on a streaming thread stuck in a read
// (state changes, flushing seeks): only this thread makes them, and callers
// wait for it with a bound.
//
// Invariants:
// - a caller waits at most the bound it gives; a command still running
//   after it is given up (Playback::watchAbandon) and finishes unseen;
// - while a given-up command still runs, the engine is busy(): further
//   commands are refused at once by the caller (see MpegVideoDevice);
// - closing never waits on a stuck engine: the thread owns the Playback
//   from the start and destroys it (pipeline to NULL, then the window) when
//   it gets there, however late the stuck read returns; the process may end
//   before then. A healthy engine is gone when the destructor returns: it
//   waits a short bound for the teardown, unless a command was given up or
//   the engine plays with a position that has stood still for a second.
class EngineThread {
public:
    using Command = std::function<EngineResult(Playback&)>;

    // Starts the thread and opens the media on it; waits at most `bound`.
    // Returns 0 and sets `engine`, or an error code and the reason in
    // `failure` when the engine gave one.
    static std::uint32_t open(const PlaybackOptions& options, std::chrono::milliseconds bound,
                              std::unique_ptr<EngineThread>& engine, std::optional<PlaybackFailure>& failure);

    // Closes: the thread tears the engine down and ends by itself.
    ~EngineThread();
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    // Runs `command` on the thread. Returns its result, or nullopt when it
    // did not finish within `bound` (it is then given up).
    std::optional<EngineResult> run(Command command, std::chrono::milliseconds bound);

    // Whether a command given up earlier is still running.
    bool busy() const;

    PlaybackSnapshot snapshot() const;

    // Engine threads still running in the process, closed ones included
    // until their teardown ends.
    static int liveThreads();

private:
    struct Shared;
    explicit EngineThread(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
    static void main(std::shared_ptr<Shared> shared, PlaybackOptions options);

    std::shared_ptr<Shared> shared_;
    std::shared_future<EngineResult> lastGivenUp_;
};

} // namespace tovimo::media
