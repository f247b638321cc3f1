// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_service.h"

#include <QString>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tovimo::testing {

// A media service that records every command text and answers from a script.
//
// By default every command answers 0 with an empty reply. Rules set per
// command text (exact match) give the code and the reply, handed back by
// media::copyReply as the real service does: written only when the code is
// 0 and a buffer was given, 268 when it does not fit, the buffer untouched
// on any failure. With `writeReply` false a successful command leaves the
// buffer untouched too.
class RecordingMediaService : public media::MediaCommandService, public media::ShortPathService {
public:
    struct Answer {
        std::uint32_t code = 0;
        std::string reply;
        bool writeReply = true;
    };

    void answer(const std::string& command, Answer answer) { answers_[command] = std::move(answer); }
    void answerAll(std::uint32_t code) { defaultCode_ = code; }
    // Called for each command after it is recorded (for nested-event tests).
    void onCommand(std::function<void(const std::string&)> hook) { hook_ = std::move(hook); }

    const std::vector<std::string>& commands() const { return commands_; }
    // The commands without the position timer's polling, which may run nested
    // inside any handler that lets events through.
    std::vector<std::string> commandsWithoutPolling() const;
    void clear() { commands_.clear(); }

    // Short paths: by default the path itself for any non-empty path.
    void shortPath(const std::string& longPath, const std::string& shortForm) {
        shortPaths_[longPath] = shortForm;
    }
    std::vector<std::uint32_t> errorStringRequests;

    std::uint32_t sendString(const char* command, char* reply, std::uint32_t replyLength) override;
    bool getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) override;
    std::uint32_t getShortPathName(const char* longPath, char* buffer, std::uint32_t length) override;

private:
    std::vector<std::string> commands_;
    std::map<std::string, Answer> answers_;
    std::map<std::string, std::string> shortPaths_;
    std::uint32_t defaultCode_ = 0;
    std::function<void(const std::string&)> hook_;
};

} // namespace tovimo::testing
