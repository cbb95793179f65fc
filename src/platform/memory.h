// How the process keeps the memory of freed page buffers.
//
// Every page goes through buffers of its own size. By default the C library
// maps each large buffer anew from the system and unmaps it when freed, so
// every page pays one page fault per 4 KB it touches; over a batch of pages
// that is a third of the run. Keeping freed memory in the process lets the
// next page reuse it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tersify::platform {

// Call once at start, before other threads run: freed buffers of pages up to
// 32 MB stay in the process for reuse (at most 64 MB of them) until
// ReturnFreedMemory. Does nothing where the C library has no such setting.
void KeepFreedMemoryForReuse();

// Gives the freed memory kept so far back to the system (after a run).
void ReturnFreedMemory();

// Room at the free end of the heap for the buffers of one page, `bytes` in
// all (at most 30 MB are taken), whose whole large pages are asked to be
// backed by large pages where the system offers them on request. Buffers the
// page then takes from the heap come into memory 2 MB at a time instead of
// 4 KB: on a virtual machine each 4 KB costs about two microseconds, a sixth
// of the run on a page of two megabytes. The room holds the heap's part
// before the first large page while it lives, so the next buffers begin on
// one. For a process that does one page: make it after
// KeepFreedMemoryForReuse and before the page's buffers are taken, and keep
// it while the page is done. Does nothing where the C library keeps no such
// heap.
class LargePageRoom {
 public:
  explicit LargePageRoom(std::size_t bytes);
  ~LargePageRoom();
  LargePageRoom(const LargePageRoom&) = delete;
  LargePageRoom& operator=(const LargePageRoom&) = delete;

 private:
  void* head_ = nullptr;
};

// Maps the first `mapped` of the `size` bytes at `data` (all of them by
// default), about to be written, into the process in one call instead of one
// page fault per 4 KB as they are first written (where a fault is dear, as
// on virtual machines, that is a fifth of the run on a page of a megabyte or
// two), and asks for the whole large pages of all `size` bytes to be backed
// by large pages where the system offers them on request: the passes over a
// page of many megabytes then see fewer address-translation misses. A buffer
// that may stay largely unwritten maps only part of itself; the rest comes
// as it is first written. A buffer of 16 MB or more is mapped by two threads
// at once, one half each. Does nothing where the system has neither.
void MapForWriting(void* data, std::size_t size, std::size_t mapped = SIZE_MAX);

}  // namespace tersify::platform
