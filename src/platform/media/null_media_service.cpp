// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/null_media_service.h"

#include "platform/media/error_codes.h"

#include <cstring>
#include <sys/stat.h>

namespace tovimo::media {

std::uint32_t NullMediaService::sendString(const char*, char* reply, std::uint32_t replyLength) {
    return copyReply(kInvalidDeviceName, {}, reply, replyLength);
}

bool NullMediaService::getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) {
    if (code != kInvalidDeviceName || !buffer || length == 0)
        return false;
    std::strncpy(buffer, "The media device is not open.", length - 1);
    buffer[length - 1] = '\0';
    return true;
}

std::uint32_t NullMediaService::getShortPathName(const char* longPath, char* buffer, std::uint32_t length) {
    struct stat st {};
    if (!longPath || ::stat(longPath, &st) != 0)
        return 0;
    const auto size = static_cast<std::uint32_t>(std::strlen(longPath));
    if (size + 1 > length)
        return size + 1;
    std::memcpy(buffer, longPath, size + 1);
    return size;
}

} // namespace tovimo::media
