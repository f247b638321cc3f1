// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/allocator_tuning.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <malloc.h>

namespace tovimo::media {
namespace {

// A block the compiler cannot leave out.
[[maybe_unused]] void* touchedBlock(std::size_t size) {
    auto* block = static_cast<volatile char*>(std::malloc(size));
    if (block)
        block[size - 1] = 1;
    return const_cast<char*>(block);
}

// What a frame pool does when the picture's size changes: its frames go, and
// the next pool's frames, smaller ones, come.
TEST(AllocatorTuning, FramesFreedGoBackToTheSystem) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator replaces glibc's";
#else
    char* environment[] = {nullptr};
    tuneAllocators(0, nullptr, environment);
    std::free(touchedBlock(3 << 20));
    const std::size_t mapped = mallinfo2().hblkhd;
    void* frame = touchedBlock(2 << 20);
    ASSERT_NE(frame, nullptr);
    EXPECT_GE(mallinfo2().hblkhd, mapped + (2 << 20)) << "a frame comes from a mapping of its own";
    std::free(frame);
    EXPECT_EQ(mallinfo2().hblkhd, mapped) << "and is given back when freed";
#endif
}

} // namespace
} // namespace tovimo::media
