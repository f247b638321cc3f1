#pragma once

#include "platform/media/media_service.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tovimo::tools {

// Sends each command to `service` with a 128-character reply buffer and
// writes one line per command: the return code, a tab, the reply; with
// `showErrors`, a further tab and the error text of a non-zero code.
void sendCommand(media::MediaCommandService& service, const std::string& command, bool showErrors,
                 std::ostream& out);

// Sends every line of `in` except blank lines and lines starting with '#'.
void sendLines(media::MediaCommandService& service, std::istream& in, bool showErrors, std::ostream& out);

// The shell's whole run: `tovimo-mci [-e] [COMMAND...]`. Returns the exit
// status: 0 when every command was sent, 2 on a usage error.
int runShell(media::MediaCommandService& service, const std::vector<std::string>& arguments, std::istream& in,
             std::ostream& out, std::ostream& err);

} // namespace tovimo::tools
