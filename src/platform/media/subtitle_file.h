// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// The subtitle text kinds that are told apart by their own marks.
enum class SubtitleFormat { SubRip, WebVtt, Ssa, Ass };

// The kind of subtitle text that a file's first bytes `start` open with,
// or null: "WEBVTT" heads WebVTT; "[Script Info]" heads SSA, or ASS when
// the script says v4.00+ or has "[V4+ Styles]"; otherwise a cue timing line
// ("00:00:01,000 --> 00:00:02,500") makes it SubRip. A leading byte order
// mark and blank lines are passed over; a control byte other than tab, CR
// or LF (binary data) makes it none.
std::optional<SubtitleFormat> subtitleFormatOf(std::string_view start);

// SubRip text holding the dialogue of an SSA or ASS script, for readers
// that take SubRip only. Each "Dialogue:" line of the [Events] section
// becomes one cue, its columns found by the section's "Format:" line (SSA's
// own order when there is none; the text is the last column and may hold
// commas). Override blocks "{...}" are dropped, "\N" and "\n" break the
// line and "\h" is a space. Lines with a malformed time, an end not after
// the start or no text left are passed over. The cues are in order of
// their start (scripts need not be) and numbered from 1. Empty when no cue
// is left.
std::string subRipFromSsa(std::string_view script);

} // namespace tovimo::media
