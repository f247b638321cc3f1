#include "mci_shell.h"

#include "platform/media/error_codes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
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

} // namespace
} // namespace tovimo::tools
