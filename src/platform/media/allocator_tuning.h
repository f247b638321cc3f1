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

// Hands the memory freed in every arena back to the system. Cheap next to
// taking a pipeline down; call after one has gone.
void releaseFreedMemory();

} // namespace tovimo::media
