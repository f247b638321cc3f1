#include "mci_shell.h"

#include <array>
#include <istream>
#include <ostream>

namespace tovimo::tools {

void sendCommand(media::MediaCommandService& service, const std::string& command, bool showErrors,
                 std::ostream& out) {
    std::array<char, 128> reply{};
    const auto code =
        service.sendString(command.c_str(), reply.data(), static_cast<std::uint32_t>(reply.size()));
    out << code << '\t' << reply.data();
    if (showErrors && code != 0) {
        std::array<char, 260> text{};
        if (!service.getErrorString(code, text.data(), static_cast<std::uint32_t>(text.size())))
            text[0] = '\0';
        out << '\t' << text.data();
    }
    out << '\n' << std::flush;
}

void sendLines(media::MediaCommandService& service, std::istream& in, bool showErrors, std::ostream& out) {
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        sendCommand(service, line, showErrors, out);
    }
}

int runShell(media::MediaCommandService& service, const std::vector<std::string>& arguments, std::istream& in,
             std::ostream& out, std::ostream& err) {
    bool showErrors = false;
    std::size_t first = 0;
    for (; first < arguments.size(); ++first) {
        const std::string& argument = arguments[first];
        if (argument == "--") {
            ++first;
            break;
        }
        if (argument == "-e") {
            showErrors = true;
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
    if (first == arguments.size()) {
        sendLines(service, in, showErrors, out);
        return 0;
    }
    for (std::size_t i = first; i < arguments.size(); ++i)
        sendCommand(service, arguments[i], showErrors, out);
    return 0;
}

} // namespace tovimo::tools
