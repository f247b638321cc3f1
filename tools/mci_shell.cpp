// SPDX-License-Identifier: GPL-3.0-or-later
#include "mci_shell.h"

#include <array>
#include <cerrno>
#include <ostream>
#include <poll.h>
#include <unistd.h>

namespace tovimo::tools {

namespace {

void sendUnlessSkipped(media::MediaCommandService& service, std::string line, bool showErrors,
                       std::ostream& out, const ShellHooks& hooks) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (!isSkipped(line))
        sendCommand(service, line, showErrors, out, hooks);
}

} // namespace

void sendCommand(media::MediaCommandService& service, const std::string& command, bool showErrors,
                 std::ostream& out, const ShellHooks& hooks) {
    std::array<char, 128> reply{};
    const auto code =
        service.sendString(command.c_str(), reply.data(), static_cast<std::uint32_t>(reply.size()));
    out << code << '\t' << reply.data();
    if (showErrors && code != 0) {
        std::array<char, 260> text{};
        if (!service.getErrorString(code, text.data(), static_cast<std::uint32_t>(text.size())))
            text[0] = '\0';
        out << '\t' << text.data();
        if (const std::string reason = hooks.failureReason ? hooks.failureReason() : std::string();
            !reason.empty())
            out << '\t' << reason;
    }
    out << '\n' << std::flush;
}

bool isSkipped(const std::string& line) {
    const auto first = line.find_first_not_of(" \t\r");
    return first == std::string::npos || line[first] == '#';
}

void sendDescriptorLines(media::MediaCommandService& service, int fd, bool showErrors, std::ostream& out,
                         const ShellHooks& hooks) {
    std::string pending;
    std::array<char, 4096> chunk{};
    for (;;) {
        pollfd input{fd, POLLIN, 0};
        const int ready = ::poll(&input, 1, 100);
        if (ready == 0) {
            if (hooks.idle)
                hooks.idle();
            continue;
        }
        if (ready < 0 && errno == EINTR)
            continue;
        const ssize_t got = ready < 0 ? -1 : ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(chunk.data(), static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            sendUnlessSkipped(service, pending.substr(0, end), showErrors, out, hooks);
            pending.erase(0, end + 1);
        }
    }
    if (!pending.empty())
        sendUnlessSkipped(service, pending, showErrors, out, hooks);
}

int readArguments(const std::vector<std::string>& arguments, ShellOptions& options, std::ostream& out,
                  std::ostream& err) {
    std::size_t first = 0;
    for (; first < arguments.size(); ++first) {
        const std::string& argument = arguments[first];
        if (argument == "--") {
            ++first;
            break;
        }
        if (argument == "-e") {
            options.showErrors = true;
        } else if (argument == "-h" || argument == "--help") {
            out << "usage: tovimo-mci [-e] [COMMAND...]\n"
                   "Sends each COMMAND, or else each line of standard input, to the media service.\n"
                   "Prints per command: code<TAB>reply, and with -e <TAB>error text.\n";
            return 0;
        } else if (argument.size() > 1 && argument[0] == '-') {
            err << "tovimo-mci: unknown option " << argument << "\nusage: tovimo-mci [-e] [COMMAND...]\n";
            return 2;
        } else {
            break;
        }
    }
    options.commands.assign(arguments.begin() + static_cast<std::ptrdiff_t>(first), arguments.end());
    return -1;
}

int runShell(media::MediaCommandService& service, const std::vector<std::string>& arguments, int inputFd,
             std::ostream& out, std::ostream& err, const ShellHooks& hooks) {
    ShellOptions options;
    if (const int status = readArguments(arguments, options, out, err); status >= 0)
        return status;
    if (options.commands.empty())
        sendDescriptorLines(service, inputFd, options.showErrors, out, hooks);
    for (const auto& command : options.commands)
        sendCommand(service, command, options.showErrors, out, hooks);
    return 0;
}

} // namespace tovimo::tools
