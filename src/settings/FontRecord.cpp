#include "settings/FontRecord.h"

#include <algorithm>

#include "settings/LittleEndian.h"

namespace korvane {

namespace {
constexpr size_t kColourOffset = 1, kFaceOffset = 5, kPitchOffset = 69, kSizeOffset = 70, kStyleOffset = 74;
}  // namespace

std::string FontRecord::Encode() const {
  std::string out;
  out.reserve(kFontRecordSize);
  out += char(CharSet);
  raw::PutU32(out, Colour);
  std::string face = FaceName.substr(0, std::min(FaceName.find('\0'), kFontFaceNameSize - 1));
  face.resize(kFontFaceNameSize, '\0');
  out += face;
  out += char(Pitch);
  raw::PutU32(out, uint32_t(Size));
  out += char(Style);
  return out;
}

std::optional<FontRecord> FontRecord::Decode(std::string_view bytes) {
  if (bytes.size() != kFontRecordSize) return std::nullopt;
  FontRecord f;
  f.CharSet = uint8_t(bytes[0]);
  f.Colour = raw::GetU32(bytes, kColourOffset);
  const std::string_view face = bytes.substr(kFaceOffset, kFontFaceNameSize);
  f.FaceName = std::string(face.substr(0, std::min(face.find('\0'), kFontFaceNameSize - 1)));
  f.Pitch = uint8_t(bytes[kPitchOffset]);
  f.Size = int32_t(raw::GetU32(bytes, kSizeOffset));
  f.Style = uint8_t(bytes[kStyleOffset]);
  return f;
}

}  // namespace korvane
