// Number and text formatters shared by every view.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/AddressKey.h"
#include "analysis/Names.h"

namespace korvane {

// Decimal with thousands separators, no decimals.
std::string CountText(int64_t value);
// A real number with a fixed number of decimals and thousands separators, right-aligned in
// at least width characters ("%5.3n": NumberText(v, 3, 5)). Infinite or NaN values, which
// no view should produce, show as "-".
std::string NumberText(double value, int decimals, int width = 0);
// A printf-style fixed-point number ("%6.2f": FixedText(v, 2, 6)); "-" for infinite or NaN.
std::string FixedText(double value, int decimals, int width = 0);
// What printf's "%*.*f" writes in the C locale, whatever the process's locale: a decimal
// point, right-aligned in at least width characters.
std::string PointText(double value, int decimals, int width = 0);
// The number a text starts with (after blanks), read in the C locale as strtod would; 0
// when it starts with none.
double DecimalPrefix(std::string_view text);
// Table sorting: texts compared without regard to case (ASCII), and the number a cell
// shows (its thousands separators and percent sign dropped; 0 for none).
int CompareText(const std::string& a, const std::string& b);
double NumberOfCell(std::string_view cell);
// A utilisation percentage as shown: "<1%" for 0, else the number and "%".
std::string PercentText(int64_t value);
// The file's last-write date and time ("YYYY-MM-DD HH:MM:SS", local); empty when unreadable.
std::string FileDateText(const std::string& path);
// A local date-time (days since 1899-12-30) as ISO 8601 without zone.
std::string IsoDateTimeText(double dateTime);

// A MAC address (6 bytes) as 12 upper-case hexadecimal digits, no separators.
std::string MacText(const uint8_t* bytes);
std::string MacText(const AddressKey& key);
// A 4-byte key (an IPX network number) as 8 upper-case hexadecimal digits.
std::string HexQuadText(const uint8_t* bytes);
std::string HexQuadText(const AddressKey& key);
// An IP address (4 bytes, wire order) in dotted decimal.
std::string IpText(const uint8_t* bytes);
std::string IpText(const AddressKey& key);
// The inverse of IpText: four decimal fields of at most 255 separated by "."; nothing
// for any other text.
std::optional<AddressKey> IpKeyFromText(std::string_view text);
// An IPX address (10 bytes: network, node) as the network's 8 hexadecimal digits, ".", and
// the node's 12. With useVendorNames and a known vendor the node is the vendor's name and
// the node's last 6 digits. Unless keepNetworkZeros, the network's leading zeros are
// dropped, keeping at least one digit ("0.0000C0123456").
std::string IpxAddressText(const AddressKey& key, bool useVendorNames, bool keepNetworkZeros,
                           const VendorTable& vendors);
// Pairs of hexadecimal digits into bytes ("00000C" gives 00 00 0C). Lower-case digits are
// read too. The first character that is not a digit, or a lone last digit, ends the
// conversion: the bytes before it are returned.
std::vector<uint8_t> HexToBytes(std::string_view text);
// Microseconds since midnight as "HH:MM:SS.mmm" (milliseconds cut, not rounded; hours
// past 99 take more digits; a negative time shows as midnight).
std::string TimeOfDayText(double microseconds);
// The ratio of a to b with the larger side as a one-decimal number and the smaller as 1
// ("3:1", "1:2.5"); a side of 0 shows as 0 ("5:0", "0:5").
std::string RatioText(int64_t a, int64_t b);

}  // namespace korvane
