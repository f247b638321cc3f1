// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tovimo::media {

// Allocators tuned for a process that opens many files one after another.
//
// glibc gives each thread that allocates an arena of its own (up to eight a
// core) and keeps what is freed in it for that arena's next use. Every file
// opened starts a new set of streaming threads, so over many files the freed
// memory of pipelines long gone piles up in arenas that nothing reuses: the
// arenas are bounded to two, unless MALLOC_ARENA_MAX is set (glibc then
// applies it itself).
//
// glibc serves large blocks from mmap and gives them back when they are
// freed, but its threshold for that rises to the size of each such block
// freed: after the first frame pool that goes (every change of the picture's
// size makes new ones), frames come from the heap, and frames freed there stay
// in the process. Blocks of 1 MB and more always come from mmap, unless
// MALLOC_MMAP_THRESHOLD_ or the matching GLIBC_TUNABLES entry is set.
//
// GLib before 2.76 hands out small blocks from its slice allocator, which
// keeps freed blocks in per-thread magazines and a shared depot that grow with
// every set of streaming threads and are never given back: about 2 KB more
// with each file opened. Its slices are sent to malloc instead, unless G_SLICE
// is set, even empty, which leaves GLib to read it.
//
// GLib settles its slice configuration in its library constructor, so this
// must run from the program's .preinit_array, which the dynamic loader runs
// before any library's constructor (also when the program is started as
// `ld.so PROGRAM`) and before any thread exists. libc has not set up getenv
// by then, so the environment is read from `envp`. A program installs it as
//   [[gnu::used, gnu::section(".preinit_array")]]
//   static void (*const kTuneAllocators)(int, char**, char**) = &tuneAllocators;
void tuneAllocators(int argc, char** argv, char** envp);

// Hands the memory freed in every arena back to the system. Cheap next to
// taking a pipeline down; call after one has gone.
void releaseFreedMemory();

} // namespace tovimo::media
