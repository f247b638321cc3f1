// SPDX-License-Identifier: GPL-3.0-or-later
#include "favourites/favourites_file.h"

namespace tovimo::favourites {

std::vector<std::string> splitLines(std::string_view content) {
    std::vector<std::string> pieces;
    if (content.empty())
        return pieces;
    for (;;) {
        const auto end = content.find(kLineBreak);
        pieces.emplace_back(content.substr(0, end));
        if (end == std::string_view::npos)
            return pieces;
        content.remove_prefix(end + kLineBreak.size());
    }
}

std::vector<std::string> entriesOf(const std::vector<std::string>& lines) {
    std::vector<std::string> entries;
    for (const auto& line : lines)
        if (!line.empty())
            entries.push_back(line);
    return entries;
}

std::string_view titleOf(std::string_view entry) {
    const auto at = entry.find(kSeparator);
    return at == std::string_view::npos ? entry : entry.substr(0, at);
}

std::string_view pathOf(std::string_view entry) {
    const auto at = entry.find(kSeparator);
    return at == std::string_view::npos ? entry : entry.substr(at + kSeparator.size());
}

std::string joinEntry(std::string_view title, std::string_view path) {
    std::string entry;
    entry.reserve(title.size() + kSeparator.size() + path.size());
    entry.append(title).append(kSeparator).append(path);
    return entry;
}

bool fitsOneLine(std::string_view entry) {
    return entry.find(kLineBreak) == std::string_view::npos;
}

std::string_view trimSpaces(std::string_view entry) {
    const auto first = entry.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return entry.substr(first, entry.find_last_not_of(' ') - first + 1);
}

std::string rewrittenContent(const std::vector<std::string>& entries) {
    std::string content;
    for (const auto& entry : entries)
        content.append(trimSpaces(entry)).append(kLineBreak);
    return content;
}

} // namespace tovimo::favourites
