// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/device_table.h"
#include "platform/media/media_service.h"

namespace tovimo::media {

// Call first in main, before any other library opens an X connection: Xlib's
// thread support must come before every other Xlib call in the process.
// Returns at once: GStreamer gets ready on a thread of its own, and the
// first open waits for it.
void initializeProcess();

// Engines still running in the process: open devices, and closed ones whose
// teardown waits for a stalled read to return.
int runningEngines();

// The command-string service on GStreamer: MPEGVideo devices by alias, and
// short paths that its parser reads back as one word.
//
// Every call returns without waiting for playing to end (unless the
// command says `wait`), and no command but `open` waits on decoding or
// reading: each device's engine runs on a thread of its own and carries out
// the actions it accepted in order (engine_thread.h). `close` never waits
// on a stuck engine, and a command to `all` devices waits on none of them.
// Use one thread only.
class MciService final : public MediaCommandService, public ShortPathService {
public:
    MciService();
    ~MciService() override;
    MciService(const MciService&) = delete;
    MciService& operator=(const MciService&) = delete;

    std::uint32_t sendString(const char* command, char* reply, std::uint32_t replyLength) override;
    bool getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) override;
    std::uint32_t getShortPathName(const char* longPath, char* buffer, std::uint32_t length) override;

    // Why the last command failed, as the engine told it (which plugin is
    // missing, which element failed), in one line; empty when the command
    // succeeded or the engine gave no reason.
    const std::string& lastFailureReason() const { return lastFailureReason_; }

private:
    // `replyRoom` is the caller's buffer size, 0 for none.
    std::uint32_t execute(const char* text, std::string& reply, std::size_t replyRoom);
    std::uint32_t open(const Command& command, std::string& reply, std::size_t replyRoom);

    DeviceTable devices_;
    std::string lastFailureReason_;
};

} // namespace tovimo::media
