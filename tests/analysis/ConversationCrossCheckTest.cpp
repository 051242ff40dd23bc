// IP conversations and TCP/UDP streams counted by Korvane against tshark's conversation
// statistics for the same trace (written as pcap here, converted by editcap).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "scenario/PcapWriter.h"
#include "support/TestSupport.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return out;
  std::array<char, 4096> buffer;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), got);
  ::pclose(pipe);
  return out;
}

struct Side {
  int64_t frames = 0;
  int64_t bytes = 0;
  int64_t byteTolerance = 0;  // tshark rounds large byte counts to kB
};

struct Conversation {
  std::string a, b;  // "address" or "address:port"
  Side toA, toB;     // "<-" frames sent to a, "->" frames sent to b
};

Side ParseSide(const std::string& frames, const std::string& amount, const std::string& unit) {
  Side s;
  s.frames = std::stoll(frames);
  double value = std::stod(amount);
  if (unit == "bytes") {
    s.bytes = int64_t(value);
  } else {
    double scale = unit == "kB" ? 1e3 : unit == "MB" ? 1e6 : 1e9;
    s.bytes = int64_t(value * scale);
    s.byteTolerance = int64_t(scale);
  }
  return s;
}

std::vector<Conversation> TsharkConversations(const fs::path& file, const std::string& table) {
  std::vector<Conversation> list;
  std::istringstream in(Capture("tshark -r " + file.string() + " -q -z conv," + table + " 2>/dev/null"));
  static const std::regex row(
      R"(^(\S+)\s+<->\s+(\S+)\s+(\d+)\s+([\d.]+)\s+(bytes|kB|MB|GB)\s+(\d+)\s+([\d.]+)\s+(bytes|kB|MB|GB)\s+.*$)");
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (!std::regex_match(line, m, row)) continue;
    list.push_back({m[1], m[2], ParseSide(m[3], m[4], m[5]), ParseSide(m[6], m[7], m[8])});
  }
  return list;
}

std::string Ip(const AddressKey& key) {
  return std::to_string(key.bytes[0]) + "." + std::to_string(key.bytes[1]) + "." + std::to_string(key.bytes[2]) +
         "." + std::to_string(key.bytes[3]);
}

class ConversationCrossCheck : public ::testing::TestWithParam<bool> {};

TEST_P(ConversationCrossCheck, CountsAgreeWithTshark) {
  if (std::system("command -v editcap >/dev/null 2>&1 && command -v tshark >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "editcap/tshark not installed (Debian package tshark)";
  const bool tokenRing = GetParam();
  const fs::path dir = fs::temp_directory_path() / ("korvane_conv_" + std::to_string(::getpid()) + (tokenRing ? "t" : "e"));
  fs::create_directories(dir);
  auto frames = tokenRing ? tools::TokenRingScenario() : tools::OfficeLanScenario();
  const fs::path pcap = dir / "source.pcap", sniffer = dir / "trace.enc";
  ASSERT_TRUE(tools::WritePcap(pcap, frames, tokenRing ? tools::kLinkTypeTokenRing : tools::kLinkTypeEthernet));
  ASSERT_EQ(std::system(("editcap -F ngsniffer " + pcap.string() + " " + sniffer.string()).c_str()), 0);

  std::ifstream file(sniffer, std::ios::binary);
  std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(file), {});
  OpenResult result;
  auto session = test::Analyse(bytes, sniffer.string(), &result);
  ASSERT_EQ(result.status, OpenStatus::Loaded) << result.message;
  const AnalysisTables& t = session->tables;
  const int64_t fcs = tokenRing ? 0 : 4;  // the reader adds the check sequence to Ethernet frames

  // One-way figures keyed "source destination" (with ports for streams).
  std::map<std::string, Side> ip, tcp, udp;
  for (int32_t s = 0; s < int32_t(t.NetStationTree.size()); ++s) {
    const NetStationNode& station = t.NetStationTree[s];
    if (station.Address.length != 4) continue;
    for (int32_t p = station.FirstNetPeer; p >= 0; p = t.NetPeers[size_t(p)].Next) {
      const TNetPeer& peer = t.NetPeers[size_t(p)];
      const std::string from = Ip(station.Address), to = Ip(peer.DestAddress);
      ip[from + " " + to] = {peer.Frames, peer.Bytes};
      for (int32_t k = peer.FirstStream; k >= 0; k = t.Streams[size_t(k)].Next) {
        const TTransHead& stream = t.Streams[size_t(k)];
        if (stream.Kind != 3 && stream.Kind != 5) continue;
        auto& table = stream.Kind == 3 ? tcp : udp;
        table[from + ":" + std::to_string(stream.SourcePort) + " " + to + ":" + std::to_string(stream.DestPort)] = {
            stream.PacketCount, 0};
      }
    }
  }

  auto compare = [&](const std::string& name, const std::map<std::string, Side>& ours, bool withBytes) {
    auto theirs = TsharkConversations(sniffer, name);
    ASSERT_FALSE(theirs.empty()) << name;
    int64_t oursTotal = 0, theirsTotal = 0;
    for (const auto& [key, side] : ours) oursTotal += side.frames;
    for (const Conversation& c : theirs) {
      SCOPED_TRACE(name + " " + c.a + " <-> " + c.b);
      for (bool towardsB : {true, false}) {
        const Side& peer = towardsB ? c.toB : c.toA;
        theirsTotal += peer.frames;
        auto it = ours.find(towardsB ? c.a + " " + c.b : c.b + " " + c.a);
        const Side mine = it == ours.end() ? Side{} : it->second;
        EXPECT_EQ(mine.frames, peer.frames);
        if (withBytes) {
          EXPECT_NEAR(double(mine.bytes - fcs * mine.frames), double(peer.bytes), double(peer.byteTolerance));
        }
      }
    }
    EXPECT_EQ(oursTotal, theirsTotal) << name << ": a conversation one side does not know";
  };
  compare("ip", ip, true);
  compare("tcp", tcp, false);
  compare("udp", udp, false);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(Topologies, ConversationCrossCheck, ::testing::Values(false, true));

}  // namespace
}  // namespace korvane
