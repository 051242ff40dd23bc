#include "reports/Formatters.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <ctime>

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

}  // namespace korvane
