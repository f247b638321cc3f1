// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/program_stream.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tovimo::media {

namespace {

bool isElementaryStream(std::uint8_t id) {
    return (id >= 0xC0 && id <= 0xEF) || id == 0xBD;
}

// A time stamp field: a 4-bit prefix, then 33 bits split by marker bits.
std::optional<std::int64_t> readTimeStamp(const std::uint8_t* p) {
    if ((p[0] & 1) == 0 || (p[2] & 1) == 0 || (p[4] & 1) == 0)
        return std::nullopt;
    const auto prefix = p[0] >> 4;
    if (prefix != 2 && prefix != 3)
        return std::nullopt;
    return (static_cast<std::int64_t>((p[0] >> 1) & 7) << 30) | (static_cast<std::int64_t>(p[1]) << 22) |
           (static_cast<std::int64_t>(p[2] >> 1) << 15) | (static_cast<std::int64_t>(p[3]) << 7) |
           static_cast<std::int64_t>(p[4] >> 1);
}

// The time stamp of the packet header at `p` (after its start code and id).
std::optional<std::int64_t> packetTimeStamp(const std::uint8_t* p, const std::uint8_t* end) {
    p += 2; // packet length
    if (p + 1 > end)
        return std::nullopt;
    if ((p[0] & 0xC0) == 0x80) { // MPEG-2 header
        if (p + 3 + 5 > end || (p[1] & 0x80) == 0)
            return std::nullopt;
        return readTimeStamp(p + 3);
    }
    // MPEG-1 header: stuffing, an optional buffer size field, then the stamp.
    int stuffing = 0;
    while (p < end && *p == 0xFF && stuffing++ < 16)
        ++p;
    if (p + 2 <= end && (p[0] & 0xC0) == 0x40)
        p += 2;
    if (p + 5 > end)
        return std::nullopt;
    return readTimeStamp(p);
}

} // namespace

bool isProgramStream(const std::uint8_t* data, std::size_t size) {
    return size >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 1 && data[3] == 0xBA;
}

std::optional<TimeStampRange> presentationTimeRange(const std::uint8_t* data, std::size_t size) {
    std::vector<std::int64_t> video;
    std::vector<std::int64_t> audio;
    const std::uint8_t* end = data + size;
    for (std::size_t i = 0; i + 4 <= size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1 || !isElementaryStream(data[i + 3]))
            continue;
        if (const auto stamp = packetTimeStamp(data + i + 4, end))
            (data[i + 3] >= 0xE0 ? video : audio).push_back(*stamp);
    }
    std::vector<std::int64_t>& stamps = video.empty() ? audio : video;
    if (stamps.empty())
        return std::nullopt;
    std::vector<std::int64_t> sorted = stamps;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2),
                     sorted.end());
    const std::int64_t median = sorted[sorted.size() / 2];
    constexpr std::int64_t kTenMinutes = 600 * 90000;
    std::optional<TimeStampRange> range;
    for (const std::int64_t stamp : stamps) {
        if (stamp < median - kTenMinutes || stamp > median + kTenMinutes)
            continue;
        if (!range)
            range = TimeStampRange{stamp, stamp};
        range->first = std::min(range->first, stamp);
        range->last = std::max(range->last, stamp);
    }
    return range;
}

std::optional<std::int64_t> programStreamLength(const std::uint8_t* head, std::size_t headSize,
                                                const std::uint8_t* tail, std::size_t tailSize,
                                                double frameMs) {
    const auto first = presentationTimeRange(head, headSize);
    const auto last = presentationTimeRange(tail, tailSize);
    if (!first || !last)
        return std::nullopt;
    std::int64_t span = last->last - first->first;
    constexpr std::int64_t kWrap = std::int64_t{1} << 33;
    if (span < 0)
        span += kWrap;
    return std::llround(static_cast<double>(span) / 90.0 + frameMs);
}

} // namespace tovimo::media
