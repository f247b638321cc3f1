#include "platform/media/mci_service.h"

#include "platform/media/error_codes.h"
#include "platform/media/mpeg_video_device.h"
#include "platform/media/short_path.h"

#include <cstring>

namespace tovimo::media {

void initializeProcess() {
    initializeMediaProcess();
}

MciService::MciService() {
    initializeMediaProcess();
}

MciService::~MciService() {
    devices_.clear();
}

std::uint32_t MciService::sendString(const char* command, char* reply, std::uint32_t replyLength) {
    std::string text;
    std::uint32_t code = command ? execute(command, text) : kNullParameterBlock;
    if (!reply || replyLength == 0)
        return code;
    if (code == kOk && text.size() + 1 > replyLength)
        code = kParamOverflow;
    if (code != kOk) {
        reply[0] = '\0';
        return code;
    }
    std::memcpy(reply, text.c_str(), text.size() + 1);
    return kOk;
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

void MciService::pollEvents() {
    devices_.forEach([](Device& device) { device.poll(); });
}

std::uint32_t MciService::execute(const char* text, std::string& reply) {
    CommandWords words;
    if (const auto code = splitCommand(text, words); code != kOk)
        return code;
    Command command;
    // An unknown device answers before its keywords are looked at: which
    // keywords are valid depends on the device.
    const bool opening = words.verb == "open";
    const bool addressesAll = lowerCase(words.device) == "all";
    Device* device = nullptr;
    if (!opening && !words.device.empty() && !addressesAll) {
        device = devices_.find(words.device);
        if (!device && parseKeywords(words, command) != kUnrecognizedCommand)
            return kInvalidDeviceName;
    }
    if (const auto code = parseKeywords(words, command); code != kOk)
        return code;
    if (command.verb == Verb::Open)
        return open(command, reply);
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
            if (result == kOk)
                result = code;
        });
        return result;
    }
    return device->execute(command, reply);
}

std::uint32_t MciService::open(const Command& command, std::string& reply) {
    if (!command.type.empty() && lowerCase(command.type) != "mpegvideo")
        return kCannotLoadDriver;
    const bool aliased = !command.alias.empty();
    if (aliased && (lowerCase(command.alias) == "all"))
        return kCannotUseAll;
    if (aliased && devices_.contains(command.alias))
        return kDuplicateAlias;
    if (!aliased && devices_.contains(command.device))
        return kDeviceOpen;
    VideoDeviceOptions options;
    options.element = command.device;
    if (command.parent)
        options.parent = static_cast<std::uint32_t>(*command.parent);
    if (command.style)
        options.style = static_cast<std::uint32_t>(*command.style);
    std::unique_ptr<MpegVideoDevice> device;
    if (const auto code = MpegVideoDevice::open(options, device); code != kOk)
        return code;
    if (command.test)
        return kOk;
    const auto id = devices_.add(aliased ? command.alias : command.device, aliased, std::move(device));
    reply = std::to_string(id);
    return kOk;
}

} // namespace tovimo::media
