// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: one input, read as text, goes to
// - the command parser and its number readers;
// - the short form of a path, which the parser must read back as one word
//   naming the same file, and the service call that writes it;
// - sendString on a real device: a short WAV made at start-up and opened
//   once under the alias `a`, with a reply buffer of exactly the length
//   passed (so that AddressSanitizer sees a write past it).
// The device keeps its state from one input to the next, as a device does
// in use; a crash found through it may need the inputs before it to repeat.
#include "platform/media/command_parser.h"
#include "platform/media/mci_service.h"
#include "platform/media/short_path.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

using namespace tovimo::media;

// Inputs are read as text only, so that the corpus stays text; the reply
// length comes from the input's size instead of from its bytes.
constexpr std::uint32_t kReplyLengths[] = {0, 1, 2, 8, 128};

// A folder name with a blank, so that the short forms of names in it take
// the URI form.
constexpr const char* kFolderTemplate = "/tmp/tovimo fuzz XXXXXX";

MciService* service = nullptr;
std::string folder;

void removeFolder() {
    ::unlink((folder + "/tone.wav").c_str());
    ::rmdir(folder.c_str());
}

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "tovimo_command_fuzzer: %s\n", what);
        std::abort();
    }
}

// Half a second of silence, 8 kHz mono 16-bit PCM.
std::string silentWav() {
    constexpr std::uint32_t kSamples = 4000;
    constexpr std::uint32_t kDataBytes = kSamples * 2;
    auto le32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
    };
    auto le16 = [](std::uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; };
    std::string wav = "RIFF" + le32(36 + kDataBytes) + "WAVEfmt " + le32(16) + le16(1) + le16(1) +
                      le32(8000) + le32(16000) + le16(2) + le16(16) + "data" + le32(kDataBytes);
    wav.append(kDataBytes, '\0');
    return wav;
}

void checkParser(std::string_view text) {
    CommandWords words;
    splitCommand(text, words);
    Command command;
    parseCommand(text, command);
    if (const auto whole = parseInteger(text)) {
        require(parseInteger(std::to_string(*whole)) == whole, "an integer does not read back");
        require(parseRoundedNumber(text) == whole, "a whole number rounds to another value");
    }
}

void checkShortPathName(const std::string& path, std::uint32_t length) {
    const auto buffer = std::make_unique<char[]>(length ? length : 1);
    const std::uint32_t answer = shortPathName(path.c_str(), length ? buffer.get() : nullptr, length);
    if (answer != 0 && answer < length)
        require(std::strlen(buffer.get()) == answer, "a short path's length is not what it returns");
    require(answer == 0 || answer != length, "a short path's length equals the buffer's");
}

void checkShortForm(std::string_view text) {
    const std::string path(text.substr(0, text.find('\0')));
    if (path.empty())
        return;
    const std::string folder = "/tmp/a b";
    const std::string form = shortForm(path, folder);
    CommandWords words;
    require(splitCommand("open " + form + " alias x", words) == 0, "a short form does not split");
    require(words.device == form && words.rest.size() == 2, "a short form is not one word");
    if (form != path) {
        const std::string absolute = path.front() == '/' ? path : folder + '/' + path;
        require(pathOfFileUri(form) == absolute, "a short form names another file");
    } else {
        require(!looksLikeFileUri(path), "a bare short form reads as a URI");
    }
    // Text reaches the service as C strings: a raw NUL never gets this far.
    if (const auto decoded = pathOfFileUri(path))
        require(pathOfFileUri(fileUriOf(*decoded)) == decoded, "a file URI does not read back");

    // The service call, on the name as given (relative to the current
    // folder) and inside the fuzzing folder, where the WAV and "." exist.
    const std::uint32_t length = kReplyLengths[text.size() % std::size(kReplyLengths)];
    checkShortPathName(path, length);
    if (path.front() != '/')
        checkShortPathName(folder + '/' + path, length);
}

void checkService(std::string_view text) {
    const std::string command(text.substr(0, text.find('\0')));
    // Commands that would close the device, open others, or wait for the
    // media to end are parsed above but not sent.
    Command parsed;
    if (parseCommand(command, parsed) == 0 &&
        (parsed.verb == Verb::Open || parsed.verb == Verb::Close || parsed.wait))
        return;
    const std::uint32_t length = kReplyLengths[(text.size() + 1) % std::size(kReplyLengths)];
    const auto reply = std::make_unique<char[]>(length ? length : 1);
    const std::uint32_t code = service->sendString(command.c_str(), length ? reply.get() : nullptr, length);
    if (code == 0 && length > 0)
        require(std::memchr(reply.get(), '\0', length) != nullptr, "a reply has no end");
    if (code != 0) {
        char message[260];
        require(service->getErrorString(code, message, sizeof message), "a code has no error text");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    initializeProcess();
    // libFuzzer reads its corpus and dictionary paths after this, relative
    // to the current folder: stay where we are.
    folder = kFolderTemplate;
    require(::mkdtemp(folder.data()) != nullptr, "cannot make the fuzzing folder");
    std::atexit(removeFolder);
    const std::string wavPath = folder + "/tone.wav";
    const std::string wav = silentWav();
    std::FILE* file = std::fopen(wavPath.c_str(), "wb");
    require(file && std::fwrite(wav.data(), 1, wav.size(), file) == wav.size() && std::fclose(file) == 0,
            "cannot write the WAV");
    service = new MciService; // lives as long as the process: libFuzzer exits without unwinding
    char shortPath[4096];
    const auto length = service->getShortPathName(wavPath.c_str(), shortPath, sizeof shortPath);
    require(length > 0 && length < sizeof shortPath, "cannot shorten the WAV's path");
    const std::string open = std::string("open ") + shortPath + " type MPEGVideo alias a";
    char reply[128];
    require(service->sendString(open.c_str(), reply, sizeof reply) == 0, "cannot open the WAV");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkParser(text);
    checkShortForm(text);
    checkService(text);
    return 0;
}
