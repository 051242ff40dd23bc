#include <gtest/gtest.h>

#include <thread>

#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

TEST(ReadLoop, StopMarkEndsTheReadAfterTheCurrentFrame) {
  auto frames = tools::OfficeLanScenario();
  MemorySource source(tools::WriteSnifferDos(frames, {}));
  TraceSession session;
  ASSERT_EQ(CheckTrace(session, "office.enc", source).status, OpenStatus::Loaded);
  // The front end presses Stop while the third frame is being analysed.
  class StopAtThird final : public FrameSink {
   public:
    StopAtThird(FrameAnalyser& inner, ReadProgress& progress) : inner_(inner), progress_(progress) {}
    void BeginTrace(bool probe) override { inner_.BeginTrace(probe); }
    uint8_t AnalyseFrame(int64_t& counter) override {
      if (counter == 2) progress_.stopMark = true;
      return inner_.AnalyseFrame(counter);
    }
    void EndTrace(bool full) override { inner_.EndTrace(full); }

   private:
    FrameAnalyser& inner_;
    ReadProgress& progress_;
  } sink(session.analyser, session.progress);
  ReadOutcome outcome = ReadTraceFile(source, session.info, *session.frame, sink, session.progress, false);
  EXPECT_TRUE(outcome.tablesReady);
  EXPECT_TRUE(outcome.stopped);
  EXPECT_EQ(session.info.FramesRead, 3);
  EXPECT_EQ(session.tables.Stats.FramesAnalysed, 3);
  EXPECT_EQ(session.progress.frames.load(), 3);
  EXPECT_TRUE(session.progress.finished.load());
  EXPECT_LT(session.progress.Percent(), 100);
}

TEST(ReadLoop, ProgressReachesTheEndAndCanBePolledFromAnotherThread) {
  auto frames = tools::SyntheticLoad(200000, 3);
  MemorySource source(tools::WriteSnifferDos(frames, {}));
  TraceSession session;
  ASSERT_EQ(CheckTrace(session, "load.enc", source).status, OpenStatus::Loaded);
  std::atomic<bool> done{false};
  int64_t lastSeen = 0;
  bool monotonic = true;
  std::thread poller([&] {
    while (!done.load()) {
      int64_t now = session.progress.frames.load(std::memory_order_relaxed);
      monotonic = monotonic && now >= lastSeen;
      lastSeen = now;
      std::this_thread::yield();
    }
  });
  OpenResult result = ReadCheckedTrace(session, source);
  done = true;
  poller.join();
  EXPECT_EQ(result.status, OpenStatus::Loaded);
  EXPECT_FALSE(result.stopped);
  EXPECT_TRUE(monotonic);
  EXPECT_EQ(session.progress.frames.load(), 200000);
  EXPECT_EQ(session.progress.Percent(), 100);
  EXPECT_DOUBLE_EQ(session.progress.elapsedMicros.load(), session.tables.TraceElapsed);
}

TEST(ReadLoop, ProbeReadsOneFrameAndKeepsItsCopy) {
  auto frames = tools::OfficeLanScenario();
  MemorySource source(tools::WriteSnifferDos(frames, {}));
  TraceSession session;
  ASSERT_EQ(CheckTrace(session, "office.enc", source).status, OpenStatus::Loaded);
  ReadOutcome outcome = ReadTraceFile(source, session.info, *session.frame, session.analyser, session.progress, true);
  EXPECT_TRUE(outcome.tablesReady);
  EXPECT_EQ(session.info.FramesRead, 1);
  EXPECT_EQ(session.tables.Stats.FramesAnalysed, 0);
  EXPECT_TRUE(std::equal(frames[0].bytes.begin(), frames[0].bytes.end(), session.tables.FirstFrameCopy.begin()));
}

TEST(ReadLoop, FormatsWithoutAReaderReadNothing) {
  TraceSession session;
  session.info.DetectedFormat = fmt_id::LanDesk;
  MemorySource source(std::vector<uint8_t>(500, 0));
  ReadOutcome outcome = ReadTraceFile(source, session.info, *session.frame, session.analyser, session.progress, false);
  EXPECT_TRUE(outcome.tablesReady);
  EXPECT_EQ(session.info.FramesRead, 0);
  EXPECT_EQ(session.tables.Stats.MinFrameSize, 60000);
}

}  // namespace
}  // namespace korvane
