#include "input/Fcs.h"

#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "input/Endian.h"
#include "input/TraceTypes.h"

namespace korvane {

namespace {
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (uint32_t i = 0; i < 256; ++i)
    for (size_t s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
  return t;
}

constexpr Tables kTables = MakeTables();

uint32_t Crc32Update(uint32_t c, const uint8_t* p, size_t n);
}  // namespace

namespace {
uint32_t Crc32Update(uint32_t c, const uint8_t* p, size_t n) {
  while (n >= 8) {  // slicing by eight
    uint32_t lo = Le32(p) ^ c;
    uint32_t hi = Le32(p + 4);
    c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
        kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
        kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
    p += 8;
    n -= 8;
  }
  while (n--) c = kTables[0][(c ^ *p++) & 0xFF] ^ (c >> 8);
  return c;
}
}  // namespace

#if defined(__x86_64__)
// Carry-less multiplication folds 64 bytes at a time, then 16, then reduces the
// remainder to 32 bits (Barrett reduction) for the reflected polynomial. Takes at least
// 64 bytes and a multiple of 16; returns the running register like Crc32Update.
#define KORVANE_CLMUL __attribute__((target("pclmul,sse4.1")))
KORVANE_CLMUL static inline __m128i load(const uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
KORVANE_CLMUL static inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}
KORVANE_CLMUL static uint32_t FoldCrc32(uint32_t crc, const uint8_t* p, size_t n) {
  const __m128i k1k2 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
  const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
  const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124);
  const __m128i poly = _mm_set_epi64x(0x1F7011641, 0x1DB710641);
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(int(crc)));
  __m128i x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
  p += 64;
  n -= 64;
  for (; n >= 64; p += 64, n -= 64) {
    x1 = fold(x1, k1k2, load(p));
    x2 = fold(x2, k1k2, load(p + 16));
    x3 = fold(x3, k1k2, load(p + 32));
    x4 = fold(x4, k1k2, load(p + 48));
  }
  x1 = fold(x1, k3k4, x2);
  x1 = fold(x1, k3k4, x3);
  x1 = fold(x1, k3k4, x4);
  for (; n >= 16; p += 16, n -= 16) x1 = fold(x1, k3k4, load(p));
  // 128 to 64 bits, then to 32 bits.
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(k3k4, x1, 0x01));
  __m128i x2r = _mm_srli_si128(x1, 4);
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k5, 0x00), x2r);
  __m128i saved = x1;
  x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10);
  x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x00);
  x1 = _mm_xor_si128(x1, saved);
  return uint32_t(_mm_extract_epi32(x1, 1));
}

static bool HaveCarrylessMultiply() {
  static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return have;
}
#endif

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
#if defined(__x86_64__)
  if (n >= 64 && HaveCarrylessMultiply()) {
    size_t folded = n & ~size_t(15);
    c = FoldCrc32(c, p, folded);
    p += folded;
    n -= folded;
  }
#endif
  return ~Crc32Update(c, p, n);
}

void WriteFrameCheckSequence(CapturedFrame& frame) {
  if (frame.FrameLength < 4) return;
  size_t span = size_t(frame.FrameLength) - 4;
  uint32_t fcs = 0;
  if (span >= 60 && span <= 32767 && (frame.Status & kCrcError) == 0) fcs = Crc32(frame.Data.data(), span);
  PutLe32(frame.Data.data() + span, fcs);
}

}  // namespace korvane
