#include "mci_shell.h"
#include "platform/media/allocator_tuning.h"
#include "platform/media/mci_service.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char* argv[]) {
    // Before any thread starts: each file played starts streaming threads.
    tovimo::media::restartWithMallocSlices(argv);
    tovimo::media::tuneAllocator();
    tovimo::media::initializeProcess();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    tovimo::media::MciService service;
    tovimo::tools::ShellHooks hooks;
    hooks.idle = [&service] { service.pollEvents(); };
    hooks.failureReason = [&service] { return service.lastFailureReason(); };
    return tovimo::tools::runShell(service, arguments, STDIN_FILENO, std::cout, std::cerr, hooks);
}
