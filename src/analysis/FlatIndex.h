// An open-addressing hash index from a small key to a record index: one probe sequence
// in one array, so a lookup costs about one cache miss. Records are never removed.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "input/MapPages.h"

namespace korvane {

// Values are record indexes (or several packed into a wider integer); a negative value
// marks an empty slot.
template <class Key, class Hash, class Value = int32_t>
class FlatIndex {
 public:
  // An index makes its first slots at its first insert, so that an empty one costs nothing.
  FlatIndex() = default;

  // Empties the index: the first slots are kept and cleared in place, larger ones given back.
  void Clear() {
    if (slots_.size() == kInitialSlots)
      std::fill(slots_.begin(), slots_.end(), Slot{});
    else
      std::vector<Slot>().swap(slots_);
    count_ = 0;
  }
  // The value stored for the key, or -1.
  Value Find(const Key& key) const {
    if (slots_.empty()) return -1;
    const size_t mask = slots_.size() - 1;
    for (size_t at = Hash{}(key) & mask;; at = (at + 1) & mask) {
      const Slot& s = slots_[at];
      if (s.value < 0) return -1;
      if (s.key == key) return s.value;
    }
  }
  // Starts fetching the slot where the key's probe begins, for a Find soon after.
  void Prefetch(const Key& key) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[Hash{}(key) & (slots_.size() - 1)]);
  }
  // Stores a key that is not present yet.
  void Insert(const Key& key, Value value) {
    if ((count_ + 1) * 4 > slots_.size() * 3) Grow();
    Place(key, value);
    ++count_;
  }
  size_t size() const { return count_; }
  // Makes room for this many keys at once, so that filling the index grows it no more.
  void Reserve(size_t keys) {
    if (keys == 0) return;
    size_t room = std::max(kInitialSlots, slots_.size());
    while (keys * 4 > room * 3) room *= 2;
    if (room != slots_.size()) Rehash(room);
  }

 private:
  static constexpr size_t kInitialSlots = 1024;
  struct Slot {
    Key key{};
    Value value = -1;
  };
  void Place(const Key& key, Value value) {
    const size_t mask = slots_.size() - 1;
    size_t at = Hash{}(key) & mask;
    while (slots_[at].value >= 0) at = (at + 1) & mask;
    slots_[at] = Slot{key, value};
  }
  void Grow() { Rehash(slots_.empty() ? kInitialSlots : slots_.size() * 2); }
  void Rehash(size_t room) {
    std::vector<Slot> old;
    old.reserve(room);
    MapPagesNow(old.data(), room * sizeof(Slot));  // a large index's pages, at once
    old.resize(room);
    old.swap(slots_);
    for (const Slot& s : old)
      if (s.value >= 0) Place(s.key, s.value);
  }
  std::vector<Slot> slots_;
  size_t count_ = 0;
};

// Finalising mix of a 64-bit value, so that the low bits used for the slot depend on all bits.
inline uint64_t MixBits(uint64_t x) {
  x ^= x >> 30;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 27;
  x *= 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace korvane
