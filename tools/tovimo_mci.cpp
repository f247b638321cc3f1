// SPDX-License-Identifier: GPL-3.0-or-later
#include "mci_shell.h"
#include "platform/media/allocator_tuning.h"
#include "platform/media/mci_service.h"

#include <iostream>
#include <unistd.h>

// Before any library's constructor: GLib sets up its slices in its own.
[[gnu::used, gnu::section(".preinit_array")]] static void (*const kTuneAllocators)(int, char**, char**) =
    &tovimo::media::tuneAllocators;

int main(int argc, char* argv[]) {
    tovimo::media::initializeProcess();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    tovimo::media::MciService service;
    tovimo::tools::ShellHooks hooks;
    hooks.failureReason = [&service] { return service.lastFailureReason(); };
    return tovimo::tools::runShell(service, arguments, STDIN_FILENO, std::cout, std::cerr, hooks);
}
