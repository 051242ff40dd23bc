// A font as the settings keep it: one 75-byte raw value.
//
//   offset 0 character set, 1 colour (0x00BBGGRR, 32-bit little-endian), 5 face name (64
//   bytes, zero-terminated and zero-padded), 69 pitch (0 default, 1 variable, 2 fixed),
//   70 size in points (signed 32-bit little-endian), 74 style bits
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr size_t kFontRecordSize = 75;
inline constexpr size_t kFontFaceNameSize = 64;

namespace font_style {
inline constexpr uint8_t Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8;
}

struct FontRecord {
  uint8_t CharSet = 1;  // the platform's default character set
  uint32_t Colour = 0;
  std::string FaceName;  // at most 63 bytes are kept
  uint8_t Pitch = 0;
  int32_t Size = 8;
  uint8_t Style = 0;

  std::string Encode() const;
  // Nothing unless the value holds exactly the 75 bytes of a record.
  static std::optional<FontRecord> Decode(std::string_view bytes);

  bool operator==(const FontRecord&) const = default;
};

}  // namespace korvane
