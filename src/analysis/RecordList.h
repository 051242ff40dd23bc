// A growing list of plain records that never copies them to grow. The records live in a
// mapping of their own at the front of a range of addresses held for the list (without
// memory behind them): growing opens more of that range to the list, so a list of millions
// of records grows without a copy, without the old and the new list existing side by side
// at the moment of growth, and without its pages changing place. A list that outgrows its
// range (or where no range could be held) has the kernel move its pages to a larger one
// (mremap) instead.
//
// Pages that keep their place matter on the virtual machines here: after a move, each page
// costs about 5 us on its next touch, as much as a fresh one, while the host maps it for the
// program again. A 4 M-frame trace's packet records, last moved when the list doubled at
// 2.6 M records, cost the pass over them after the read some 40,000 such touches.
#pragma once
#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "analysis/PageWarmer.h"

namespace korvane {

// The addresses held for a list: far more than any trace's records need (a list of 64-byte
// packet records holds 256 M of them), and nothing but addresses until records use them.
inline constexpr size_t kRecordListHeldBytes = sizeof(void*) >= 8 ? size_t(16) << 30 : 0;

template <typename T, size_t HeldBytes = kRecordListHeldBytes>
class RecordList {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>,
                "records are moved as bytes");

 public:
  RecordList() = default;
  RecordList(const RecordList& other) { *this = other; }
  RecordList(RecordList&& other) noexcept { Swap(other); }
  RecordList& operator=(const RecordList& other) {
    if (this == &other) return *this;
    clear();
    reserve(other.size_);
    if (other.size_ != 0) std::memcpy(static_cast<void*>(data_), other.data_, other.size_ * sizeof(T));
    size_ = other.size_;
    return *this;
  }
  RecordList& operator=(RecordList&& other) noexcept {
    RecordList gone(std::move(other));
    Swap(gone);
    return *this;
  }
  ~RecordList() {
    warmer_.reset();
    if (data_) ::munmap(data_, held_);
  }

  // A list about to take millions of records can have its fresh pages mapped ahead of it
  // by a thread of its own (PageWarmer); a list that is done growing turns that off. The
  // records are the same either way.
  void WarmAhead(bool on) {
    if (on && !warmer_) {
      warmer_ = std::make_unique<PageWarmer>();
      mark_ = size_;  // the next record maps pages ahead or reports to the warmer
    } else if (!on && warmer_) {
      warmer_.reset();
      mark_ = size_;
    }
  }

  size_t size() const { return size_; }
  size_t capacity() const { return open_ / sizeof(T); }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  T& back() { return data_[size_ - 1]; }
  const T& back() const { return data_[size_ - 1]; }

  T& emplace_back() {
    if (size_ >= mark_) Reached();
    return *::new (static_cast<void*>(data_ + size_++)) T{};
  }
  void push_back(const T& record) {
    const T copy = record;  // the record may lie in the list itself
    emplace_back() = copy;
  }
  void clear() { size_ = 0; }
  // Shorter, or longer by default records.
  void resize(size_t records) {
    reserve(records);
    for (size_t i = size_; i < records; ++i) ::new (static_cast<void*>(data_ + i)) T{};
    size_ = records;
  }
  void reserve(size_t records) {
    if (records > capacity()) Grow(records);
  }

 private:
  static constexpr size_t kPage = 4096, kHugePage = size_t(2) << 20;
  static constexpr size_t kWarmFrom = PageWarmer::kStartBytes / sizeof(T);
  static constexpr size_t kMapAheadLeast = size_t(64) << 10, kMapAheadMost = size_t(2) << 20;

  void Swap(RecordList& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(open_, other.open_);
    std::swap(held_, other.held_);
    std::swap(mark_, other.mark_);
    std::swap(warmer_, other.warmer_);
  }
  // The writer reached the room's end, the end of the pages mapped ahead of it, or the
  // point where the warmer hears of it again. A list with a warmer maps its first pages
  // itself, as one without: a thread is not worth it for them.
  void Reached() {
    if (size_ == capacity()) Grow(size_ + 1);
    const size_t room = capacity();
    if (warmer_ && size_ >= kWarmFrom) {
      if (warmer_->Ahead(data_, room * sizeof(T), size_ * sizeof(T))) {
        mark_ = std::min(room, size_ + std::max<size_t>(1, PageWarmer::kStepBytes / sizeof(T)));
        return;
      }
      warmer_.reset();
    }
    // The next pages at once (a quarter of the list, 64 KiB to 2 MiB), not one fault a page.
    const size_t bytes = std::clamp(size_ * sizeof(T) / 4, kMapAheadLeast, kMapAheadMost);
    size_t next = std::min(room, size_ + std::max<size_t>(1, bytes / sizeof(T)));
    if (warmer_) next = std::min(next, kWarmFrom);
    MapPagesNow(data_ + size_, (next - size_) * sizeof(T));
    mark_ = next;
  }
  // Room for at least `records`: twice the room held, in whole pages.
  void Grow(size_t records) {
    size_t bytes = std::max(records, capacity() * 2) * sizeof(T);
    bytes = (bytes + kPage - 1) / kPage * kPage;
    if (data_ && bytes <= held_) {
      // More of the held range opened; the records stay where they are.
      if (::mprotect(reinterpret_cast<char*>(data_) + open_, bytes - open_, PROT_READ | PROT_WRITE) != 0)
        throw std::bad_alloc();
    } else {
      if (warmer_) warmer_->Pause(data_ == nullptr);
      void* room = data_ ? Moved(bytes) : Held(bytes);
      if (room == MAP_FAILED) throw std::bad_alloc();
      // A long list stays in ordinary pages, even where the system would hand out huge ones.
      // On a virtual machine that gives idle memory back to its host, a fresh 2-MiB page
      // costs the host's zeroing of it on first touch: 400 MiB of records filled at about
      // 200 MiB/s in huge pages against 3 GiB/s in ordinary ones, so a trace opened a few
      // seconds after the last one took 0.3-0.4 s longer (4 M frames). The stream-by-stream
      // walks showed no gain from huge pages to set against that.
      if (held_ >= kHugePage) ::madvise(room, held_, MADV_NOHUGEPAGE);
      data_ = static_cast<T*>(room);
    }
    open_ = bytes;
    mark_ = size_;  // the next record maps the pages ahead, or reports to the warmer
  }
  // A list's first room: `bytes` open at the front of a range held for the list, or a
  // mapping of just those bytes where no such range can be had.
  void* Held(size_t bytes) {
    const size_t held = std::max(bytes, (HeldBytes + kPage - 1) / kPage * kPage);
    void* range = ::mmap(nullptr, held, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (range != MAP_FAILED) {
      if (::mprotect(range, bytes, PROT_READ | PROT_WRITE) == 0) {
        held_ = held;
        return range;
      }
      ::munmap(range, held);
    }
    held_ = bytes;
    return ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  }
  // A list beyond its range: its pages moved to a mapping of `bytes`.
  void* Moved(size_t bytes) {
    if (held_ > open_) ::munmap(reinterpret_cast<char*>(data_) + open_, held_ - open_);
    held_ = open_;
    void* room = ::mremap(data_, open_, bytes, MREMAP_MAYMOVE);
    if (room != MAP_FAILED) held_ = bytes;
    return room;
  }

  T* data_ = nullptr;
  size_t size_ = 0;
  size_t open_ = 0;  // bytes at data_ open to records, whole pages: capacity()'s records and the rest of the last page
  size_t held_ = 0;  // bytes of addresses at data_ that belong to the list, the open ones included
  size_t mark_ = 0;  // emplace_back's slow path runs from here: the room's end, the pages mapped, or the warmer's next report
  std::unique_ptr<PageWarmer> warmer_;
};

}  // namespace korvane
