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

} // namespace

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
