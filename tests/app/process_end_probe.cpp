// SPDX-License-Identifier: GPL-3.0-or-later
// Ends the way the player does when a read is stuck, after making a
// connection of its own to the unix socket named by its argument. A child
// that it leaves behind keeps every descriptor open, as a stuck thread
// would, so the peers see an end only where the sockets were shut down.
// Prints the child's process id on standard output.
#include "app/process_end.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char* argv[]) {
    if (argc != 2)
        return 2;
    const int own = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, argv[1], sizeof address.sun_path - 1);
    if (own < 0 || ::connect(own, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return 3;
    // Also a copy of the standard output on a descriptor of its own.
    if (::dup(STDOUT_FILENO) < 0)
        return 4;
    const pid_t holder = ::fork();
    if (holder < 0)
        return 5;
    if (holder == 0) {
        for (;;)
            ::pause();
    }
    std::printf("%d\n", static_cast<int>(holder));
    tovimo::app::endLeavingStuckReadsBehind(7);
}
