// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/engine_thread.h"

#include "platform/media/error_codes.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tovimo::media {

namespace {

std::atomic<int> liveCount{0};

// A healthy teardown takes milliseconds: close waits that long so that the
// window and the pipeline are gone when it returns, and no longer.
constexpr auto kCloseWait = std::chrono::milliseconds(500);

constexpr auto kPositionEvery = std::chrono::milliseconds(200);
constexpr auto kIdleWait = std::chrono::hours(1);
constexpr auto kStandingStill = std::chrono::milliseconds(1000);
using Clock = std::chrono::steady_clock;

struct OpenResult {
    std::uint32_t code = kInternalError;
    std::optional<PlaybackFailure> failure;
};

} // namespace

PlaybackSnapshot snapshotOf(Playback& playback) {
    PlaybackSnapshot snapshot;
    snapshot.mode = playback.mode();
    snapshot.positionMs = playback.positionMs();
    snapshot.lengthMs = playback.lengthMs();
    snapshot.volume = playback.volume();
    snapshot.hasVideo = playback.hasVideo();
    snapshot.source = playback.source();
    snapshot.destination = playback.destination();
    return snapshot;
}

struct EngineThread::Shared {
    struct Job {
        Command command;
        std::promise<EngineResult> result;
        std::shared_ptr<std::atomic<bool>> abandoned;
    };

    mutable std::mutex mutex;
    std::condition_variable ended;
    std::deque<Job> jobs;
    bool closing = false;
    bool done = false;
    bool standingStill = false; // playing, with a position that has not moved for a while
    BusPtr bus;                 // set before the open is answered; outlives the pipeline
    PlaybackSnapshot snapshot;
    std::promise<OpenResult> opened;

    void wake() const {
        if (bus)
            Playback::wake(bus.get());
    }
};

std::uint32_t EngineThread::open(const PlaybackOptions& options, std::chrono::milliseconds bound,
                                 std::unique_ptr<EngineThread>& engine,
                                 std::optional<PlaybackFailure>& failure) {
    auto shared = std::make_shared<Shared>();
    auto answer = shared->opened.get_future();
    std::thread(&EngineThread::main, shared, options).detach();
    if (answer.wait_for(bound) != std::future_status::ready) {
        {
            const std::lock_guard lock(shared->mutex);
            shared->closing = true;
        }
        shared->wake();
        failure = PlaybackFailure{
            "the media did not open within " + std::to_string(bound.count()) + " ms", {}, {}, {}};
        return kInternalError;
    }
    OpenResult result = answer.get();
    failure = std::move(result.failure);
    if (result.code == kOk)
        engine.reset(new EngineThread(std::move(shared)));
    return result.code;
}

void EngineThread::main(std::shared_ptr<Shared> shared, PlaybackOptions options) {
    ++liveCount;
    std::unique_ptr<Playback> playback;
    std::optional<PlaybackFailure> failure;
    const std::uint32_t code = Playback::open(options, playback, failure);
    bool serve = false;
    {
        const std::lock_guard lock(shared->mutex);
        if (code == kOk && !shared->closing) {
            shared->bus.reset(GST_BUS(gst_object_ref(playback->bus())));
            shared->snapshot = snapshotOf(*playback);
            serve = true;
        }
    }
    shared->opened.set_value(OpenResult{code, std::move(failure)});
    const auto publish = [&shared, &playback] {
        const PlaybackSnapshot snapshot = snapshotOf(*playback);
        const std::lock_guard lock(shared->mutex);
        shared->snapshot = snapshot;
    };
    if (serve)
        playback->onChange(publish);
    std::int64_t lastPosition = -1;
    auto lastMoved = Clock::now();
    while (serve) {
        std::optional<Shared::Job> job;
        {
            const std::lock_guard lock(shared->mutex);
            if (shared->closing)
                break;
            if (!shared->jobs.empty()) {
                job.emplace(std::move(shared->jobs.front()));
                shared->jobs.pop_front();
            }
        }
        if (job) {
            playback->watchAbandon(job->abandoned.get());
            playback->takeMessages();
            EngineResult result = job->command(*playback);
            playback->watchAbandon(nullptr);
            publish();
            job->result.set_value(std::move(result));
            continue;
        }
        // Until a message comes: a command wakes the wait with one of its own.
        // While it plays, the position is read now and then as well: it is
        // what a stuck engine answers, and where a file cut short stopped.
        playback->handleNext(playback->mode() == PlaybackMode::Playing ? kPositionEvery : kIdleWait);
        publish();
        // A play whose position stands still has lost its source: closing
        // it then leaves at once instead of waiting on its teardown.
        const auto now = Clock::now();
        const std::int64_t position = playback->positionMs();
        if (playback->mode() != PlaybackMode::Playing || position != lastPosition) {
            lastPosition = position;
            lastMoved = now;
        }
        const std::lock_guard lock(shared->mutex);
        shared->standingStill = now - lastMoved > kStandingStill;
    }
    // May wait as long as a stalled read lasts; nobody waits for it beyond
    // the close bound.
    playback.reset();
    // Counted out before `done`: whoever sees the engine done sees it gone.
    --liveCount;
    {
        const std::lock_guard lock(shared->mutex);
        shared->done = true;
        shared->jobs.clear();
    }
    shared->ended.notify_all();
}

EngineThread::~EngineThread() {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->closing = true;
    }
    shared_->wake();
    // A stuck engine is left to end by itself.
    if (busy())
        return;
    std::unique_lock lock(shared_->mutex);
    if (!shared_->standingStill)
        shared_->ended.wait_for(lock, kCloseWait, [this] { return shared_->done; });
}

std::optional<EngineResult> EngineThread::run(Command command, std::chrono::milliseconds bound) {
    Shared::Job job{std::move(command), {}, std::make_shared<std::atomic<bool>>(false)};
    std::shared_future<EngineResult> answer = job.result.get_future().share();
    const auto abandoned = job.abandoned;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->jobs.push_back(std::move(job));
    }
    shared_->wake();
    if (answer.wait_for(bound) == std::future_status::ready)
        return answer.get();
    abandoned->store(true);
    lastGivenUp_ = answer;
    GST_CAT_INFO(tovimo_debug, "a command was given up after %lld ms: the engine is stuck",
                 static_cast<long long>(bound.count()));
    return std::nullopt;
}

bool EngineThread::busy() const {
    return lastGivenUp_.valid() &&
           lastGivenUp_.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
}

PlaybackSnapshot EngineThread::snapshot() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->snapshot;
}

int EngineThread::liveThreads() {
    return liveCount.load();
}

} // namespace tovimo::media
