// The settings the main window keeps: the Reopen list, the Tip Wizard switch, the page
// set-up, window placements, the font record and the visualiser attributes.
#include <gtest/gtest.h>

#include <string>

#include "settings/FontRecord.h"
#include "settings/IniFileStore.h"
#include "settings/PrintSetup.h"
#include "settings/RecentFiles.h"
#include "settings/TipWizardSettings.h"
#include "settings/VisualizerAttributes.h"
#include "settings/WindowPlacement.h"

namespace korvane {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += char(v);
  return out;
}

TEST(RecentFilesTest, AddKeepsEachFileOnceMostRecentFirst) {
  RecentFiles recent;
  recent.Add("/t/a.enc");
  recent.Add("/t/b.enc");
  recent.Add("/t/a.enc");
  EXPECT_EQ(recent.Entries[0], "/t/a.enc");
  EXPECT_EQ(recent.Entries[1], "/t/b.enc");
  for (size_t i = 2; i < kRecentFileCount; ++i) EXPECT_EQ(recent.Entries[i], "") << i;
  // Compared exactly: another case is another file.
  recent.Add("/t/A.enc");
  EXPECT_EQ(recent.Entries[0], "/t/A.enc");
  EXPECT_EQ(recent.Entries[1], "/t/a.enc");
}

TEST(RecentFilesTest, TheNinthFilePushesTheOldestOut) {
  RecentFiles recent;
  for (int i = 1; i <= 9; ++i) recent.Add("/f" + std::to_string(i));
  for (size_t i = 0; i < kRecentFileCount; ++i) EXPECT_EQ(recent.Entries[i], "/f" + std::to_string(9 - i)) << i;
  // Re-adding one in the middle moves it up without losing any other.
  recent.Add("/f5");
  EXPECT_EQ(recent.Entries[0], "/f5");
  EXPECT_EQ(recent.Entries[1], "/f9");
  EXPECT_EQ(recent.Entries[4], "/f6");
  EXPECT_EQ(recent.Entries[5], "/f4");
  EXPECT_EQ(recent.Entries[7], "/f2");
}

TEST(RecentFilesTest, EmptySlotsKeepTheirPlaceAndTheListRoundTrips) {
  MemoryStore store;
  store.SetValue("Recent Files", "0", "/a");
  store.SetValue("Recent Files", "2", "/c");
  store.SetValue("Recent Files", "Last Directory", "/traces");
  RecentFiles recent;
  recent.Load(store);
  EXPECT_EQ(recent.Entries[0], "/a");
  EXPECT_EQ(recent.Entries[1], "");
  EXPECT_EQ(recent.Entries[2], "/c");
  EXPECT_EQ(recent.LastDirectory, "/traces");
  recent.Add("/d");
  EXPECT_EQ(recent.Entries[0], "/d");
  EXPECT_EQ(recent.Entries[1], "/a");
  EXPECT_EQ(recent.Entries[2], "");
  EXPECT_EQ(recent.Entries[3], "/c");

  IniFileStore file;
  recent.Save(file);
  EXPECT_EQ(file.Value("Recent Files", "7"), "");
  RecentFiles back;
  back.Load(file);
  EXPECT_EQ(back, recent);
}

TEST(TipWizardSettingsTest, OnUnlessStoredOff) {
  MemoryStore store;
  TipWizardSettings tips;
  tips.Enabled = false;
  tips.Load(store);
  EXPECT_TRUE(tips.Enabled);
  store.SetValue("Tip Wizard", "Enabled", "0");
  tips.Load(store);
  EXPECT_FALSE(tips.Enabled);
  store.SetValue("Tip Wizard", "Enabled", "maybe");
  tips.Load(store);
  EXPECT_TRUE(tips.Enabled);
  tips.Enabled = false;
  tips.Save(store);
  EXPECT_EQ(StoredBool(store, "Tip Wizard", "Enabled"), false);
}

TEST(PrintSetupTest, DefaultsAndTheWordsItIsStoredAs) {
  MemoryStore store;
  PrintSetup setup;
  setup.Load(store);
  EXPECT_EQ(setup, PrintSetup());
  setup.LeftMargin = 0.5;
  setup.RightMargin = 1.25;
  setup.TopMargin = 2.0;
  setup.BottomMargin = 0;
  setup.Orientation = PageOrientation::Landscape;
  setup.PrintHeader = false;
  setup.Scaling = PrintScaling::Proportional;
  setup.Save(store);
  EXPECT_EQ(store.Value("Print Setup", "LeftMargin"), "0.5");
  EXPECT_EQ(store.Value("Print Setup", "RightMargin"), "1.2");  // one decimal place
  EXPECT_EQ(store.Value("Print Setup", "TopMargin"), "2.0");
  EXPECT_EQ(store.Value("Print Setup", "BottomMargin"), "0.0");
  EXPECT_EQ(store.Value("Print Setup", "Orientation"), "Landscape");
  EXPECT_EQ(store.Value("Print Setup", "Header"), "No");
  EXPECT_EQ(store.Value("Print Setup", "Print"), "Proportional");
  PrintSetup back;
  back.Load(store);
  EXPECT_DOUBLE_EQ(back.RightMargin, 1.2);
  EXPECT_EQ(back.Orientation, PageOrientation::Landscape);
  EXPECT_FALSE(back.PrintHeader);
  EXPECT_EQ(back.Scaling, PrintScaling::Proportional);
}

TEST(PrintSetupTest, OtherWordsAndBadMarginsTakeTheDefault) {
  MemoryStore store;
  for (const char* name : {"LeftMargin", "RightMargin", "TopMargin", "BottomMargin"}) store.SetValue("Print Setup", name, "x");
  store.SetValue("Print Setup", "TopMargin", "-1.0");
  store.SetValue("Print Setup", "BottomMargin", "1,5");
  store.SetValue("Print Setup", "Orientation", "landscape");
  store.SetValue("Print Setup", "Header", "No ");
  store.SetValue("Print Setup", "Print", "Fit");
  PrintSetup setup;
  setup.LeftMargin = 0.3;
  setup.PrintHeader = false;
  setup.Load(store);
  EXPECT_EQ(setup, PrintSetup());
}

TEST(PrintSetupTest, MarginsAreReadBackWithinTheDialogsLimits) {
  MemoryStore store;
  store.SetValue("Print Setup", "LeftMargin", "9.0");  // would leave a sliver of the page
  store.SetValue("Print Setup", "RightMargin", "2.5");
  store.SetValue("Print Setup", "TopMargin", "0.0");
  PrintSetup setup;
  setup.Load(store);
  EXPECT_DOUBLE_EQ(setup.LeftMargin, 2.5);
  EXPECT_DOUBLE_EQ(setup.RightMargin, 2.5);
  EXPECT_DOUBLE_EQ(setup.TopMargin, 0.0);
  setup.ClampMargins(0.05, 2.0);
  EXPECT_DOUBLE_EQ(setup.LeftMargin, 2.0);
  EXPECT_DOUBLE_EQ(setup.TopMargin, 0.05);
  EXPECT_DOUBLE_EQ(setup.BottomMargin, 1.0);
}

TEST(WindowPlacementTest, SeventeenBytesLittleEndian) {
  WindowPlacement p{600, -8, 20, 800, WindowShowState::Maximised};
  const std::string bytes = p.Encode();
  EXPECT_EQ(bytes, Bytes({0x58, 2, 0, 0, 0xF8, 0xFF, 0xFF, 0xFF, 20, 0, 0, 0, 0x20, 3, 0, 0, 2}));
  EXPECT_EQ(WindowPlacement::Decode(bytes), p);
  EXPECT_EQ(WindowPlacement::Decode(bytes.substr(0, 16)), std::nullopt);
  EXPECT_EQ(WindowPlacement::Decode(bytes + '\0'), std::nullopt);
  std::string odd = bytes;
  odd[16] = 7;
  EXPECT_EQ(WindowPlacement::Decode(odd)->State, WindowShowState::Normal);
}

TEST(WindowPlacementTest, FittedToTheScreen) {
  // Wider than the screen: shrunk to its width and moved to left 0.
  WindowPlacement wide{500, 300, 100, 2500, WindowShowState::Normal};
  EXPECT_EQ(wide.FittedTo(1920, 1080), (WindowPlacement{500, 0, 100, 1920, WindowShowState::Normal}));
  // Negative corner made 0; past the bottom moved up.
  WindowPlacement low{400, -50, 900, 600, WindowShowState::Normal};
  EXPECT_EQ(low.FittedTo(1920, 1080), (WindowPlacement{400, 0, 680, 600, WindowShowState::Normal}));
  // Taller than the screen.
  WindowPlacement tall{5000, 10, 10, 100, WindowShowState::Normal};
  EXPECT_EQ(tall.FittedTo(1920, 1080), (WindowPlacement{1080, 10, 0, 100, WindowShowState::Normal}));
  // A left near the 32-bit limit does not wrap.
  WindowPlacement far{100, 2147483000, 0, 1000, WindowShowState::Normal};
  EXPECT_EQ(far.FittedTo(1920, 1080).Left, 920);
  // Already on screen: unchanged.
  WindowPlacement fine{400, 10, 20, 600, WindowShowState::Normal};
  EXPECT_EQ(fine.FittedTo(1920, 1080), fine);
}

TEST(WindowPlacementTest, StoredUnderTheDisplaySectionByWindowName) {
  IniFileStore store;
  EXPECT_EQ(WindowPlacement::Load(store, "MainForm"), std::nullopt);
  WindowPlacement p{480, 16, 32, 640, WindowShowState::Normal};
  p.Save(store, "MainForm");
  EXPECT_NE(store.Text().find("[4.03a]\nDisplay\\MainForm=@ByteArray("), std::string::npos) << store.Text();
  IniFileStore back;
  back.Parse(store.Text());
  EXPECT_EQ(WindowPlacement::Load(back, "MainForm"), p);
  EXPECT_EQ(WindowPlacement::Load(back, "StnStatsForm"), std::nullopt);
}

TEST(FontRecordTest, SeventyFiveBytes) {
  FontRecord font;
  font.CharSet = 0;
  font.Colour = 0x00112233;
  font.FaceName = "Courier New";
  font.Pitch = 2;
  font.Size = 10;
  font.Style = font_style::Bold | font_style::Underline;
  const std::string bytes = font.Encode();
  ASSERT_EQ(bytes.size(), kFontRecordSize);
  EXPECT_EQ(bytes.substr(0, 5), Bytes({0, 0x33, 0x22, 0x11, 0}));
  EXPECT_EQ(bytes.substr(5, 12), std::string("Courier New") + '\0');
  EXPECT_EQ(bytes.substr(17, 52), std::string(52, '\0'));
  EXPECT_EQ(bytes.substr(69), Bytes({2, 10, 0, 0, 0, 5}));
  EXPECT_EQ(FontRecord::Decode(bytes), font);
  EXPECT_EQ(FontRecord::Decode(bytes.substr(0, 74)), std::nullopt);
  EXPECT_EQ(FontRecord::Decode(bytes + 'x'), std::nullopt);
}

TEST(FontRecordTest, FaceNameKeepsItsTerminator) {
  FontRecord font;
  font.FaceName = std::string(80, 'F');
  const std::string bytes = font.Encode();
  ASSERT_EQ(bytes.size(), kFontRecordSize);
  EXPECT_EQ(bytes[5 + 63], '\0');
  EXPECT_EQ(FontRecord::Decode(bytes)->FaceName, std::string(63, 'F'));
  // A record with no terminator in its 64 bytes reads 63 of them.
  std::string unterminated = bytes;
  unterminated[5 + 63] = 'G';
  EXPECT_EQ(FontRecord::Decode(unterminated)->FaceName, std::string(63, 'F'));
  // Negative size survives.
  font.Size = -11;
  EXPECT_EQ(FontRecord::Decode(font.Encode())->Size, -11);
}

TEST(VisualizerAttributesTest, FirstRunDefaults) {
  MemoryStore store;
  VisualizerAttributes v;
  v.ShowDeltaTime = true;
  v.Load(store);
  EXPECT_EQ(v.SendColour, 0xFF0000u);
  EXPECT_EQ(v.ReceiveColour, 0x808000u);
  EXPECT_EQ(v.DiagnosticColour, 255u);
  EXPECT_EQ(v.Font.FaceName, "Arial");
  EXPECT_FALSE(v.ShowCumulativeBytesTogether || v.ShowCumulativeBytesSeparate || v.ShowCumulativeTime ||
               v.ShowDeltaTime || v.ShowPacketSize);
  EXPECT_TRUE(v.ShowPacketNumber);
}

TEST(VisualizerAttributesTest, ValueNamesAndRoundTrip) {
  VisualizerAttributes v;
  v.SendColour = 0x0000FF;
  v.ReceiveColour = 0x00FF00;
  v.DiagnosticColour = 0x123456;
  v.Font.FaceName = "DejaVu Sans";
  v.Font.Size = 12;
  v.ShowCumulativeBytesSeparate = true;
  v.ShowPacketSize = true;
  v.ShowPacketNumber = false;
  IniFileStore store;
  v.Save(store);
  EXPECT_EQ(store.Value("Visualizer", "SendPacketColor"), "255");
  EXPECT_EQ(store.Value("Visualizer", "ReceivePacketColor"), "65280");
  EXPECT_EQ(store.Value("Visualizer", "Diagnostic Color"), "1193046");
  EXPECT_EQ(StoredBool(store, "Visualizer", "Cumulative Bytes (separate)"), true);
  EXPECT_EQ(StoredBool(store, "Visualizer", "Cumulative Bytes (together)"), false);
  EXPECT_EQ(StoredBool(store, "Visualizer", "Frame Size"), true);
  EXPECT_EQ(StoredBool(store, "Visualizer", "Frame Number"), false);
  EXPECT_EQ(store.Value("Visualizer", "Font")->size(), kFontRecordSize);
  IniFileStore back;
  back.Parse(store.Text());
  VisualizerAttributes loaded;
  loaded.Load(back);
  EXPECT_EQ(loaded, v);
}

TEST(VisualizerAttributesTest, UnreadableValuesKeepTheirDefaults) {
  MemoryStore store;
  store.SetValue("Visualizer", "SendPacketColor", "blue");
  store.SetValue("Visualizer", "ReceivePacketColor", "16777216");  // above 0xFFFFFF
  store.SetValue("Visualizer", "Font", std::string(74, 'x'));
  store.SetValue("Visualizer", "Frame Number", "no");
  VisualizerAttributes v;
  v.Load(store);
  EXPECT_EQ(v, VisualizerAttributes());
}

}  // namespace
}  // namespace korvane
