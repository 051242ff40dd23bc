// The display properties both charts share (the frame size chart and the protocol chart):
// the form, the units of the marks and the legend, the gradient background and the
// decorations. Program-wide; loaded at start-up and saved at exit under the section
// "Chart Properties".
#pragma once
#include <cstdint>
#include <string_view>

#include "settings/KeyValueStore.h"

namespace korvane {

inline constexpr std::string_view kChartPropertiesSection = "Chart Properties";

enum class ChartType : uint8_t { Pie = 0, Bar = 1 };
enum class ChartUnits : uint8_t { Percent = 0, Packets = 1 };

// A colour as the settings keep it: 0x00BBGGRR.
using ColourRef = uint32_t;
inline constexpr ColourRef MakeColourRef(uint8_t red, uint8_t green, uint8_t blue) {
  return ColourRef(red) | ColourRef(green) << 8 | ColourRef(blue) << 16;
}
inline constexpr uint8_t ColourRed(ColourRef c) { return uint8_t(c & 0xFF); }
inline constexpr uint8_t ColourGreen(ColourRef c) { return uint8_t(c >> 8 & 0xFF); }
inline constexpr uint8_t ColourBlue(ColourRef c) { return uint8_t(c >> 16 & 0xFF); }

struct ChartProperties {
  ChartType Type = ChartType::Pie;          // "Chart Type"
  ChartUnits Units = ChartUnits::Percent;   // "Show Values"
  bool ShowGradient = true;                 // "Background On"
  bool ShowTitle = true;                    // "Show Title"
  bool ShowValues = true;                   // "Show Marks": value marks on slices and bars
  bool ShowLegend = true;                   // "Show Legend"
  bool View3D = true;                       // "View 3D"
  ColourRef TopColour = MakeColourRef(255, 255, 255);     // "Top Color", white
  ColourRef BottomColour = MakeColourRef(255, 255, 0);    // "Bottom Color", yellow

  // Every value not stored, or stored as text that does not parse (or is out of range),
  // keeps its default.
  void Load(const KeyValueStore& store);
  void Save(KeyValueStore& store) const;

  bool operator==(const ChartProperties&) const = default;
};

}  // namespace korvane
