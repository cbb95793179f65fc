// How the process keeps the memory of freed page buffers.
//
// Every page goes through buffers of its own size. By default the C library
// maps each large buffer anew from the system and unmaps it when freed, so
// every page pays one page fault per 4 KB it touches; over a batch of pages
// that is a third of the run. Keeping freed memory in the process lets the
// next page reuse it.
#pragma once

#include <cstddef>

namespace tersify::platform {

// Call once at start, before other threads run: freed buffers of pages up to
// 32 MB stay in the process for reuse (at most 64 MB of them) until
// ReturnFreedMemory. Does nothing where the C library has no such setting.
void KeepFreedMemoryForReuse();

// Gives the freed memory kept so far back to the system (after a run).
void ReturnFreedMemory();

// Maps the `size` bytes at `data`, about to be written, into the process in
// one call instead of one page fault per 4 KB as they are first written
// (where a fault is dear, as on virtual machines, that is a fifth of the run
// on a page of a megabyte or two), and asks for their whole large pages to
// be backed by large pages where the system offers them on request: the
// passes over a page of many megabytes then see fewer address-translation
// misses. Does nothing where the system has neither.
void MapForWriting(void* data, std::size_t size);

// Only the large-page half of MapForWriting, for a buffer that may stay
// largely unwritten: its pages still come as they are first written.
void PreferLargePages(void* data, std::size_t size);

}  // namespace tersify::platform
