#include "settings/ChartProperties.h"

namespace korvane {

namespace {

constexpr std::string_view kChartType = "Chart Type", kShowValues = "Show Values", kBackgroundOn = "Background On",
                           kShowTitle = "Show Title", kShowMarks = "Show Marks", kShowLegend = "Show Legend",
                           kView3D = "View 3D", kTopColor = "Top Color", kBottomColor = "Bottom Color";

void LoadBool(const KeyValueStore& store, std::string_view name, bool& value) {
  if (auto stored = StoredBool(store, kChartPropertiesSection, name)) value = *stored;
}

void LoadColour(const KeyValueStore& store, std::string_view name, ColourRef& value) {
  if (auto stored = StoredInteger(store, kChartPropertiesSection, name, 0, 0xFFFFFF)) value = ColourRef(*stored);
}

}  // namespace

void ChartProperties::Load(const KeyValueStore& store) {
  *this = ChartProperties();
  if (auto type = StoredInteger(store, kChartPropertiesSection, kChartType, 0, 1)) Type = ChartType(*type);
  if (auto units = StoredInteger(store, kChartPropertiesSection, kShowValues, 0, 1)) Units = ChartUnits(*units);
  LoadBool(store, kBackgroundOn, ShowGradient);
  LoadBool(store, kShowTitle, ShowTitle);
  LoadBool(store, kShowMarks, ShowValues);
  LoadBool(store, kShowLegend, ShowLegend);
  LoadBool(store, kView3D, View3D);
  LoadColour(store, kTopColor, TopColour);
  LoadColour(store, kBottomColor, BottomColour);
}

void ChartProperties::Save(KeyValueStore& store) const {
  StoreInteger(store, kChartPropertiesSection, kChartType, int(Type));
  StoreInteger(store, kChartPropertiesSection, kShowValues, int(Units));
  StoreBool(store, kChartPropertiesSection, kBackgroundOn, ShowGradient);
  StoreBool(store, kChartPropertiesSection, kShowTitle, ShowTitle);
  StoreBool(store, kChartPropertiesSection, kShowMarks, ShowValues);
  StoreBool(store, kChartPropertiesSection, kShowLegend, ShowLegend);
  StoreBool(store, kChartPropertiesSection, kView3D, View3D);
  StoreInteger(store, kChartPropertiesSection, kTopColor, TopColour);
  StoreInteger(store, kChartPropertiesSection, kBottomColor, BottomColour);
}

}  // namespace korvane
