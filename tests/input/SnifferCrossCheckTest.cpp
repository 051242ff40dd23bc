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
#include "support/TestSupport.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

bool HavePeer() { return std::system("command -v editcap >/dev/null 2>&1 && command -v tshark >/dev/null 2>&1") == 0; }

int Shell(const std::string& command) {
  int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

Bytes Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct PcapRecord {
  int64_t epochMicros;
  uint32_t wireLength;
  Bytes bytes;
};

std::vector<PcapRecord> ParsePcap(const Bytes& file) {
  std::vector<PcapRecord> records;
  if (file.size() < 24 || Le32(file.data()) != 0xA1B2C3D4) return records;
  for (size_t at = 24; at + 16 <= file.size();) {
    uint32_t caplen = Le32(&file[at + 8]);
    if (at + 16 + caplen > file.size()) break;
    records.push_back({int64_t(Le32(&file[at])) * 1000000 + Le32(&file[at + 4]), Le32(&file[at + 12]),
                       Bytes(file.begin() + long(at + 16), file.begin() + long(at + 16 + caplen))});
    at += 16 + caplen;
  }
  return records;
}

class CrossCheck : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (!HavePeer()) GTEST_SKIP() << "editcap/tshark not installed (Debian package tshark)";
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
    ASSERT_EQ(Shell("editcap -F " + format + " " + pcap.string() + " " + converted.string()), 0);
    ASSERT_EQ(Shell("tshark -r " + converted.string() + " -F pcap -w " + back.string() + " 2>/dev/null"), 0);
    auto peer = ParsePcap(Slurp(back));
    ASSERT_EQ(peer.size(), frames.size());

    Bytes file = Slurp(converted);
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

}  // namespace
}  // namespace korvane
