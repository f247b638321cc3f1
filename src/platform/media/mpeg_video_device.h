// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/device_table.h"
#include "platform/media/engine_thread.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tovimo::media {

// How long a command but `open` (and `play wait`) may hold its caller,
// whatever the media's source does.
inline constexpr std::chrono::milliseconds kCommandBound{1000};
// `open` waits for the engine's own preroll bound, and a little more.
inline constexpr std::chrono::milliseconds kOpenBound{11000};

// The MPEGVideo device: carries out parsed commands on one Playback, which
// runs on an EngineThread, and words its replies.
//
// A command that the engine does not finish within kCommandBound answers
// kInternalError (a query its last known state); until the engine is done
// with it, every command answers at once the same way.
class MpegVideoDevice final : public Device {
public:
    // Opens the media (see Playback::open). Returns 0 and sets `device`, or
    // an error code, with the engine's reason in `failure` when it gave one.
    static std::uint32_t open(const PlaybackOptions& options, std::unique_ptr<MpegVideoDevice>& device,
                              std::optional<PlaybackFailure>& failure);

    std::uint32_t execute(const Command& command, std::string& reply) override;
    std::string failureReason() const override { return failure_; }

private:
    explicit MpegVideoDevice(std::unique_ptr<EngineThread> engine) : engine_(std::move(engine)) {}
    // The answer of a device whose engine is stuck.
    std::uint32_t answerStuck(const Command& command, std::string& reply);

    std::unique_ptr<EngineThread> engine_;
    std::string failure_;
};

} // namespace tovimo::media
