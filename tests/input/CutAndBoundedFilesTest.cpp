// Files that end early and inputs that must stay bounded. A trace cut inside a record is
// read up to its end, its last frame holding only the bytes present and the read marked
// as cut short; a file that shrinks or fails while it is read is marked the same way.
// Settings, vendor and port files are read within bounds, whatever they claim.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "analysis/Names.h"
#include "input/Endian.h"
#include "reports/MainWindowTexts.h"
#include "settings/IniFileStore.h"
#include "settings/ServerPortSettings.h"
#include "support/TestSupport.h"
#include "writers/DataGlanceWriter.h"
#include "writers/Da30Writer.h"
#include "writers/DominoWriter.h"
#include "writers/EtherPeekWriter.h"
#include "writers/HpWriter.h"
#include "writers/LanAnalyzerWriter.h"
#include "writers/LanWatchWriter.h"
#include "writers/NetMonWriter.h"
#include "writers/ObserverWriter.h"
#include "writers/SnoopWriter.h"
#include "writers/TraceWriters.h"
#include "writers/TtcWriter.h"

namespace korvane {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

constexpr size_t kFrames = 5;
// Frame i holds kBase + i bytes of the value i; the last one fills whole 88-byte pieces,
// so that no format's own blocking leaves part of it apart from the rest.
constexpr size_t kBase = 348;

struct Family {
  const char* name;
  const char* fileName;
  std::function<Bytes(const std::vector<tools::ScenarioFrame>&)> write;
};

void PrintTo(const Family& f, std::ostream* os) { *os << f.name; }

// The offset just past the last frame's run of its own byte value in the file.
size_t EndOfLastFrame(const Bytes& file) {
  const uint8_t value = uint8_t(kFrames - 1);
  size_t run = 0;
  for (size_t i = file.size(); i-- > 0;) {
    run = file[i] == value ? run + 1 : 0;
    if (run == 64) {
      size_t end = i + 64;
      while (end < file.size() && file[end] == value) ++end;
      return end;
    }
  }
  return 0;
}

// Numbered frames whose destination is never all zeros (NetMon passes over those).
std::vector<tools::ScenarioFrame> Frames() {
  auto frames = test::NumberedFrames(kFrames, 1000, kBase);
  for (auto& f : frames) f.bytes[1] = 0x55;
  return frames;
}

class CutFiles : public ::testing::TestWithParam<Family> {};

// Cut inside the last frame's bytes: every frame is read, the last with what is present.
TEST_P(CutFiles, TheLastFrameKeepsOnlyTheBytesPresentAndTheReadSaysSo) {
  const Bytes whole = GetParam().write(Frames());
  const size_t end = EndOfLastFrame(whole);
  ASSERT_GT(end, 200u);
  const size_t missing = 30;
  const Bytes cut(whole.begin(), whole.begin() + long(end - missing));

  const auto full = test::ReadFrames(whole, GetParam().fileName);
  ASSERT_FALSE(full.refused) << full.message;
  ASSERT_EQ(full.frames.size(), kFrames);
  EXPECT_FALSE(full.info.CutShort);

  const auto back = test::ReadFrames(cut, GetParam().fileName);
  ASSERT_FALSE(back.refused) << back.message;
  ASSERT_TRUE(back.tablesReady);
  EXPECT_TRUE(back.info.CutShort);
  ASSERT_EQ(back.frames.size(), kFrames);
  EXPECT_EQ(back.info.CutAtFrame, int64_t(kFrames));
  EXPECT_TRUE(back.info.SlicedPacketsSeen);
  for (size_t i = 0; i + 1 < kFrames; ++i) EXPECT_EQ(back.frames[i].storedLength, full.frames[i].storedLength) << i;
  const auto& last = back.frames.back();
  // What the file holds of the frame, and nothing claimed past it.
  const size_t present = kBase + kFrames - 1 - missing;
  EXPECT_EQ(last.storedLength, present);
  EXPECT_EQ(last.frameLength, full.frames.back().frameLength);
  ASSERT_EQ(last.data.size(), present);
  EXPECT_TRUE(std::all_of(last.data.begin() + 2, last.data.end(), [](uint8_t b) { return b == kFrames - 1; }));
  EXPECT_EQ(CutShortText(back.info),
            std::string(GetParam().fileName) + ": the file ends early, at frame 5; 5 frames read.");
}

// Cut inside the header of the record after the last whole one: the frames before it are
// whole, and the read is still marked as cut short at the frame that was lost.
TEST_P(CutFiles, ARecordCutInItsHeaderEndsTheReadThere) {
  const Bytes whole = GetParam().write(Frames());
  const size_t end = EndOfLastFrame(whole);
  // The last frame's bytes start kBase + 4 before their end; its header just before them.
  const size_t dataStart = end - (kBase + kFrames - 1);
  const Bytes cut(whole.begin(), whole.begin() + long(dataStart - 3));
  const auto back = test::ReadFrames(cut, GetParam().fileName);
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_TRUE(back.info.CutShort);
  EXPECT_EQ(back.info.CutAtFrame, int64_t(kFrames));
  EXPECT_GE(back.frames.size(), kFrames - 1);
  EXPECT_LE(back.frames.size(), kFrames);
  for (size_t i = 0; i + 1 < kFrames && i < back.frames.size(); ++i)
    EXPECT_GE(back.frames[i].storedLength, kBase + i) << i;
}

const Family kFamilies[] = {
    {"SnifferDos", "t.enc",
     [](const auto& f) {
       tools::SnifferDosOptions o;
       o.endRecord = false;
       return tools::WriteSnifferDos(f, o);
     }},
    {"NetXRay", "t.cap", [](const auto& f) { return tools::WriteNetXRay(f, {}); }},
    {"EtherPeek", "t.pkt", [](const auto& f) { return tools::WriteEtherPeek(f, {}); }},
    {"Snoop", "t.snoop", [](const auto& f) { return tools::WriteSnoop(f, {}); }},
    {"LanWatch", "t.dmp", [](const auto& f) { return tools::WriteLanWatch(f, {}); }},
    {"Hp", "t.eth", [](const auto& f) { return tools::WriteHp(f, {}); }},
    {"DataGlance", "t.dgc", [](const auto& f) { return tools::WriteDataGlance(f, {}); }},
    {"Ttc", "t.pkt", [](const auto& f) { return tools::WriteTtc(f, {}); }},
    {"NetMon", "t.cap", [](const auto& f) { return tools::WriteNetMon(f, {}); }},
    {"Observer", "t.bfr", [](const auto& f) { return tools::WriteObserver(f, {}); }},
    {"LanAnalyzer", "t.tr1", [](const auto& f) { return tools::WriteLanAnalyzer(f, {}); }},
    {"Da30", "t.an1", [](const auto& f) { return tools::WriteDa30(f, {}); }},
};

INSTANTIATE_TEST_SUITE_P(Readers, CutFiles, ::testing::ValuesIn(kFamilies),
                         [](const auto& info) { return std::string(info.param.name); });

// A source that shrinks, or fails to read, at a point once the read is under way.
class ShrinkingSource final : public ByteSource {
 public:
  ShrinkingSource(const Bytes& bytes, int64_t after, bool fail) : bytes_(bytes), after_(after), fail_(fail) {}
  int64_t Size() const override { return int64_t(bytes_.size()); }
  size_t ReadAt(int64_t offset, uint8_t* dst, size_t n) override {
    MemorySource whole{std::span<const uint8_t>(bytes_)};
    if (!armed || offset + int64_t(n) <= after_) return whole.ReadAt(offset, dst, n);
    if (fail_) failed_ = true;
    return offset >= after_ ? 0 : whole.ReadAt(offset, dst, size_t(after_ - offset));
  }
  bool Failed() const override { return failed_; }
  int64_t CurrentSize() const override { return armed && !fail_ ? std::min<int64_t>(after_, Size()) : Size(); }
  bool armed = false;

 private:
  const Bytes& bytes_;
  int64_t after_;
  bool fail_;
  bool failed_ = false;
};

TEST(CutFiles, AFileThatShrinksOrFailsWhileReadIsMarkedAndItsSizeIsWhatWasRead) {
  auto frames = test::NumberedFrames(40, 1000, 200);
  for (auto& f : frames) f.bytes.resize(200), f.wireLength = 200;
  const Bytes file = tools::WriteSnoop(frames, {});
  for (bool fail : {false, true}) {
    SCOPED_TRACE(fail ? "read error" : "shrunk");
    // Cut exactly between records: no reader sees a partial record, only the source knows.
    const int64_t keep = 16 + 10 * (24 + 200);
    ShrinkingSource source(file, keep, fail);
    TraceSession session;
    ASSERT_EQ(CheckTrace(session, "s.snoop", source).status, OpenStatus::Loaded);
    source.armed = true;
    const OpenResult result = ReadCheckedTrace(session, source);
    ASSERT_EQ(result.status, OpenStatus::Loaded);
    EXPECT_TRUE(session.info.CutShort);
    EXPECT_EQ(session.info.FramesRead, 10);
    EXPECT_EQ(session.info.CutAtFrame, session.info.FramesRead + 1);
    EXPECT_TRUE(session.progress.cutShort.load());
    if (!fail) {
      EXPECT_EQ(session.info.FileSize, keep);
    }
    EXPECT_NE(TraceCaptionSuffix(session.info).find("[cut short at frame"), std::string::npos);
  }
}

// A sink that asks for a stop after a given frame, as the analyser does on the stop mark.
class StopAtSink final : public FrameSink {
 public:
  StopAtSink(TraceFileInfo& info, int64_t at) : info_(info), at_(at) {}
  void BeginTrace(bool) override {}
  uint8_t AnalyseFrame(CapturedFrame&, int64_t number) override {
    if (number == at_) info_.StopRequested = true;
    return 0;
  }
  void EndTrace(bool) override {}

 private:
  TraceFileInfo& info_;
  int64_t at_;
};

TEST(CutFiles, AStopIsAPartialReadUnlessItCameWithTheLastFrame) {
  const Bytes file = tools::WriteSnoop(test::NumberedFrames(3, 1000, 100), {});
  for (int64_t at : {2, 3}) {
    SCOPED_TRACE(at);
    MemorySource source(file);
    TraceSession session;
    ASSERT_EQ(CheckTrace(session, "w.snoop", source).status, OpenStatus::Loaded);
    StopAtSink sink(session.info, at);
    const ReadOutcome outcome = ReadTraceFile(source, session.info, *session.frame, sink, session.progress, false);
    EXPECT_EQ(session.info.FramesRead, at);
    EXPECT_EQ(outcome.stopped, at < 3);
    EXPECT_EQ(session.progress.stopped.load(), at < 3);
    EXPECT_EQ(TraceCaptionSuffix(session.info), at < 3 ? " [partially read]" : "");
  }
}

// Domino and LinkView keep their frame index at the end: a file cut before it has lost
// its frames, which is damage rather than an empty trace.
TEST(CutFiles, DominoAndLinkViewCutBeforeTheirIndexAreDamaged) {
  for (bool linkView : {false, true}) {
    tools::DominoOptions o;
    o.linkView = linkView;
    const Bytes file = tools::WriteDomino(test::NumberedFrames(5, 1000, 120), o);
    ASSERT_FALSE(test::ReadFrames(file, "d.cap").refused);
    for (size_t keep : {file.size() / 2, size_t(200)}) {
      SCOPED_TRACE(keep);
      const Bytes cut(file.begin(), file.begin() + long(keep));
      TraceSession session;
      MemorySource source(cut);
      const OpenResult result = OpenTrace(session, "d.cap", &source);
      ASSERT_EQ(result.status, OpenStatus::Refused);
      EXPECT_EQ(result.message, "d.cap has a damaged header and cannot be read.");
    }
    // Cut inside the index itself: the frames it still lists are read, and the read says
    // it was cut short.
    const auto back = test::ReadFrames(Bytes(file.begin(), file.end() - 2), "d.cap");
    ASSERT_FALSE(back.refused);
    EXPECT_EQ(back.frames.size(), 4u);
    EXPECT_TRUE(back.info.CutShort);
  }
}

// ---- reading faults of single formats ----

TEST(CutFiles, NetMonWithAnEmptyFrameTableIsAnEmptyTrace) {
  tools::NetMonOptions o;
  Bytes file = tools::WriteNetMon({}, o);
  // A comment after the header, where a walk would take it for a frame.
  const Bytes comment(60, 'c');
  file.insert(file.begin() + 128, comment.begin(), comment.end());
  PutLe32(file.data() + 24, uint32_t(file.size()));  // frame table offset: the end
  PutLe32(file.data() + 28, 0);                       // frame table length: empty
  const auto back = test::ReadFrames(file, "e.cap");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_TRUE(back.frames.empty());
  EXPECT_FALSE(back.info.CutShort);
}

TEST(CutFiles, SmallValidTracesAreRead) {
  // A NetMon 2 file of 128 bytes: the header alone, its frame table empty.
  Bytes netmon(128, 0);
  std::memcpy(netmon.data(), "GMBU", 4);
  netmon[4] = 0;  // minor version
  netmon[5] = 2;  // major version
  netmon[6] = 1;  // medium: Ethernet
  PutLe32(netmon.data() + 24, 128);  // frame table at the end, of length 0
  const auto empty = test::ReadFrames(netmon, "n.cap");
  ASSERT_FALSE(empty.refused) << empty.message;
  EXPECT_EQ(empty.info.TopologyCode, topology::Ethernet);
  EXPECT_TRUE(empty.frames.empty());
  // A snoop file of 100 bytes holding one 60-byte frame.
  const Bytes snoop = tools::WriteSnoop(test::NumberedFrames(1, 0, 60), {});
  ASSERT_EQ(snoop.size(), 100u);
  const auto one = test::ReadFrames(snoop, "s.snoop");
  ASSERT_FALSE(one.refused) << one.message;
  EXPECT_EQ(one.frames.size(), 1u);
}

TEST(CutFiles, LanWatchEndsAtARecordOfNoBytes) {
  Bytes file = tools::WriteLanWatch(test::NumberedFrames(3, 1000, 80), {});
  file.resize(file.size() + 12 * 1000, 0);  // zeros after the data, as a sparse file reads
  const auto back = test::ReadFrames(file, "z.dmp");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.frames.size(), 3u);
}

// ---- bounded inputs ----

class BoundedInputs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("korvane-bounded-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(BoundedInputs, AFifoOrDeviceIsRefusedWithoutWaiting) {
  const fs::path fifo = dir_ / "trace.cap";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int error = 0;
  EXPECT_FALSE(FileSource::Open(fifo.string(), &error));
  EXPECT_NE(error, 0);
  TraceSession session;
  const OpenResult result = OpenTrace(session, fifo.string());
  EXPECT_EQ(result.message, "Unable to open Source file.  File is in use or name is bad.");
  IniFileStore store;
  EXPECT_FALSE(store.Load(fifo.string()));
  EXPECT_FALSE(store.Load("/dev/zero"));
}

TEST_F(BoundedInputs, ASettingsFileAboveTheCapIsNotRead) {
  const fs::path big = dir_ / "big.conf";
  {
    std::ofstream out(big, std::ios::binary);
    out << "[General]\nA=1\n";
  }
  IniFileStore store;
  EXPECT_TRUE(store.Load(big.string()));
  fs::resize_file(big, kSettingsFileCap + 1);
  EXPECT_FALSE(store.Load(big.string()));
}

TEST_F(BoundedInputs, ServerPortNamesAreCutToWhatTheDialogTakes) {
  IniFileStore store;
  store.SetValue(kServerPortsSection, "0", "8080\t" + std::string(100000, 'x'));
  store.SetValue(kServerPortsSection, "1", "21\t" + std::string(kPortNameMax - 1, 'y') + "\xC3\xA9\xC3\xA9");
  ServerPortSettings ports;
  ports.Load(store);
  ASSERT_EQ(ports.Entries.size(), 2u);
  EXPECT_EQ(ServerPortSettings::EntryName(ports.Entries[0]), std::string(kPortNameMax, 'x'));
  // Characters, not bytes, and never half of one.
  EXPECT_EQ(ServerPortSettings::EntryName(ports.Entries[1]), std::string(kPortNameMax - 1, 'y') + "\xC3\xA9");
}

TEST_F(BoundedInputs, NetMonFrameTableIsNotAllocatedAtItsClaimedSize) {
  // A table length near 4 GB in a file that claims to hold it (a sparse file would): the
  // read walks the table in pieces and ends at the first entry that is not a frame.
  tools::NetMonOptions o;
  auto frames = test::NumberedFrames(3, 1000, 80);
  for (auto& f : frames) f.bytes[1] = 0x55;  // no all-zero destination
  Bytes file = tools::WriteNetMon(frames, o);
  PutLe32(file.data() + 28, 0xFFFFFFF0u);
  struct HugeSource final : ByteSource {
    explicit HugeSource(const Bytes& b) : bytes(b) {}
    int64_t Size() const override { return int64_t(0x100000000LL) + 0x1000; }
    size_t ReadAt(int64_t offset, uint8_t* dst, size_t n) override {
      // Zeros past the written bytes, as a sparse file holds.
      std::fill(dst, dst + n, 0);
      if (offset < int64_t(bytes.size())) std::copy_n(bytes.begin() + offset, std::min<size_t>(n, bytes.size() - size_t(offset)), dst);
      return n;
    }
    const Bytes& bytes;
  } source(file);
  TraceSession session;
  ASSERT_EQ(CheckTrace(session, "h.cap", source).status, OpenStatus::Loaded);
  test::RecordingSink sink(*session.frame);
  ReadTraceFile(source, session.info, *session.frame, sink, session.progress, false);
  EXPECT_EQ(sink.frames.size(), 3u);
}

// The file is read a piece at a time: lines across the pieces' edges, a line longer than a
// piece, CR LF ends and a last line without an end must give the table the text gives.
TEST_F(BoundedInputs, AVendorFileReadsAsItsText) {
  std::string text = "/* vendor prefixes */\r\n";
  for (int i = 0; i < 12000; ++i) {
    char line[40];
    std::snprintf(line, sizeof line, "%06X Maker%d%s", (i * 7919) % 0xFFFFFF, i, i % 3 == 0 ? "\r\n" : "\n");
    text += line;
    if (i == 6000) text += "123456 Long" + std::string(70000, 'y') + "\n";
  }
  text += "ABCDEF Last";
  const fs::path path = dir_ / "OUI.TXT";
  std::ofstream(path, std::ios::binary) << text;
  VendorTable fromFile, fromText;
  ASSERT_TRUE(fromFile.Load(path.string()));
  fromText.LoadText(text);
  ASSERT_EQ(fromFile.Count(), 12002u);
  ASSERT_EQ(fromFile.Count(), fromText.Count());
  for (uint16_t index = 1; index <= fromText.Count(); ++index) {
    ASSERT_EQ(fromFile.Oui(index), fromText.Oui(index)) << index;
    ASSERT_EQ(fromFile.Name(index), fromText.Name(index)) << index;
  }
  const uint8_t last[] = {0xAB, 0xCD, 0xEF}, longLine[] = {0x12, 0x34, 0x56};
  EXPECT_EQ(fromFile.Name(fromFile.Lookup(last)), "Last");
  EXPECT_EQ(fromFile.Name(fromFile.Lookup(longLine)), "Longyy");
  for (const fs::path& unreadable : {dir_ / "missing.txt", dir_}) {
    ASSERT_TRUE(fromFile.Load(path.string()));
    EXPECT_FALSE(fromFile.Load(unreadable.string())) << unreadable;
    EXPECT_EQ(fromFile.Count(), 0u) << unreadable;
  }
}

TEST(VendorNames, TheNameIsCharacters8To13AsTheyStandAndTheFileOrderDoesNotMatter) {
  VendorTable table;
  table.LoadText("00AA00 Zeta Networks\n001B21 Intel Corporation\n000001 HP\n");
  const uint8_t intel[] = {0x00, 0x1B, 0x21}, hp[] = {0x00, 0x00, 0x01}, zeta[] = {0x00, 0xAA, 0x00};
  ASSERT_NE(table.Lookup(intel), 0);
  EXPECT_EQ(table.Name(table.Lookup(intel)), "Intel ");
  EXPECT_EQ(table.Name(table.Lookup(hp)), "HP");
  EXPECT_EQ(table.Name(table.Lookup(zeta)), "Zeta N");
}

}  // namespace
}  // namespace korvane
