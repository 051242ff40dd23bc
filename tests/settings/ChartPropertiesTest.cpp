// The charts' display properties: defaults, the stored names and forms, and unreadable values.
#include <gtest/gtest.h>

#include "settings/ChartProperties.h"
#include "settings/IniFileStore.h"

namespace korvane {
namespace {

ChartProperties Loaded(const KeyValueStore& store) {
  ChartProperties properties;
  properties.Load(store);
  return properties;
}

TEST(ChartPropertiesTest, DefaultsOnAnEmptyStore) {
  ChartProperties properties;
  properties.Type = ChartType::Bar;
  properties.View3D = false;
  properties.TopColour = 0x123456;
  properties.Load(MemoryStore());  // back to the defaults, whatever it held
  EXPECT_EQ(properties.Type, ChartType::Pie);
  EXPECT_EQ(properties.Units, ChartUnits::Percent);
  EXPECT_TRUE(properties.ShowGradient);
  EXPECT_TRUE(properties.ShowTitle);
  EXPECT_TRUE(properties.ShowValues);
  EXPECT_TRUE(properties.ShowLegend);
  EXPECT_TRUE(properties.View3D);
  EXPECT_EQ(properties.TopColour, 16777215u);  // white
  EXPECT_EQ(properties.BottomColour, 65535u);  // yellow: red and green, as 0x00BBGGRR
  EXPECT_EQ(properties, ChartProperties());
}

TEST(ChartPropertiesTest, ColourRefKeepsRedInTheLowByte) {
  constexpr ColourRef teal = MakeColourRef(0, 128, 128);
  EXPECT_EQ(teal, 0x808000u);
  EXPECT_EQ(ColourRed(teal), 0);
  EXPECT_EQ(ColourGreen(teal), 128);
  EXPECT_EQ(ColourBlue(teal), 128);
  EXPECT_EQ(ColourRed(MakeColourRef(200, 1, 2)), 200);
  EXPECT_EQ(ColourBlue(MakeColourRef(200, 1, 2)), 2);
}

TEST(ChartPropertiesTest, SavedUnderTheSectionAndValueNamesTheProgramAlwaysUsed) {
  ChartProperties properties;
  properties.Type = ChartType::Bar;
  properties.Units = ChartUnits::Packets;
  properties.ShowGradient = false;
  properties.ShowTitle = false;
  properties.ShowValues = false;
  properties.ShowLegend = true;
  properties.View3D = false;
  properties.TopColour = MakeColourRef(255, 0, 0);
  properties.BottomColour = MakeColourRef(0, 0, 255);
  IniFileStore store;
  properties.Save(store);
  EXPECT_EQ(store.Text(),
            "[Chart%20Properties]\n"
            "Background%20On=0\n"
            "Bottom%20Color=16711680\n"
            "Chart%20Type=1\n"
            "Show%20Legend=1\n"
            "Show%20Marks=0\n"
            "Show%20Title=0\n"
            "Show%20Values=1\n"
            "Top%20Color=255\n"
            "View%203D=0\n");
  EXPECT_EQ(Loaded(store), properties);
}

TEST(ChartPropertiesTest, EveryValueRoundTripsOnItsOwn) {
  // Each property changed alone comes back alone: no two values share a name.
  std::vector<void (*)(ChartProperties&)> changes = {
      [](ChartProperties& p) { p.Type = ChartType::Bar; },
      [](ChartProperties& p) { p.Units = ChartUnits::Packets; },
      [](ChartProperties& p) { p.ShowGradient = false; },
      [](ChartProperties& p) { p.ShowTitle = false; },
      [](ChartProperties& p) { p.ShowValues = false; },
      [](ChartProperties& p) { p.ShowLegend = false; },
      [](ChartProperties& p) { p.View3D = false; },
      [](ChartProperties& p) { p.TopColour = 0x0000FF00; },
      [](ChartProperties& p) { p.BottomColour = 0; },
  };
  for (size_t i = 0; i < changes.size(); ++i) {
    ChartProperties changed;
    changes[i](changed);
    ASSERT_NE(changed, ChartProperties()) << i;
    MemoryStore store;
    changed.Save(store);
    EXPECT_EQ(Loaded(store), changed) << i;
  }
}

TEST(ChartPropertiesTest, UnreadableValuesKeepTheirDefaults) {
  MemoryStore store;
  const std::string_view section = kChartPropertiesSection;
  store.SetValue(section, "Chart Type", "2");
  store.SetValue(section, "Show Values", "-1");
  store.SetValue(section, "Background On", "yes");
  store.SetValue(section, "Show Title", "");
  store.SetValue(section, "Top Color", "16777216");
  store.SetValue(section, "Bottom Color", "0xFF");
  EXPECT_EQ(Loaded(store), ChartProperties());

  // Booleans as "0"/"1" and the colours' whole range read as well.
  store.SetValue(section, "Chart Type", "1");
  store.SetValue(section, "View 3D", "0");
  store.SetValue(section, "Show Legend", "1");
  store.SetValue(section, "Top Color", "0");
  store.SetValue(section, "Bottom Color", "16777215");
  const ChartProperties read = Loaded(store);
  EXPECT_EQ(read.Type, ChartType::Bar);
  EXPECT_FALSE(read.View3D);
  EXPECT_TRUE(read.ShowLegend);
  EXPECT_EQ(read.TopColour, 0u);
  EXPECT_EQ(read.BottomColour, 0xFFFFFFu);
  EXPECT_TRUE(read.ShowGradient);
}

}  // namespace
}  // namespace korvane
