// SPDX-License-Identifier: GPL-3.0-or-later
// A sound server that comes and goes: started after the process (a login
// where it starts late), killed while a file plays (a crash, a restart),
// started again. A private PulseAudio with a null sink stands in for it.
#include "platform/media/error_codes.h"
#include "platform/media/mci_service.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tovimo::media {
namespace {

using Clock = std::chrono::steady_clock;
using testing::ScratchFolder;
using testing::waitFor;

std::string output(const std::string& command) {
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            text += buffer;
        ::pclose(pipe);
    }
    return text;
}

// A PulseAudio of our own, found through PULSE_RUNTIME_PATH.
class SoundServer {
public:
    bool start() {
        char program[] = "pulseaudio";
        char noConfig[] = "-n";
        char foreground[] = "--daemonize=no";
        char noIdleExit[] = "--exit-idle-time=-1";
        char load[] = "-L";
        char nullSink[] = "module-null-sink";
        char load2[] = "-L";
        char protocol[] = "module-native-protocol-unix auth-anonymous=1";
        char* arguments[] = {program,  noConfig, foreground, noIdleExit, load,
                             nullSink, load2,    protocol,   nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const bool spawned = posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, arguments, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        if (!spawned) {
            pid_ = -1;
            return false;
        }
        return waitFor(
            [] { return output("pactl list short sinks 2>/dev/null").find("null") != std::string::npos; },
            std::chrono::seconds(10));
    }
    void kill() {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    ~SoundServer() { kill(); }

private:
    pid_t pid_ = -1;
};

int soundStreams() {
    const std::string list = output("pactl list short sink-inputs 2>/dev/null");
    int lines = 0;
    for (char c : list)
        lines += c == '\n';
    return lines;
}

long position(MciService& service) {
    char reply[128] = {};
    service.sendString("status a position", reply, sizeof reply);
    return std::atol(reply);
}

// First in the file: the server is there at the process's first open.
TEST(SoundServer, PlayingGoesOnFromWhereItWasWhenItDies) {
    if (std::system("command -v pulseaudio >/dev/null && command -v pactl >/dev/null") != 0)
        GTEST_SKIP() << "needs pulseaudio and pactl";
    ::unsetenv("DISPLAY");
    ScratchFolder folder;
    ::setenv("PULSE_RUNTIME_PATH", folder.path().c_str(), 1);
    ::setenv("HOME", folder.path().c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + folder.file("native")).c_str(), 1);
    const std::string clip = folder.file("long.mp4");
    ASSERT_TRUE(testing::makeLongMp4(clip));
    SoundServer server;
    ASSERT_TRUE(server.start()) << "the private sound server did not start";
    MciService service;
    ASSERT_EQ(service.sendString(("open " + clip + " alias a").c_str(), nullptr, 0), kOk);
    ASSERT_EQ(service.sendString("play a", nullptr, 0), kOk);
    ASSERT_TRUE(waitFor([] { return soundStreams() == 1; }, std::chrono::seconds(10)));
    ASSERT_TRUE(waitFor([&] { return position(service) > 1000; }, std::chrono::seconds(10)));
    server.kill();
    const long killedAt = position(service);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_GE(position(service), killedAt) << "it plays on from where it was";
    EXPECT_TRUE(waitFor([&] { return position(service) > killedAt + 1500; }, std::chrono::seconds(10)))
        << "stopped at " << position(service) << " after the server died at " << killedAt;
    char mode[128] = {};
    service.sendString("status a mode", mode, sizeof mode);
    EXPECT_STREQ(mode, "playing");
    EXPECT_EQ(service.sendString("close all", nullptr, 0), kOk);
}

TEST(SoundServer, IsFoundWhenItComesAndPlayingGoesOnWhenItGoes) {
    if (std::system("command -v pulseaudio >/dev/null && command -v pactl >/dev/null") != 0)
        GTEST_SKIP() << "needs pulseaudio and pactl";
    ::unsetenv("DISPLAY");
    ScratchFolder folder;
    ::setenv("PULSE_RUNTIME_PATH", folder.path().c_str(), 1);
    ::setenv("HOME", folder.path().c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + folder.file("native")).c_str(), 1);
    const std::string clip = folder.file("long.mp4");
    ASSERT_TRUE(testing::makeLongMp4(clip));
    const std::string open = "open " + clip + " alias a";

    // No sound server yet: the media plays without sound.
    MciService service;
    ASSERT_EQ(service.sendString(open.c_str(), nullptr, 0), kOk);
    ASSERT_EQ(service.sendString("play a", nullptr, 0), kOk);
    EXPECT_TRUE(waitFor([&] { return position(service) > 300; }, std::chrono::seconds(10)));
    ASSERT_EQ(service.sendString("close all", nullptr, 0), kOk);

    // The server starts late: the next open plays through it.
    SoundServer server;
    ASSERT_TRUE(server.start()) << "the private sound server did not start";
    ASSERT_EQ(service.sendString(open.c_str(), nullptr, 0), kOk);
    ASSERT_EQ(service.sendString("play a", nullptr, 0), kOk);
    EXPECT_TRUE(waitFor([] { return soundStreams() == 1; }, std::chrono::seconds(10)))
        << "the media's sound does not reach the server that started after the process";
    ASSERT_TRUE(waitFor([&] { return position(service) > 1000; }, std::chrono::seconds(10)));

    // The server dies while it plays: the media plays on from where it was.
    server.kill();
    const long killedAt = position(service);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(waitFor([&] { return position(service) > killedAt + 1500; }, std::chrono::seconds(10)))
        << "stopped at " << position(service) << " after the server died at " << killedAt;
    char mode[128] = {};
    service.sendString("status a mode", mode, sizeof mode);
    EXPECT_STREQ(mode, "playing");
    EXPECT_GE(position(service), killedAt) << "it plays on from where it was";

    // The server is back: the next play goes through it again.
    ASSERT_TRUE(server.start());
    ASSERT_EQ(service.sendString("close all", nullptr, 0), kOk);
    ASSERT_EQ(service.sendString(open.c_str(), nullptr, 0), kOk);
    ASSERT_EQ(service.sendString("play a", nullptr, 0), kOk);
    EXPECT_TRUE(waitFor([] { return soundStreams() == 1; }, std::chrono::seconds(10)));
    EXPECT_EQ(service.sendString("close all", nullptr, 0), kOk);
}

} // namespace
} // namespace tovimo::media
