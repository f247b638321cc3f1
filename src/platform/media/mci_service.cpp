// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/mci_service.h"

#include "platform/media/engine_thread.h"
#include "platform/media/error_codes.h"
#include "platform/media/mpeg_video_device.h"
#include "platform/media/short_path.h"

#include <cstring>

namespace tovimo::media {

void initializeProcess() {
    startMediaProcess();
}

int runningEngines() {
    return EngineThread::liveThreads();
}

MciService::MciService() {
    startMediaProcess();
}

MciService::~MciService() {
    devices_.clear();
}

std::uint32_t MciService::sendString(const char* command, char* reply, std::uint32_t replyLength) {
    lastFailureReason_.clear();
    if (!command)
        return kNullParameterBlock;
    std::string text;
    const std::size_t room = reply ? replyLength : 0;
    const auto code = execute(command, text, room);
    const auto answer = copyReply(code, text, reply, replyLength);
    // Until GStreamer is ready nothing is logged: only commands that need no
    // device run before then (an open waits for it).
    if (!mediaProcessReady())
        return answer;
    if (answer != kOk)
        GST_CAT_DEBUG(tovimo_debug, "\"%s\" answered %u%s%s", command, answer,
                      lastFailureReason_.empty() ? "" : ": ", lastFailureReason_.c_str());
    else
        GST_CAT_LOG(tovimo_debug, "\"%s\" answered 0 \"%s\"", command, text.c_str());
    return answer;
}

bool MciService::getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) {
    const char* text = errorText(code);
    if (!text || !buffer || length == 0)
        return false;
    const std::size_t size = std::min<std::size_t>(std::strlen(text), length - 1);
    std::memcpy(buffer, text, size);
    buffer[size] = '\0';
    return true;
}

std::uint32_t MciService::getShortPathName(const char* longPath, char* buffer, std::uint32_t length) {
    return shortPathName(longPath, buffer, length);
}

std::uint32_t MciService::execute(const char* text, std::string& reply, std::size_t replyRoom) {
    CommandWords words;
    if (const auto code = splitCommand(text, words); code != kOk)
        return code;
    // An unknown device answers before its keywords are looked at: which
    // keywords are valid depends on the device.
    const auto verb = verbOf(words.verb);
    const bool addressesAll = lowerCase(words.device) == "all";
    Device* device = nullptr;
    if (verb && *verb != Verb::Open && !words.device.empty() && !addressesAll) {
        device = devices_.find(words.device);
        if (!device)
            return kInvalidDeviceName;
    }
    Command command;
    if (const auto code = parseKeywords(words, command); code != kOk)
        return code;
    if (command.verb == Verb::Open)
        return open(command, reply, replyRoom);
    if (command.test)
        return kOk;
    if (command.verb == Verb::Close) {
        if (command.all)
            devices_.clear();
        else
            devices_.remove(command.device);
        return kOk;
    }
    if (command.all) {
        std::uint32_t result = kOk;
        devices_.forEach([&](Device& each) {
            std::string ignored;
            const auto code = each.execute(command, ignored);
            if (result == kOk) {
                result = code;
                if (code != kOk)
                    lastFailureReason_ = each.failureReason();
            }
        });
        return result;
    }
    const auto code = device->execute(command, reply);
    if (code != kOk)
        lastFailureReason_ = device->failureReason();
    return code;
}

std::uint32_t MciService::open(const Command& command, std::string& reply, std::size_t replyRoom) {
    if (!command.type.empty() && lowerCase(command.type) != "mpegvideo")
        return kCannotLoadDriver;
    const bool aliased = !command.alias.empty();
    if (aliased && (lowerCase(command.alias) == "all"))
        return kCannotUseAll;
    if (aliased && devices_.contains(command.alias))
        return kDuplicateAlias;
    if (!aliased && devices_.contains(command.device))
        return kDeviceOpen;
    PlaybackOptions options;
    options.element = command.device;
    if (command.parent)
        options.parent = static_cast<std::uint32_t>(*command.parent);
    if (command.style)
        options.style = static_cast<std::uint32_t>(*command.style);
    std::unique_ptr<MpegVideoDevice> device;
    std::optional<PlaybackFailure> failure;
    if (const auto code = MpegVideoDevice::open(options, device, failure); code != kOk) {
        if (failure)
            lastFailureReason_ = failure->describe();
        return code;
    }
    if (command.test)
        return kOk;
    // A reply that cannot be handed back fails the open: the device closes
    // again here and its name stays free.
    const std::string id = std::to_string(devices_.nextId());
    if (replyRoom != 0 && id.size() + 1 > replyRoom)
        return kParamOverflow;
    devices_.add(aliased ? command.alias : command.device, aliased, std::move(device));
    reply = id;
    return kOk;
}

} // namespace tovimo::media
