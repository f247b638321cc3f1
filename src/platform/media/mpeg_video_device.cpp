// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/mpeg_video_device.h"

#include "platform/media/error_codes.h"

#include <algorithm>

namespace tovimo::media {

namespace {

std::string rectText(const Rect& rect) {
    return std::to_string(rect.x) + ' ' + std::to_string(rect.y) + ' ' + std::to_string(rect.width) + ' ' +
           std::to_string(rect.height);
}

// Queries answer from a snapshot, live or last known.
std::uint32_t query(const Command& command, const PlaybackSnapshot& state, std::string& reply) {
    if (command.verb == Verb::Where) {
        if (!state.hasVideo)
            return kNoWindow;
        reply = rectText(command.rectTarget == RectTarget::Source ? state.source : state.destination);
        return kOk;
    }
    switch (command.statusItem) {
    case StatusItem::Length:
        reply = std::to_string(state.lengthMs);
        break;
    case StatusItem::Position:
        reply = std::to_string(state.positionMs);
        break;
    case StatusItem::Volume:
        reply = std::to_string(state.volume);
        break;
    case StatusItem::Mode:
        reply = modeName(state.mode);
        break;
    case StatusItem::Ready:
    case StatusItem::MediaPresent:
        reply = "true";
        break;
    case StatusItem::TimeFormat:
        reply = "milliseconds";
        break;
    }
    return kOk;
}

bool isQuery(const Command& command) {
    return command.verb == Verb::Status || command.verb == Verb::Where;
}

// On the engine thread.
std::uint32_t carryOut(Playback& playback, const Command& command) {
    switch (command.verb) {
    case Verb::Play:
        return playback.play(command.from, command.to, command.repeat, command.wait);
    case Verb::Pause:
        return playback.pause();
    case Verb::Resume:
        return playback.resume();
    case Verb::Stop:
        return playback.stop();
    case Verb::Seek:
        return playback.seek(command.seekTarget, command.seekPosition);
    case Verb::SetAudio:
        return playback.setVolume(command.volume);
    case Verb::Put:
        return playback.put(command.rect);
    case Verb::Window:
        return playback.showWindow(command.show);
    case Verb::Status:
    case Verb::Where:
    case Verb::Set:
    case Verb::Open:
    case Verb::Close:
        break;
    }
    return kUnrecognizedCommand;
}

// What an action must be refused for, judged from the state the caller
// last asked for, as the engine would judge it; 0 when it is accepted.
// `after` becomes the state it asks for.
std::uint32_t accept(const Command& command, const PlaybackSnapshot& state, PlaybackSnapshot& after,
                     EngineThread::Kind& kind, std::string& failure) {
    after = state;
    kind = EngineThread::Kind::Transport;
    switch (command.verb) {
    case Verb::Play: {
        if (state.failed || state.sourceLost) {
            failure = state.failure;
            return kInternalError;
        }
        if ((command.from && *command.from > state.lengthMs) || (command.to && *command.to > state.lengthMs))
            return kOutOfRange;
        if (command.repeat && command.wait)
            return kFlagsNotCompatible;
        const std::int64_t start = command.from ? *command.from : state.positionMs;
        if (command.to && start > *command.to)
            return kOutOfRange;
        if (command.from)
            kind = EngineThread::Kind::Seek;
        // Playing from the end plays nothing: the media stays at its end.
        const bool atEnd = start >= state.lengthMs;
        after.mode = atEnd ? PlaybackMode::Stopped : PlaybackMode::Playing;
        after.positionMs = atEnd ? state.lengthMs : start;
        after.atEnd = atEnd;
        return kOk;
    }
    case Verb::Pause:
        if (state.mode == PlaybackMode::Playing)
            after.mode = PlaybackMode::Paused;
        return kOk;
    case Verb::Resume:
        if (state.mode == PlaybackMode::Paused)
            after.mode = PlaybackMode::Playing;
        return kOk;
    case Verb::Stop:
        after.mode = PlaybackMode::Stopped;
        return kOk;
    case Verb::Seek: {
        const std::int64_t target = command.seekTarget == SeekTarget::Start ? 0
                                    : command.seekTarget == SeekTarget::End ? state.lengthMs
                                                                            : command.seekPosition;
        if (target > state.lengthMs)
            return kOutOfRange;
        if (state.sourceLost) {
            failure = state.failure;
            return kInternalError;
        }
        kind = EngineThread::Kind::Seek;
        after.mode = PlaybackMode::Stopped;
        after.positionMs = target;
        after.atEnd = target >= state.lengthMs;
        after.failed = false;
        after.failure.clear();
        return kOk;
    }
    case Verb::SetAudio:
        kind = EngineThread::Kind::Other;
        after.volume = command.volume;
        return kOk;
    case Verb::Put:
        kind = EngineThread::Kind::Other;
        if (state.hasVideo)
            after.destination = Rect{command.rect.x, command.rect.y, std::max(command.rect.width, 1),
                                     std::max(command.rect.height, 1)};
        return kOk;
    case Verb::Window:
        kind = EngineThread::Kind::Other;
        return state.hasVideo ? kOk : kNoWindow;
    case Verb::Status:
    case Verb::Where:
    case Verb::Set:
    case Verb::Open:
    case Verb::Close:
        break;
    }
    return kUnrecognizedCommand;
}

} // namespace

std::uint32_t MpegVideoDevice::open(const PlaybackOptions& options, std::unique_ptr<MpegVideoDevice>& device,
                                    std::optional<PlaybackFailure>& failure) {
    std::unique_ptr<EngineThread> engine;
    const auto code = EngineThread::open(options, kOpenBound, engine, failure);
    if (code == kOk)
        device.reset(new MpegVideoDevice(std::move(engine)));
    return code;
}

std::uint32_t MpegVideoDevice::execute(const Command& command, std::string& reply) {
    reply.clear();
    failure_.clear();
    if (command.verb == Verb::Set)
        return kOk; // milliseconds is the only time format, checked by the parser
    const PlaybackSnapshot state = engine_->view();
    if (isQuery(command))
        return query(command, state, reply);
    if (engine_->stalled()) {
        // What was queued behind the stuck command never runs, and that one
        // does not start playing when its read returns.
        engine_->giveUp();
        failure_ = "the media's source has stopped answering";
        return kInternalError;
    }
    PlaybackSnapshot after;
    EngineThread::Kind kind{};
    if (const auto code = accept(command, state, after, kind, failure_); code != kOk)
        return code;
    const bool seeking = kind == EngineThread::Kind::Seek;
    const auto ticket = engine_->post(
        [command](Playback& playback) {
            EngineResult result;
            result.code = carryOut(playback, command);
            return result;
        },
        kind, std::move(after), seeking);
    // `wait` waits for the end, as long as the engine makes progress; the
    // rest is carried out in order, and a short grace lets quick work answer
    // with the engine's own result.
    const bool wait = command.verb == Verb::Play && command.wait;
    const auto result =
        engine_->await(ticket, wait ? std::nullopt
                                    : std::optional<std::chrono::milliseconds>(
                                          command.all ? std::chrono::milliseconds(0) : kAnswerGrace));
    if (!result) {
        if (!wait)
            return kOk;
        engine_->giveUp();
        failure_ = "the media's source has stopped answering";
        return kInternalError;
    }
    failure_ = result->failure;
    return result->code;
}

} // namespace tovimo::media
