#include "analysis/PageWarmer.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <system_error>

namespace korvane {

namespace {
constexpr size_t kChunkBytes = size_t(2) << 20;  // one huge page per request
constexpr size_t kPageBytes = 4096;              // requests start on a page
}

PageWarmer::~PageWarmer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

bool PageWarmer::Ahead(void* base, size_t length, size_t written) {
  {
    std::lock_guard lock(mutex_);
    if (failed_) return false;
    base_ = static_cast<char*>(base);
    goal_ = std::min(length, (written + kAheadBytes) / kPageBytes * kPageBytes);
    if (!thread_.joinable()) {
      try {
        thread_ = std::thread([this] { Run(); });
      } catch (const std::system_error&) {
        failed_ = true;
        return false;
      }
    }
  }
  wake_.notify_one();
  return true;
}

void PageWarmer::Pause(bool fresh) {
  std::unique_lock lock(mutex_);
  base_ = nullptr;
  idle_.wait(lock, [this] { return !busy_; });
  if (fresh) done_ = 0;
}

void PageWarmer::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || (base_ != nullptr && done_ < goal_); });
    if (stop_) return;
    char* from = base_ + done_;
    const size_t bytes = std::min(goal_ - done_, kChunkBytes);
    busy_ = true;
    lock.unlock();
    const int result = ::madvise(from, bytes, MADV_POPULATE_WRITE);
    const int error = errno;
    lock.lock();
    busy_ = false;
    if (result != 0 && error != EINTR && error != EAGAIN) {
      // A kernel without the request (EINVAL), or no memory left: the writer faults its
      // pages in itself, as it would without a warmer.
      failed_ = true;
      base_ = nullptr;
    } else if (result == 0) {
      done_ += bytes;
    }
    idle_.notify_all();
  }
}

}  // namespace korvane
