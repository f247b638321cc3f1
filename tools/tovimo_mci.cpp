#include "mci_shell.h"
#include "platform/media/allocator_tuning.h"
#include "platform/media/mci_service.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // Before any thread starts: each file played starts streaming threads.
    tovimo::media::tuneAllocator();
    tovimo::media::initializeProcess();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    tovimo::tools::ShellOptions options;
    if (const int status = tovimo::tools::readArguments(arguments, options, std::cout, std::cerr);
        status >= 0)
        return status;
    tovimo::media::MciService service;
    if (options.commands.empty()) {
        // Between lines the devices are still polled, so that a repeat goes on.
        tovimo::tools::sendDescriptorLines(service, STDIN_FILENO, options.showErrors, std::cout,
                                           [&service] { service.pollEvents(); });
        return 0;
    }
    for (const auto& command : options.commands)
        tovimo::tools::sendCommand(service, command, options.showErrors, std::cout);
    return 0;
}
