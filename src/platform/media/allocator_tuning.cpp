// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/allocator_tuning.h"

#include <cstring>
#include <glib.h>
#include <malloc.h>

namespace tovimo::media {

namespace {

// The main arena and one shared by every other thread: streaming threads
// allocate little on their fast paths, so they rarely contend for it.
constexpr int kArenaLimit = 2;

// Decoded frames and their planes (0.5 to 3 MB at 1080p) are at or above
// this size.
constexpr int kMmapThreshold = 1 << 20;

const char* valueOf(char** envp, const char* name) {
    const std::size_t length = std::strlen(name);
    for (char** entry = envp; entry && *entry; ++entry)
        if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] == '=')
            return *entry + length + 1;
    return nullptr;
}

bool isSet(char** envp, const char* name) {
    return valueOf(envp, name) != nullptr;
}

bool mmapThresholdAsked(char** envp) {
    const char* tunables = valueOf(envp, "GLIBC_TUNABLES");
    return isSet(envp, "MALLOC_MMAP_THRESHOLD_") ||
           (tunables && std::strstr(tunables, "glibc.malloc.mmap_threshold") != nullptr);
}

} // namespace

void tuneAllocators(int, char**, char** envp) {
    if (!isSet(envp, "MALLOC_ARENA_MAX"))
        mallopt(M_ARENA_MAX, kArenaLimit);
    if (!mmapThresholdAsked(envp))
        mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    // Newer GLib has no slice allocator of its own. Both calls only read
    // and write GLib's static settings: GLib itself is not set up yet.
    if (!isSet(envp, "G_SLICE") && glib_check_version(2, 76, 0) != nullptr) {
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        g_slice_set_config(G_SLICE_CONFIG_ALWAYS_MALLOC, TRUE);
        G_GNUC_END_IGNORE_DEPRECATIONS
    }
}

void releaseFreedMemory() {
    malloc_trim(0);
}

} // namespace tovimo::media
