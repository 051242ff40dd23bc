#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "input/TraceTypes.h"
#include "support/TestSupport.h"

namespace korvane {
namespace {

TEST(Calendar, GregorianDaysRoundTrip) {
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(DaysFromCivil(2000, 3, 1) - DaysFromCivil(2000, 2, 28), 2);  // 2000 is a leap year
  EXPECT_EQ(DaysFromCivil(1900, 3, 1) - DaysFromCivil(1900, 2, 28), 1);  // 1900 is not
  EXPECT_EQ(DaysFromCivil(1904, 1, 1), -24107);
  for (int64_t d = -30000; d < 30000; d += 37) {
    CivilDate c = CivilFromDays(d);
    EXPECT_EQ(DaysFromCivil(c.year, c.month, c.day), d);
  }
}

TEST(Calendar, DosAndUnixDateTimes) {
  // 2024-03-05 09:30:42 in MS-DOS packing.
  uint16_t date = uint16_t(((2024 - 1980) << 9) | (3 << 5) | 5);
  uint16_t time = uint16_t((9 << 11) | (30 << 5) | 21);
  double dt = DosDateTime(date, time);
  EXPECT_DOUBLE_EQ(dt, EncodeDateTime(2024, 3, 5, 9, 30, 42));
  EXPECT_EQ(DosDateTime(0, time), 0);
  EXPECT_NEAR(EncodeDateTime(1899, 12, 30, 0, 0, 0), 0.0, 1e-9);
  // Unix 0 with a bias of one hour west is 23:00 of the previous day locally.
  EXPECT_NEAR(DateTimeFromUnix(0, 3600), 25568.0 + 23.0 / 24.0, 1e-9);
}

TEST(Calendar, TimeZoneBiasFollowsDaylightSaving) {
  {
    test::ScopedTimeZone zone("UTC");
    EXPECT_EQ(TimeZoneBiasAt(EncodeDateTime(2024, 7, 1, 12, 0, 0)), 0);
  }
  {
    test::ScopedTimeZone zone("Europe/Berlin");
    EXPECT_EQ(TimeZoneBiasAt(EncodeDateTime(2024, 1, 15, 12, 0, 0)), -3600);
    EXPECT_EQ(TimeZoneBiasAt(EncodeDateTime(2024, 7, 15, 12, 0, 0)), -7200);
  }
  {
    test::ScopedTimeZone zone("America/New_York");
    EXPECT_EQ(TimeZoneBiasAt(EncodeDateTime(2024, 1, 15, 12, 0, 0)), 5 * 3600);
    EXPECT_EQ(TimeZoneBiasAt(EncodeDateTime(2024, 7, 15, 12, 0, 0)), 4 * 3600);
  }
}

TEST(FrameCheckSequence, StandardCheckValue) {
  const char* text = "123456789";
  EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
  std::vector<uint8_t> data(4200);
  uint32_t x = 12345;
  for (uint8_t& b : data) b = uint8_t((x = x * 1103515245 + 12345) >> 23);
  // The fast paths (slicing, carry-less folding) agree with the bit-at-a-time definition
  // at every length and alignment.
  auto reference = [&](size_t from, size_t n) {
    uint32_t c = 0xFFFFFFFF;
    for (size_t i = from; i < from + n; ++i) {
      c ^= data[i];
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
  };
  for (size_t from : {0u, 1u, 7u, 13u})
    for (size_t n = 0; n <= 300; ++n) ASSERT_EQ(Crc32(data.data() + from, n), reference(from, n)) << from << " " << n;
  // Past the 256 bytes where the widest fold starts, through its steps of 256 and 64.
  for (size_t n = 301; n <= 1100; ++n) ASSERT_EQ(Crc32(data.data() + 5, n), reference(5, n)) << n;
  for (size_t n : {1514u, 4000u, 4099u}) EXPECT_EQ(Crc32(data.data() + 3, n), reference(3, n)) << n;
}

TEST(FrameCheckSequence, WrittenLeastSignificantByteFirstWithinLimits) {
  auto frame = std::make_unique<CapturedFrame>();
  for (size_t i = 0; i < 60; ++i) frame->Data[i] = uint8_t(i);
  frame->FrameLength = 64;
  WriteFrameCheckSequence(*frame);
  uint32_t crc = Crc32(frame->Data.data(), 60);
  EXPECT_EQ(frame->Data[60], uint8_t(crc));
  EXPECT_EQ(frame->Data[63], uint8_t(crc >> 24));
  // The check sequence of a whole frame leaves the well-known residue.
  EXPECT_EQ(Crc32(frame->Data.data(), 64), 0x2144DF1Cu);

  frame->FrameLength = 63;  // span of 59 bytes: too short
  WriteFrameCheckSequence(*frame);
  EXPECT_EQ(frame->Data[59] | frame->Data[60] | frame->Data[61] | frame->Data[62], 0);

  frame->FrameLength = 64;
  frame->Status = kCrcError;
  WriteFrameCheckSequence(*frame);
  EXPECT_EQ(frame->Data[60] | frame->Data[61] | frame->Data[62] | frame->Data[63], 0);

  frame->Status = 0;
  frame->FrameLength = 32768;  // span of 32764 bytes: computed
  WriteFrameCheckSequence(*frame);
  EXPECT_EQ(Crc32(frame->Data.data(), 32768), 0x2144DF1Cu);
}

}  // namespace
}  // namespace korvane
