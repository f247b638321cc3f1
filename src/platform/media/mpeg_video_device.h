#pragma once

#include "platform/media/device_table.h"
#include "platform/media/playback.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tovimo::media {

// The MPEGVideo device: carries out parsed commands on one Playback and
// words its replies.
class MpegVideoDevice final : public Device {
public:
    // Opens the media (see Playback::open). Returns 0 and sets `device`, or
    // an error code, with the engine's reason in `failure` when it gave one.
    static std::uint32_t open(const PlaybackOptions& options, std::unique_ptr<MpegVideoDevice>& device,
                              std::optional<PlaybackFailure>& failure);

    std::uint32_t execute(const Command& command, std::string& reply) override;
    void poll() override;
    std::string failureReason() const override;

private:
    explicit MpegVideoDevice(std::unique_ptr<Playback> playback) : playback_(std::move(playback)) {}
    std::uint32_t status(StatusItem item, std::string& reply);

    std::unique_ptr<Playback> playback_;
};

} // namespace tovimo::media
