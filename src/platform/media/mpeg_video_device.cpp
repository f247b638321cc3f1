// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/mpeg_video_device.h"

#include "platform/media/error_codes.h"

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
std::uint32_t carryOut(Playback& playback, const Command& command, std::string& reply) {
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
    case Verb::Status:
    case Verb::Where:
        return query(command, snapshotOf(playback), reply);
    case Verb::Set:
        return kOk; // milliseconds is the only time format, checked by the parser
    case Verb::Put:
        return playback.put(command.rect);
    case Verb::Window:
        return playback.showWindow(command.show);
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
        return kOk;
    if (engine_->busy())
        return answerStuck(command, reply);
    auto bound = kCommandBound;
    if (command.verb == Verb::Play && command.wait) {
        // Playing takes its time: the engine's own bound on it, and a little more.
        const auto length = engine_->snapshot().lengthMs;
        bound = std::chrono::milliseconds(2 * length + 12000);
    }
    const auto result = engine_->run(
        [command](Playback& playback) {
            EngineResult result;
            result.code = carryOut(playback, command, result.reply);
            if (result.code != kOk && playback.failure())
                result.failure = playback.failure()->describe();
            return result;
        },
        bound);
    if (!result)
        return answerStuck(command, reply);
    failure_ = result->failure;
    if (result->code == kOk)
        reply = result->reply;
    return result->code;
}

std::uint32_t MpegVideoDevice::answerStuck(const Command& command, std::string& reply) {
    if (isQuery(command))
        return query(command, engine_->snapshot(), reply);
    failure_ = "the media's source has stopped answering";
    return kInternalError;
}

} // namespace tovimo::media
