// The fuzz targets reach a reader only through the layouts of fuzz/TraceLayouts.h: every
// forcing layout must make detection pick its format, and the seed of every format must
// read back whole through its layout.
#include <gtest/gtest.h>

#include <set>

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
      auto seed = fuzz::SeedFor(write(frames, tokenRing), tools::ScenarioExtension(format, tokenRing));
      ASSERT_TRUE(seed);
      const fuzz::Layout& layout = fuzz::LayoutOf((*seed)[0]);
      const fuzz::Bytes file = Presented(*seed, layout);
      test::ReadBack back = test::ReadFrames(file, layout.path);
      ASSERT_FALSE(back.refused) << back.message;
      EXPECT_EQ(back.info.TopologyCode, tokenRing ? topology::TokenRing : topology::Ethernet);
      EXPECT_EQ(back.frames.size(), frames.size());
    }
  }
}

}  // namespace
}  // namespace korvane
