// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/recording_media_service.h"

#include <cstring>

namespace tovimo::testing {

std::uint32_t RecordingMediaService::sendString(const char* command, char* reply, std::uint32_t replyLength) {
    commands_.emplace_back(command);
    Answer answer{defaultCode_, {}, true};
    if (auto it = answers_.find(command); it != answers_.end())
        answer = it->second;
    // With writeReply false a successful command writes nothing, as a
    // service may do.
    const auto code =
        media::copyReply(answer.code, answer.reply, answer.writeReply ? reply : nullptr, replyLength);
    if (hook_)
        hook_(command);
    return code;
}

std::vector<std::string> RecordingMediaService::commandsWithoutPolling() const {
    std::vector<std::string> result;
    for (const std::string& command : commands_)
        if (command != "status Media position")
            result.push_back(command);
    return result;
}

bool RecordingMediaService::getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) {
    errorStringRequests.push_back(code);
    const std::string text = "error " + std::to_string(code);
    if (length == 0)
        return false;
    std::strncpy(buffer, text.c_str(), length - 1);
    buffer[length - 1] = '\0';
    return true;
}

std::uint32_t RecordingMediaService::getShortPathName(const char* longPath, char* buffer,
                                                      std::uint32_t length) {
    std::string shortForm = longPath;
    if (auto it = shortPaths_.find(longPath); it != shortPaths_.end())
        shortForm = it->second;
    if (shortForm.empty())
        return 0;
    if (shortForm.size() + 1 > length)
        return static_cast<std::uint32_t>(shortForm.size() + 1);
    std::memcpy(buffer, shortForm.c_str(), shortForm.size() + 1);
    return static_cast<std::uint32_t>(shortForm.size());
}

} // namespace tovimo::testing
