#include "reports/Formatters.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "input/TimeConv.h"

namespace korvane {

std::string CountText(int64_t value) {
  std::string digits = std::to_string(value < 0 ? -(value + 1) + 1ull : uint64_t(value));
  std::string out;
  out.reserve(digits.size() + digits.size() / 3 + 1);
  if (value < 0) out += '-';
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

namespace {
std::string PadLeft(std::string text, int width) {
  if (int(text.size()) < width) text.insert(0, size_t(width) - text.size(), ' ');
  return text;
}
}  // namespace

std::string PointText(double value, int decimals, int width) {
  char buffer[512];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return PadLeft("-", width);
  return PadLeft(std::string(buffer, end), width);
}

double DecimalPrefix(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() ? value : 0.0;
}

std::string FixedText(double value, int decimals, int width) {
  if (!std::isfinite(value)) return PadLeft("-", width);
  return PointText(value, decimals, width);
}

std::string NumberText(double value, int decimals, int width) {
  if (!std::isfinite(value)) return PadLeft("-", width);
  const std::string printed = PointText(value, decimals);
  std::string_view text = printed;
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  const size_t point = std::min(text.find('.'), text.size());
  std::string out = negative ? "-" : "";
  for (size_t i = 0; i < point; ++i) {
    if (i > 0 && (point - i) % 3 == 0) out += ',';
    out += text[i];
  }
  out += text.substr(point);
  if (out == "-0" || (negative && out.find_first_not_of("-0.,") == std::string::npos)) out.erase(0, 1);
  return PadLeft(std::move(out), width);
}

int CompareText(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

double NumberOfCell(std::string_view cell) {
  std::string digits;
  for (char c : cell)
    if (c != ',' && c != '%') digits += c;
  return DecimalPrefix(digits);
}

std::string PercentText(int64_t value) { return value == 0 ? "<1%" : CountText(value) + "%"; }

std::string FileDateText(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  std::tm local{};
  std::time_t t = st.st_mtime;
  localtime_r(&t, &local);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string IsoDateTimeText(double dateTime) {
  double days = std::floor(dateTime);
  CivilDate d = CivilFromDays(int64_t(days) - kUnixEpochDays);
  auto millis = int64_t(std::llround((dateTime - days) * 86400000.0));
  if (millis >= 86400000) millis = 86399999;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02lld:%02lld:%02lld.%03lld", d.year, d.month, d.day,
                static_cast<long long>(millis / 3600000), static_cast<long long>(millis / 60000 % 60),
                static_cast<long long>(millis / 1000 % 60), static_cast<long long>(millis % 1000));
  return text;
}

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string HexText(const uint8_t* bytes, size_t count) {
  std::string text(count * 2, '0');
  for (size_t i = 0; i < count; ++i) {
    text[2 * i] = kHexDigits[bytes[i] >> 4];
    text[2 * i + 1] = kHexDigits[bytes[i] & 0xF];
  }
  return text;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string MacText(const uint8_t* bytes) { return HexText(bytes, 6); }
std::string MacText(const AddressKey& key) { return HexText(key.bytes.data(), 6); }
std::string HexQuadText(const uint8_t* bytes) { return HexText(bytes, 4); }
std::string HexQuadText(const AddressKey& key) { return HexText(key.bytes.data(), 4); }

std::string IpText(const uint8_t* bytes) {
  return std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.' + std::to_string(bytes[2]) + '.' +
         std::to_string(bytes[3]);
}
std::string IpText(const AddressKey& key) { return IpText(key.bytes.data()); }

std::optional<AddressKey> IpKeyFromText(std::string_view text) { return IpKeyFromDottedText(text); }

std::string IpxAddressText(const AddressKey& key, bool useVendorNames, bool keepNetworkZeros,
                           const VendorTable& vendors) {
  const uint8_t* node = key.bytes.data() + 4;
  std::string nodeText;
  if (useVendorNames) {
    if (uint16_t vendor = vendors.Lookup(node); vendor != 0)
      nodeText = std::string(vendors.Name(vendor)) + HexText(node + 3, 3);
  }
  if (nodeText.empty()) nodeText = HexText(node, 6);
  std::string network = HexText(key.bytes.data(), 4);
  if (!keepNetworkZeros) {
    size_t zeros = network.find_first_not_of('0');
    network.erase(0, std::min(zeros, network.size() - 1));
  }
  return network + '.' + nodeText;
}

std::vector<uint8_t> HexToBytes(std::string_view text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    int hi = HexDigitValue(text[i]), lo = HexDigitValue(text[i + 1]);
    if (hi < 0 || lo < 0) break;
    bytes.push_back(uint8_t(hi << 4 | lo));
  }
  return bytes;
}

namespace {
// A count of at least `width` digits, zeros in front.
char* PutPadded(char* at, int64_t value, int width) {
  char digits[24];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  for (auto n = end - digits; n < width; ++n) *at++ = '0';
  return std::copy(digits, end, at);
}
}  // namespace

// Written digit by digit: the client/server grid shows one a row, hundreds of thousands of
// rows on a long trace.
std::string TimeOfDayText(double microseconds) {
  const int64_t millis = microseconds > 0 ? int64_t(std::floor(microseconds / 1000.0)) : 0;
  char text[48];
  char* at = PutPadded(text, millis / 3600000, 2);
  *at++ = ':';
  at = PutPadded(at, millis / 60000 % 60, 2);
  *at++ = ':';
  at = PutPadded(at, millis / 1000 % 60, 2);
  *at++ = '.';
  at = PutPadded(at, millis % 1000, 3);
  return std::string(text, at);
}

std::string RatioText(int64_t a, int64_t b) {
  std::string text;
  if (b < a) {
    if (b != 0) {
      text = PointText(double(a) / double(b), 1, 2) + ":1";
    } else {
      text = std::to_string(a) + ":0.0";
    }
  } else if (a != 0) {
    text = "1:" + PointText(double(b) / double(a), 1, 2);
  } else {
    text = "0.0:" + std::to_string(b);
  }
  if (size_t at = text.find(".0"); at != std::string::npos) text.erase(at, 2);
  return text;
}

}  // namespace korvane
