#pragma once

#include "platform/media/device_table.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tovimo::media {

// Opening options of an MPEGVideo device.
struct VideoDeviceOptions {
    std::string element;                 // a file path or a file:// URI
    std::optional<std::uint32_t> parent; // an X11 window id
    std::uint32_t style = 0;             // kChildStyle: draw inside `parent`
};

inline constexpr std::uint32_t kChildStyle = 0x40000000;

// One media file on a GStreamer playbin3 (playbin would ready its video sink
// for audio-only media too, some 50 ms per open), owned and driven on the
// calling thread only. Bus messages are read from the pipeline's bus at each command
// (no callbacks from streaming threads), so the end of the stream is seen by
// the next command after it.
//
// Invariants:
// - after a successful open the pipeline is at least PAUSED, prerolled, with
//   its length known; the device starts stopped at position 0;
// - when the stream has ended, the position answers the end point (the
//   length, or the `to` of the play command) and the mode is stopped;
// - the child window, when there is one, outlives every use the video sink
//   makes of it: the pipeline goes to NULL before the window is destroyed.
class MpegVideoDevice final : public Device {
public:
    // Opens and prerolls the media within a bounded time. Returns 0 and sets
    // `device`, or an error code.
    static std::uint32_t open(const VideoDeviceOptions& options, std::unique_ptr<MpegVideoDevice>& device);

    ~MpegVideoDevice() override;
    MpegVideoDevice(const MpegVideoDevice&) = delete;
    MpegVideoDevice& operator=(const MpegVideoDevice&) = delete;

    std::uint32_t execute(const Command& command, std::string& reply) override;
    void poll() override;

    struct Engine;

private:
    explicit MpegVideoDevice(std::unique_ptr<Engine> engine);
    std::unique_ptr<Engine> engine_;
};

// Prepares the process: Xlib thread support (before any other Xlib call, Qt's
// included) and GStreamer. Safe to call more than once.
void initializeMediaProcess();

} // namespace tovimo::media
