// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the player by its process tests. Once GLib is set up (this
// library needs it, so its constructor runs after GLib's), writes "1" to the
// file named by TOVIMO_SLICE_PROBE when GLib's slices come from malloc, "0"
// when they come from the slice allocator's own pages.
#include <cstdio>
#include <cstdlib>
#include <glib.h>

extern "C" {
// Present when AddressSanitizer's runtime is loaded.
[[gnu::weak]] int __sanitizer_get_ownership(const volatile void* p);
[[gnu::weak]] std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}

namespace {

constexpr std::size_t kSize = 64;

bool slicesFromMalloc() {
    if (__sanitizer_get_ownership) {
        // The sanitizer's malloc keeps freed blocks out of use for a while,
        // but it knows each block it gave out and its size.
        void* slice = g_slice_alloc(kSize);
        const bool fromMalloc =
            __sanitizer_get_ownership(slice) && __sanitizer_get_allocated_size(slice) == kSize;
        g_slice_free1(kSize, slice);
        return fromMalloc;
    }
    // glibc's malloc hands the block just freed out again for the same size.
    void* block = std::malloc(kSize);
    std::free(block);
    void* slice = g_slice_alloc(kSize);
    const bool fromMalloc = slice == block;
    g_slice_free1(kSize, slice);
    return fromMalloc;
}

[[gnu::constructor]] void report() {
    const char* path = std::getenv("TOVIMO_SLICE_PROBE");
    if (!path)
        return;
    if (std::FILE* file = std::fopen(path, "w")) {
        std::fputs(slicesFromMalloc() ? "1" : "0", file);
        std::fclose(file);
    }
}

} // namespace
