// The packet visualiser's colours, font and column switches. Program-wide; loaded at
// start-up and saved at exit under the section "Visualizer". Colours are 0x00BBGGRR.
#pragma once
#include <cstdint>
#include <string_view>

#include "settings/FontRecord.h"
#include "settings/KeyValueStore.h"

namespace korvane {

inline constexpr std::string_view kVisualizerSection = "Visualizer";

// The visualiser's design font: Arial at an 11-pixel height (8 points).
FontRecord DefaultVisualizerFont();

struct VisualizerAttributes {
  uint32_t SendColour = 0xFF0000;       // blue
  uint32_t ReceiveColour = 0x808000;    // teal
  uint32_t DiagnosticColour = 0x0000FF; // red
  FontRecord Font = DefaultVisualizerFont();
  bool ShowCumulativeBytesTogether = false;
  bool ShowCumulativeBytesSeparate = false;
  bool ShowCumulativeTime = false;
  bool ShowDeltaTime = false;
  bool ShowPacketSize = false;
  bool ShowPacketNumber = true;

  // A missing or unreadable value keeps its default; the font only when all 75 bytes are there.
  void Load(const KeyValueStore& store);
  void Save(KeyValueStore& store) const;

  bool operator==(const VisualizerAttributes&) const = default;
};

}  // namespace korvane
