// Takes the kernel's first touch of a growing list's fresh pages to a thread of its own.
// The first write to a page that was never used costs the writer a page fault and the
// zeroing of the page (of a 2-MiB page where huge pages are on); on a virtual machine that
// is the dearest part of recording a packet. The warmer asks the kernel to map the pages a
// few MiB ahead of the writer (MADV_POPULATE_WRITE), so the writer finds them ready and the
// zeroing runs on the other core. It never reads or writes the list's records itself.
#pragma once
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "analysis/SideBySide.h"
#include "input/MapPages.h"

namespace korvane {

// Where a walk from the front and a toucher from the back of a list of chunks meet: the
// chunks taken by the walk (the low half) and the first chunk taken by the toucher (the
// high half; the count of chunks while it has taken none).
using ChunkOwners = std::atomic<uint64_t>;
// The walk's claim on chunk `chunk` (the one after those it has), or false once the
// toucher has it: the walk then waits for the toucher to end and takes the rest.
bool ClaimFromTheFront(ChunkOwners& owners, uint64_t chunk);
// The toucher: claims chunks from the back, one at a time, and reads one byte of each page
// of each, until it reaches the walk's.
void TouchFromTheBack(const void* base, size_t bytes, size_t chunkBytes, ChunkOwners& owners);

// Walks a long list of records written a while ago, front to back, while a second thread
// reads one byte of each of its pages from the back towards the front until the two meet;
// the walk then goes on over the pages already read. On the virtual machines here a page
// the program has not touched for a while (often no more than a few tenths of a second)
// costs some 4-6 us on its next read, however little is read of it, while the host maps it
// for the program again; reading it from the kernel does not help. A pass over a 4 M-frame
// trace's packet records took 0.25 s that way, 0.01 s once warm. Two cores pay for those
// pages side by side. Keeping the pages warm during the read instead (a byte a page every
// quarter second) cost more than it saved: the pages went cold again between the rounds.
// `walk(from, to)` is called for consecutive ranges of records that together make
// [0, count), in order.
template <class Walk>
void WalkWarmingFromTheBack(const void* records, size_t recordBytes, size_t count, bool twoThreads, Walk&& walk) {
  constexpr size_t kChunkBytes = size_t(256) << 10;
  const size_t chunk = std::max<size_t>(1, kChunkBytes / recordBytes);
  const uint64_t chunks = (count + chunk - 1) / chunk;
  if (!twoThreads || chunks < 2 || chunks >= (uint64_t(1) << 32)) {
    walk(size_t(0), count);
    return;
  }
  ChunkOwners owners{chunks << 32};
  size_t walked = 0;
  RunSideBySide(
      true,
      [&] {
        for (uint64_t c = 0; ClaimFromTheFront(owners, c); ++c) {
          const size_t to = std::min<size_t>(count, size_t(c + 1) * chunk);
          walk(walked, to);
          walked = to;
        }
      },
      [&] { TouchFromTheBack(records, count * recordBytes, chunk * recordBytes, owners); });
  if (walked < count) walk(walked, count);
}

class PageWarmer {
 public:
  // How far ahead of the writer pages are mapped, how often the writer reports, and how
  // much a list holds before it is worth a thread (a short trace never starts one).
  static constexpr size_t kAheadBytes = size_t(8) << 20, kStepBytes = size_t(1) << 20,
                          kStartBytes = size_t(4) << 20;

  PageWarmer() = default;
  PageWarmer(const PageWarmer&) = delete;
  PageWarmer& operator=(const PageWarmer&) = delete;
  ~PageWarmer();

  // The region at `base` holds `length` bytes of which the first `written` are in use: map
  // up to kAheadBytes beyond them. Returns false once warming proved impossible here (no
  // thread, or a kernel without the request); the caller then stops reporting.
  bool Ahead(void* base, size_t length, size_t written);
  // Returns once no request is in flight; the region is forgotten until the next Ahead.
  // Call before the region moves, shrinks or is unmapped. The pages mapped so far are
  // remembered by their offset (a region moved whole keeps them) unless `fresh`: the next
  // region is a new one.
  void Pause(bool fresh = false);

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::thread thread_;
  char* base_ = nullptr;
  size_t done_ = 0, goal_ = 0;
  bool busy_ = false, stop_ = false, failed_ = false;
};

}  // namespace korvane
