// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_service.h"

namespace tovimo::media {

// A service with no devices: every command answers kInvalidDeviceName.
class NullMediaService final : public MediaCommandService, public ShortPathService {
public:
    std::uint32_t sendString(const char* command, char* reply, std::uint32_t replyLength) override;
    bool getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) override;
    std::uint32_t getShortPathName(const char* longPath, char* buffer, std::uint32_t length) override;
};

} // namespace tovimo::media
