// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
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

} // namespace tovimo::media
