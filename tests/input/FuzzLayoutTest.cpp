// The fuzz targets reach a reader only through the layouts of fuzz/TraceLayouts.h: every
// forcing layout must make detection pick its format, and the seed of every format must
// read back whole through its layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <vector>

#include "../../fuzz/TraceLayouts.h"
#include "support/TestSupport.h"
#include "writers/ScenarioWriters.h"

namespace korvane {
namespace {

// The file a fuzz input stands for, as korvane-fuzz-trace presents it.
fuzz::Bytes Presented(const fuzz::Bytes& input, const fuzz::Layout& layout) {
  fuzz::Bytes file(input.begin() + 1, input.end());
  if (layout.present) layout.present(file);
  return file;
}

TEST(FuzzLayout, EveryForcingLayoutMakesDetectionPickItsFormat) {
  std::set<TraceFormat> forced = {fmt_id::Shomiti};  // snoop's layout, told apart by the first record
  for (size_t i = 0; i < fuzz::kLayoutCount; ++i) {
    const fuzz::Layout& layout = fuzz::kLayouts[i];
    if (layout.format == fmt_id::NotRecognised) continue;
    SCOPED_TRACE(i);
    forced.insert(layout.format);
    const fuzz::Bytes zeros(kHeaderSampleSize + 1, 0);  // selector byte and nothing else
    fuzz::Bytes file = Presented(zeros, layout);
    MemorySource source(std::span<const uint8_t>(file.data(), file.size()));
    TraceFileInfo info;
    EXPECT_EQ(DetectTraceFormat(source, layout.path, info).format, layout.format);
  }
  std::set<TraceFormat> accepted;
  for (TraceFormat f = 0; f < 32; ++f)
    if (IsAcceptedFormat(f)) accepted.insert(f);
  EXPECT_EQ(forced, accepted);
}

TEST(FuzzLayout, EverySeedReadsBackWholeThroughItsLayout) {
  for (const char* scenario : {"office", "tokenring"}) {
    const bool tokenRing = std::string(scenario) == "tokenring";
    const auto frames =
        tools::SampleFrames(tokenRing ? tools::TokenRingScenario() : tools::OfficeLanScenario(), 4, 1600);
    ASSERT_EQ(frames.size(), 4u);
    for (const auto& [format, write] : tools::ScenarioWriters()) {
      SCOPED_TRACE(format + " " + scenario);
      const fuzz::Bytes written = write(frames, tokenRing);
      const std::string extension = tools::ScenarioExtension(format, tokenRing);
      auto seed = fuzz::SeedFor(written, extension);
      ASSERT_TRUE(seed);
      auto forcing = fuzz::ForcingSeedFor(written, extension);
      std::vector<fuzz::Bytes> inputs{*seed};
      if (forcing) inputs.push_back(*forcing);
      for (const fuzz::Bytes& input : inputs) {
        const fuzz::Layout& layout = fuzz::LayoutOf(input[0]);
        SCOPED_TRACE(layout.family);
        const fuzz::Bytes file = Presented(input, layout);
        if (layout.present && layout.present != fuzz::SpreadDigitechPages) {
          EXPECT_EQ(file, written) << "the forcing layout changed the file";
        }
        test::ReadBack back = test::ReadFrames(file, layout.path);
        ASSERT_FALSE(back.refused) << back.message;
        EXPECT_EQ(back.info.TopologyCode, tokenRing ? topology::TokenRing : topology::Ethernet);
        EXPECT_EQ(back.frames.size(), frames.size());
      }
    }
  }
}

// Every layout belongs to exactly one family group, a group keeps its own layouts' selectors
// and sends every other selector to one of its layouts.
TEST(FuzzLayout, FamilyGroupsCoverEveryLayoutOnce) {
  std::vector<int> groupsOf(fuzz::kLayoutCount, 0);
  for (std::string_view family : fuzz::kFamilyGroups) {
    SCOPED_TRACE(family);
    const fuzz::LayoutGroup group(family);
    ASSERT_FALSE(group.Empty());
    for (size_t member : group.Members()) ++groupsOf[member];
    for (unsigned selector = 0; selector < 256; ++selector) {
      const size_t index = group.IndexOf(uint8_t(selector));
      const auto& members = group.Members();
      ASSERT_NE(std::find(members.begin(), members.end(), index), members.end()) << selector;
      if (std::find(members.begin(), members.end(), (selector & 0x7f) % fuzz::kLayoutCount) != members.end()) {
        EXPECT_EQ(index, (selector & 0x7f) % fuzz::kLayoutCount);
      }
    }
  }
  EXPECT_EQ(groupsOf, std::vector<int>(fuzz::kLayoutCount, 1));
  EXPECT_TRUE(fuzz::LayoutGroup("NoSuchFamily").Empty());
  EXPECT_EQ(fuzz::LayoutGroup().Members().size(), fuzz::kLayoutCount);
}

}  // namespace
}  // namespace korvane
