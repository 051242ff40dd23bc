#include <gtest/gtest.h>

#include <thread>

#include "reports/TableDump.h"
#include "support/TestSupport.h"
#include "writers/SnoopWriter.h"
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
    uint8_t AnalyseFrame(CapturedFrame& frame, int64_t number) override {
      if (number == 3) progress_.stopMark = true;
      return inner_.AnalyseFrame(frame, number);
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

// Reading ahead on a second thread must hand the analyser exactly what reading in turn
// does: every table and packet record the same, sliced frames included.
struct ReadAheadCase {
  const char* name;
  const char* file;
  tools::Bytes (*make)();
};

tools::Bytes SlicedOffice() {
  auto frames = tools::OfficeLanScenario();
  for (size_t i = 0; i < frames.size(); i += 3) {
    if (frames[i].bytes.size() <= 40) continue;
    frames[i].wireLength = uint32_t(frames[i].bytes.size());
    frames[i].bytes.resize(i % 2 ? 40 : 20);
  }
  return tools::WriteSnoop(frames, {});
}

// Frames whose accounting takes bytes beyond the headers: ICMP errors quoting an earlier
// datagram (one too short to quote it whole), and packet-burst packets whose header's last
// byte marks a retransmission (one too short to hold it), among the office traffic.
tools::Bytes ReportsAndBursts() {
  using namespace tools;
  auto frames = OfficeLanScenario();
  const Mac a = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A}, b = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0B};
  const Ip4 ipA = {10, 9, 0, 1}, ipB = {10, 9, 0, 2};
  const IpxAddress client{0x99, a, 0x4003}, server{0x99, b, 0x4005};
  double t = frames.back().timeUs;
  auto add = [&](Bytes bytes) {
    t += 100;
    frames.push_back(ScenarioFrame{t, PadToEthernetMinimum(std::move(bytes)), 0, 0});
    frames.back().wireLength = uint32_t(frames.back().bytes.size());
  };
  for (uint16_t i = 0; i < 40; ++i) {
    const uint16_t id = uint16_t(0x4000 + i), port = uint16_t(2000 + i % 7);
    add(EthernetFrame(b, a, 0x0800, Ipv4Packet(ipA, ipB, 17, 64, id, 0, UdpDatagram(ipA, ipB, 1050, port, Bytes(20, 'u')))));
    Bytes quoted = Ipv4Packet(ipA, ipB, 17, 64, id, 0, UdpDatagram(ipA, ipB, 1050, port, Bytes(20, 'u')));
    quoted.resize(i % 5 == 4 ? 20 : 28);
    Bytes icmp = {3, 3, 0, 0, 0, 0, 0, 0};
    icmp.insert(icmp.end(), quoted.begin(), quoted.end());
    add(EthernetFrame(a, b, 0x0800, Ipv4Packet(ipB, ipA, 1, 64, uint16_t(9 + i), 0, icmp)));
    Bytes burst = {0x77, 0x77};
    burst.resize(i % 3 == 2 ? 20 : 36, 0);
    if (burst.size() > 35) burst[35] = uint8_t(0x40 + i);
    add(EthernetFrame(b, a, 0x8137, IpxPacket(17, server, client, burst)));
  }
  return WriteSnoop(frames, {});
}

class ReadAheadModes : public ::testing::TestWithParam<ReadAheadCase> {
 protected:
  struct Read {
    std::string tables;
    ReadOutcome outcome;
    int64_t frames = 0;
  };
  static Read ReadWith(const tools::Bytes& file, const std::string& name, ReadAhead mode) {
    MemorySource source(file);
    TraceSession session;
    EXPECT_EQ(CheckTrace(session, name, source).status, OpenStatus::Loaded);
    Read r;
    r.outcome = ReadTraceFile(source, session.info, *session.frame, session.analyser, session.progress, false, mode);
    r.frames = session.info.FramesRead;
    EXPECT_EQ(session.progress.frames.load(), r.frames);
    r.tables = DumpTables(session, DumpOptions{true}).dump();
    return r;
  }
};

TEST_P(ReadAheadModes, TablesAreTheSameReadInTurnOrAhead) {
  const tools::Bytes file = GetParam().make();
  const Read inTurn = ReadWith(file, GetParam().file, ReadAhead::Never);
  ASSERT_GT(inTurn.frames, 100);
  for (ReadAhead mode : {ReadAhead::Always, ReadAhead::Decoded}) {
    SCOPED_TRACE(mode == ReadAhead::Always ? "whole frames ahead" : "decoded ahead");
    const Read ahead = ReadWith(file, GetParam().file, mode);
    EXPECT_EQ(ahead.frames, inTurn.frames);
    EXPECT_EQ(ahead.outcome.cutShort, inTurn.outcome.cutShort);
    EXPECT_FALSE(ahead.outcome.stopped);
    EXPECT_TRUE(ahead.tables == inTurn.tables);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Traces, ReadAheadModes,
    ::testing::Values(
        ReadAheadCase{"Load", "load.enc", [] { return tools::WriteSnifferDos(tools::SyntheticLoad(30000, 7), {}); }},
        ReadAheadCase{"TokenRing", "ring.enc",
                      [] {
                        tools::SnifferDosOptions o;
                        o.network = 0;
                        return tools::WriteSnifferDos(tools::TokenRingScenario(), o);
                      }},
        ReadAheadCase{"SlicedFrames", "sliced.snoop", SlicedOffice},
        ReadAheadCase{"ReportsAndBursts", "reports.snoop", ReportsAndBursts},
        ReadAheadCase{"CutInARecord", "cut.enc",
                      [] {
                        auto file = tools::WriteSnifferDos(tools::OfficeLanScenario(), {});
                        file.resize(file.size() * 2 / 3);
                        return file;
                      }}),
    [](const auto& info) { return std::string(info.param.name); });

// Short frames whose headers claim more than the frame holds (a 60-byte TCP header to the
// DNS port, a 60-byte IP header, an IPX packet-burst header), each after a long frame of
// an unknown type filled with `fill`: the frames read the same whatever came before them.
tools::Bytes ClaimsPastTheirEnd(uint8_t fill) {
  using namespace tools;
  const Mac a = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A}, b = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0B};
  const Ip4 ipA = {10, 9, 0, 1}, ipB = {10, 9, 0, 2};
  const IpxAddress client{0x99, a, 0x4003}, server{0x99, b, 0x4005};
  std::vector<ScenarioFrame> frames;
  double t = 0;
  auto add = [&](Bytes bytes) {
    t += 100;
    frames.push_back(ScenarioFrame{t, PadToEthernetMinimum(std::move(bytes)), 0, 0});
    frames.back().wireLength = uint32_t(frames.back().bytes.size());
  };
  for (uint16_t i = 0; i < 30; ++i) {
    add(EthernetFrame(b, a, 0x9999, Bytes(1500, fill)));
    Bytes dns = Ipv4Packet(ipA, ipB, 6, 64, i, 0, TcpSegment(ipA, ipB, {uint16_t(1050 + i), 53, 1, 0, 0x18}, {}));
    dns[20 + 12] = 0xF0;  // data offset 60
    add(EthernetFrame(b, a, 0x0800, dns));
    add(EthernetFrame(b, a, 0x9999, Bytes(1500, fill)));
    Bytes options = Ipv4Packet(ipA, ipB, 17, 64, uint16_t(0x100 + i), 0, UdpDatagram(ipA, ipB, 1050, 161, {}));
    options[0] = 0x4F;  // header length 60
    add(EthernetFrame(b, a, 0x0800, options));
    add(EthernetFrame(b, a, 0x9999, Bytes(1500, fill)));
    add(EthernetFrame(b, a, 0x8137, IpxPacket(17, server, client, {0x77, 0x77})));
    add(EthernetFrame(b, a, 0x9999, Bytes(1500, fill)));  // an odd cycle: reading ahead reuses its buffers across kinds
  }
  return WriteSnoop(frames, {});
}

TEST(ReadLoop, FieldsPastAFramesEndAreNotTakenFromTheFrameBefore) {
  const tools::Bytes zeros = ClaimsPastTheirEnd(0x00), ones = ClaimsPastTheirEnd(0xFF);
  for (ReadAhead mode : {ReadAhead::Never, ReadAhead::Always, ReadAhead::Decoded}) {
    SCOPED_TRACE(int(mode));
    auto tables = [&](const tools::Bytes& file) {
      MemorySource source(file);
      TraceSession session;
      EXPECT_EQ(CheckTrace(session, "claims.snoop", source).status, OpenStatus::Loaded);
      ReadTraceFile(source, session.info, *session.frame, session.analyser, session.progress, false, mode);
      return DumpTables(session, DumpOptions{true}).dump();
    };
    EXPECT_TRUE(tables(zeros) == tables(ones));
  }
}

// The analyser asks readers not to compute the check sequences a snoop file lacks: its
// tables must then be those it makes from frames that carry them. DNS replies whose IP
// header claims 4 bytes more than the frame holds before its check sequence, so that the
// last answer's address would be read from the check sequence.
TEST(ReadLoop, TablesDoNotDependOnTheCheckSequence) {
  using namespace tools;
  const Mac a = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A}, b = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0B};
  const Ip4 client = {10, 9, 0, 1}, server = {10, 9, 0, 2};
  std::vector<ScenarioFrame> frames;
  for (uint16_t i = 0; i < 20; ++i) {
    const std::string name = "host" + std::to_string(i) + ".corp";
    Bytes ip = Ipv4Packet(server, client, 17, 64, i, 0,
                          UdpDatagram(server, client, 53, 1050, DnsResponseA(i, name, {10, 9, 1, uint8_t(i)}, 300)));
    ip.resize(ip.size() - (i % 2 ? 4 : 0));
    frames.push_back(ScenarioFrame{100.0 * (i + 1), PadToEthernetMinimum(EthernetFrame(a, b, 0x0800, ip)), 0, 0});
    frames.back().wireLength = uint32_t(frames.back().bytes.size());
  }
  const Bytes file = WriteSnoop(frames, {});

  class Computing final : public FrameSink {  // the analyser, with the check sequences computed
   public:
    explicit Computing(FrameAnalyser& inner) : inner_(inner) {}
    void BeginTrace(bool probe) override { inner_.BeginTrace(probe); }
    uint8_t AnalyseFrame(CapturedFrame& frame, int64_t number) override { return inner_.AnalyseFrame(frame, number); }
    void EndTrace(bool full) override { inner_.EndTrace(full); }

   private:
    FrameAnalyser& inner_;
  };
  auto tables = [&](bool computed) {
    MemorySource source(file);
    TraceSession session;
    EXPECT_EQ(CheckTrace(session, "dns.snoop", source).status, OpenStatus::Loaded);
    Computing computing(session.analyser);
    FrameSink& sink = computed ? static_cast<FrameSink&>(computing) : session.analyser;
    ReadTraceFile(source, session.info, *session.frame, sink, session.progress, false, ReadAhead::Never);
    return DumpTables(session, DumpOptions{true});
  };
  const auto withSequences = tables(true), without = tables(false);
  EXPECT_EQ(withSequences["Names"].size(), 10u);  // the replies held whole
  EXPECT_TRUE(withSequences.dump() == without.dump());
}

// A sink that stands for the analyser on the second thread, and stops or refuses at a frame.
class AheadSink final : public FrameSink {
 public:
  AheadSink(TraceSession& session, int64_t stopAt, int64_t refuseAt)
      : session_(session), stopAt_(stopAt), refuseAt_(refuseAt) {}
  void BeginTrace(bool probe) override { session_.analyser.BeginTrace(probe); }
  uint8_t AnalyseFrame(CapturedFrame& frame, int64_t number) override {
    if (number == stopAt_) session_.progress.stopMark = true;
    const uint8_t result = session_.analyser.AnalyseFrame(frame, number);
    return number == refuseAt_ ? 1 : result;
  }
  void EndTrace(bool full) override { session_.analyser.EndTrace(full); }
  bool TakesFramesFromAnotherThread() const override { return true; }
  size_t SplitRecordBytes() const override { return session_.analyser.SplitRecordBytes(); }
  void DecodeInto(const CapturedFrame& frame, void* record) override { session_.analyser.DecodeInto(frame, record); }
  uint8_t AccountRecord(const void* record, int64_t number) override {
    if (number == stopAt_) session_.progress.stopMark = true;
    const uint8_t result = session_.analyser.AccountRecord(record, number);
    ++accounted;
    return number == refuseAt_ ? 1 : result;
  }
  int64_t accounted = 0;  // frames that came as decoded records

 private:
  TraceSession& session_;
  int64_t stopAt_, refuseAt_;
};

TEST(ReadLoop, ReadingAheadEndsOnTheStopMarkOrTheSinksRefusal) {
  const tools::Bytes file = tools::WriteSnifferDos(tools::SyntheticLoad(20000, 3), {});
  for (auto [stop, mode] : {std::pair{true, ReadAhead::Always}, std::pair{false, ReadAhead::Always},
                            std::pair{true, ReadAhead::Decoded}, std::pair{false, ReadAhead::Decoded}}) {
    SCOPED_TRACE(stop ? "stop mark" : "refusal");
    SCOPED_TRACE(mode == ReadAhead::Always ? "whole frames ahead" : "decoded ahead");
    MemorySource source(file);
    TraceSession session;
    ASSERT_EQ(CheckTrace(session, "load.enc", source).status, OpenStatus::Loaded);
    AheadSink sink(session, stop ? 1000 : 0, stop ? 0 : 500);
    const ReadOutcome outcome = ReadTraceFile(source, session.info, *session.frame, sink, session.progress, false, mode);
    EXPECT_EQ(outcome.stopped, stop);
    EXPECT_EQ(sink.accounted, mode == ReadAhead::Decoded ? session.info.FramesRead : 0);
    // Frames read ahead of the stop are analysed; frames after a refusal are not.
    if (stop) {
      EXPECT_GE(session.info.FramesRead, 1000);
      EXPECT_LT(session.info.FramesRead, 20000);
    } else {
      EXPECT_EQ(session.info.FramesRead, 500);
    }
    EXPECT_EQ(session.tables.Stats.FramesAnalysed, session.info.FramesRead);
    EXPECT_EQ(session.progress.frames.load(), session.info.FramesRead);
    EXPECT_TRUE(session.progress.finished.load());
  }
}

}  // namespace
}  // namespace korvane
