// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovimo::media {

// The subtitle file that goes with the media file named `film` (a name, no
// folder) among the names of the files beside it: one with the same base
// name and a subtitle extension (.srt, .ass, .ssa, .vtt, any case), either
// right after the base name ("film.srt") or after one more part such as a
// language ("film.en.srt"). The plain name wins over one with a language;
// then the extensions in the order above; then the lower name. Null when
// none fits.
std::optional<std::string> subtitleNameFor(const std::string& film, const std::vector<std::string>& names);

// The subtitle file beside the media file at `path`, by subtitleNameFor over
// the folder's listing; null when there is none or the folder cannot be read.
std::optional<std::string> subtitleFileBeside(const std::string& path);

// The whole content of the subtitle file at `path`, or null with `reason`
// ("it cannot be read", "it is not a plain file", "larger than N bytes").
// Only a plain file of at most `largest` bytes is read: a pipe, a device or
// a folder given that name is never opened for reading, so nothing waits on
// it.
std::optional<std::string> readSubtitleFile(const std::string& path, std::size_t largest,
                                            std::string& reason);

// The subtitle text kinds that are told apart by their own marks.
enum class SubtitleFormat { SubRip, WebVtt, Ssa, Ass };

// The kind of subtitle text that a file's first bytes `start` open with,
// or null: "WEBVTT" heads WebVTT; "[Script Info]" heads SSA, or ASS when
// the script says v4.00+ or has "[V4+ Styles]"; otherwise a cue timing line
// ("00:00:01,000 --> 00:00:02,500") makes it SubRip. A leading byte order
// mark and blank lines are passed over; a control byte other than tab, CR
// or LF (binary data) makes it none.
std::optional<SubtitleFormat> subtitleFormatOf(std::string_view start);

// How far into a file subtitleFormatOf needs to look.
inline constexpr std::size_t kFormatMarksWithin = 4096;

// One subtitle: shown from `start` up to, not including, `end` (the media's
// time in milliseconds). `text` is plain UTF-8, its lines joined by '\n';
// never empty.
struct SubtitleCue {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::string text;
    bool operator==(const SubtitleCue&) const = default;
};

// The dialogue of an SSA or ASS script. Each "Dialogue:" line of the
// [Events] section becomes one cue, its columns found by the section's
// "Format:" line (SSA's own order when there is none; the text is the last
// column and may hold commas). Override blocks "{...}" are dropped, "\N"
// and "\n" break the line and "\h" is a space. Lines with a malformed time,
// an end not after the start or no text left are passed over. The cues are
// in order of their start (scripts need not be), cues with the same start in
// file order.
std::vector<SubtitleCue> cuesOfScript(std::string_view script);

// The cues of SubRip or WebVTT text: a timing line "start --> end" opens a
// cue, its text runs to the next blank line (or to the next timing line, in
// files that leave the blank line out, less the number before it). Tags and
// SubRip's "{\...}" blocks are dropped; with `webVtt`, character references
// are read. Cues with no text or an end not after the start are passed over;
// the rest are in order of their start.
std::vector<SubtitleCue> cuesOfTimedText(std::string_view text, bool webVtt);

// The cues of a subtitle file's whole text, of whichever kind
// subtitleFormatOf finds in its first kFormatMarksWithin bytes. Text that is
// not UTF-8 is read as Windows-1252, the usual encoding of older SubRip
// files (Latin-1 when that fails). Empty when the text is none of the kinds
// or holds no cue.
std::vector<SubtitleCue> subtitleCuesOf(std::string text);

// What a subtitle file shows at each time of the media.
class SubtitleTrack {
public:
    explicit SubtitleTrack(std::vector<SubtitleCue> cues);
    bool empty() const { return cues_.empty(); }
    // The text of every cue that covers `milliseconds`, in order of start,
    // one under another; empty when none does.
    std::string textAt(std::int64_t milliseconds) const;

private:
    std::vector<SubtitleCue> cues_;       // in order of start
    std::vector<std::int64_t> latestEnd_; // the latest end among cues_[0..i]
};

} // namespace tovimo::media
