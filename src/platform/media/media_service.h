#pragma once

#include <cstdint>

namespace tovimo::media {

// The media command-string service: one text command in, one 32-bit code out.
//
// Text crosses this interface as NUL-terminated 8-bit text in the local
// encoding (UTF-8 on this platform).
class MediaCommandService {
public:
    virtual ~MediaCommandService() = default;

    // Sends `command`. `reply` may be null, in which case `replyLength` is 0.
    // Returns 0 on success, otherwise an error code (see error_codes.h).
    // When a reply buffer is given: on success it holds the reply text ending
    // in NUL; on any error its first character is set to NUL. A reply that
    // does not fit answers kParamOverflow (268).
    // Never waits for playing to end unless the command says `wait`.
    // `command` may be null (answers kNullParameterBlock).
    virtual std::uint32_t sendString(const char* command, char* reply, std::uint32_t replyLength) = 0;

    // Writes the error text of `code` into `buffer` (NUL-terminated, truncated
    // to `length`). Returns false for a code the service does not know.
    virtual bool getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) = 0;
};

// Turns a long path into a form the command parser reads back as one word.
class ShortPathService {
public:
    virtual ~ShortPathService() = default;

    // Returns the length of the short form written into `buffer` (without the
    // NUL) on success; the size needed, NUL included, when `length` is too
    // small (nothing written then); 0 when the path does not exist. Paths on
    // this platform may be far longer than 259 bytes: size the buffer for
    // PATH_MAX.
    virtual std::uint32_t getShortPathName(const char* longPath, char* buffer, std::uint32_t length) = 0;
};

} // namespace tovimo::media
