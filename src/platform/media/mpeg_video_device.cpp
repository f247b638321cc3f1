#include "platform/media/mpeg_video_device.h"

#include "platform/media/error_codes.h"

namespace tovimo::media {

namespace {

const char* modeText(PlaybackMode mode) {
    switch (mode) {
    case PlaybackMode::Playing:
        return "playing";
    case PlaybackMode::Paused:
        return "paused";
    case PlaybackMode::Stopped:
        break;
    }
    return "stopped";
}

std::string rectText(const Rect& rect) {
    return std::to_string(rect.x) + ' ' + std::to_string(rect.y) + ' ' + std::to_string(rect.width) + ' ' +
           std::to_string(rect.height);
}

} // namespace

std::uint32_t MpegVideoDevice::open(const PlaybackOptions& options, std::unique_ptr<MpegVideoDevice>& device,
                                    std::optional<PlaybackFailure>& failure) {
    std::unique_ptr<Playback> playback;
    const auto code = Playback::open(options, playback, failure);
    if (code == kOk)
        device.reset(new MpegVideoDevice(std::move(playback)));
    return code;
}

void MpegVideoDevice::poll() {
    playback_->takeMessages();
}

std::string MpegVideoDevice::failureReason() const {
    const auto& failure = playback_->failure();
    return failure ? failure->describe() : std::string();
}

std::uint32_t MpegVideoDevice::execute(const Command& command, std::string& reply) {
    Playback& playback = *playback_;
    playback.takeMessages();
    reply.clear();
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
        return status(command.statusItem, reply);
    case Verb::Set:
        return kOk; // milliseconds is the only time format, checked by the parser
    case Verb::Where:
        if (!playback.hasVideo())
            return kNoWindow;
        reply =
            rectText(command.rectTarget == RectTarget::Source ? playback.source() : playback.destination());
        return kOk;
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

std::uint32_t MpegVideoDevice::status(StatusItem item, std::string& reply) {
    switch (item) {
    case StatusItem::Length:
        reply = std::to_string(playback_->lengthMs());
        break;
    case StatusItem::Position:
        reply = std::to_string(playback_->positionMs());
        break;
    case StatusItem::Volume:
        reply = std::to_string(playback_->volume());
        break;
    case StatusItem::Mode:
        reply = modeText(playback_->mode());
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

} // namespace tovimo::media
