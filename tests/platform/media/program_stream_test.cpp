// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/program_stream.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovimo::media {
namespace {

// An MPEG-2 packet header of stream `id` with presentation stamp `pts`.
void appendPacket(std::vector<std::uint8_t>& out, std::uint8_t id, std::int64_t pts) {
    const std::uint8_t header[] = {
        0x00,
        0x00,
        0x01,
        id,
        0x00,
        0x08,
        0x80,
        0x80,
        0x05,
        static_cast<std::uint8_t>(0x21 | ((pts >> 29) & 0x0E)),
        static_cast<std::uint8_t>(pts >> 22),
        static_cast<std::uint8_t>(0x01 | ((pts >> 14) & 0xFE)),
        static_cast<std::uint8_t>(pts >> 7),
        static_cast<std::uint8_t>(0x01 | ((pts << 1) & 0xFE)),
    };
    out.insert(out.end(), std::begin(header), std::end(header));
    out.insert(out.end(), 7, 0xAA); // payload
}

TEST(ProgramStream, MeasuresVideoStampsAndIgnoresWrappedOnes) {
    std::vector<std::uint8_t> head = {0x00, 0x00, 0x01, 0xBA};
    appendPacket(head, 0xE0, (std::int64_t{1} << 33) - 3003); // a wrapped negative stamp
    appendPacket(head, 0xE0, 3003);
    appendPacket(head, 0xC0, 0);
    appendPacket(head, 0xE0, 0);
    std::vector<std::uint8_t> tail;
    appendPacket(tail, 0xE0, 177177);
    appendPacket(tail, 0xE0, 174174);
    appendPacket(tail, 0xC0, 180000);

    ASSERT_TRUE(isProgramStream(head.data(), head.size()));
    EXPECT_FALSE(isProgramStream(tail.data(), tail.size()));
    const auto range = presentationTimeRange(head.data(), head.size());
    ASSERT_TRUE(range);
    EXPECT_EQ(range->first, 0);
    EXPECT_EQ(range->last, 3003);
    // 177177 ticks = 1968.6 ms, plus a frame of 33.4 ms.
    EXPECT_EQ(programStreamLength(head.data(), head.size(), tail.data(), tail.size(), 1001.0 / 30), 2002);
}

TEST(ProgramStream, FallsBackToAudioAndAnswersNothingWithoutStamps) {
    std::vector<std::uint8_t> audio;
    appendPacket(audio, 0xC0, 90000);
    appendPacket(audio, 0xC0, 180000);
    EXPECT_EQ(programStreamLength(audio.data(), audio.size(), audio.data(), audio.size(), 0), 1000);
    const std::vector<std::uint8_t> noise(64, 0x01);
    EXPECT_FALSE(programStreamLength(noise.data(), noise.size(), audio.data(), audio.size(), 0));
}

} // namespace
} // namespace tovimo::media
