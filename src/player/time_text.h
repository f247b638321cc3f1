// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace tovimo::player {

// Whole seconds as a clock reads them: "0:42", "12:05", "2:00:00". Hours
// appear only when there are any; negative times read as 0.
std::string clockText(std::int32_t seconds);

// "elapsed / length", each read as clockText does: "0:42 / 2:00:00".
std::string elapsedOfLengthText(std::int32_t elapsed, std::int32_t length);

} // namespace tovimo::player
