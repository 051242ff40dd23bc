// Takes the kernel's first touch of a growing list's fresh pages to a thread of its own.
// The first write to a page that was never used costs the writer a page fault and the
// zeroing of the page (of a 2-MiB page where huge pages are on); on a virtual machine that
// is the dearest part of recording a packet. The warmer asks the kernel to map the pages a
// few MiB ahead of the writer (MADV_POPULATE_WRITE), so the writer finds them ready and the
// zeroing runs on the other core. It never reads or writes the list's records itself.
#pragma once
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#include "input/MapPages.h"

namespace korvane {

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
