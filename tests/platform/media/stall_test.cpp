// SPDX-License-Identifier: GPL-3.0-or-later
// A source that stops answering in the middle of the file (a dropped network
// share, a failing USB stick), served through FUSE: every command but `open`
// answers within its bound, and the stuck engine goes away on its own.
#include "platform/media/error_codes.h"
#include "platform/media/mci_service.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tovimo::media {
namespace {

using Clock = std::chrono::steady_clock;
using testing::ScratchFolder;
using testing::StallingMount;
using testing::waitFor;

// Generous for a loaded machine, far below the stall.
constexpr auto kAnswerBound = std::chrono::milliseconds(1500);

struct Answer {
    std::uint32_t code;
    std::string reply;
    Clock::duration took;
};

Answer send(MciService& service, const std::string& command) {
    char reply[128] = {};
    const auto start = Clock::now();
    const auto code = service.sendString(command.c_str(), reply, sizeof reply);
    return Answer{code, reply, Clock::now() - start};
}

long long ms(Clock::duration duration) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
}

class StalledSource : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::unsetenv("DISPLAY"); }

    void SetUp() override {
        if (const std::string reason = StallingMount::unusableReason(); !reason.empty())
            GTEST_SKIP() << reason;
        ASSERT_TRUE(testing::makeLongMp4(clip));
        mount = std::make_unique<StallingMount>(clip, std::filesystem::file_size(clip) / 2);
        ASSERT_TRUE(mount->mounted()) << "the FUSE server did not come up";
        // An engine that holds its caller until the read returns fails the
        // bounds below instead of hanging the test.
        watchdog = std::thread([this] {
            const auto deadline = Clock::now() + std::chrono::seconds(60);
            while (!finished && Clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            mount->release();
        });
    }

    // Opens the served file and plays it into the stall.
    void playIntoTheStall() {
        const Answer open = send(service, "open " + mount->file() + " alias a");
        ASSERT_EQ(open.code, kOk);
        ASSERT_EQ(send(service, "play a").code, kOk);
        ASSERT_TRUE(mount->waitForStall(std::chrono::seconds(30)));
        // The queues ahead of the sinks run dry.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }

    void TearDown() override {
        if (!mount)
            return;
        finished = true;
        if (watchdog.joinable())
            watchdog.join();
        send(service, "close all");
        mount->release();
        // The stuck engine ends by itself once the read returns.
        EXPECT_TRUE(waitFor([] { return runningEngines() == 0; }, std::chrono::seconds(30)))
            << runningEngines() << " engines still running";
        mount.reset();
    }

    ScratchFolder folder;
    const std::string clip = folder.file("long.mp4");
    std::unique_ptr<StallingMount> mount;
    std::atomic<bool> finished{false};
    std::thread watchdog;
    MciService service;
};

TEST_F(StalledSource, EveryCommandAnswersInBoundedTime) {
    playIntoTheStall();
    // The answers themselves may be errors: the source is gone. Queries
    // answer the last known state.
    const char* const commands[] = {
        "status a mode",
        "status a position",
        "status a length",
        "pause a",
        "resume a",
        "stop a",
        "play a",
        "play a from 0",
        "seek a to 1000",
        "seek a to start",
        "setaudio a volume to 500",
        "put a window at 0 0 100 100",
        "status a volume",
        "status a mode",
        "play a from 2000 to 3000",
        "status a position",
    };
    for (const char* command : commands) {
        const Answer answer = send(service, command);
        std::printf("stalled: %-28s %5lld ms, code %u %s\n", command, ms(answer.took), answer.code,
                    answer.reply.c_str());
        EXPECT_LT(answer.took, kAnswerBound) << command;
        if (std::string(command).starts_with("status")) {
            EXPECT_EQ(answer.code, kOk) << command;
        }
    }
    // Other media go on playing meanwhile.
    const std::string healthy = folder.file("healthy.mp4");
    ASSERT_TRUE(testing::makeMedia("mp4", healthy));
    EXPECT_EQ(send(service, "open " + healthy + " alias b").code, kOk);
    EXPECT_EQ(send(service, "play b").code, kOk);
    EXPECT_TRUE(waitFor(
        [&] {
            const Answer position = send(service, "status b position");
            return position.code == kOk && std::atol(position.reply.c_str()) > 300;
        },
        std::chrono::seconds(10)));
    const Answer close = send(service, "close a");
    std::printf("stalled: %-28s %5lld ms, code %u\n", "close a", ms(close.took), close.code);
    EXPECT_EQ(close.code, kOk);
    EXPECT_LT(close.took, kAnswerBound);
    EXPECT_EQ(send(service, "status a mode").code, kInvalidDeviceName);
    const Answer closeAll = send(service, "close all");
    EXPECT_EQ(closeAll.code, kOk);
    EXPECT_LT(closeAll.took, kAnswerBound);
}

TEST_F(StalledSource, CloseAnswersAtOnceWithoutAnyCommandBefore) {
    playIntoTheStall();
    // Long enough for the position to stand still.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const Answer close = send(service, "close all");
    std::printf("stalled: close all as the first command: %lld ms\n", ms(close.took));
    EXPECT_EQ(close.code, kOk);
    EXPECT_LT(close.took, std::chrono::milliseconds(250));
    EXPECT_GE(runningEngines(), 1) << "the stuck engine is torn down away from the caller";
}

// A play from a position while playing stops to seek, and the seek waits on
// the stuck read. It is accepted like any command; once the engine has had
// no byte and no moving position for a while, the device says the source
// has stopped answering, and what was queued behind the stuck seek is given
// up: neither the seek's play nor a resume queued after it starts when the
// source answers again. Mode and pipeline then agree: nothing plays.
TEST_F(StalledSource, AStalledDeviceGivesUpWhatItWasAskedAndStaysStopped) {
    playIntoTheStall();
    const auto stalledAt = Clock::now() - std::chrono::milliseconds(500);
    const Answer play = send(service, "play a from 0");
    EXPECT_LT(play.took, kAnswerBound);
    if (play.code == kOk) {
        EXPECT_EQ(send(service, "status a position").reply, "0")
            << "the seek's target, while it is on its way";
        send(service, "pause a");
        send(service, "resume a");
    }
    // Within a few seconds of the last byte, actions are refused as stalled.
    Answer refused{};
    ASSERT_TRUE(waitFor(
        [&] {
            refused = send(service, "setaudio a volume to 500");
            return refused.code == kInternalError;
        },
        std::chrono::seconds(10)));
    std::printf("stalled: refused %lld ms after the read stuck\n", ms(Clock::now() - stalledAt));
    EXPECT_LT(Clock::now() - stalledAt, std::chrono::seconds(5));
    EXPECT_LT(refused.took, kAnswerBound);
    EXPECT_NE(service.lastFailureReason().find("stopped answering"), std::string::npos);
    EXPECT_NE(send(service, "status a mode").reply, "playing");
    mount->release();
    // Once the engine is done with the seek it was given, the device works again.
    ASSERT_TRUE(waitFor(
        [&] { return !send(service, "status a mode").reply.empty() && send(service, "stop a").code == kOk; },
        std::chrono::seconds(20)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(send(service, "status a mode").reply, "stopped");
    const Answer held = send(service, "status a position");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(send(service, "status a position").reply, held.reply) << "nothing plays";
    EXPECT_EQ(send(service, "play a from 0").code, kOk);
    EXPECT_EQ(send(service, "status a mode").reply, "playing");
}

// What was given up stays given up: a play queued behind a seek that the
// stuck read holds is dropped when the device declares the stall, and the
// seek's own play does not start when the read returns. Nothing is sent
// after the source answers again, so that a late start is not hidden by a
// later command: the device stays stopped at the seek's target.
TEST_F(StalledSource, WhatWasGivenUpNeverRunsWhenTheSourceAnswersAgain) {
    const Answer open = send(service, "open " + mount->file() + " alias a");
    ASSERT_EQ(open.code, kOk);
    ASSERT_EQ(send(service, "play a").code, kOk);
    ASSERT_TRUE(mount->waitForStall(std::chrono::seconds(30)));
    // The queues ahead of the sinks still hold data: not stalled yet.
    ASSERT_EQ(send(service, "play a from 0").code, kOk);
    ASSERT_EQ(send(service, "play a").code, kOk) << "queued behind the stuck seek";
    ASSERT_TRUE(waitFor([&] { return send(service, "setaudio a volume to 500").code == kInternalError; },
                        std::chrono::seconds(10)));
    EXPECT_NE(send(service, "status a mode").reply, "playing");
    mount->release();
    // The engine finishes the seek it was stuck in at once; watch what it
    // does after, with queries only.
    const auto until = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < until) {
        const Answer mode = send(service, "status a mode");
        ASSERT_NE(mode.reply, "playing") << "a given-up play started late";
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const Answer held = send(service, "status a position");
    EXPECT_LT(std::atol(held.reply.c_str()), 1000) << "stopped at the seek's target";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(send(service, "status a position").reply, held.reply) << "nothing plays";
    // The device is usable again.
    EXPECT_EQ(send(service, "play a").code, kOk);
    EXPECT_TRUE(waitFor([&] { return std::atol(send(service, "status a position").reply.c_str()) > 300; },
                        std::chrono::seconds(10)));
}

// A seek refused because the source stopped answering is given up for good:
// when the read returns, the media does not move to where the refused seek
// pointed, seconds after its caller was told it failed.
TEST_F(StalledSource, ARefusedSeekNeverMovesTheMediaWhenTheSourceAnswersAgain) {
    playIntoTheStall();
    // Stalled by anyone's measure: the position has stood still for a while.
    std::string still;
    ASSERT_TRUE(waitFor(
        [&] {
            still = send(service, "status a position").reply;
            std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            return send(service, "status a position").reply == still;
        },
        std::chrono::seconds(20)));
    const Answer seek = send(service, "seek a to 1000");
    std::printf("stalled: seek a to 1000 %lld ms, code %u\n", ms(seek.took), seek.code);
    EXPECT_EQ(seek.code, kInternalError);
    mount->release();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const long position = std::atol(send(service, "status a position").reply.c_str());
    EXPECT_GT(std::abs(position - 1000), 500) << "the refused seek ran when the read returned";
}

// Commands to every device ask each in turn: five devices stuck on the same
// share answer within one bound together, not five.
TEST_F(StalledSource, CommandsToAllStuckDevicesAnswerWithinOneBound) {
    const char* const names[] = {"a", "b", "c", "d", "e"};
    for (const char* name : names)
        ASSERT_EQ(send(service, "open " + mount->file() + " alias " + name).code, kOk) << name;
    ASSERT_EQ(send(service, "play all").code, kOk);
    ASSERT_TRUE(mount->waitForStall(std::chrono::seconds(30)));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const char* command : {"play all from 0", "pause all", "stop all", "play all", "close all"}) {
        const Answer answer = send(service, command);
        std::printf("stalled: %-28s %5lld ms, code %u\n", command, ms(answer.took), answer.code);
        EXPECT_LT(answer.took, kAnswerBound) << command;
    }
    EXPECT_EQ(send(service, "status a mode").code, kInvalidDeviceName);
}

} // namespace
} // namespace tovimo::media
