// SPDX-License-Identifier: GPL-3.0-or-later
#include "mci_shell.h"

#include "platform/media/error_codes.h"

#include "media_fixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tovimo::tools {
namespace {

// Answers "status" with a reply, anything else with code 261.
class ScriptedService final : public media::MediaCommandService {
public:
    std::uint32_t sendString(const char* command, char* reply, std::uint32_t length) override {
        sent.emplace_back(command);
        lengths.push_back(length);
        if (std::string(command).starts_with("status")) {
            std::strncpy(reply, "2026", length);
            return 0;
        }
        reply[0] = '\0';
        return media::kUnrecognizedCommand;
    }
    bool getErrorString(std::uint32_t code, char* buffer, std::uint32_t length) override {
        std::snprintf(buffer, length, "text of %u", code);
        return true;
    }
    std::vector<std::string> sent;
    std::vector<std::uint32_t> lengths;
};

struct ShellCase {
    std::vector<std::string> arguments;
    std::string input;
    int status;
    std::string output;
    std::vector<std::string> sent;
};

// Runs the shell as the program does, its input a pipe holding `input`.
int runOnInput(media::MediaCommandService& service, const std::vector<std::string>& arguments,
               const std::string& input, std::ostream& out, std::ostream& err, const ShellHooks& hooks = {}) {
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const bool written = ::write(fds[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
    ::close(fds[1]);
    const int status = written ? runShell(service, arguments, fds[0], out, err, hooks) : -1;
    ::close(fds[0]);
    return status;
}

TEST(MciShell, SendsArgumentsOrLinesAndPrintsOneLineEach) {
    const ShellCase cases[] = {
        {{"status a length", "jump a"}, "", 0, "0\t2026\n261\t\n", {"status a length", "jump a"}},
        {{"-e", "jump a", "status a length"},
         "",
         0,
         "261\t\ttext of 261\n0\t2026\n",
         {"jump a", "status a length"}},
        {{},
         "status a length\n\n   \n# a comment\r\n  # another\njump a\r\n",
         0,
         "0\t2026\n261\t\n",
         {"status a length", "jump a"}},
        {{"-e"}, "jump a", 0, "261\t\ttext of 261\n", {"jump a"}},
        {{"--", "-e"}, "", 0, "261\t\n", {"-e"}},
        {{"-x", "status a length"}, "", 2, "", {}},
    };
    for (const auto& c : cases) {
        ScriptedService service;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(runOnInput(service, c.arguments, c.input, out, err), c.status);
        EXPECT_EQ(out.str(), c.output);
        EXPECT_EQ(service.sent, c.sent);
        for (const auto length : service.lengths)
            EXPECT_EQ(length, 128u);
        EXPECT_EQ(err.str().empty(), c.status == 0);
    }
}

TEST(MciShell, ReadsADescriptorAndPollsWhileWaiting) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string input = "status a length\n# skipped\r\n\njump a\r\nstatus b";
    ASSERT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    ScriptedService service;
    std::ostringstream out;
    int idles = 0;
    // The writer stays open until the shell has waited once without input.
    ShellHooks hooks;
    hooks.idle = [&] {
        if (++idles == 1)
            ::close(fds[1]);
    };
    sendDescriptorLines(service, fds[0], false, out, hooks);
    ::close(fds[0]);
    EXPECT_GE(idles, 1);
    EXPECT_EQ(service.sent, (std::vector<std::string>{"status a length", "jump a", "status b"}));
    EXPECT_EQ(out.str(), "0\t2026\n261\t\n0\t2026\n");
}

TEST(MciShell, PrintsTheFailureReasonAfterTheErrorText) {
    ScriptedService service;
    ShellHooks hooks;
    hooks.failureReason = [] { return std::string("missing: H.265 decoder"); };
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runOnInput(service, {"-e", "jump a", "status a length"}, "", out, err, hooks), 0);
    EXPECT_EQ(out.str(), "261\t\ttext of 261\tmissing: H.265 decoder\n0\t2026\n");
    std::ostringstream quiet;
    EXPECT_EQ(runOnInput(service, {"jump a"}, "", quiet, err, hooks), 0);
    EXPECT_EQ(quiet.str(), "261\t\n");
}

TEST(MciShell, RunsAsAProgram) {
    std::array<char, 512> buffer{};
    FILE* pipe = ::popen("DISPLAY= " TOVIMO_MCI_PATH
                         " -e \"close all\" \"status nosuch length\" play \"open /bin/true alias x\"",
                         "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    while (std::fgets(buffer.data(), buffer.size(), pipe))
        output += buffer.data();
    EXPECT_EQ(::pclose(pipe), 0);
    std::istringstream lines(output);
    std::string line;
    std::vector<std::string> codes;
    while (std::getline(lines, line))
        codes.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(codes, (std::vector<std::string>{"0", "263", "292", "277"}));
    EXPECT_NE(output.find("263\t\t"), std::string::npos);
    // A program is recognised but nothing here plays it: the reason names
    // what is missing.
    EXPECT_NE(output.find("\tmissing: application/x-executable"), std::string::npos) << output;
}

// The shell on a file whose source stops answering in the middle: each
// command's line comes back within its bound.
TEST(MciShell, AnswersEveryCommandWhileTheSourceStalls) {
    using Clock = std::chrono::steady_clock;
    if (const std::string reason = media::testing::StallingMount::unusableReason(); !reason.empty())
        GTEST_SKIP() << reason;
    media::testing::ScratchFolder folder;
    const std::string clip = folder.file("long.mp4");
    ASSERT_TRUE(media::testing::makeLongMp4(clip));
    media::testing::StallingMount mount(clip,
                                        static_cast<std::int64_t>(std::filesystem::file_size(clip) / 2));
    ASSERT_TRUE(mount.mounted());

    int toShell[2];
    int fromShell[2];
    ASSERT_EQ(::pipe2(toShell, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(fromShell, O_CLOEXEC), 0);
    const pid_t shell = ::fork();
    ASSERT_GE(shell, 0);
    if (shell == 0) {
        ::dup2(toShell[0], STDIN_FILENO);
        ::dup2(fromShell[1], STDOUT_FILENO);
        ::unsetenv("DISPLAY");
        ::execl(TOVIMO_MCI_PATH, TOVIMO_MCI_PATH, "-e", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(toShell[0]);
    ::close(fromShell[1]);
    std::string pending;
    // Sends one line and reads the shell's answer line, or "" after 20 s.
    const auto send = [&](const std::string& command, Clock::duration& took) {
        const std::string line = command + '\n';
        const auto start = Clock::now();
        EXPECT_EQ(::write(toShell[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
        while (pending.find('\n') == std::string::npos) {
            pollfd ready{fromShell[0], POLLIN, 0};
            if (::poll(&ready, 1, 20000) <= 0)
                break;
            std::array<char, 512> chunk{};
            const ssize_t got = ::read(fromShell[0], chunk.data(), chunk.size());
            if (got <= 0)
                break;
            pending.append(chunk.data(), static_cast<std::size_t>(got));
        }
        took = Clock::now() - start;
        const auto end = pending.find('\n');
        std::string answer = pending.substr(0, end);
        pending.erase(0, end == std::string::npos ? pending.size() : end + 1);
        return answer;
    };
    Clock::duration took{};
    EXPECT_TRUE(send("open " + mount.file() + " alias a", took).starts_with("0\t1"));
    EXPECT_TRUE(send("play a", took).starts_with("0\t"));
    EXPECT_TRUE(mount.waitForStall(std::chrono::seconds(30)));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const char* command : {"status a position", "play a from 0", "seek a to 1000", "stop a",
                                "status a mode", "close a", "close all"}) {
        const std::string answer = send(command, took);
        EXPECT_FALSE(answer.empty()) << command;
        EXPECT_LT(took, std::chrono::milliseconds(1500)) << command << " -> " << answer;
    }
    // Reads the stalled engine still waits on must return before the
    // process can end.
    mount.release();
    ::close(toShell[1]);
    int status = 0;
    EXPECT_EQ(::waitpid(shell, &status, 0), shell);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(fromShell[0]);
}

} // namespace
} // namespace tovimo::tools
