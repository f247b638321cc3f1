#include "platform/media/allocator_tuning.h"

#include <cstdlib>
#include <glib.h>
#include <malloc.h>
#include <unistd.h>

namespace tovimo::media {

namespace {

// The main arena and one shared by every other thread: streaming threads
// allocate little on their fast paths, so they rarely contend for it.
constexpr int kArenaLimit = 2;

} // namespace

void tuneAllocator() {
    if (std::getenv("MALLOC_ARENA_MAX") == nullptr)
        mallopt(M_ARENA_MAX, kArenaLimit);
}

void restartWithMallocSlices(char* argv[]) {
    constexpr const char* kVariable = "G_SLICE";
    if (std::getenv(kVariable) != nullptr || !sliceAllocatorKeepsFreedBlocks())
        return;
    if (setenv(kVariable, "always-malloc", 1) != 0)
        return;
    // By its own name, not /proc/self/exe: the kernel names the process
    // after the file it runs, and tools such as pkill go by that name.
    char program[4096];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0)
        return;
    program[length] = '\0';
    execv(program, argv);
    // Still here: carry on with the slice allocator. The variable stays set
    // for child processes, which is what they would want too.
}

bool sliceAllocatorKeepsFreedBlocks() {
    return glib_check_version(2, 76, 0) != nullptr;
}

void releaseFreedMemory() {
    malloc_trim(0);
}

} // namespace tovimo::media
