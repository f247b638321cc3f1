// SPDX-License-Identifier: GPL-3.0-or-later
// Healthy files whose seeks take long: one keyframe for the whole file, so
// that an accurate seek decodes everything before its target, on a CPU kept
// busy by stress-ng. Slow work is not a stalled source: seeks and plays from
// a position are accepted from every state, and the position right after
// each is its target.
#include "platform/media/error_codes.h"
#include "platform/media/mci_service.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tovimo::media {
namespace {

using Clock = std::chrono::steady_clock;
using testing::answer;
using testing::ScratchFolder;
using testing::waitFor;

struct SlowClip {
    const char* name;
    const char* pipeline;  // gst-launch-1.0 arguments before the muxer's sink
    std::int64_t targetMs; // far from the only keyframe
};

// The snow pattern costs what real pictures cost to decode.
const SlowClip kSlowClips[] = {
    {"OneKeyframe1080pH264",
     "videotestsrc pattern=snow num-buffers=300 ! "
     "video/x-raw,width=1920,height=1080,framerate=30/1,format=I420 "
     "! x264enc speed-preset=ultrafast bitrate=8000 key-int-max=600 ! h264parse ! mp4mux",
     9500},
    {"OneKeyframe4kHevc",
     "videotestsrc pattern=snow num-buffers=45 ! "
     "video/x-raw,width=3840,height=2160,framerate=15/1,format=I420 "
     "! x265enc speed-preset=ultrafast bitrate=8000 key-int-max=600 ! h265parse ! mp4mux",
     2800},
};

// stress-ng on both cores for as long as the object lives, when installed.
class CpuLoad {
public:
    CpuLoad() {
        char program[] = "stress-ng";
        char cpu[] = "--cpu";
        char two[] = "2";
        char quiet[] = "--quiet";
        char* arguments[] = {program, cpu, two, quiet, nullptr};
        if (posix_spawnp(&pid_, "stress-ng", nullptr, nullptr, arguments, environ) != 0)
            pid_ = -1;
    }
    ~CpuLoad() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    pid_t pid_ = -1;
};

class SlowWork : public ::testing::TestWithParam<SlowClip> {
protected:
    static void SetUpTestSuite() { ::unsetenv("DISPLAY"); }
};

TEST_P(SlowWork, SeeksAndPlaysFromEveryStateAnswerAtOnceWithTheirTarget) {
    const SlowClip& clip = GetParam();
    ScratchFolder folder;
    const std::string path = folder.file("slow.mp4");
    const std::string command = std::string("timeout 300 gst-launch-1.0 -q ") + clip.pipeline +
                                " ! filesink location=\"" + path + "\" >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 || !std::filesystem::exists(path))
        GTEST_SKIP() << "could not make " << clip.name;
    const CpuLoad load;
    MciService service;
    std::uint32_t code = 0;
    ASSERT_EQ(answer(service, "open " + path + " alias a", code), "1");
    ASSERT_EQ(code, kOk);
    struct Case {
        const char* state;
        const char* prepare; // leaves the device in `state`
        const char* verb;    // "seek a to" or "play a from"
        bool plays;
    };
    const Case cases[] = {
        {"stopped", "stop a", "seek a to", false},        {"stopped", "stop a", "play a from", true},
        {"paused", "pause a", "seek a to", false},        {"paused", "pause a", "play a from", true},
        {"playing", "play a from 0", "seek a to", false}, {"playing", "play a from 0", "play a from", true},
    };
    std::int64_t target = clip.targetMs;
    for (const Case& each : cases) {
        SCOPED_TRACE(std::string(each.verb) + " from " + each.state);
        if (std::string(each.state) == "paused") {
            EXPECT_EQ(service.sendString("play a from 0", nullptr, 0), kOk);
        }
        EXPECT_EQ(service.sendString(each.prepare, nullptr, 0), kOk);
        // Alternating targets: every seek decodes from the keyframe again.
        target = target == clip.targetMs ? clip.targetMs - 700 : clip.targetMs;
        const auto sent = Clock::now();
        const std::string move = std::string(each.verb) + " " + std::to_string(target);
        EXPECT_EQ(service.sendString(move.c_str(), nullptr, 0), kOk) << service.lastFailureReason();
        const auto took = Clock::now() - sent;
        EXPECT_EQ(answer(service, "status a position", code), std::to_string(target));
        std::printf(
            "%s: %-14s from %-8s answered in %lld ms\n", clip.name, each.verb, each.state,
            static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        // The engine gets there, without an error on the way.
        const char* lands = each.plays ? "playing" : "stopped";
        EXPECT_TRUE(waitFor([&] { return answer(service, "status a mode", code) == lands; },
                            std::chrono::seconds(120)))
            << answer(service, "status a mode", code);
        const long position = std::atol(answer(service, "status a position", code).c_str());
        EXPECT_GE(position, target - 50) << "where it landed";
        EXPECT_LE(position, target + 3000) << "where it landed";
        EXPECT_EQ(service.sendString("status a mode", nullptr, 0), kOk);
        if (!each.plays) {
            EXPECT_EQ(service.sendString("play a", nullptr, 0), kOk) << service.lastFailureReason();
        }
    }
    EXPECT_EQ(service.sendString("close all", nullptr, 0), kOk);
}

INSTANTIATE_TEST_SUITE_P(Clips, SlowWork, ::testing::ValuesIn(kSlowClips),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tovimo::media
