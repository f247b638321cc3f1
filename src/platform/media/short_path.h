// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovimo::media {

// A path that the command parser reads back as one word naming that file:
// the path itself when it is UTF-8 with no blank, double quote or control
// character, does not look like a URI and is not the word `all`; otherwise a
// file:// URI of its absolute form in which only those bytes, '%' and bytes
// that are not UTF-8 are percent-encoded. The form is then at most the
// absolute path's length plus 7, plus twice the number of escaped bytes.
// `currentFolder` makes a relative path absolute for the URI.
std::string shortForm(std::string_view path, std::string_view currentFolder);

// The file:// URI of `path`, a relative one taken from the current folder.
// Its "." and ".." steps stay in the URI, for the kernel to resolve.
std::string fileUriOf(const std::string& path);

// The path named by a file: URI (an empty or "localhost" host only), or
// nothing when `text` is not such a URI or is malformed.
std::optional<std::string> pathOfFileUri(std::string_view text);

// True when `text` starts with "file:", ignoring case.
bool looksLikeFileUri(std::string_view text);

// The service call: see ShortPathService::getShortPathName.
std::uint32_t shortPathName(const char* longPath, char* buffer, std::uint32_t length);

} // namespace tovimo::media
