// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/error_codes.h"
#include "platform/media/mci_service.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

namespace tovimo::media {
namespace {

using testing::ScratchFolder;

struct Clip {
    const char* name;
    const char* kind; // how it is made; "mid" for the MIDI writer
    bool video;
};

const Clip kClips[] = {
    {"clip.mp4", "mp4", true},       {"clip.mkv", "mkv", true},  {"clip.webm", "webm", true},
    {"clip.avi", "avi", true},       {"clip.mpg", "mpg", true},  {"clip.mp3", "mp3", false},
    {"clip.wav", "wav", false},      {"clip.mid", "mid", false}, {"clip.Mp3", "mp3", false},
    {"with blank.mp4", "mp4", true},
};

// Generated once for the whole executable; every clip lasts two seconds.
class MediaFolder {
public:
    static const ScratchFolder& get() {
        static std::unique_ptr<ScratchFolder> folder = [] {
            auto made = std::make_unique<ScratchFolder>();
            for (const Clip& clip : kClips) {
                const std::string path = made->file(clip.name);
                const bool ok = std::string(clip.kind) == "mid" ? testing::makeMidi(path)
                                                                : testing::makeMedia(clip.kind, path);
                if (!ok)
                    ADD_FAILURE() << "could not make " << clip.name;
            }
            return made;
        }();
        return *folder;
    }
};

// A command, its expected code and reply. A reply "~N" is a number within
// 150 of N, "=length" the length read earlier, "*" anything.
struct Step {
    std::string command;
    std::uint32_t code;
    std::string reply;
};

class ServiceDriver {
public:
    // A failed command must leave the buffer as it was: the reply is then
    // empty, and the buffer's untouched filling is checked.
    std::uint32_t send(const std::string& command, std::string& reply) {
        char buffer[128];
        std::memset(buffer, 'x', sizeof buffer - 1);
        buffer[sizeof buffer - 1] = '\0';
        const auto code = service.sendString(command.c_str(), buffer, sizeof buffer);
        reply = buffer;
        if (code != kOk) {
            EXPECT_EQ(reply, std::string(sizeof buffer - 1, 'x')) << command << " wrote into the reply";
            reply.clear();
        }
        return code;
    }

    void run(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            std::string reply;
            const auto code = send(step.command, reply);
            EXPECT_EQ(code, step.code) << step.command;
            if (step.command.starts_with("status") && step.command.ends_with("length") && code == kOk)
                length = reply;
            if (step.reply == "*")
                continue;
            if (step.reply == "=length") {
                EXPECT_EQ(reply, length) << step.command;
            } else if (step.reply.starts_with("~")) {
                const long expected = std::stol(step.reply.substr(1));
                EXPECT_NEAR(std::atol(reply.c_str()), expected, 150) << step.command << " -> " << reply;
            } else {
                EXPECT_EQ(reply, step.reply) << step.command;
            }
        }
    }

    std::string shortPath(const std::string& path) {
        char buffer[4096];
        const auto size = service.getShortPathName(path.c_str(), buffer, sizeof buffer);
        EXPECT_GT(size, 0u) << path;
        return std::string(buffer, size);
    }

    MciService service;
    std::string length;
};

class Conformance : public ::testing::TestWithParam<Clip> {
protected:
    // Without a display the video goes to a clocked fake sink: the same
    // engine, no windows on the test machine's screen.
    static void SetUpTestSuite() { ::unsetenv("DISPLAY"); }
};

TEST_P(Conformance, PlaysThroughThePlayersCommands) {
    const Clip& clip = GetParam();
    ServiceDriver driver;
    const std::string path = driver.shortPath(MediaFolder::get().file(clip.name));
    const auto noWindow = clip.video ? kOk : kNoWindow;
    driver.run({
        {"Open " + path + " type MPEGVideo Alias Media parent 0 style 1073741824", kOk, "1"},
        {"status Media length", kOk, "~2000"},
        {"status Media mode", kOk, "stopped"},
        {"status Media position", kOk, "0"},
        {"where Media source", noWindow, clip.video ? "0 0 320 240" : ""},
        {"put Media window at 0 0 632.5 480", kOk, ""},
        {"Where Media Destination", noWindow, clip.video ? "0 0 633 480" : ""},
        {"window Media state hide", noWindow, ""},
        {"seek Media to 1000", kOk, ""},
        {"status Media position", kOk, "1000"},
        {"status Media mode", kOk, "stopped"},
        {"setaudio Media Volume to 370", kOk, ""},
        {"status Media Volume", kOk, "370"},
    });
    const auto start = std::chrono::steady_clock::now();
    driver.run({{"play Media wait", kOk, ""}});
    // A second of media plays in real time even with no sound device.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(800));
    driver.run({
        {"status Media position", kOk, "=length"},
        {"status Media mode", kOk, "stopped"},
        {"close all", kOk, ""},
        {"status Media length", kInvalidDeviceName, ""},
    });
}

INSTANTIATE_TEST_SUITE_P(Clips, Conformance, ::testing::ValuesIn(kClips), [](const auto& info) {
    std::string name = info.param.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

class ServiceCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::unsetenv("DISPLAY"); }
    std::string clip(const char* name) { return MediaFolder::get().file(name); }
    ServiceDriver driver;
};

TEST_F(ServiceCommands, AnswersTheUsualCodes) {
    const std::string mp4 = clip("clip.mp4");
    const std::string wav = clip("clip.wav");
    driver.run({
        {"close all", kOk, ""},
        {"open " + mp4 + " type MPEGVideo alias a", kOk, "1"},
        {"open " + wav + " alias A", kDuplicateAlias, ""},
        {"open " + clip("missing.mp4") + " alias A", kDuplicateAlias, ""},
        {"open " + mp4, kOk, "2"},
        {"open " + mp4, kDeviceOpen, ""},
        {"status " + mp4 + " mode", kOk, "stopped"},
        {"open " + clip("missing.mp4") + " alias b", kFileNotFound, ""},
        {"open " + wav + " type waveaudio alias c", kCannotLoadDriver, ""},
        {"open " + wav + " alias all", kCannotUseAll, ""},
        {"status nosuch length", kInvalidDeviceName, ""},
        {"status nosuch colour", kInvalidDeviceName, ""},
        {"status all length", kCannotUseAll, ""},
        {"setaudio a volume to 1001", kOutOfRange, ""},
        {"play a from 250 to 0", kOutOfRange, ""},
        {"play a from 5000", kOutOfRange, ""},
        {"status a length", kOk, "~2000"},
        {"seek a to 999999", kOutOfRange, ""},
        {"seek a to start to 0", kFlagsNotCompatible, ""},
        {"status a length position", kFlagsNotCompatible, ""},
        {"put a window at 0 0", kBadInteger, ""},
        {"play a repeat wait", kFlagsNotCompatible, ""},
        {"status a time format", kOk, "milliseconds"},
        {"set a time format ms", kOk, ""},
        {"set a time format frames", kBadTimeFormat, ""},
        {"status a ready", kOk, "true"},
        {"status a media present", kOk, "true"},
        {"where a source", kOk, "0 0 320 240"},
        {"seek a to end", kOk, ""},
        {"status a position", kOk, "=length"},
        {"play a from 100 to 400 wait", kOk, ""},
        {"status a position", kOk, "400"},
        {"status a mode", kOk, "stopped"},
        {"play a wait", kOk, ""},
        {"status a position", kOk, "=length"},
        {"close a", kOk, ""},
        {"status a mode", kInvalidDeviceName, ""},
        {"open " + wav + " alias a", kOk, "1"},
        {"close all", kOk, ""},
        {"close all", kOk, ""},
    });
}

TEST_F(ServiceCommands, PausesResumesAndStopsWhereItIs) {
    driver.run({
        {"open " + clip("clip.wav") + " alias a", kOk, "1"},
        {"play a", kOk, ""},
        {"status a mode", kOk, "playing"},
        {"pause a", kOk, ""},
        {"status a mode", kOk, "paused"},
    });
    std::string first;
    std::string second;
    driver.send("status a position", first);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    driver.send("status a position", second);
    EXPECT_EQ(first, second) << "a paused device keeps its position";
    driver.run({
        {"resume a", kOk, ""},
        {"status a mode", kOk, "playing"},
        {"stop a", kOk, ""},
        {"status a mode", kOk, "stopped"},
    });
    driver.send("status a position", first);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    driver.send("status a position", second);
    EXPECT_EQ(first, second) << "a stopped device keeps its position";
    EXPECT_LT(std::atol(first.c_str()), 2000);
}

TEST_F(ServiceCommands, StaysAtTheEndUntilMovedAway) {
    // Playing to the end, or seeking to the length, leaves the media at its
    // end: a play there plays nothing, a play from a position plays again.
    for (const char* name : {"clip.wav", "clip.mp4"}) {
        SCOPED_TRACE(name);
        driver.run({
            {"open " + clip(name) + " alias a", kOk, "1"},
            {"status a length", kOk, "*"},
            {"play a from 1500 wait", kOk, ""},
            {"play a", kOk, ""},
            {"status a mode", kOk, "stopped"},
            {"status a position", kOk, "=length"},
        });
        driver.run({
            {"seek a to " + driver.length, kOk, ""},
            {"play a", kOk, ""},
            {"status a mode", kOk, "stopped"},
            {"status a position", kOk, "=length"},
            {"seek a to end", kOk, ""},
            {"play a wait", kOk, ""},
            {"status a position", kOk, "=length"},
            {"play a from 0", kOk, ""},
            {"status a mode", kOk, "playing"},
        });
        std::string position;
        driver.send("status a position", position);
        EXPECT_LT(std::atol(position.c_str()), 1000);
        driver.run({{"close all", kOk, ""}});
    }
}

TEST_F(ServiceCommands, SeeksAccuratelyWhilePlayingAndStops) {
    driver.run({{"open " + clip("clip.mkv") + " alias a", kOk, "1"}, {"play a", kOk, ""}});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    driver.run({
        {"seek a to 1234", kOk, ""},
        {"status a position", kOk, "1234"},
        {"status a mode", kOk, "stopped"},
    });
}

TEST_F(ServiceCommands, OpensAwkwardNamesThroughTheirShortForm) {
    ScratchFolder folder;
    const std::string clip = MediaFolder::get().file("clip.wav");
    std::string longFolder = folder.path();
    while (longFolder.size() < 1450)
        longFolder += "/écoute à l'été";
    std::filesystem::create_directories(longFolder);
    const std::string names[] = {folder.file("all"), folder.file("bad\xff\xfe name.wav"),
                                 longFolder + "/clip.wav"};
    for (const std::string& name : names)
        std::filesystem::copy_file(clip, name);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    for (const std::string& name : {std::string("all"), std::string("ALL"), names[1], names[2]}) {
        if (name == "ALL")
            std::filesystem::rename("all", "ALL");
        char form[4096];
        const auto size = driver.service.getShortPathName(name.c_str(), form, sizeof form);
        ASSERT_GT(size, 0u) << name;
        // Only blanks and bytes that are not UTF-8 grow, to three bytes
        // each: the form stays about as long as the absolute path.
        const std::string absolute = name.front() == '/' ? name : folder.file(name);
        const auto escaped = std::count_if(absolute.begin(), absolute.end(), [](char c) {
            return c == ' ' || static_cast<unsigned char>(c) >= 0xF5;
        });
        EXPECT_LE(size, absolute.size() + 7 + 2 * static_cast<std::size_t>(escaped)) << name;
        driver.run({{"open " + std::string(form) + " alias a", kOk, "1"},
                    {"status a length", kOk, "~2000"},
                    {"close a", kOk, ""}});
    }
    std::filesystem::current_path(previous);
}

TEST_F(ServiceCommands, KeepsPlayingWhenTheOpenAliasIsOpenedAgain) {
    // What the player does when it switches to full screen without closing.
    const std::string open =
        "Open " + clip("clip.webm") + " type MPEGVideo Alias Media parent 0 style 1073741824";
    driver.run({
        {open, kOk, "1"},
        {"Play Media", kOk, ""},
        {open, kDuplicateAlias, ""},
        {"put Media window at 0 0 1024 768", kOk, ""},
        {"Play Media", kOk, ""},
        {"status Media mode", kOk, "playing"},
        {"Where Media Destination", kOk, "0 0 1024 768"},
    });
}

TEST_F(ServiceCommands, RepeatsUntilStopped) {
    driver.run(
        {{"open " + clip("clip.wav") + " alias a", kOk, "1"}, {"play a from 0 to 300 repeat", kOk, ""}});
    // Well past several rounds, it still plays within its range.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    std::string position;
    driver.run({{"status a mode", kOk, "playing"}});
    driver.send("status a position", position);
    EXPECT_LE(std::atol(position.c_str()), 300);
    driver.run({{"stop a", kOk, ""}, {"status a mode", kOk, "stopped"}});
}

TEST_F(ServiceCommands, WritesRepliesOnlyWhenTheyFit) {
    MciService& service = driver.service;
    const std::string command = "open " + clip("clip.wav") + " alias a";
    ASSERT_EQ(service.sendString(command.c_str(), nullptr, 0), kOk);
    char tiny[3] = "zz";
    EXPECT_EQ(service.sendString("status a length", tiny, sizeof tiny), kParamOverflow);
    EXPECT_STREQ(tiny, "zz");
    char reply[128] = "stale";
    EXPECT_EQ(service.sendString("status b length", reply, sizeof reply), kInvalidDeviceName);
    EXPECT_STREQ(reply, "stale");
    // An open whose reply does not fit leaves nothing open.
    char one[1] = {'z'};
    const std::string openB = "open " + clip("clip.mp3") + " alias b";
    EXPECT_EQ(service.sendString(openB.c_str(), one, sizeof one), kParamOverflow);
    EXPECT_EQ(one[0], 'z');
    EXPECT_EQ(service.sendString("status b length", reply, sizeof reply), kInvalidDeviceName);
    EXPECT_EQ(service.sendString(openB.c_str(), reply, sizeof reply), kOk);
    EXPECT_STREQ(reply, "2");
    EXPECT_EQ(service.sendString("status a length", nullptr, 0), kOk);
    EXPECT_EQ(service.sendString("status a volume", reply, sizeof reply), kOk);
    EXPECT_STREQ(reply, "1000");
    EXPECT_EQ(service.sendString(nullptr, reply, sizeof reply), kNullParameterBlock);
}

TEST(ErrorText, KnowsEveryCodeTheServiceAnswers) {
    MciService service;
    const std::uint32_t codes[] = {263, 289, 265, 261, 259, 273, 270, 275, 277, 282, 346, 268,
                                   290, 284, 295, 267, 292, 279, 302, 266, 293, 294, 305, 347};
    std::set<std::string> texts;
    for (const auto code : codes) {
        char text[260] = {};
        EXPECT_TRUE(service.getErrorString(code, text, sizeof text)) << code;
        EXPECT_GT(std::strlen(text), 10u) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(codes));
    char text[260] = {};
    EXPECT_FALSE(service.getErrorString(258, text, sizeof text));
    EXPECT_FALSE(service.getErrorString(99999, text, sizeof text));
    char small[8];
    EXPECT_TRUE(service.getErrorString(kFileNotFound, small, sizeof small));
    EXPECT_EQ(std::strlen(small), 7u);
}

} // namespace
} // namespace tovimo::media
