#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include "reports/Formatters.h"

namespace korvane {
namespace {

AddressKey Key(std::vector<uint8_t> bytes) { return AddressKey::From(bytes.data(), uint8_t(bytes.size())); }

TEST(Formatters, MacText) {
  EXPECT_EQ(MacText(Key({0x00, 0x00, 0x0C, 0x12, 0x34, 0x56})), "00000C123456");
  EXPECT_EQ(MacText(Key({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})), "FFFFFFFFFFFF");
  EXPECT_EQ(MacText(Key({0xab, 0xcd, 0xef, 0x01, 0x0a, 0xa0})), "ABCDEF010AA0");
  const uint8_t raw[6] = {0x10, 0x00, 0x5A, 0x00, 0x00, 0x01};
  EXPECT_EQ(MacText(raw), "10005A000001");
}

TEST(Formatters, HexQuadText) {
  EXPECT_EQ(HexQuadText(Key({0x00, 0x00, 0x00, 0x01})), "00000001");
  EXPECT_EQ(HexQuadText(Key({0xC0, 0xa8, 0x0b, 0xFE})), "C0A80BFE");
  const uint8_t raw[4] = {0, 0, 0, 0};
  EXPECT_EQ(HexQuadText(raw), "00000000");
}

TEST(Formatters, IpTextAndBack) {
  EXPECT_EQ(IpText(Key({0, 0, 0, 0})), "0.0.0.0");
  EXPECT_EQ(IpText(Key({255, 255, 255, 255})), "255.255.255.255");
  EXPECT_EQ(IpText(Key({10, 1, 20, 200})), "10.1.20.200");
  const uint8_t raw[4] = {192, 168, 0, 9};
  EXPECT_EQ(IpText(raw), "192.168.0.9");
  for (std::vector<uint8_t> ip : {std::vector<uint8_t>{0, 0, 0, 0}, {1, 2, 3, 4}, {127, 0, 0, 1}, {255, 0, 99, 100}}) {
    std::optional<AddressKey> back = IpKeyFromText(IpText(Key(ip)));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, Key(ip));
    EXPECT_EQ(back->length, 4);
  }
  EXPECT_FALSE(IpKeyFromText("10.0.0").has_value());
  EXPECT_FALSE(IpKeyFromText("10.0.0.256").has_value());
  EXPECT_FALSE(IpKeyFromText("host.example").has_value());
  EXPECT_FALSE(IpKeyFromText("").has_value());
}

TEST(Formatters, IpxAddressText) {
  VendorTable vendors;
  vendors.LoadText("/* test */\n00000C Cisco\n00001B Novell\n");
  AddressKey cisco = Key({0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x0C, 0x12, 0x34, 0x56});
  EXPECT_EQ(IpxAddressText(cisco, false, true, vendors), "00000001.00000C123456");
  EXPECT_EQ(IpxAddressText(cisco, false, false, vendors), "1.00000C123456");
  EXPECT_EQ(IpxAddressText(cisco, true, false, vendors), "1.Cisco123456");
  EXPECT_EQ(IpxAddressText(cisco, true, true, vendors), "00000001.Cisco123456");
  AddressKey unknown = Key({0x00, 0x00, 0x00, 0x00, 0x02, 0x60, 0x8C, 0xAB, 0xCD, 0xEF});
  EXPECT_EQ(IpxAddressText(unknown, true, false, vendors), "0.02608CABCDEF");  // all zeros keep one
  EXPECT_EQ(IpxAddressText(unknown, true, true, vendors), "00000000.02608CABCDEF");
  AddressKey inner = Key({0x00, 0xA0, 0x00, 0x10, 0x00, 0x00, 0x1B, 0x00, 0x00, 0x01});
  EXPECT_EQ(IpxAddressText(inner, false, false, vendors), "A00010.00001B000001");  // inner zeros stay
  EXPECT_EQ(IpxAddressText(inner, true, false, vendors), "A00010.Novell000001");
  AddressKey full = Key({0xFE, 0xDC, 0xBA, 0x98, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00});
  EXPECT_EQ(IpxAddressText(full, false, false, vendors), "FEDCBA98.00000C000000");
  VendorTable empty;
  EXPECT_EQ(IpxAddressText(cisco, true, false, empty), "1.00000C123456");
}

TEST(Formatters, HexToBytes) {
  EXPECT_EQ(HexToBytes("00000C"), (std::vector<uint8_t>{0x00, 0x00, 0x0C}));
  EXPECT_EQ(HexToBytes("FF10aB"), (std::vector<uint8_t>{0xFF, 0x10, 0xAB}));
  EXPECT_EQ(HexToBytes(""), std::vector<uint8_t>{});
  EXPECT_EQ(HexToBytes("ABC"), (std::vector<uint8_t>{0xAB}));  // a lone last digit is not a byte
  EXPECT_EQ(HexToBytes("12G456"), (std::vector<uint8_t>{0x12}));
  EXPECT_EQ(HexToBytes("1234-56"), (std::vector<uint8_t>{0x12, 0x34}));
  EXPECT_EQ(HexToBytes(MacText(Key({0, 0, 0x0C, 0x12, 0x34, 0x56}))),
            (std::vector<uint8_t>{0, 0, 0x0C, 0x12, 0x34, 0x56}));
}

TEST(Formatters, TimeOfDayText) {
  EXPECT_EQ(TimeOfDayText(0), "00:00:00.000");
  EXPECT_EQ(TimeOfDayText(3723456789.0), "01:02:03.456");
  EXPECT_EQ(TimeOfDayText(999.9), "00:00:00.000");  // milliseconds are cut
  EXPECT_EQ(TimeOfDayText(1000), "00:00:00.001");
  EXPECT_EQ(TimeOfDayText(59999999.0), "00:00:59.999");
  EXPECT_EQ(TimeOfDayText(60000000.0), "00:01:00.000");
  EXPECT_EQ(TimeOfDayText(86399999999.0), "23:59:59.999");
  EXPECT_EQ(TimeOfDayText(45296789000.0), "12:34:56.789");
  EXPECT_EQ(TimeOfDayText(-5), "00:00:00.000");
  EXPECT_EQ(TimeOfDayText(100.0 * 3600000000.0), "100:00:00.000");
}

TEST(Formatters, RatioText) {
  EXPECT_EQ(RatioText(3, 1), "3:1");
  EXPECT_EQ(RatioText(1, 4), "1:4");
  EXPECT_EQ(RatioText(2, 5), "1:2.5");
  EXPECT_EQ(RatioText(0, 5), "0:5");
  EXPECT_EQ(RatioText(5, 0), "5:0");
  EXPECT_EQ(RatioText(0, 0), "0:0");
  EXPECT_EQ(RatioText(7, 2), "3.5:1");
  EXPECT_EQ(RatioText(10, 3), "3.3:1");
  EXPECT_EQ(RatioText(3, 10), "1:3.3");
  EXPECT_EQ(RatioText(1, 1), "1:1");
  EXPECT_EQ(RatioText(100, 1), "100:1");
  EXPECT_EQ(RatioText(1, 100), "1:100");
  EXPECT_EQ(RatioText(1000, 999), "1:1");  // 1.001 shows as "1.0:1", then the ".0" goes
  EXPECT_EQ(RatioText(21, 10), "2.1:1");
  EXPECT_EQ(RatioText(1234567, 0), "1234567:0");
}

// Fixed-point numbers are written exactly as printf writes them in the C locale: ties of
// the binary value, widths, negative zero, very large and very small values.
TEST(Formatters, PointTextWritesWhatPrintfWrites) {
  std::vector<double> values = {0.0, -0.0, 0.125, 0.375, 2.5, -2.5, 1e300, 1e-300, 123456789.987654321, 0.005};
  std::mt19937_64 random(7);
  for (int i = 0; i < 3000; ++i)
    values.push_back(std::ldexp(double(random() % 2000000) - 1000000.0, int(random() % 40) - 30));
  for (double value : values)
    for (int decimals : {0, 1, 2, 3, 6})
      for (int width : {0, 6}) {
        char expected[512];
        std::snprintf(expected, sizeof expected, "%*.*f", width, decimals, value);
        ASSERT_EQ(PointText(value, decimals, width), expected) << value << " " << decimals << " " << width;
      }
  EXPECT_DOUBLE_EQ(DecimalPrefix(" 12.75"), 12.75);
  EXPECT_DOUBLE_EQ(DecimalPrefix("-3.5 ms"), -3.5);
  EXPECT_EQ(DecimalPrefix("<1"), 0.0);
  EXPECT_EQ(DecimalPrefix(""), 0.0);
}

// The desktop program runs in the user's locale, where printf may write "2,5" for 2.5. The
// reports' numbers keep their point there, and read back the same.
TEST(Formatters, NumbersKeepTheirPointInALocaleWithADecimalComma) {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / "korvane-comma-locale";
  std::filesystem::create_directories(dir);
  const std::string make = "localedef -i de_DE -f UTF-8 '" + (dir / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
  if (std::system(make.c_str()) == -1) GTEST_SKIP() << "localedef could not be run";
  ::setenv("LOCPATH", dir.c_str(), 1);
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  const bool made = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  ::unsetenv("LOCPATH");
  if (!made) GTEST_SKIP() << "no locale with a decimal comma (Debian's locales)";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 2.5);
  EXPECT_STREQ(probe, "2,5");
  EXPECT_EQ(NumberText(1234.5, 1), "1,234.5");
  EXPECT_EQ(FixedText(2.25, 2, 6), "  2.25");
  EXPECT_EQ(RatioText(5, 2), "2.5:1");
  EXPECT_DOUBLE_EQ(DecimalPrefix("12.75"), 12.75);
  std::setlocale(LC_NUMERIC, before.c_str());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace korvane
