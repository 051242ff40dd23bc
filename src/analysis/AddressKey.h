// Raw address keys: MAC 6 bytes, IP 4, IPX 10 (network then node).
#pragma once
#include <array>
#include <compare>
#include <cstdint>
#include <cstring>
#include <functional>

namespace korvane {

// A raw address: MAC 6 bytes, IP 4, IPX 10 (network then node). Shorter keys that are a
// prefix of longer ones sort first.
struct AddressKey {
  uint8_t length = 0;
  std::array<uint8_t, 10> bytes{};

  // The bytes are gathered in registers and stored as the two words that the comparison
  // and the hash read back (with a constant length, two loads and two stores).
  static AddressKey From(const uint8_t* data, uint8_t length) {
    AddressKey key;
    key.length = length < 10 ? length : 10;
    uint64_t low = 0;
    uint16_t high = 0;
    std::memcpy(&low, data, key.length < 8 ? key.length : 8);
    if (key.length > 8) std::memcpy(&high, data + 8, size_t(key.length) - 8);
    std::memcpy(key.bytes.data(), &low, 8);
    std::memcpy(key.bytes.data() + 8, &high, 2);
    return key;
  }
  std::strong_ordering operator<=>(const AddressKey& other) const;
  // Bytes past the length are always zero, so equal keys have equal words.
  bool operator==(const AddressKey& other) const {
    uint64_t a = 0, b = 0;
    uint16_t c = 0, d = 0;
    std::memcpy(&a, bytes.data(), 8);
    std::memcpy(&b, other.bytes.data(), 8);
    std::memcpy(&c, bytes.data() + 8, 2);
    std::memcpy(&d, other.bytes.data() + 8, 2);
    return length == other.length && a == b && c == d;
  }
};

struct AddressKeyHash {
  size_t operator()(const AddressKey& key) const noexcept {
    uint64_t a = 0, b = 0;
    std::memcpy(&a, key.bytes.data(), 8);
    std::memcpy(&b, key.bytes.data() + 8, 2);
    uint64_t x = a ^ (b << 48) ^ (uint64_t(key.length) << 60);
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return size_t(x ^ (x >> 31));
  }
};

}  // namespace korvane
