// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: one input is the whole text of a subtitle file beside a
// film. It is told apart by its marks, read into cues, and the cues are
// looked up at times around each cue's edges, as frames going past do.
#include "platform/media/subtitle_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tovimo::media;
    std::string text(reinterpret_cast<const char*>(data), size);
    (void)subtitleFormatOf(text);
    const std::vector<SubtitleCue> cues = subtitleCuesOf(text);
    for (const SubtitleCue& cue : cues)
        if (cue.text.empty() || cue.end <= cue.start)
            std::abort();
    const SubtitleTrack track(cues);
    for (const SubtitleCue& cue : cues) {
        for (const std::int64_t time : {cue.start - 1, cue.start, cue.end - 1, cue.end})
            (void)track.textAt(time);
        if (track.textAt(cue.start).find(cue.text) == std::string::npos)
            std::abort();
    }
    return 0;
}
