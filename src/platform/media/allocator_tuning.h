#pragma once

namespace tovimo::media {

// glibc gives each thread that allocates an arena of its own (up to eight a
// core) and keeps what is freed in it for that arena's next use. Every file
// opened starts a new set of streaming threads, so over many files the freed
// memory of pipelines long gone piles up in arenas that nothing reuses.

// Bounds the number of arenas, unless MALLOC_ARENA_MAX is set in the
// environment (glibc then applies it itself). Call at the start of main,
// before any thread starts: arenas made before it are kept.
void tuneAllocator();

// GLib before 2.76 hands out small blocks from its slice allocator, which
// keeps freed blocks in per-thread magazines and a shared depot that grow with
// every set of streaming threads and are never given back: about 2 KB more
// with each file opened. G_SLICE=always-malloc sends them to malloc instead,
// but GLib reads it in its library constructor, before main. So when that
// GLib is loaded and G_SLICE is unset, this starts the program again with it
// set; with G_SLICE already set, even empty, or a newer GLib, it returns at
// once. It also returns when the program cannot be started again (no /proc).
// Call first in main, before any thread starts; argv must end in a null.
void restartWithMallocSlices(char* argv[]);

// Whether the GLib loaded is one whose slice allocator keeps freed blocks.
bool sliceAllocatorKeepsFreedBlocks();

// Hands the memory freed in every arena back to the system. Cheap next to
// taking a pipeline down; call after one has gone.
void releaseFreedMemory();

} // namespace tovimo::media
