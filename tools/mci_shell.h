#pragma once

#include "platform/media/media_service.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace tovimo::tools {

// Sends `command` to `service` with a 128-character reply buffer and writes
// one line: the return code, a tab, the reply; with `showErrors`, a further
// tab and the error text of a non-zero code.
void sendCommand(media::MediaCommandService& service, const std::string& command, bool showErrors,
                 std::ostream& out);

// True for a line the shell skips: blank, or starting with '#'.
bool isSkipped(const std::string& line);

// Sends every line of `in` that is not skipped.
void sendLines(media::MediaCommandService& service, std::istream& in, bool showErrors, std::ostream& out);

// Like sendLines, reading the file descriptor `fd` directly, and calling
// `idle` whenever no input has come for 100 ms.
void sendDescriptorLines(media::MediaCommandService& service, int fd, bool showErrors, std::ostream& out,
                         const std::function<void()>& idle);

// The options of `tovimo-mci [-e] [COMMAND...]`.
struct ShellOptions {
    bool showErrors = false;
    std::vector<std::string> commands; // empty: read standard input
};

// Reads the arguments. Returns -1 to go on, or the exit status to end with
// (0 after --help, 2 on a usage error, with the message written).
int readArguments(const std::vector<std::string>& arguments, ShellOptions& options, std::ostream& out,
                  std::ostream& err);

// The shell's whole run on a stream. Returns the exit status: 0 when every
// command was sent, 2 on a usage error.
int runShell(media::MediaCommandService& service, const std::vector<std::string>& arguments, std::istream& in,
             std::ostream& out, std::ostream& err);

} // namespace tovimo::tools
