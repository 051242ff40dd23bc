#include <gtest/gtest.h>

#include <cstring>

#include "input/Detect.h"
#include "input/Endian.h"
#include "input/FormatTable.h"

namespace korvane {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Filled(size_t size, std::string_view begin = {}, size_t at = 0) {
  Bytes b(size, 0);
  if (!begin.empty()) std::memcpy(b.data() + at, begin.data(), begin.size());
  return b;
}

TraceFormat Detect(const Bytes& bytes, const std::string& name, TraceFileInfo* infoOut = nullptr) {
  MemorySource source(bytes);
  TraceFileInfo info;
  DetectResult r = DetectTraceFormat(source, name, info);
  if (infoOut) *infoOut = info;
  EXPECT_FALSE(r.couldNotOpen);
  return r.format;
}

TEST(Detect, SizeThresholdIsFortyBytes) {
  TraceFileInfo info;
  MemorySource small(Filled(39, "XCP"));
  DetectResult r = DetectTraceFormat(small, "a.cap", info);
  EXPECT_TRUE(r.tooSmall);
  EXPECT_EQ(r.format, fmt_id::NotRecognised);
  EXPECT_EQ(Detect(Filled(40, "XCP"), "a.cap"), fmt_id::NetXRay);
}

TEST(Detect, MissingFileCannotBeOpened) {
  TraceFileInfo info;
  DetectResult r = DetectTraceFormat("/nonexistent/dir/trace.cap", info);
  EXPECT_TRUE(r.couldNotOpen);
  EXPECT_EQ(r.format, fmt_id::NotRecognised);
}

TEST(Detect, SnifferSignaturesAndCompressionFlag) {
  TraceFileInfo info;
  Bytes b = Filled(100, "TRSNIFF data");
  EXPECT_EQ(Detect(b, "x.enc", &info), fmt_id::SnifferDos);
  EXPECT_FALSE(info.SnifferCompressed);
  b[35] = 0x01;
  EXPECT_EQ(Detect(b, "x.enc", &info), fmt_id::SnifferDos);
  EXPECT_TRUE(info.SnifferCompressed);
  EXPECT_EQ(Detect(Filled(100, "KVX"), "x"), fmt_id::SnifferDos);
  // A sample trace is Sniffer DOS whatever its bytes say.
  EXPECT_EQ(Detect(Filled(100, "XCP"), "/data/demo.kvd.cap", &info), fmt_id::SnifferDos);
  EXPECT_TRUE(info.SampleTrace);
}

Bytes Pcap(uint32_t magic, uint16_t major, bool swapped) {
  Bytes b(24 + 16 + 60 + 16 + 60, 0);
  auto put16 = [&](size_t at, uint16_t v) { swapped ? PutBe16(&b[at], v) : PutLe16(&b[at], v); };
  auto put32 = [&](size_t at, uint32_t v) { swapped ? PutBe32(&b[at], v) : PutLe32(&b[at], v); };
  PutLe32(b.data(), magic);
  put16(4, major);
  put32(16, 65535);
  put32(20, 1);
  put32(24 + 8, 60);
  put32(24 + 12, 60);
  put32(24 + 16 + 60 + 8, 60);
  put32(24 + 16 + 60 + 12, 60);
  return b;
}

TEST(Detect, TcpdumpMagicsVersionsAndModifiedKind) {
  TraceFileInfo info;
  EXPECT_EQ(Detect(Pcap(0xA1B2C3D4, 2, false), "t.dmp", &info), fmt_id::Tcpdump);
  EXPECT_FALSE(info.PcapSwapped);
  EXPECT_FALSE(info.PcapExtended);
  EXPECT_EQ(Detect(Pcap(0xD4C3B2A1, 2, true), "t.dmp", &info), fmt_id::Tcpdump);
  EXPECT_TRUE(info.PcapSwapped);
  EXPECT_EQ(Detect(Pcap(0xA1B2CD34, 2, false), "t.dmp", &info), fmt_id::Tcpdump);
  EXPECT_TRUE(info.PcapExtended);
  EXPECT_EQ(AnalyzerName(fmt_id::Tcpdump, 0, info.PcapExtended), "tcpdump (modified)");
  // Major version 1 is not recognised, and no later rule gets a say.
  EXPECT_EQ(Detect(Pcap(0xA1B2C3D4, 1, false), "t.dmp"), fmt_id::NotRecognised);
  // A second record longer than the snapshot length marks the modified kind.
  Bytes odd = Pcap(0xA1B2C3D4, 2, false);
  PutLe32(&odd[24 + 16 + 60 + 8], 70000);
  EXPECT_EQ(Detect(odd, "t.dmp", &info), fmt_id::Tcpdump);
  EXPECT_TRUE(info.PcapExtended);
}

TEST(Detect, RulesInOrder) {
  Bytes lan = Filled(100);
  PutLe16(lan.data(), 0x1001);
  EXPECT_EQ(Detect(lan, "x"), fmt_id::LanAnalyzer);
  PutLe16(lan.data(), 0x1007);
  EXPECT_EQ(Detect(lan, "x"), fmt_id::LanAnalyzer);

  Bytes landesk = Filled(100, "\x1A", 10);
  landesk[40] = 3;
  EXPECT_EQ(Detect(landesk, "/t/x.cap"), fmt_id::LanDesk);
  EXPECT_EQ(Detect(landesk, "/t/x.trc"), fmt_id::NotRecognised);
  landesk[40] = 2;
  EXPECT_EQ(Detect(landesk, "/t/x.cap"), fmt_id::NotRecognised);

  EXPECT_EQ(Detect(Filled(100, "EXRS"), "x"), fmt_id::Da30);
  EXPECT_EQ(Detect(Filled(100, "PKTDMP"), "x"), fmt_id::LanWatch);
  EXPECT_EQ(Detect(Filled(200, "HPDATA0", 150), "x"), fmt_id::HpPreWin95);

  Bytes dgc = Filled(200);
  dgc[130] = 2;
  dgc[131] = 0x0C;  // low three bits 4
  EXPECT_EQ(Detect(dgc, "a.dgc"), fmt_id::DataGlance);
  dgc[131] = 0x02;
  EXPECT_EQ(Detect(dgc, "a.dgc"), fmt_id::NotRecognised);

  Bytes lens = Filled(100, "D");
  PutLe32(lens.data() + 22, 99999);
  EXPECT_EQ(Detect(lens, "a.t04"), fmt_id::NetLens);
  PutLe32(lens.data() + 22, 100000);
  EXPECT_EQ(Detect(lens, "a.t04"), fmt_id::NotRecognised);

  EXPECT_EQ(Detect(Filled(200, "ProbeApps", 60), "x"), fmt_id::FireBerd);
  EXPECT_EQ(Detect(Filled(100, "RTSS"), "x.cap"), fmt_id::NetMon1);
  EXPECT_EQ(Detect(Filled(100, "GMBU"), "x.cap"), fmt_id::NetMon2);
  EXPECT_EQ(Detect(Filled(200, "Observer", 10), "x"), fmt_id::Observer);
  EXPECT_EQ(Detect(Filled(100, "WINC"), "x"), fmt_id::Domino);
  EXPECT_EQ(Detect(Filled(200, "WINC LinkView PRO"), "x"), fmt_id::LinkView);
  EXPECT_EQ(Detect(Filled(100, "XCP"), "x"), fmt_id::NetXRay);
  EXPECT_EQ(Detect(Filled(100, "nothing here"), "x"), fmt_id::NotRecognised);
  // Earlier rules win: a NetMon signature inside a file that also says Observer.
  EXPECT_EQ(Detect(Filled(200, "RTSS Observer"), "x"), fmt_id::NetMon1);
  // A name-based guess listed before a signature wins over it.
  Bytes both = Filled(100, "EXRS\x1A");
  both[40] = 1;
  EXPECT_EQ(Detect(both, "x.cap"), fmt_id::LanDesk);
  EXPECT_EQ(Detect(both, "x.bin"), fmt_id::Da30);
}

TEST(Detect, DigitechNeedsTheFullBuffer) {
  Bytes b = Filled(131071);
  b[0] = 3;
  b[1] = 0x94;
  EXPECT_EQ(Detect(b, "a.dat"), fmt_id::NotRecognised);
  b.push_back(0);
  EXPECT_EQ(Detect(b, "a.dat"), fmt_id::Digitech);
  EXPECT_EQ(Detect(b, "a.bin"), fmt_id::NotRecognised);
}

TEST(Detect, EtherPeekByNameAnywhereInThePath) {
  Bytes b = Filled(100);
  b[0] = 6;
  EXPECT_EQ(Detect(b, "/captures/old.pkt/trace"), fmt_id::EtherPeek);
  b[0] = 7;
  EXPECT_EQ(Detect(b, "ring.tpc"), fmt_id::EtherPeek);
  b[0] = 5;
  EXPECT_EQ(Detect(b, "ring.tpc"), fmt_id::NotRecognised);
}

TEST(Detect, SnoopOrShomitiByRecordSlack) {
  Bytes b = Filled(100, "snoop");
  PutBe32(&b[16 + 4], 60);
  PutBe32(&b[16 + 8], 60 + 27);
  EXPECT_EQ(Detect(b, "x"), fmt_id::Snoop);
  PutBe32(&b[16 + 8], 60 + 28);
  EXPECT_EQ(Detect(b, "x"), fmt_id::Shomiti);
}

TEST(FormatTable, NamesExtensionsAndAcceptance) {
  EXPECT_EQ(AnalyzerName(fmt_id::EtherPeek, topology::TokenRing), "TokenPeek");
  EXPECT_EQ(AnalyzerName(fmt_id::EtherPeek, topology::Ethernet), "EtherPeek");
  EXPECT_EQ(AnalyzerName(fmt_id::SnifferDos, 0), "NAI Sniffer DOS");
  EXPECT_EQ(DefaultExtension(fmt_id::SnifferDos, 0), ".enc");
  EXPECT_EQ(DefaultExtension(fmt_id::SnifferDos, 1), ".trc");
  EXPECT_EQ(DefaultExtension(fmt_id::SnifferDos, 3), ".fdc");
  EXPECT_EQ(DefaultExtension(fmt_id::SnifferDos, 2), ".syc");
  EXPECT_EQ(DefaultExtension(fmt_id::SnifferDos, 4), ".syc");
  EXPECT_EQ(DefaultExtension(fmt_id::HpPreWin95, 1), ".trn");
  EXPECT_EQ(DefaultExtension(fmt_id::Snoop, 0), ".snoop");
  EXPECT_EQ(DefaultExtension(fmt_id::NotRecognised, 0), "");
  int accepted = 0;
  for (int f = 0; f < 32; ++f) accepted += IsAcceptedFormat(TraceFormat(f));
  EXPECT_EQ(accepted, 18);
  EXPECT_FALSE(IsAcceptedFormat(fmt_id::LanDesk));
  EXPECT_FALSE(IsAcceptedFormat(fmt_id::Tcpdump));
  EXPECT_TRUE(IsAcceptedFormat(fmt_id::LinkView));
}

// Every slot has its entry; a format that is accepted can be detected, headed and read,
// and no format is listed twice in the detection order.
TEST(FormatTable, EntriesCoverEverySlotOnce) {
  for (int f = 0; f <= fmt_id::NotRecognised; ++f) {
    SCOPED_TRACE(f);
    const FormatEntry* entry = FindFormatEntry(TraceFormat(f));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->id, f);
    if (IsAcceptedFormat(TraceFormat(f))) {
      EXPECT_NE(entry->probe, nullptr);
      EXPECT_NE(entry->header, nullptr);
      EXPECT_NE(entry->factory, nullptr);
    }
    int listed = 0;
    for (const FormatEntry* e : DetectionOrder()) listed += e->id == f;
    EXPECT_EQ(listed, entry->probe ? 1 : 0);
  }
  EXPECT_EQ(FindFormatEntry(27), nullptr);
}

}  // namespace
}  // namespace korvane
