// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/subtitle_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <string_view>
#include <tuple>

namespace tovimo::media {

namespace {

constexpr std::array<std::string_view, 4> kExtensions{"srt", "ass", "ssa", "vtt"};

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The rank of `name` as the subtitle of a film of base name `base`: lower is
// better, null when it is not one.
std::optional<std::tuple<int, int>> rankOf(std::string_view base, std::string_view name) {
    if (name.size() <= base.size() + 1 || name.substr(0, base.size()) != base || name[base.size()] != '.')
        return std::nullopt;
    const std::string_view rest = name.substr(base.size() + 1);
    const auto lastDot = rest.rfind('.');
    const std::string_view extension = lastDot == std::string_view::npos ? rest : rest.substr(lastDot + 1);
    const auto found = std::find_if(kExtensions.begin(), kExtensions.end(), [&](std::string_view known) {
        return sameIgnoringCase(known, extension);
    });
    if (found == kExtensions.end())
        return std::nullopt;
    const int kind = int(found - kExtensions.begin());
    if (lastDot == std::string_view::npos)
        return std::tuple{0, kind};
    const std::string_view middle = rest.substr(0, lastDot);
    if (middle.empty() || middle.find('.') != std::string_view::npos)
        return std::nullopt;
    return std::tuple{1, kind};
}

bool startsIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at)
        if (sameIgnoringCase(text.substr(at, part.size()), part))
            return true;
    return false;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads 1 to `most` digits at `at`; false when there are none.
bool digits(std::string_view text, std::size_t& at, std::size_t most) {
    std::size_t count = 0;
    while (at < text.size() && count < most && isDigit(text[at])) {
        ++at;
        ++count;
    }
    return count > 0;
}

// "H:MM:SS,mmm" (also with a dot, and the hours optional as WebVTT has
// them) at `at`.
bool timestamp(std::string_view text, std::size_t& at) {
    int fields = 0;
    do {
        if (!digits(text, at, fields == 0 ? 3 : 2))
            return false;
        ++fields;
    } while (fields < 3 && at < text.size() && text[at] == ':' && ++at);
    if (fields < 2 || at >= text.size() || (text[at] != ',' && text[at] != '.'))
        return false;
    ++at;
    return digits(text, at, 3);
}

void skipBlanks(std::string_view text, std::size_t& at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
}

// A line "start --> end" anywhere in `text`.
bool hasCueTiming(std::string_view text) {
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t at = lineStart;
        skipBlanks(text, at);
        if (timestamp(text, at)) {
            skipBlanks(text, at);
            if (text.substr(at, 3) == "-->") {
                at += 3;
                skipBlanks(text, at);
                if (timestamp(text, at))
                    return true;
            }
        }
        const auto end = text.find('\n', lineStart);
        if (end == std::string_view::npos)
            break;
        lineStart = end + 1;
    }
    return false;
}

} // namespace

std::optional<SubtitleFormat> subtitleFormatOf(std::string_view start) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (start.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        start.remove_prefix(kByteOrderMark.size());
    const bool binary = std::any_of(start.begin(), start.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F;
    });
    if (binary)
        return std::nullopt;
    const auto first = start.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::nullopt;
    const std::string_view text = start.substr(first);
    if (text.substr(0, 6) == "WEBVTT" &&
        (text.size() == 6 || text[6] == ' ' || text[6] == '\t' || text[6] == '\r' || text[6] == '\n'))
        return SubtitleFormat::WebVtt;
    if (startsIgnoringCase(text, "[Script Info]"))
        return containsIgnoringCase(text, "v4.00+") || containsIgnoringCase(text, "[V4+ Styles]")
                   ? SubtitleFormat::Ass
                   : SubtitleFormat::Ssa;
    if (hasCueTiming(text))
        return SubtitleFormat::SubRip;
    return std::nullopt;
}

std::optional<std::string> subtitleNameFor(const std::string& film, const std::vector<std::string>& names) {
    const auto dot = film.rfind('.');
    // A name with no extension, or one that is all extension (".mkv"), has no base name to match.
    if (dot == std::string::npos || dot == 0)
        return std::nullopt;
    const std::string_view base = std::string_view(film).substr(0, dot);
    std::optional<std::tuple<int, int, std::string>> best;
    for (const std::string& name : names) {
        if (name == film)
            continue;
        if (const auto rank = rankOf(base, name)) {
            std::tuple<int, int, std::string> candidate{std::get<0>(*rank), std::get<1>(*rank), name};
            if (!best || candidate < *best)
                best = std::move(candidate);
        }
    }
    if (!best)
        return std::nullopt;
    return std::get<2>(*best);
}

std::optional<std::string> subtitleFileBeside(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path film(path);
    std::error_code error;
    fs::directory_iterator listing(film.has_parent_path() ? film.parent_path() : fs::path("."), error);
    if (error)
        return std::nullopt;
    const std::string filmName = film.filename().string();
    const auto dot = filmName.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return std::nullopt;
    const std::string prefix = filmName.substr(0, dot + 1);
    std::vector<std::string> names;
    // Only names that start like the film's are kept: a folder may hold many thousands of files.
    for (const fs::directory_iterator end; listing != end; listing.increment(error)) {
        if (error)
            break;
        std::string name = listing->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0)
            names.push_back(std::move(name));
    }
    const auto chosen = subtitleNameFor(filmName, names);
    if (!chosen)
        return std::nullopt;
    return (film.has_parent_path() ? film.parent_path() / *chosen : fs::path(*chosen)).string();
}

} // namespace tovimo::media
