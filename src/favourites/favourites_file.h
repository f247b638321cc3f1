// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The favourites file: 8-bit text in the system's code page, lines separated
// by CR LF, each non-empty line one entry "title@@path". Nothing is quoted or
// escaped: the first "@@" ends the title, so a title as read never holds "@@"
// while a path may. Everything here works on bytes; an entry's bytes change
// only by the trimming that a rewrite does.
namespace tovimo::favourites {

inline constexpr std::string_view kFileName = "datadoc.tvq";
inline constexpr std::string_view kSeparator = "@@";
inline constexpr std::string_view kLineBreak = "\r\n";

// The content split at every CR LF, empty pieces kept. Empty content has no
// pieces at all; any other content has one piece more than it has CR LFs.
std::vector<std::string> splitLines(std::string_view content);

// The non-empty pieces, in order: the entries. A piece of spaces only counts.
std::vector<std::string> entriesOf(const std::vector<std::string>& lines);

// The bytes before the first "@@"; the whole entry when it has none.
std::string_view titleOf(std::string_view entry);
// The bytes after the first "@@"; the whole entry when it has none.
std::string_view pathOf(std::string_view entry);

// One entry as "title@@path". An add appends kLineBreak and then this, with
// no line break after it.
std::string joinEntry(std::string_view title, std::string_view path);

// False when the bytes hold a CR LF, which would read back as two entries.
bool fitsOneLine(std::string_view entry);

// Leading and trailing spaces removed; byte 32 only, tabs and the rest stay.
std::string_view trimSpaces(std::string_view entry);

// The whole file as a removal writes it: each entry trimmed and followed by
// CR LF. No entries give an empty file.
std::string rewrittenContent(const std::vector<std::string>& entries);

} // namespace tovimo::favourites
