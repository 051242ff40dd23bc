// After the read, each stream's records lie together in chain order, and the links agree.
#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

TEST(PacketLayout, EveryStreamReadsConsecutiveRecordsInFrameOrder) {
  tools::SnifferDosOptions options;
  options.timeUnit = 5;
  const auto session = test::Analyse(tools::WriteSnifferDos(tools::SyntheticLoad(20000, 4), options), "load.enc");
  const AnalysisTables& t = session->tables;
  ASSERT_GT(t.Streams.size(), 1000u);
  size_t visited = 0;
  for (const TTransHead& s : t.Streams) {
    int32_t previous = -1;
    for (int32_t at = s.FirstPacket; at >= 0; previous = at, at = t.PacketList[size_t(at)].Next) {
      const TPacket& p = t.PacketList[size_t(at)];
      ASSERT_EQ(p.Prev, previous);
      if (previous >= 0) {
        EXPECT_EQ(at, previous + 1);
        EXPECT_GE(p.FrameNumber, t.PacketList[size_t(previous)].FrameNumber);
      }
      ++visited;
    }
    EXPECT_EQ(s.LastPacket, previous);
  }
  EXPECT_EQ(visited, t.PacketList.size());
}

}  // namespace
}  // namespace korvane
