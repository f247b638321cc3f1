// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tovimo::media {

// True when `data` starts with an MPEG program stream pack header.
bool isProgramStream(const std::uint8_t* data, std::size_t size);

struct TimeStampRange {
    std::int64_t first = 0; // 90 kHz units
    std::int64_t last = 0;
};

// The earliest and latest presentation time stamps of the video packets in
// `data`, or of the audio packets when there is no video; nothing when there
// is neither. `data` is a stretch of the stream (its head or its tail), far
// shorter than ten minutes of media: stamps further than that from the
// stretch's median are encoder artefacts (wrapped negative stamps) and are
// left out.
std::optional<TimeStampRange> presentationTimeRange(const std::uint8_t* data, std::size_t size);

// The playing time in milliseconds from the stream's head and tail stretches,
// adding one video frame of `frameMs`; nothing when either has no stamp.
std::optional<std::int64_t> programStreamLength(const std::uint8_t* head, std::size_t headSize,
                                                const std::uint8_t* tail, std::size_t tailSize,
                                                double frameMs);

} // namespace tovimo::media
