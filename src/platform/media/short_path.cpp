// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/short_path.h"

#include "platform/media/command_parser.h"

#include <cstring>
#include <gst/gst.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tovimo::media {

namespace {

// The length of the valid UTF-8 sequence at `text[pos]`, or 0.
std::size_t utf8SequenceAt(std::string_view text, std::size_t pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (pos + length > text.size() || byte(pos + 1) < low || byte(pos + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF)
            return 0;
    return length;
}

// Bytes the parser would split on or misread, and the escape itself.
bool isSpecial(unsigned char c) {
    return c <= ' ' || c == '"' || c == '%' || c == 0x7f;
}

bool needsQuoting(std::string_view path) {
    for (std::size_t i = 0; i < path.size();) {
        const std::size_t length = utf8SequenceAt(path, i);
        if (length == 0 || (length == 1 && isSpecial(static_cast<unsigned char>(path[i])) && path[i] != '%'))
            return true;
        i += length;
    }
    // A bare `all` would name every device.
    return looksLikeFileUri(path) || lowerCase(path) == "all";
}

// The URI form the parser reads back: blanks, quotes, control bytes, '%'
// and bytes that are not UTF-8 are escaped; letters of any script stay as
// they are, so that the form stays about as long as the path.
std::string shortUriOf(std::string_view absolutePath) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (std::size_t i = 0; i < absolutePath.size();) {
        const std::size_t length = utf8SequenceAt(absolutePath, i);
        const auto c = static_cast<unsigned char>(absolutePath[i]);
        if (length > 1 || (length == 1 && !isSpecial(c))) {
            uri.append(absolutePath.substr(i, length));
            i += length;
            continue;
        }
        uri += '%';
        uri += digits[c >> 4];
        uri += digits[c & 15];
        ++i;
    }
    return uri;
}

} // namespace

bool looksLikeFileUri(std::string_view text) {
    return lowerCase(text.substr(0, 5)) == "file:";
}

std::string fileUriOf(const std::string& path) {
    // g_filename_to_uri, not gst_filename_to_uri: the latter folds "a/../"
    // by text, which names another file when "a" is a symbolic link. The
    // kernel resolves the steps when the file is opened, as for the path.
    std::string absolute;
    if (path.empty() || path.front() != '/') {
        gchar* folder = g_get_current_dir();
        absolute = folder;
        g_free(folder);
        if (absolute.empty() || absolute.back() != '/')
            absolute += '/';
    }
    absolute += path;
    gchar* uri = g_filename_to_uri(absolute.c_str(), nullptr, nullptr);
    std::string text = uri ? uri : "";
    g_free(uri);
    return text;
}

std::optional<std::string> pathOfFileUri(std::string_view text) {
    if (!looksLikeFileUri(text))
        return std::nullopt;
    // A '#' would start a fragment, which GLib refuses in a file URI; the
    // short form leaves it as it is in the path.
    std::string uri;
    for (const char c : text)
        uri += c == '#' ? std::string_view("%23") : std::string_view(&c, 1);
    gchar* host = nullptr;
    gchar* path = g_filename_from_uri(uri.c_str(), &host, nullptr);
    std::optional<std::string> result;
    if (path && (!host || g_ascii_strcasecmp(host, "localhost") == 0))
        result = path;
    g_free(path);
    g_free(host);
    return result;
}

std::string shortForm(std::string_view path, std::string_view currentFolder) {
    if (!needsQuoting(path))
        return std::string(path);
    std::string absolute;
    if (path.empty() || path.front() != '/') {
        absolute = currentFolder;
        if (absolute.empty() || absolute.back() != '/')
            absolute += '/';
    }
    absolute += path;
    return shortUriOf(absolute);
}

std::uint32_t shortPathName(const char* longPath, char* buffer, std::uint32_t length) {
    struct stat info {};
    if (!longPath || *longPath == '\0' || ::stat(longPath, &info) != 0)
        return 0;
    std::string folder;
    if (longPath[0] != '/') {
        std::vector<char> cwd(4096);
        if (!::getcwd(cwd.data(), cwd.size()))
            return 0;
        folder = cwd.data();
    }
    const std::string form = shortForm(longPath, folder);
    const auto size = static_cast<std::uint32_t>(form.size());
    if (!buffer || size + 1 > length)
        return size + 1;
    std::memcpy(buffer, form.c_str(), size + 1);
    return size;
}

} // namespace tovimo::media
