// Where a window was last shown: its rectangle and state, kept as one 17-byte raw value per
// window in the section "4.03a/Display", named by the window's object name ("MainForm").
//
//   offset 0 height, 4 left, 8 top, 12 width (signed 32-bit little-endian),
//   16 state (0 normal, 1 minimised, 2 maximised)
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/KeyValueStore.h"

namespace korvane {

inline constexpr std::string_view kDisplaySection = "4.03a/Display";
inline constexpr size_t kWindowPlacementSize = 17;

enum class WindowShowState : uint8_t { Normal = 0, Minimised = 1, Maximised = 2 };

struct WindowPlacement {
  int32_t Height = 0, Left = 0, Top = 0, Width = 0;
  WindowShowState State = WindowShowState::Normal;

  std::string Encode() const;
  // Nothing unless the value holds exactly 17 bytes; an unknown state reads as normal.
  static std::optional<WindowPlacement> Decode(std::string_view bytes);

  // The rectangle as it is applied on a screen of the given size: height and width limited
  // to the screen, a negative left or top made 0, and a window that would reach past the
  // right or bottom edge moved back onto the screen.
  WindowPlacement FittedTo(int32_t screenWidth, int32_t screenHeight) const;

  static std::optional<WindowPlacement> Load(const KeyValueStore& store, std::string_view windowName);
  void Save(KeyValueStore& store, std::string_view windowName) const;

  bool operator==(const WindowPlacement&) const = default;
};

}  // namespace korvane
