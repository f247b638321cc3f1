// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/error_codes.h"

#include <cstdint>
#include <cstring>
#include <string_view>

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
    // in NUL; on any error it is left exactly as it was, so that a failed
    // query shows as a stale reply. A reply that does not fit answers
    // kParamOverflow (268), writes nothing and leaves no other trace.
    // Never waits for playing to end unless the command says `wait`.
    // `command` may be null (answers kNullParameterBlock).
    virtual std::uint32_t sendString(const char* command, char* reply, std::uint32_t replyLength) = 0;

    // Writes the error text of `code` into `buffer` (NUL-terminated, truncated
    // to `length`). Returns false for a code the service does not know.
    virtual bool getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) = 0;
};

// The one way a service hands back a reply: `code` and `text` are the
// command's result. Returns `code`, or kParamOverflow when the code is 0 and
// `text` with its NUL does not fit `replyLength`. On a non-zero result the
// buffer is not touched; a null buffer or a zero length takes no reply.
inline std::uint32_t copyReply(std::uint32_t code, std::string_view text, char* reply,
                               std::uint32_t replyLength) {
    if (code != kOk || !reply || replyLength == 0)
        return code;
    if (text.size() + 1 > replyLength)
        return kParamOverflow;
    std::memcpy(reply, text.data(), text.size());
    reply[text.size()] = '\0';
    return kOk;
}

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
