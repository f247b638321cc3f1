// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/subtitle_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
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

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "H:MM:SS.cc" in milliseconds; the fraction is decimal, so ".5" and ".500"
// read as ".50".
std::optional<std::int64_t> ssaTime(std::string_view text) {
    text = trimmed(text);
    std::int64_t value = 0;
    std::size_t at = 0;
    const auto number = [&](std::size_t least, std::size_t most) -> std::optional<std::int64_t> {
        const std::size_t from = at;
        std::int64_t read = 0;
        while (at < text.size() && at - from < most && isDigit(text[at]))
            read = read * 10 + (text[at++] - '0');
        if (at - from < least)
            return std::nullopt;
        return read;
    };
    const auto hours = number(1, 4);
    if (!hours || at >= text.size() || text[at++] != ':')
        return std::nullopt;
    const auto minutes = number(2, 2);
    if (!minutes || *minutes > 59 || at >= text.size() || text[at++] != ':')
        return std::nullopt;
    const auto seconds = number(2, 2);
    if (!seconds || *seconds > 59)
        return std::nullopt;
    value = ((*hours * 60 + *minutes) * 60 + *seconds) * 1000;
    if (at < text.size() && text[at] == '.') {
        ++at;
        const std::size_t from = at;
        const auto fraction = number(1, 3);
        if (!fraction)
            return std::nullopt;
        std::int64_t milliseconds = *fraction;
        for (std::size_t places = at - from; places < 3; ++places)
            milliseconds *= 10;
        value += milliseconds;
    }
    if (at != text.size())
        return std::nullopt;
    return value;
}

// Dialogue text as plain lines: no override blocks, no empty lines (a blank
// line would end a SubRip cue).
std::string plainDialogue(std::string_view text) {
    std::string plain;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '{') {
            const auto close = text.find('}', at);
            if (close == std::string_view::npos)
                break;
            at = close;
        } else if (c == '\\' && at + 1 < text.size() &&
                   (text[at + 1] == 'N' || text[at + 1] == 'n' || text[at + 1] == 'h')) {
            plain += text[at + 1] == 'h' ? ' ' : '\n';
            ++at;
        } else if (c != '\r' && c != '\n') {
            plain += c;
        }
    }
    std::string lines;
    std::size_t from = 0;
    while (from <= plain.size()) {
        auto end = plain.find('\n', from);
        if (end == std::string::npos)
            end = plain.size();
        const std::string_view line = trimmed(std::string_view(plain).substr(from, end - from));
        if (!line.empty()) {
            if (!lines.empty())
                lines += '\n';
            lines += line;
        }
        from = end + 1;
    }
    return lines;
}

void appendSubRipTime(std::string& out, std::int64_t milliseconds) {
    char text[32];
    std::snprintf(
        text, sizeof text, "%02lld:%02lld:%02lld,%03lld", static_cast<long long>(milliseconds / 3600000),
        static_cast<long long>(milliseconds / 60000 % 60), static_cast<long long>(milliseconds / 1000 % 60),
        static_cast<long long>(milliseconds % 1000));
    out += text;
}

} // namespace

std::string subRipFromSsa(std::string_view script) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (script.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        script.remove_prefix(kByteOrderMark.size());
    struct Cue {
        std::int64_t start;
        std::int64_t end;
        std::string text;
    };
    std::vector<Cue> cues;
    // SSA's and ASS's columns when the script names none: the first is
    // "Marked" or "Layer", then Start, End, Style, Name, three margins, Effect, Text.
    std::size_t columns = 10, startColumn = 1, endColumn = 2, textColumn = 9;
    bool inEvents = false;
    std::size_t lineStart = 0;
    while (lineStart < script.size()) {
        auto lineEnd = script.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = script.size();
        std::string_view line = script.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        line = trimmed(line);
        if (line.empty())
            continue;
        if (line.front() == '[') {
            inEvents = sameIgnoringCase(line, "[Events]");
            continue;
        }
        if (!inEvents)
            continue;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view key = trimmed(line.substr(0, colon));
        const std::string_view value = line.substr(colon + 1);
        if (sameIgnoringCase(key, "Format")) {
            std::vector<std::string_view> names;
            for (std::size_t from = 0;;) {
                const auto comma = value.find(',', from);
                names.push_back(
                    trimmed(value.substr(from, comma == std::string_view::npos ? comma : comma - from)));
                if (comma == std::string_view::npos)
                    break;
                from = comma + 1;
            }
            const auto column = [&](std::string_view name) {
                const auto found = std::find_if(names.begin(), names.end(), [&](std::string_view each) {
                    return sameIgnoringCase(each, name);
                });
                return std::size_t(found - names.begin());
            };
            // A Format line without these columns leaves no dialogue readable.
            columns = names.size();
            startColumn = column("Start");
            endColumn = column("End");
            textColumn = column("Text");
            continue;
        }
        if (!sameIgnoringCase(key, "Dialogue") || startColumn >= columns || endColumn >= columns ||
            textColumn >= columns)
            continue;
        std::vector<std::string_view> fields;
        for (std::size_t from = 0;;) {
            const auto comma = fields.size() + 1 < columns ? value.find(',', from) : std::string_view::npos;
            fields.push_back(value.substr(from, comma == std::string_view::npos ? comma : comma - from));
            if (comma == std::string_view::npos)
                break;
            from = comma + 1;
        }
        if (fields.size() < columns)
            continue;
        const auto start = ssaTime(fields[startColumn]);
        const auto end = ssaTime(fields[endColumn]);
        if (!start || !end || *end <= *start)
            continue;
        std::string text = plainDialogue(fields[textColumn]);
        if (!text.empty())
            cues.push_back({*start, *end, std::move(text)});
    }
    std::stable_sort(cues.begin(), cues.end(), [](const Cue& a, const Cue& b) { return a.start < b.start; });
    std::string subRip;
    for (std::size_t index = 0; index < cues.size(); ++index) {
        subRip += std::to_string(index + 1);
        subRip += '\n';
        appendSubRipTime(subRip, cues[index].start);
        subRip += " --> ";
        appendSubRipTime(subRip, cues[index].end);
        subRip += '\n';
        subRip += cues[index].text;
        subRip += "\n\n";
    }
    return subRip;
}

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
