// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/process_end.h"

#include "platform/media/x11_child_window.h"
#include "platform/toolkit/app.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace tovimo::app {

namespace {

// The link's text, not the file: readlink on /proc never reaches the file
// system behind a descriptor, which may be the one that stopped answering.
bool isSocket(int dirFd, const char* name) {
    char target[64];
    const ssize_t length = ::readlinkat(dirFd, name, target, sizeof target);
    return length > 0 && std::string_view(target, static_cast<std::size_t>(length)).starts_with("socket:");
}

void shutDownEverySocket() {
    DIR* fds = ::opendir("/proc/self/fd");
    if (!fds)
        return;
    const int own = ::dirfd(fds);
    while (const dirent* entry = ::readdir(fds)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own)
            continue;
        if (isSocket(own, entry->d_name))
            ::shutdown(static_cast<int>(fd), SHUT_RDWR);
    }
    ::closedir(fds);
}

} // namespace

void endLeavingStuckReadsBehind(int status) {
    // The X connections break under the threads still reading them: that is
    // our doing, not a lost display.
    if (!media::claimProcessEnd())
        for (;;)
            ::pause();
    std::fflush(nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    shutDownEverySocket();
    tk::App::releaseInstance();
    ::_exit(status);
}

} // namespace tovimo::app
