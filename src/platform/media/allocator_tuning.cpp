#include "platform/media/allocator_tuning.h"

#include <cstdlib>
#include <malloc.h>

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

void releaseFreedMemory() {
    malloc_trim(0);
}

} // namespace tovimo::media
