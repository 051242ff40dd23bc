#include "settings/WindowPlacement.h"

#include <algorithm>

#include "settings/LittleEndian.h"

namespace korvane {

std::string WindowPlacement::Encode() const {
  std::string out;
  out.reserve(kWindowPlacementSize);
  raw::PutU32(out, uint32_t(Height));
  raw::PutU32(out, uint32_t(Left));
  raw::PutU32(out, uint32_t(Top));
  raw::PutU32(out, uint32_t(Width));
  out += char(State);
  return out;
}

std::optional<WindowPlacement> WindowPlacement::Decode(std::string_view bytes) {
  if (bytes.size() != kWindowPlacementSize) return std::nullopt;
  WindowPlacement p;
  p.Height = int32_t(raw::GetU32(bytes, 0));
  p.Left = int32_t(raw::GetU32(bytes, 4));
  p.Top = int32_t(raw::GetU32(bytes, 8));
  p.Width = int32_t(raw::GetU32(bytes, 12));
  const auto state = uint8_t(bytes[16]);
  p.State = state <= uint8_t(WindowShowState::Maximised) ? WindowShowState(state) : WindowShowState::Normal;
  return p;
}

WindowPlacement WindowPlacement::FittedTo(int32_t screenWidth, int32_t screenHeight) const {
  WindowPlacement p = *this;
  p.Height = std::min(p.Height, screenHeight);
  p.Width = std::min(p.Width, screenWidth);
  p.Left = std::max(p.Left, 0);
  p.Top = std::max(p.Top, 0);
  // 64-bit sums: a stored left near the 32-bit limit must not wrap.
  if (int64_t(p.Left) + p.Width > screenWidth) p.Left = screenWidth - p.Width;
  if (int64_t(p.Top) + p.Height > screenHeight) p.Top = screenHeight - p.Height;
  return p;
}

std::optional<WindowPlacement> WindowPlacement::Load(const KeyValueStore& store, std::string_view windowName) {
  const std::optional<std::string> bytes = store.Value(kDisplaySection, windowName);
  return bytes ? Decode(*bytes) : std::nullopt;
}

void WindowPlacement::Save(KeyValueStore& store, std::string_view windowName) const {
  store.SetValue(kDisplaySection, windowName, Encode());
}

}  // namespace korvane
