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

// How long an action waits for its engine before it answers: quick work
// answers with the engine's own result, slower work is answered as accepted
// and carried out in order.
inline constexpr std::chrono::milliseconds kAnswerGrace{30};
// `open` waits for the engine's own preroll bound, and a little more.
inline constexpr std::chrono::milliseconds kOpenBound{11000};

// The MPEGVideo device: carries out parsed commands on one Playback, which
// runs on an EngineThread, and words its replies.
//
// Queries answer at once from the engine's view: what it last knew, or what
// the commands still on their way asked for (a seek's target as the
// position). Actions are checked against that state with the engine's own
// codes and queued; no command but `open` and `play wait` holds its caller
// longer than kAnswerGrace. A stalled engine (no sign of life while it
// waits on its source, see engine_thread.h) answers actions kInternalError
// at once and gives up what was queued.
class MpegVideoDevice final : public Device {
public:
    // Opens the media (see Playback::open). Returns 0 and sets `device`, or
    // an error code, with the engine's reason in `failure` when it gave one.
    static std::uint32_t open(const PlaybackOptions& options, std::unique_ptr<MpegVideoDevice>& device,
                              std::optional<PlaybackFailure>& failure);

    std::uint32_t execute(const Command& command, std::string& reply) override;
    std::string failureReason() const override { return failure_; }
    void beginClose() override { engine_->close(); }

private:
    explicit MpegVideoDevice(std::unique_ptr<EngineThread> engine) : engine_(std::move(engine)) {}
    std::unique_ptr<EngineThread> engine_;
    std::string failure_;
};

} // namespace tovimo::media
