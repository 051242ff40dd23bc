// After the read, each stream's records lie together in chain order, and the links agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "analysis/PacketLayout.h"
#include "analysis/SideBySide.h"
#include "input/ByteSource.h"
#include "reports/FileSummary.h"
#include "reports/OpenTrace.h"

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

// A read that leaves the stream walks out (the File Summary's) gives the same tables and
// counters, its records in recording order, with the same contents once laid out.
TEST(PacketLayout, LeftOutItChangesNoTableOrRecord) {
  const std::vector<uint8_t> trace = tools::WriteSnifferDos(tools::SyntheticLoad(20000, 4), {});
  const auto full = test::Analyse(trace, "load.enc");
  auto tablesOnly = std::make_unique<TraceSession>();
  tablesOnly->analyser.SetStreamWalks(false);
  MemorySource source(trace);
  ASSERT_EQ(OpenTrace(*tablesOnly, "load.enc", &source).status, OpenStatus::Loaded);

  EXPECT_EQ(FileSummaryText(BuildFileSummary(*tablesOnly, {})), FileSummaryText(BuildFileSummary(*full, {})));
  const AnalysisTables& a = tablesOnly->tables;
  const AnalysisTables& b = full->tables;
  ASSERT_EQ(a.Streams.size(), b.Streams.size());
  ASSERT_EQ(a.PacketList.size(), b.PacketList.size());
  for (size_t i = 1; i < a.PacketList.size(); ++i)
    ASSERT_LE(a.PacketList[i - 1].FrameNumber, a.PacketList[i].FrameNumber) << "recording order at " << i;
  for (size_t k = 0; k < a.Streams.size(); ++k) {
    EXPECT_EQ(a.Streams[k].PacketCount, b.Streams[k].PacketCount);
    EXPECT_EQ(a.PacketList[size_t(a.Streams[k].FirstPacket)].FrameNumber,
              b.PacketList[size_t(b.Streams[k].FirstPacket)].FrameNumber);
  }
  // Laid out afterwards, the records are the full read's but for the marks from the
  // learned server ports.
  AnalysisTables laid = a;
  LayOutPacketsByStream(laid);
  for (size_t i = 0; i < laid.PacketList.size(); ++i) {
    const TPacket& x = laid.PacketList[i];
    const TPacket& y = b.PacketList[i];
    ASSERT_EQ(std::tie(x.FrameNumber, x.Stream, x.Prev, x.Next, x.Sequence, x.FrameLength),
              std::tie(y.FrameNumber, y.Stream, y.Prev, y.Next, y.Sequence, y.FrameLength)) << i;
    EXPECT_EQ(x.Flags & ~(packet_flag::Request | packet_flag::Reply), y.Flags & ~(packet_flag::Request | packet_flag::Reply));
  }
}

// A list laid out by hand: records of `streams` streams interleaved at random, chained in
// recording order, a few records of no stream, and some records linked behind a later one
// (as an inserted ICMP report is). Sizes reach one, two and three rounds of block moves.
class LaidOutByHand : public ::testing::TestWithParam<size_t> {};

TEST_P(LaidOutByHand, EveryRecordKeepsItsContentsAndItsChainOrder) {
  const size_t count = GetParam(), streams = std::max<size_t>(1, count / 40);
  AnalysisTables t;
  t.Streams.resize(streams);
  uint64_t seed = 0x9E3779B97F4A7C15ull;
  auto random = [&seed] { return (seed = seed * 6364136223846793005ull + 1442695040888963407ull) >> 33; };
  std::vector<std::vector<int64_t>> chains(streams);  // each stream's frame numbers in chain order
  for (size_t i = 0; i < count; ++i) {
    TPacket& p = t.PacketList.emplace_back();
    p.FrameNumber = int64_t(i) + 1;
    p.Sequence = uint32_t(random());
    p.Flags = uint32_t(random()) & 0x1F;
    if (i % 997 == 13) continue;  // a record of no stream
    const auto k = int32_t(random() % streams);
    TTransHead& s = t.Streams[size_t(k)];
    p.Stream = k;
    if (s.LastPacket >= 0 && i % 101 == 7) {
      // Linked behind the stream's last record: that record now comes after this one.
      TPacket& last = t.PacketList[size_t(s.LastPacket)];
      p.Prev = last.Prev;
      if (last.Prev < 0) s.FirstPacket = int32_t(i);
      last.Prev = int32_t(i);
      chains[size_t(k)].insert(chains[size_t(k)].end() - 1, p.FrameNumber);
    } else {
      p.Prev = s.LastPacket;
      if (s.LastPacket < 0) s.FirstPacket = int32_t(i);
      s.LastPacket = int32_t(i);
      chains[size_t(k)].push_back(p.FrameNumber);
    }
  }
  std::vector<uint32_t> sequenceOf(count + 1), flagsOf(count + 1);
  for (const TPacket& p : t.PacketList) {
    sequenceOf[size_t(p.FrameNumber)] = p.Sequence;
    flagsOf[size_t(p.FrameNumber)] = p.Flags;
  }
  // Server-port marks on every third stream: requests or replies, whatever the read said.
  std::vector<uint8_t> marks(streams, 0);
  for (size_t k = 0; k < streams; k += 3) marks[k] = uint8_t(k % 2 ? packet_flag::Request : packet_flag::Reply);

  LayOutPacketsByStream(t, marks);

  ASSERT_EQ(t.PacketList.size(), count);
  int32_t expectedFirst = 0;
  for (size_t k = 0; k < streams; ++k) {
    SCOPED_TRACE(k);
    std::vector<int64_t> walked;
    int32_t previous = -1, lowest = INT32_MAX, highest = -1;
    for (int32_t at = t.Streams[k].FirstPacket; at >= 0; previous = at, at = t.PacketList[size_t(at)].Next) {
      const TPacket& p = t.PacketList[size_t(at)];
      lowest = std::min(lowest, at);
      highest = std::max(highest, at);
      ASSERT_EQ(p.Prev, previous);
      ASSERT_EQ(p.Stream, int32_t(k));
      ASSERT_EQ(p.Sequence, sequenceOf[size_t(p.FrameNumber)]);
      const uint32_t read = flagsOf[size_t(p.FrameNumber)];
      ASSERT_EQ(p.Flags, marks[k] ? (read & ~uint32_t(packet_flag::Request | packet_flag::Reply)) | marks[k] : read);
      walked.push_back(p.FrameNumber);
    }
    EXPECT_EQ(t.Streams[k].LastPacket, previous);
    ASSERT_EQ(walked, chains[k]);
    if (!walked.empty()) {  // together, after the streams before it
      EXPECT_EQ(lowest, expectedFirst);
      EXPECT_EQ(highest, expectedFirst + int32_t(walked.size()) - 1);
      expectedFirst += int32_t(walked.size());
    }
  }
  // The records of no stream last, in their order.
  int64_t lastFrame = 0;
  for (size_t i = size_t(expectedFirst); i < count; ++i) {
    EXPECT_EQ(t.PacketList[i].Stream, -1);
    EXPECT_EQ(t.PacketList[i].Flags, flagsOf[size_t(t.PacketList[i].FrameNumber)]);
    EXPECT_GT(t.PacketList[i].FrameNumber, lastFrame);
    lastFrame = t.PacketList[i].FrameNumber;
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LaidOutByHand, ::testing::Values(size_t(1), size_t(300), size_t(70000), size_t(1100000)));

// The layout's two halves run side by side: a failure in either reaches the caller once
// both have ended, on two threads as on one.
TEST(PacketLayout, SideBySideWorkHandsOnEitherFailure) {
  for (bool both : {true, false})
    for (bool firstFails : {true, false}) {
      SCOPED_TRACE(testing::Message() << (both ? "two threads" : "one") << (firstFails ? ", first" : ", second"));
      bool firstRan = false, secondRan = false;
      auto run = [&] {
        RunSideBySide(
            both,
            [&] {
              firstRan = true;
              if (firstFails) throw std::runtime_error("first");
            },
            [&] {
              secondRan = true;
              if (!firstFails) throw std::runtime_error("second");
            });
      };
      EXPECT_THROW(run(), std::runtime_error);
      EXPECT_TRUE(firstRan);
      // Run one after the other, the second never starts after the first failed.
      EXPECT_EQ(secondRan, both || !firstFails);
    }
}

}  // namespace
}  // namespace korvane
