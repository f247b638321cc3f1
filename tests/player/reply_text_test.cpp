// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/reply_text.h"

#include <gtest/gtest.h>

namespace player = tovimo::player;

namespace {

TEST(ReplyText, EndsAtTheFirstNul) {
    const char buffer[8] = {'1', '2', '\0', '9', '9', '9', '9', '9'};
    EXPECT_EQ(player::replyText(buffer, sizeof buffer), "12");
    const char full[3] = {'1', '2', '3'};
    EXPECT_EQ(player::replyText(full, sizeof full), "123") << "no NUL: the whole buffer";
}

TEST(ReplyText, LeadingNumberRule) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"", 0},   {"abc", 0},  {"  42", 42}, {"42abc", 42}, {"-7 8", -7},   {"3.5e1x", 35},
        {"1e", 1}, {".5", 0.5}, {"+9", 9},    {"- 9", 0},    {"1.2.3", 1.2},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(player::leadingNumber(c.text), c.value) << c.text;
}

TEST(ReplyText, HalvesRoundToEven) {
    EXPECT_EQ(player::roundHalfEvenToInt32(0.5), 0);
    EXPECT_EQ(player::roundHalfEvenToInt32(1.5), 2);
    EXPECT_EQ(player::roundHalfEvenToInt32(2.5), 2);
    EXPECT_EQ(player::roundHalfEvenToInt32(-2.5), -2);
    EXPECT_EQ(player::roundHalfEvenToInt32(2147483647.4), 2147483647);
    EXPECT_EQ(player::roundHalfEvenToInt32(2147483647.6), std::nullopt);
    EXPECT_EQ(player::roundHalfEvenToInt32(-2147483648.4), -2147483647 - 1);
}

TEST(ReplyText, ShortestFloatText) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {632, "632"},          {320, "320"},       {0, "0"},
        {-3.25f, "-3.25"},     {0.1f, "0.1"},      {546.6667f, "546.6667"},
        {632.5f, "632.5"},     {1e7f, "10000000"}, {1.0f / 3, "0.3333333"},
        {0.00001f, "0.00001"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(player::shortestFloatText(c.value), c.text) << c.value;
}

} // namespace
