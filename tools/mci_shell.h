// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/media/media_service.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace tovimo::tools {

// What the shell asks of its caller besides the service.
struct ShellHooks {
    // Called whenever no input has come for 100 ms (keeps a repeat going).
    std::function<void()> idle;
    // Why the last command failed, beyond its code's text; empty for none.
    std::function<std::string()> failureReason;
};

// Sends `command` to `service` with a 128-character reply buffer and writes
// one line: the return code, a tab, the reply; with `showErrors`, for a
// non-zero code a further tab and the error text, and a tab and the reason
// when the hooks give one.
void sendCommand(media::MediaCommandService& service, const std::string& command, bool showErrors,
                 std::ostream& out, const ShellHooks& hooks = {});

// True for a line the shell skips: blank, or starting with '#'.
bool isSkipped(const std::string& line);

// Sends every line read from the file descriptor `fd` that is not skipped,
// until its end; calls the idle hook whenever no input has come for 100 ms.
void sendDescriptorLines(media::MediaCommandService& service, int fd, bool showErrors, std::ostream& out,
                         const ShellHooks& hooks = {});

// The options of `tovimo-mci [-e] [COMMAND...]`.
struct ShellOptions {
    bool showErrors = false;
    std::vector<std::string> commands; // empty: read standard input
};

// Reads the arguments. Returns -1 to go on, or the exit status to end with
// (0 after --help, 2 on a usage error, with the message written).
int readArguments(const std::vector<std::string>& arguments, ShellOptions& options, std::ostream& out,
                  std::ostream& err);

// The shell's whole run: the commands among `arguments`, or else the lines
// read from `inputFd`. Returns the exit status: 0 when every command was
// sent, 2 on a usage error.
int runShell(media::MediaCommandService& service, const std::vector<std::string>& arguments, int inputFd,
             std::ostream& out, std::ostream& err, const ShellHooks& hooks = {});

} // namespace tovimo::tools
