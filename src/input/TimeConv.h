// Calendar and clock conversions shared by the readers. Date-times are day counts since
// 1899-12-30 with the time of day as the fraction.
#pragma once
#include <cstdint>
#include <string>

namespace korvane {

inline constexpr double kMicrosPerDay = 86400000000.0;
inline constexpr int64_t kUnixEpochDays = 25569;  // 1970-01-01 as a day count

struct CivilDate {
  int year;
  int month;  // 1..12
  int day;    // 1..31
};

// Gregorian calendar: days since 1970-01-01 <-> year, month, day.
int64_t DaysFromCivil(int year, int month, int day);
CivilDate CivilFromDays(int64_t days);

double EncodeDateTime(int year, int month, int day, int hour, int minute, double seconds);
// MS-DOS packed date and time; a zero date gives 0.
double DosDateTime(uint16_t date, uint16_t time);
// Universal Unix seconds into a local date-time, given the bias in seconds.
double DateTimeFromUnix(double unixSeconds, int32_t biasSeconds);

// Seconds to subtract from universal time to obtain local time at the given local
// date-time, daylight saving included (from the process's time zone, TZ honoured).
int32_t TimeZoneBiasAt(double localDateTime);

// Last-write time of a file as a local date-time; 0 when it cannot be read.
double FileLastWriteDateTime(const std::string& path);

}  // namespace korvane
