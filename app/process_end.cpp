// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/process_end.h"

#include "platform/media/x11_child_window.h"
#include "platform/toolkit/app.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace tovimo::app {

namespace {

// The sockets that were open when the process started, by their inode: the
// standard streams and whatever a launcher, a terminal or the journal handed
// down. They are shared with the parent and siblings, so shutting one down
// would break it for them too. Filled before any constructor runs, so only
// zero-initialised storage.
constexpr int kMaxInherited = 256;
struct InheritedSockets {
    unsigned long inodes[kMaxInherited];
    int count;
    bool known; // false: the list was never taken or did not fit
};
InheritedSockets inherited;

// The socket's inode from the descriptor's link text, "socket:[N]"; 0 for
// anything else. The link's text, not the file: readlink on /proc never
// reaches the file system behind a descriptor, which may be the one that
// stopped answering.
unsigned long socketInode(int dirFd, const char* name) {
    char target[64];
    const ssize_t length = ::readlinkat(dirFd, name, target, sizeof target - 1);
    if (length <= 0)
        return 0;
    target[length] = '\0';
    constexpr std::string_view prefix = "socket:[";
    if (!std::string_view(target).starts_with(prefix))
        return 0;
    char* end = nullptr;
    const unsigned long inode = std::strtoul(target + prefix.size(), &end, 10);
    return end && *end == ']' ? inode : 0;
}

// Calls `visit(fd, inode)` for every open socket but the listing's own.
template <typename Visit> void forEachSocket(Visit visit) {
    DIR* fds = ::opendir("/proc/self/fd");
    if (!fds)
        return;
    const int own = ::dirfd(fds);
    while (const dirent* entry = ::readdir(fds)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own)
            continue;
        if (const unsigned long inode = socketInode(own, entry->d_name))
            visit(static_cast<int>(fd), inode);
    }
    ::closedir(fds);
}

void noteInheritedSockets(int, char**, char**) {
    inherited.known = true;
    forEachSocket([](int, unsigned long inode) {
        if (inherited.count == kMaxInherited)
            inherited.known = false;
        else
            inherited.inodes[inherited.count++] = inode;
    });
}

bool wasInherited(unsigned long inode) {
    return std::find(inherited.inodes, inherited.inodes + inherited.count, inode) !=
           inherited.inodes + inherited.count;
}

// Shuts down the connections the process made itself (X, D-Bus, the sound
// server): a socket is ours when it did not exist at the start, also when
// a descriptor of an inherited one was duplicated since. When that list is
// missing nothing can be proven ours, and nothing is shut.
void shutDownOwnSockets() {
    if (!inherited.known)
        return;
    forEachSocket([](int fd, unsigned long inode) {
        if (fd > STDERR_FILENO && !wasInherited(inode))
            ::shutdown(fd, SHUT_RDWR);
    });
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
    shutDownOwnSockets();
    tk::App::releaseInstance();
    ::_exit(status);
}

} // namespace tovimo::app

// Before any library's constructor can open a connection of its own.
[[gnu::used, gnu::section(".preinit_array")]] static void (*const kNoteInheritedSockets)(
    int, char**, char**) = &tovimo::app::noteInheritedSockets;
