#include "mci_shell.h"
#include "platform/media/mci_service.h"

#include <iostream>

int main(int argc, char* argv[]) {
    tovimo::media::initializeProcess();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    tovimo::media::MciService service;
    return tovimo::tools::runShell(service, arguments, std::cin, std::cout, std::cerr);
}
