// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/time_text.h"

#include <gtest/gtest.h>

namespace player = tovimo::player;

namespace {

TEST(TimeText, ReadsAsAClock) {
    struct Case {
        std::int32_t elapsed, length;
        const char* text;
    };
    const Case cases[] = {
        {42, 7200, "0:42 / 2:00:00"},  {0, 0, "0:00 / 0:00"},         {59, 60, "0:59 / 1:00"},
        {3599, 3600, "59:59 / 1:00:00"}, {3661, 36000, "1:01:01 / 10:00:00"},
        {-5, 125, "0:00 / 2:05"},      {32767, 32767, "9:06:07 / 9:06:07"},
        {0, 2147483647, "0:00 / 596523:14:07"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(player::elapsedOfLengthText(c.elapsed, c.length), c.text) << c.elapsed << " " << c.length;
}

} // namespace
