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
#include <utility>

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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

// Reads 1 to `most` digits at `at` into `value`; null when there are none.
std::optional<std::int64_t> digits(std::string_view text, std::size_t& at, std::size_t most) {
    std::size_t count = 0;
    std::int64_t value = 0;
    while (at < text.size() && count < most && isDigit(text[at])) {
        value = value * 10 + (text[at++] - '0');
        ++count;
    }
    if (count == 0)
        return std::nullopt;
    return value;
}

// "H:MM:SS,mmm" (also with a dot, and the hours optional as WebVTT has
// them) at `at`, in milliseconds. The fraction is decimal: ",5" is 500.
std::optional<std::int64_t> timestamp(std::string_view text, std::size_t& at) {
    int fields = 0;
    std::int64_t seconds = 0;
    do {
        const auto field = digits(text, at, fields == 0 ? 3 : 2);
        if (!field || (fields > 0 && *field > 59))
            return std::nullopt;
        seconds = seconds * 60 + *field;
        ++fields;
    } while (fields < 3 && at < text.size() && text[at] == ':' && ++at);
    if (fields < 2 || at >= text.size() || (text[at] != ',' && text[at] != '.'))
        return std::nullopt;
    const std::size_t fractionStart = ++at;
    auto fraction = digits(text, at, 3);
    if (!fraction)
        return std::nullopt;
    for (std::size_t places = at - fractionStart; places < 3; ++places)
        *fraction *= 10;
    return seconds * 1000 + *fraction;
}

void skipBlanks(std::string_view text, std::size_t& at) {
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
}

// The times of a cue timing line "start --> end" (WebVTT may add settings
// after it); null when `line` is none.
std::optional<std::pair<std::int64_t, std::int64_t>> cueTiming(std::string_view line) {
    std::size_t at = 0;
    skipBlanks(line, at);
    const auto start = timestamp(line, at);
    if (!start)
        return std::nullopt;
    skipBlanks(line, at);
    if (line.substr(at, 3) != "-->")
        return std::nullopt;
    at += 3;
    skipBlanks(line, at);
    const auto end = timestamp(line, at);
    if (!end)
        return std::nullopt;
    return std::pair{*start, *end};
}

// The lines of `text`, whichever of LF, CR LF or CR ends them.
std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const auto end = text.find_first_of("\r\n", from);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(from));
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// A line "start --> end" anywhere in `text`.
bool hasCueTiming(std::string_view text) {
    const auto lines = linesOf(text);
    return std::any_of(lines.begin(), lines.end(),
                       [](std::string_view line) { return cueTiming(line).has_value(); });
}

std::string_view withoutByteOrderMark(std::string_view text) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    return text;
}

void sortByStart(std::vector<SubtitleCue>& cues) {
    std::stable_sort(cues.begin(), cues.end(),
                     [](const SubtitleCue& a, const SubtitleCue& b) { return a.start < b.start; });
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

// One line of a SubRip or WebVTT cue as plain text: tags ("<i>", "<font
// color=...>", WebVTT's "<v Name>" and "<00:01.000>") and SubRip's override
// blocks ("{\\an8}") dropped; WebVTT's character references read.
std::string plainCueLine(std::string_view line, bool webVtt) {
    std::string plain;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        const std::string_view closing = c == '<' ? ">" : c == '{' && line.substr(at, 2) == "{\\" ? "}" : "";
        if (!closing.empty()) {
            const auto close = line.find(closing, at);
            if (close != std::string_view::npos) {
                at = close;
                continue;
            }
        }
        if (webVtt && c == '&') {
            static constexpr std::pair<std::string_view, std::string_view> kReferences[] = {
                {"&amp;", "&"},
                {"&lt;", "<"},
                {"&gt;", ">"},
                {"&nbsp;", "\xC2\xA0"},
                {"&lrm;", "\xE2\x80\x8E"},
                {"&rlm;", "\xE2\x80\x8F"}};
            const auto* reference =
                std::find_if(std::begin(kReferences), std::end(kReferences), [&](const auto& each) {
                    return line.substr(at, each.first.size()) == each.first;
                });
            if (reference != std::end(kReferences)) {
                plain += reference->second;
                at += reference->first.size() - 1;
                continue;
            }
        }
        plain += c == '\t' ? ' ' : c;
    }
    return std::string(trimmed(plain));
}

} // namespace

std::vector<SubtitleCue> cuesOfTimedText(std::string_view text, bool webVtt) {
    std::vector<SubtitleCue> cues;
    std::optional<SubtitleCue> open;
    std::vector<std::string> lines;
    const auto finish = [&] {
        if (!open)
            return;
        for (const std::string& line : lines) {
            if (line.empty())
                continue;
            if (!open->text.empty())
                open->text += '\n';
            open->text += line;
        }
        if (!open->text.empty() && open->end > open->start)
            cues.push_back(std::move(*open));
        open.reset();
        lines.clear();
    };
    for (const std::string_view line : linesOf(withoutByteOrderMark(text))) {
        if (const auto timing = cueTiming(line)) {
            // A file that leaves out the blank line between cues: the line
            // before the timing was the next cue's number, not text.
            if (!lines.empty() && !lines.back().empty() &&
                std::all_of(lines.back().begin(), lines.back().end(), isDigit))
                lines.pop_back();
            finish();
            open = SubtitleCue{timing->first, timing->second, {}};
        } else if (trimmed(line).empty()) {
            finish();
        } else if (open) {
            lines.push_back(plainCueLine(line, webVtt));
        }
    }
    finish();
    sortByStart(cues);
    return cues;
}

std::vector<SubtitleCue> cuesOfScript(std::string_view script) {
    script = withoutByteOrderMark(script);
    std::vector<SubtitleCue> cues;
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
    sortByStart(cues);
    return cues;
}

std::optional<SubtitleFormat> subtitleFormatOf(std::string_view start) {
    start = withoutByteOrderMark(start);
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

std::vector<SubtitleCue> subtitleCuesOf(std::string text) {
    if (!g_utf8_validate(text.data(), gssize(text.size()), nullptr)) {
        // Older SubRip files are most often in Windows' western code page;
        // its few unassigned bytes fail it, and Latin-1 reads every byte.
        for (const char* encoding : {"WINDOWS-1252", "ISO-8859-1"}) {
            gsize written = 0;
            if (gchar* converted = g_convert(text.data(), gssize(text.size()), "UTF-8", encoding, nullptr,
                                             &written, nullptr)) {
                text.assign(converted, written);
                g_free(converted);
                break;
            }
        }
    }
    const auto format = subtitleFormatOf(std::string_view(text).substr(0, kFormatMarksWithin));
    if (!format)
        return {};
    switch (*format) {
    case SubtitleFormat::Ssa:
    case SubtitleFormat::Ass:
        return cuesOfScript(text);
    case SubtitleFormat::WebVtt:
        return cuesOfTimedText(text, true);
    case SubtitleFormat::SubRip:
        return cuesOfTimedText(text, false);
    }
    return {};
}

SubtitleTrack::SubtitleTrack(std::vector<SubtitleCue> cues) : cues_(std::move(cues)) {
    sortByStart(cues_);
    latestEnd_.reserve(cues_.size());
    std::int64_t latest = 0;
    for (const SubtitleCue& cue : cues_)
        latestEnd_.push_back(latest = std::max(latest, cue.end));
}

std::string SubtitleTrack::textAt(std::int64_t milliseconds) const {
    // Cues that start after the time cannot show; of those before it, the
    // search back stops where no earlier cue lasts until the time.
    auto first = std::upper_bound(cues_.begin(), cues_.end(), milliseconds,
                                  [](std::int64_t time, const SubtitleCue& cue) { return time < cue.start; });
    while (first != cues_.begin() && latestEnd_[std::size_t(first - cues_.begin()) - 1] > milliseconds)
        --first;
    std::string shown;
    for (auto cue = first; cue != cues_.end() && cue->start <= milliseconds; ++cue) {
        if (cue->end <= milliseconds)
            continue;
        if (!shown.empty())
            shown += '\n';
        shown += cue->text;
    }
    return shown;
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

std::optional<std::string> readSubtitleFile(const std::string& path, std::size_t largest,
                                            std::string& reason) {
    // Non-blocking, so that a pipe with no writer does not hold the open;
    // only a plain file is read past it.
    const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (file < 0) {
        reason = "it cannot be read";
        return std::nullopt;
    }
    struct FileCloser {
        int file;
        ~FileCloser() { ::close(file); }
    } closer{file};
    struct stat status {};
    if (::fstat(file, &status) != 0) {
        reason = "it cannot be read";
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = "it is not a plain file";
        return std::nullopt;
    }
    const auto tooLarge = [&] {
        reason = "larger than " + std::to_string(largest) + " bytes";
        return std::nullopt;
    };
    if (status.st_size < 0 || std::uintmax_t(status.st_size) > largest)
        return tooLarge();
    std::string text;
    // One byte more than allowed tells a file that grew meanwhile.
    std::vector<char> block(64 * 1024);
    for (;;) {
        const ssize_t read = ::read(file, block.data(), block.size());
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0) {
            reason = "it cannot be read";
            return std::nullopt;
        }
        if (read == 0)
            return text;
        text.append(block.data(), std::size_t(read));
        if (text.size() > largest)
            return tooLarge();
    }
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
