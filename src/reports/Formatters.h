// Number and text formatters shared by every view.
#pragma once
#include <cstdint>
#include <string>

namespace korvane {

// Decimal with thousands separators, no decimals.
std::string CountText(int64_t value);
// A utilisation percentage as shown: "<1%" for 0, else the number and "%".
std::string PercentText(int64_t value);
// The file's last-write date and time ("YYYY-MM-DD HH:MM:SS", local); empty when unreadable.
std::string FileDateText(const std::string& path);
// A local date-time (days since 1899-12-30) as ISO 8601 without zone.
std::string IsoDateTimeText(double dateTime);

}  // namespace korvane
