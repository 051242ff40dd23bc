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
// 64 bytes; returns the running register like Crc32Update.
#define KORVANE_CLMUL __attribute__((target("pclmul,sse4.1,ssse3")))
KORVANE_CLMUL static inline __m128i load(const uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
KORVANE_CLMUL static inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}
// The 16-byte step's constants: x^(128+32) and x^(128-32) modulo the polynomial, reflected.
#define KORVANE_K3K4 _mm_set_epi64x(0x0ccaa009e, 0x1751997d0)

// Folds the remaining n bytes into one lane x1 (the data's 16 bytes before them, folded)
// and reduces it to the 32-bit register.
KORVANE_CLMUL static uint32_t FoldTail(__m128i x1, const uint8_t* p, size_t n) {
  const __m128i k3k4 = KORVANE_K3K4;
  const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124);
  const __m128i poly = _mm_set_epi64x(0x1F7011641, 0x1DB710641);
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  for (; n >= 16; p += 16, n -= 16) x1 = fold(x1, k3k4, load(p));
  if (n > 0) {
    // The last n bytes: the register and they make 16 + n bytes; the register's first n
    // bytes (after 16 - n zero bytes, which change nothing) fold onto the 16 bytes that end
    // the data: the register's last 16 - n bytes and then the n bytes, loaded as the 16
    // bytes that end at the data's end (16 bytes or more precede them).
    alignas(16) static constexpr uint8_t kShifts[48] = {
        0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
        0,    1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15,
        0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80};
    const __m128i first = _mm_shuffle_epi8(x1, load(kShifts + n));        // up by 16 - n bytes
    const __m128i rest = _mm_shuffle_epi8(x1, load(kShifts + 16 + n));    // down by n bytes
    const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i tailLanes = _mm_cmpgt_epi8(lanes, _mm_set1_epi8(char(15 - n)));
    const __m128i last = _mm_or_si128(rest, _mm_and_si128(load(p + n - 16), tailLanes));
    x1 = fold(first, k3k4, last);
  }
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

// Folds the four lanes a 64-byte fold leaves (x1 first in the data) into one, then the rest.
KORVANE_CLMUL static uint32_t FoldRest(__m128i x1, __m128i x2, __m128i x3, __m128i x4, const uint8_t* p, size_t n) {
  const __m128i k3k4 = KORVANE_K3K4;
  x1 = fold(x1, k3k4, x2);
  x1 = fold(x1, k3k4, x3);
  x1 = fold(x1, k3k4, x4);
  return FoldTail(x1, p, n);
}

// A short frame's bytes (16 to 63) in one lane.
KORVANE_CLMUL static uint32_t ShortFoldCrc32(uint32_t crc, const uint8_t* p, size_t n) {
  return FoldTail(_mm_xor_si128(load(p), _mm_cvtsi32_si128(int(crc))), p + 16, n - 16);
}

// The 64-byte step's constants: x^(512+32) and x^(512-32) modulo the polynomial, reflected.
#define KORVANE_K1K2 _mm_set_epi64x(0x1c6e41596, 0x154442bd4)

KORVANE_CLMUL static uint32_t FoldCrc32(uint32_t crc, const uint8_t* p, size_t n) {
  const __m128i k1k2 = KORVANE_K1K2;
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
  return FoldRest(x1, x2, x3, x4, p, n);
}

// The same with 64-byte registers: four of them fold 256 bytes a step (a long frame in a
// few steps instead of a step per 64 bytes), then one folds 64 bytes a step, and its four
// lanes are what the 64-byte fold above would hold at that point. Takes at least 256 bytes.
#define KORVANE_CLMUL512 __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1,ssse3")))
KORVANE_CLMUL512 static inline __m512i load512(const uint8_t* at) { return _mm512_loadu_si512(at); }
KORVANE_CLMUL512 static inline __m512i fold512(__m512i x, __m512i k, __m512i next) {
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00), _mm512_clmulepi64_epi128(x, k, 0x11), next,
                                   0x96);
}
KORVANE_CLMUL512 static uint32_t WideFoldCrc32(uint32_t crc, const uint8_t* p, size_t n) {
  // x^(2048+32) and x^(2048-32) for the 256-byte step; the 64-byte step's in every lane.
  const __m512i k256 = _mm512_broadcast_i32x4(_mm_set_epi64x(0x1322d1430, 0x11542778a));
  const __m512i k64 = _mm512_broadcast_i32x4(KORVANE_K1K2);
  __m512i z0 = _mm512_xor_si512(load512(p), _mm512_castsi128_si512(_mm_cvtsi32_si128(int(crc))));
  __m512i z1 = load512(p + 64), z2 = load512(p + 128), z3 = load512(p + 192);
  p += 256;
  n -= 256;
  for (; n >= 256; p += 256, n -= 256) {
    z0 = fold512(z0, k256, load512(p));
    z1 = fold512(z1, k256, load512(p + 64));
    z2 = fold512(z2, k256, load512(p + 128));
    z3 = fold512(z3, k256, load512(p + 192));
  }
  z0 = fold512(z0, k64, z1);
  z0 = fold512(z0, k64, z2);
  z0 = fold512(z0, k64, z3);
  for (; n >= 64; p += 64, n -= 64) z0 = fold512(z0, k64, load512(p));
  return FoldRest(_mm512_extracti32x4_epi32(z0, 0), _mm512_extracti32x4_epi32(z0, 1),
                  _mm512_extracti32x4_epi32(z0, 2), _mm512_extracti32x4_epi32(z0, 3), p, n);
}

static bool HaveCarrylessMultiply() {
  static const bool have =
      __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3");
  return have;
}

static bool HaveWideCarrylessMultiply() {
  static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq") &&
                           HaveCarrylessMultiply();
  return have;
}
#endif

uint32_t Crc32(const uint8_t* p, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
#if defined(__x86_64__)
  if (n >= 16 && HaveCarrylessMultiply()) {
    if (n < 64) return ~ShortFoldCrc32(c, p, n);
    return ~(n >= 256 && HaveWideCarrylessMultiply() ? WideFoldCrc32(c, p, n) : FoldCrc32(c, p, n));
  }
#endif
  return ~Crc32Update(c, p, n);
}

void WriteFrameCheckSequence(CapturedFrame& frame, bool compute) {
  if (frame.FrameLength < 4) return;
  size_t span = size_t(frame.FrameLength) - 4;
  uint32_t fcs = 0;
  if (compute && span >= 60 && span <= 32767 && (frame.Status & kCrcError) == 0) fcs = Crc32(frame.Data.data(), span);
  PutLe32(frame.Data.data() + span, fcs);
}

}  // namespace korvane
