#include "input/TimeConv.h"

#include <sys/stat.h>

#include <cmath>
#include <ctime>

namespace korvane {

int64_t DaysFromCivil(int year, int month, int day) {
  int64_t y = int64_t(year) - (month <= 2);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t mp = (month + 9) % 12;
  int64_t doy = (153 * mp + 2) / 5 + day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(int64_t z) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int day = int(doy - (153 * mp + 2) / 5 + 1);
  int month = int(mp < 10 ? mp + 3 : mp - 9);
  return {int(yoe + era * 400 + (month <= 2)), month, day};
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, double seconds) {
  double days = double(DaysFromCivil(year, month, day) + kUnixEpochDays);
  return days + (hour * 3600.0 + minute * 60.0 + seconds) / 86400.0;
}

double DosDateTime(uint16_t date, uint16_t time) {
  if (date == 0) return 0;
  int year = 1980 + (date >> 9);
  int month = (date >> 5) & 15;
  int day = date & 31;
  if (month < 1 || month > 12 || day < 1) return 0;
  return EncodeDateTime(year, month, day, time >> 11, (time >> 5) & 63, (time & 31) * 2.0);
}

double DateTimeFromUnix(double unixSeconds, int32_t biasSeconds) {
  return (unixSeconds - biasSeconds) / 86400.0 + double(kUnixEpochDays);
}

int32_t TimeZoneBiasAt(double localDateTime) {
  double whole = std::floor(localDateTime);
  CivilDate d = CivilFromDays(int64_t(whole) - kUnixEpochDays);
  int64_t secondOfDay = int64_t((localDateTime - whole) * 86400.0);
  std::tm tm{};
  tm.tm_year = d.year - 1900;
  tm.tm_mon = d.month - 1;
  tm.tm_mday = d.day;
  tm.tm_hour = int(secondOfDay / 3600);
  tm.tm_min = int(secondOfDay / 60 % 60);
  tm.tm_sec = int(secondOfDay % 60);
  tm.tm_isdst = -1;
  tzset();
  std::time_t t = std::mktime(&tm);
  if (t == std::time_t(-1)) return 0;
  std::tm local{};
  localtime_r(&t, &local);
  return int32_t(-local.tm_gmtoff);
}

double FileLastWriteDateTime(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  std::tm local{};
  std::time_t t = st.st_mtime;
  localtime_r(&t, &local);
  double unixLocal = double(t) + double(local.tm_gmtoff);
  return unixLocal / 86400.0 + double(kUnixEpochDays);
}

}  // namespace korvane
