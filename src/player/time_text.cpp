// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/time_text.h"

#include <algorithm>
#include <cstdio>

namespace tovimo::player {

std::string clockText(std::int32_t seconds) {
    const std::int32_t total = std::max<std::int32_t>(0, seconds);
    const std::int32_t hours = total / 3600;
    const std::int32_t minutes = total / 60 % 60;
    const std::int32_t rest = total % 60;
    char text[32];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%d:%02d:%02d", hours, minutes, rest);
    else
        std::snprintf(text, sizeof text, "%d:%02d", minutes, rest);
    return text;
}

std::string elapsedOfLengthText(std::int32_t elapsed, std::int32_t length) {
    return clockText(elapsed) + " / " + clockText(length);
}

} // namespace tovimo::player
