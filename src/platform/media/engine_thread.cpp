// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/engine_thread.h"

#include "platform/media/allocator_tuning.h"
#include "platform/media/error_codes.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace tovimo::media {

namespace {

std::atomic<int> liveCount{0};

// A healthy teardown takes milliseconds: close waits that long for an idle
// engine, so that the pipeline is gone when it returns, and no longer.
constexpr auto kCloseWait = std::chrono::milliseconds(500);

// While it plays the engine reads the position once a tick.
constexpr auto kTick = std::chrono::milliseconds(50);
constexpr auto kQuietPlaying = 4 * kTick;
constexpr auto kIdleWait = std::chrono::hours(1);
// A seek that is done sooner is never seen in progress: a caller that asks
// right after it reads the mode it lands in, on a fast machine and a slow one.
constexpr auto kShowSeekingAfter = std::chrono::milliseconds(300);
using Clock = std::chrono::steady_clock;

struct OpenResult {
    std::uint32_t code = kInternalError;
    std::optional<PlaybackFailure> failure;
};

} // namespace

PlaybackSnapshot snapshotOf(const Playback& playback) {
    PlaybackSnapshot snapshot;
    snapshot.mode = playback.mode();
    snapshot.positionMs = playback.positionMs();
    snapshot.lengthMs = playback.lengthMs();
    snapshot.volume = playback.volume();
    snapshot.hasVideo = playback.hasVideo();
    snapshot.source = playback.source();
    snapshot.destination = playback.destination();
    snapshot.atEnd = playback.ended();
    snapshot.failed = playback.failure().has_value();
    snapshot.sourceLost = playback.sourceLost();
    if (playback.failure())
        snapshot.failure = playback.failure()->describe();
    return snapshot;
}

struct EngineThread::Job {
    Command command;
    Kind kind = Kind::Other;
    bool seeking = false;
    std::uint64_t number = 0;
    Clock::time_point startedAt{};
    bool done = false;
    EngineResult result;
};

struct EngineThread::Shared {
    mutable std::mutex mutex;
    mutable std::condition_variable changed; // a job is done, or the engine ended
    std::deque<Ticket> jobs;
    Ticket running;
    std::uint64_t posted = 0;     // number of the last job posted
    std::uint64_t carriedOut = 0; // every job up to this number is done or dropped
    bool closing = false;
    bool done = false;
    bool givenUp = false;
    BusPtr bus; // set before the open is answered; outlives the pipeline
    std::shared_ptr<Liveness> life;
    X11ChildWindow* window = nullptr; // the engine's picture, until its teardown
    PlaybackSnapshot snapshot;        // the engine's own state
    PlaybackSnapshot promised;        // what the last posted job asked for
    std::promise<OpenResult> opened;

    void wake() const {
        if (bus)
            Playback::wake(bus.get());
    }

    // Under the mutex.
    bool stalled() const {
        // Queued jobs not picked up mean the thread is held outside a job.
        const bool waiting = running || !jobs.empty() || snapshot.mode == PlaybackMode::Playing;
        return waiting && life && life->quietFor() > kStallAfter;
    }

    // Under the mutex: drops the queued jobs matching `drop`.
    template <typename Predicate> void dropQueued(Predicate drop) {
        const auto kept = std::stable_partition(jobs.begin(), jobs.end(),
                                                [&drop](const Ticket& job) { return !drop(*job); });
        for (auto it = kept; it != jobs.end(); ++it)
            (*it)->done = true;
        jobs.erase(kept, jobs.end());
        if (jobs.empty() && !running)
            carriedOut = posted;
        changed.notify_all();
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
            shared->life = playback->liveness();
            shared->window = playback->window();
            shared->snapshot = snapshotOf(*playback);
            serve = true;
        }
    }
    shared->opened.set_value(OpenResult{code, std::move(failure)});
    const auto publish = [&shared, &playback] {
        PlaybackSnapshot snapshot = snapshotOf(*playback);
        const std::lock_guard lock(shared->mutex);
        shared->snapshot = std::move(snapshot);
    };
    if (serve) {
        playback->onChange(publish);
        // Checked and counted as a sign of life in one step: a stall cannot
        // be declared between this and the play it allows.
        playback->onStart([&shared] {
            const std::lock_guard lock(shared->mutex);
            if (shared->givenUp || shared->closing)
                return false;
            shared->life->mark();
            return true;
        });
    }
    std::int64_t lastPosition = -1;
    while (serve) {
        Ticket job;
        {
            const std::lock_guard lock(shared->mutex);
            if (shared->closing)
                break;
            if (!shared->jobs.empty()) {
                job = std::move(shared->jobs.front());
                shared->jobs.pop_front();
                shared->running = job;
                job->startedAt = Clock::now();
                shared->life->mark();
            }
        }
        if (job) {
            playback->takeMessages();
            EngineResult result = job->command(*playback);
            if (result.code != kOk && result.failure.empty() && playback->failure())
                result.failure = playback->failure()->describe();
            PlaybackSnapshot snapshot = snapshotOf(*playback);
            {
                const std::lock_guard lock(shared->mutex);
                shared->snapshot = std::move(snapshot);
                shared->running.reset();
                job->result = std::move(result);
                job->done = true;
                shared->carriedOut = shared->jobs.empty() ? shared->posted : job->number;
                shared->givenUp = false;
                shared->life->mark();
            }
            shared->changed.notify_all();
            continue;
        }
        // Until a message comes: a command wakes the wait with one of its own.
        const bool playing = playback->mode() == PlaybackMode::Playing;
        playback->handleNext(playing ? kTick : kIdleWait);
        if (playback->mode() == PlaybackMode::Playing) {
            playback->readPosition();
            const std::int64_t position = playback->positionMs();
            if (position != lastPosition)
                shared->life->mark();
            lastPosition = position;
        }
        publish();
    }
    {
        const std::lock_guard lock(shared->mutex);
        shared->window = nullptr;
    }
    // May wait as long as a stalled read lasts; nobody waits for it beyond
    // the close bound.
    playback.reset();
    // Counted out before `done`: whoever sees the engine done sees it gone.
    --liveCount;
    {
        const std::lock_guard lock(shared->mutex);
        shared->done = true;
        for (const Ticket& each : shared->jobs)
            each->done = true;
        shared->jobs.clear();
    }
    shared->changed.notify_all();
    // Trimming the heap takes tens of milliseconds on a large one: here,
    // not on the thread that closed the device.
    releaseFreedMemory();
}

void EngineThread::close() {
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->closing)
            return;
        shared_->closing = true;
        shared_->givenUp = true;
        // A playing engine whose position stands still for a few ticks has
        // lost its source: its teardown would wait on the read.
        const bool quiet =
            shared_->snapshot.mode == PlaybackMode::Playing && shared_->life->quietFor() > kQuietPlaying;
        waitOnClose_ = !shared_->running && shared_->jobs.empty() && !quiet && !shared_->stalled();
        // The picture goes with the device, also while a read holds the engine.
        if (shared_->window)
            shared_->window->show(false);
    }
    shared_->wake();
}

EngineThread::~EngineThread() {
    close();
    if (!waitOnClose_)
        return;
    std::unique_lock lock(shared_->mutex);
    shared_->changed.wait_for(lock, kCloseWait, [this] { return shared_->done; });
}

EngineThread::Ticket EngineThread::post(Command command, Kind kind, PlaybackSnapshot promised, bool seeking) {
    auto job = std::make_shared<Job>();
    job->command = std::move(command);
    job->kind = kind;
    job->seeking = seeking;
    {
        const std::lock_guard lock(shared_->mutex);
        if (kind == Kind::Seek)
            shared_->dropQueued([](const Job& queued) { return queued.kind != Kind::Other; });
        job->number = ++shared_->posted;
        shared_->promised = std::move(promised);
        shared_->jobs.push_back(job);
    }
    shared_->wake();
    return job;
}

std::optional<EngineResult> EngineThread::await(const Ticket& ticket,
                                                std::optional<std::chrono::milliseconds> bound) const {
    std::unique_lock lock(shared_->mutex);
    const auto finished = [&] { return ticket->done || shared_->done; };
    if (bound) {
        shared_->changed.wait_for(lock, *bound, finished);
    } else {
        while (!finished() && !shared_->stalled())
            shared_->changed.wait_for(lock, std::chrono::milliseconds(100), finished);
    }
    if (!ticket->done)
        return std::nullopt;
    return ticket->result;
}

PlaybackSnapshot EngineThread::view() const {
    const std::lock_guard lock(shared_->mutex);
    if (shared_->carriedOut >= shared_->posted)
        return shared_->snapshot;
    PlaybackSnapshot view = shared_->promised;
    if (shared_->running && shared_->running->seeking &&
        Clock::now() - shared_->running->startedAt > kShowSeekingAfter)
        view.mode = PlaybackMode::Seeking;
    return view;
}

bool EngineThread::stalled() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->stalled();
}

void EngineThread::giveUp() {
    const std::lock_guard lock(shared_->mutex);
    shared_->givenUp = shared_->running != nullptr;
    shared_->dropQueued([](const Job&) { return true; });
    shared_->carriedOut = shared_->posted;
}

int EngineThread::liveThreads() {
    return liveCount.load();
}

} // namespace tovimo::media
