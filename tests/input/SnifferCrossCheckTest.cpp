// Cross-check of the Sniffer DOS and NetXRay readers against an independent peer:
// captures written here as pcap are converted by editcap, then read both by Korvane and
// by tshark (which writes them back as pcap), and compared frame for frame.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "input/Endian.h"
#include "scenario/PcapWriter.h"
#include "writers/EtherPeekWriter.h"
#include "writers/LanAnalyzerWriter.h"
#include "writers/NetMonWriter.h"
#include "writers/SnoopWriter.h"
#include "writers/TraceWriters.h"
#include "support/TestSupport.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class CrossCheck : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!test::HavePeer()) GTEST_SKIP() << "editcap/tshark not installed (Debian package tshark)";
    dir_ = fs::temp_directory_path() / ("korvane_xcheck_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_P(CrossCheck, ReadsWhatEditcapWroteFrameForFrame) {
  const std::string format = GetParam();
  test::ScopedTimeZone zone("UTC");  // editcap and tshark inherit it
  for (bool tokenRing : {false, true}) {
    SCOPED_TRACE(tokenRing ? "Token Ring" : "Ethernet");
    auto frames = tokenRing ? tools::TokenRingScenario() : tools::OfficeLanScenario();
    const fs::path pcap = dir_ / "source.pcap";
    const fs::path converted = dir_ / ("converted." + format);
    const fs::path back = dir_ / "back.pcap";
    ASSERT_TRUE(tools::WritePcap(pcap, frames, tokenRing ? tools::kLinkTypeTokenRing : tools::kLinkTypeEthernet));
    ASSERT_EQ(test::Shell("editcap -F " + format + " " + pcap.string() + " " + converted.string()), 0);
    ASSERT_EQ(test::Shell("tshark -r " + converted.string() + " -F pcap -w " + back.string() + " 2>/dev/null"), 0);
    auto peer = test::ParsePcap(test::Slurp(back));
    ASSERT_EQ(peer.size(), frames.size());

    Bytes file = test::Slurp(converted);
    const bool netxray = format != "ngsniffer";
    // editcap's NetXRay files leave header offset 68 at 0 although their frames carry no
    // check sequence; without the mark the reader would take the last 4 bytes of every
    // frame for one. Setting it makes the file say what it holds.
    if (netxray) file[68] = 1;
    auto ours = test::ReadFrames(file, converted.string());
    ASSERT_FALSE(ours.refused) << ours.message;
    ASSERT_EQ(ours.frames.size(), peer.size());
    const uint32_t fcs = tokenRing && !netxray ? 0 : 4;
    const double firstPeer = double(peer[0].epochMicros % 86400000000);
    for (size_t i = 0; i < peer.size(); ++i) {
      SCOPED_TRACE(i);
      const auto& mine = ours.frames[i];
      const auto& theirs = peer[i];
      EXPECT_EQ(mine.frameLength, theirs.wireLength + (tokenRing && netxray ? 4 : fcs));
      ASSERT_GE(mine.data.size(), theirs.bytes.size());
      EXPECT_TRUE(std::equal(theirs.bytes.begin(), theirs.bytes.end(), mine.data.begin()));
      // Time of day. editcap's Sniffer DOS files count PC-timer ticks, whose length the
      // two programs take with different precision (0.8380953 against 0.838096 us): allow
      // for that drift over the time of day, and compare positions within the trace.
      double peerTime = double(theirs.epochMicros % 86400000000);
      if (netxray) {
        EXPECT_NEAR(mine.timeStamp, peerTime, 1.0);
      } else {
        EXPECT_NEAR(mine.timeStamp - ours.frames[0].timeStamp, peerTime - firstPeer,
                    1e-5 * (peerTime - firstPeer) + 2.0);
        EXPECT_NEAR(mine.timeStamp, peerTime, 2e-6 * peerTime + 2.0);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Editcap, CrossCheck, ::testing::Values("ngsniffer", "ngwsniffer_1_1", "ngwsniffer_2_0"));

// The other direction: files Korvane's writers lay out are read by tshark as Korvane
// reads them, frame for frame, wherever tshark reads the layout we write. (tshark takes
// Observer files only in a later layout than the one written here.)
struct Written {
  const char* name;
  const char* fileName;
  Bytes (*write)(const std::vector<tools::ScenarioFrame>&);
};

void PrintTo(const Written& w, std::ostream* os) { *os << w.name; }

class PeerReads : public ::testing::TestWithParam<Written> {
 protected:
  void SetUp() override {
    if (!test::HavePeer()) GTEST_SKIP() << "editcap/tshark not installed (Debian package tshark)";
    dir_ = fs::temp_directory_path() / ("korvane_peer_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_P(PeerReads, WhatKorvaneWritesReadsTheSameInTshark) {
  test::ScopedTimeZone zone("UTC");
  const auto frames = tools::OfficeLanScenario();
  const Bytes file = GetParam().write(frames);
  const fs::path path = dir_ / GetParam().fileName;
  const fs::path back = dir_ / "back.pcap";
  ASSERT_TRUE(tools::WriteFile(path.string(), file));
  ASSERT_EQ(test::Shell("tshark -r " + path.string() + " -F pcap -w " + back.string() + " 2>/dev/null"), 0);
  const auto peer = test::ParsePcap(test::Slurp(back));
  const auto ours = test::ReadFrames(file, path.string());
  ASSERT_FALSE(ours.refused) << ours.message;
  ASSERT_EQ(ours.frames.size(), frames.size());
  ASSERT_EQ(peer.size(), ours.frames.size());
  for (size_t i = 0; i < peer.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& mine = ours.frames[i];
    const auto& theirs = peer[i];
    // Both hold the captured bytes; either side may add a check sequence the other leaves out.
    const size_t common = std::min(mine.data.size(), theirs.bytes.size());
    ASSERT_GE(common + 4, frames[i].bytes.size());
    EXPECT_TRUE(std::equal(frames[i].bytes.begin(), frames[i].bytes.begin() + long(std::min(common, frames[i].bytes.size())),
                           theirs.bytes.begin()));
    EXPECT_TRUE(std::equal(theirs.bytes.begin(), theirs.bytes.begin() + long(common), mine.data.begin()));
    // Positions within the trace agree (clock units differ in precision between programs).
    const double peerGap = double(theirs.epochMicros - peer[0].epochMicros);
    EXPECT_NEAR(mine.timeStamp - ours.frames[0].timeStamp, peerGap, 1e-5 * std::fabs(peerGap) + 2.0);
  }
}

const Written kWritten[] = {
    {"SnifferDos", "w.enc", [](const auto& f) { return tools::WriteSnifferDos(f, {}); }},
    {"SnifferDosCompressed", "c.enc",
     [](const auto& f) {
       tools::SnifferDosOptions o;
       o.compressed = true;
       return tools::WriteSnifferDos(f, o);
     }},
    {"NetXRay", "w.cap", [](const auto& f) { return tools::WriteNetXRay(f, {}); }},
    {"NetXRayWrapped", "r.cap",
     [](const auto& f) {
       tools::NetXRayOptions o;
       o.wrapFirst = f.size() / 3;
       return tools::WriteNetXRay(f, o);
     }},
    {"Snoop", "w.snoop", [](const auto& f) { return tools::WriteSnoop(f, {}); }},
    {"NetMon", "n.cap", [](const auto& f) { return tools::WriteNetMon(f, {}); }},
    {"LanAnalyzer", "w.tr1", [](const auto& f) { return tools::WriteLanAnalyzer(f, {}); }},
    {"EtherPeek", "w.pkt", [](const auto& f) { return tools::WriteEtherPeek(f, {}); }},
};

INSTANTIATE_TEST_SUITE_P(Writers, PeerReads, ::testing::ValuesIn(kWritten),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvane
