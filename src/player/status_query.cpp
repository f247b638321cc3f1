// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/status_query.h"

#include "player/reply_text.h"

#include <array>

namespace tovimo::player {

std::optional<std::int32_t> queryStatusNumber(media::MediaCommandService& service, const char* command,
                                              std::span<char, kStatusReplyLength> reply) {
    service.sendString(command, reply.data(), kStatusReplyLength);
    return wholeTextToInt32(replyText(reply.data(), reply.size()));
}

std::optional<std::int32_t> queryStatusNumber(media::MediaCommandService& service, const char* command) {
    std::array<char, kStatusReplyLength> reply{};
    return queryStatusNumber(service, command, reply);
}

} // namespace tovimo::player
