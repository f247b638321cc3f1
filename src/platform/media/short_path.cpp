#include "platform/media/short_path.h"

#include "platform/media/command_parser.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tovimo::media {

namespace {

bool needsQuoting(std::string_view path) {
    for (const unsigned char c : path)
        if (c <= ' ' || c == '"' || c == 0x7f)
            return true;
    return looksLikeFileUri(path);
}

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool looksLikeFileUri(std::string_view text) {
    return lowerCase(text.substr(0, 5)) == "file:";
}

std::string fileUriOf(std::string_view absolutePath) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const unsigned char c : absolutePath) {
        if (isUnreserved(c)) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += digits[c >> 4];
            uri += digits[c & 15];
        }
    }
    return uri;
}

std::optional<std::string> pathOfFileUri(std::string_view text) {
    if (!looksLikeFileUri(text) || text.substr(5, 2) != "//")
        return std::nullopt;
    std::string_view rest = text.substr(7);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const std::string host = lowerCase(rest.substr(0, slash));
    if (!host.empty() && host != "localhost")
        return std::nullopt;
    rest.remove_prefix(slash);
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        if (i + 2 >= rest.size())
            return std::nullopt;
        const int high = hexValue(rest[i + 1]);
        const int low = hexValue(rest[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        const char decoded = static_cast<char>(high * 16 + low);
        if (decoded == '\0')
            return std::nullopt;
        path += decoded;
        i += 2;
    }
    return path;
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
    return fileUriOf(absolute);
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
