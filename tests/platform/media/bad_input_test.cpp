#include "platform/media/error_codes.h"
#include "platform/media/mci_service.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <sys/stat.h>

namespace tovimo::media {
namespace {

using testing::ScratchFolder;

struct BadInput {
    const char* name;
    std::uint32_t code;
    std::function<std::string(const ScratchFolder&)> make; // returns the element to open
};

std::string truncatedCopy(const ScratchFolder& folder, const char* kind) {
    const std::string whole = folder.file(std::string("whole.") + kind);
    EXPECT_TRUE(testing::makeMedia(kind, whole));
    const std::string bytes = testing::readFile(whole);
    const std::string cut = folder.file(std::string("cut.") + kind);
    testing::writeFile(cut, bytes.substr(0, bytes.size() / 2));
    return cut;
}

const BadInput kBadInputs[] = {
    {"Missing", kFileNotFound, [](const ScratchFolder& f) { return f.file("missing.mp4"); }},
    {"MissingFolder", kFileNotFound, [](const ScratchFolder& f) { return f.file("nowhere/clip.mp4"); }},
    {"Folder", kInternalError, [](const ScratchFolder& f) { return f.path(); }},
    {"Empty", kInternalError,
     [](const ScratchFolder& f) {
         testing::writeFile(f.file("empty.mp4"), "");
         return f.file("empty.mp4");
     }},
    {"RandomBytes", kInternalError,
     [](const ScratchFolder& f) {
         std::mt19937 random(7);
         std::string bytes(64 * 1024, '\0');
         for (char& c : bytes)
             c = static_cast<char>(random());
         testing::writeFile(f.file("noise.mp4"), bytes);
         return f.file("noise.mp4");
     }},
    {"TruncatedMp4", kInternalError, [](const ScratchFolder& f) { return truncatedCopy(f, "mp4"); }},
    {"Fifo", kInternalError,
     [](const ScratchFolder& f) {
         ::mkfifo(f.file("pipe.mp4").c_str(), 0600);
         return f.file("pipe.mp4");
     }},
    {"DeviceNode", kInternalError, [](const ScratchFolder&) { return std::string("/dev/zero"); }},
    {"BadUri", kFileNotFound, [](const ScratchFolder&) { return std::string("file:///no%zzwhere.mp4"); }},
};

class BadInputTest : public ::testing::TestWithParam<BadInput> {
protected:
    static void SetUpTestSuite() { ::unsetenv("DISPLAY"); }
};

TEST_P(BadInputTest, FailsWithACodeInBoundedTime) {
    ScratchFolder folder;
    const std::string element = GetParam().make(folder);
    MciService service;
    const std::string command = "open " + element + " type MPEGVideo alias Media";
    char reply[128] = "stale";
    const auto start = std::chrono::steady_clock::now();
    const auto code = service.sendString(command.c_str(), reply, sizeof reply);
    // A guard against hangs, not a speed target.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
    EXPECT_EQ(code, GetParam().code);
    EXPECT_EQ(reply[0], '\0');
    // The alias stays free and the service keeps working.
    EXPECT_EQ(service.sendString("status Media mode", reply, sizeof reply), kInvalidDeviceName);
    EXPECT_EQ(service.sendString("close all", nullptr, 0), kOk);
}

INSTANTIATE_TEST_SUITE_P(Files, BadInputTest, ::testing::ValuesIn(kBadInputs),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tovimo::media
