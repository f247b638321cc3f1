// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_service.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tovimo::player {

// Every status query reads its reply through one buffer of this size.
inline constexpr std::uint32_t kStatusReplyLength = 128;

// Sends the status query `command` with `reply` as its buffer and reads the
// text before the buffer's first NUL as one whole number. The service's code
// is not examined: a failed query leaves the buffer as it was, so a buffer
// kept between queries reads its previous reply again, and a fresh one reads
// nothing (nullopt).
std::optional<std::int32_t> queryStatusNumber(media::MediaCommandService& service, const char* command,
                                              std::span<char, kStatusReplyLength> reply);
// The same with a fresh buffer: nullopt when the query fails.
std::optional<std::int32_t> queryStatusNumber(media::MediaCommandService& service, const char* command);

} // namespace tovimo::player
