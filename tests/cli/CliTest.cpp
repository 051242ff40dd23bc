// korvane-cli as scripts see it: output lines, exit status and refusal texts.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "input/Endian.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

CliRun Cli(const std::string& args) {
  static int counter = 0;
  fs::path errFile = fs::temp_directory_path() / ("korvane_cli_err_" + std::to_string(::getpid()) + "_" +
                                                  std::to_string(counter++));
  std::string command = std::string(KORVANE_CLI) + " " + args + " 2>" + errFile.string();
  CliRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  std::array<char, 65536> buffer;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), got);
  int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream err(errFile);
  std::stringstream text;
  text << err.rdbuf();
  run.err = text.str();
  fs::remove(errFile);
  return run;
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("korvane_cli_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = (dir_ / name).string();
    EXPECT_TRUE(tools::WriteFile(path, bytes));
    return path;
  }
  fs::path dir_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(CliTest, DetectPrintsItsHeadingRowAndOneLine) {
  std::string path = Write("office.enc", tools::WriteSnifferDos(tools::OfficeLanScenario(), {}));
  CliRun r = Cli("detect " + path);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string heading = "DetectedFormat\tAnalyzerName\tTopologyCode\tFileBandwidthBps\tFileBandwidthKnown\n";
  EXPECT_EQ(r.out, heading + "11\tNAI Sniffer DOS\t0\t10000000\t10000000\n");
  tools::NetXRayOptions ring;
  ring.network = 1;
  ring.lineSpeed = 4;
  path = Write("ring.cap", tools::WriteNetXRay(tools::TokenRingScenario(), ring));
  r = Cli("detect " + path);
  EXPECT_EQ(r.out, heading + "10\tNAI NetXRay/Sniffer Windows\t1\t4000000\t4000000\n");
}

TEST_F(CliTest, RefusalsExitTwoWithTheMessage) {
  CliRun r = Cli("summary " + Write("tiny.cap", std::vector<uint8_t>(39, 1)));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "tiny.cap is too small.\n");
  r = Cli("detect " + Write("junk.cap", std::vector<uint8_t>(500, 'j')));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "junk.cap is osbolete, not supported, or not a trace file.\n");
  r = Cli("frames " + (dir_ / "missing.cap").string());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "Unable to open Source file.  File is in use or name is bad.\n");

  std::vector<uint8_t> pcap(24 + 16 + 200, 0);
  PutLe32(pcap.data(), 0xA1B2C3D4);
  PutLe16(&pcap[4], 2);
  PutLe32(&pcap[16], 65535);
  PutLe32(&pcap[20], 1);
  PutLe32(&pcap[32], 200);
  PutLe32(&pcap[36], 200);
  r = Cli("summary " + Write("capture.pcap", pcap));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "capture.pcap contains an unsupported analyzer or topology.\n");

  tools::NetXRayOptions fddi;
  fddi.network = 2;
  r = Cli("dump " + Write("fddi.cap", tools::WriteNetXRay(tools::OfficeLanScenario(), fddi)));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "fddi.cap contains an unsupported interface.\n");
  tools::NetXRayOptions wan;
  wan.network = 3;
  r = Cli("dump " + Write("wan.cap", tools::WriteNetXRay(tools::OfficeLanScenario(), wan)));
  EXPECT_EQ(r.err, "wan.cap contains an unsupported analyzer or topology.\n");
}

TEST_F(CliTest, WrongUsageExitsOne) {
  EXPECT_EQ(Cli("").status, 1);
  EXPECT_EQ(Cli("nonsense x").status, 1);
  EXPECT_EQ(Cli("summary").status, 1);
}

TEST_F(CliTest, FramesLinesCarryStampLengthsStatusAndBytes) {
  auto frames = tools::OfficeLanScenario();
  std::string path = Write("office.enc", tools::WriteSnifferDos(frames, {}));
  CliRun r = Cli("frames " + path);
  ASSERT_EQ(r.status, 0) << r.err;
  auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), frames.size());
  std::istringstream first(lines[0]);
  std::string number, stamp, length, stored, status, hex;
  std::getline(first, number, '\t');
  std::getline(first, stamp, '\t');
  std::getline(first, length, '\t');
  std::getline(first, stored, '\t');
  std::getline(first, status, '\t');
  std::getline(first, hex, '\t');
  EXPECT_EQ(number, "1");
  EXPECT_EQ(stamp.substr(stamp.size() - 4, 1), ".");
  EXPECT_EQ(std::stoul(length), frames[0].wireLength + 4);
  EXPECT_EQ(std::stoul(stored), frames[0].bytes.size() + 4);
  EXPECT_EQ(status.substr(0, 2), "0x");
  EXPECT_EQ(status.size(), 6u);
  EXPECT_EQ(hex.size(), 2 * (frames[0].bytes.size() + 4));
}

TEST_F(CliTest, SummaryAndDumpAgree) {
  auto frames = tools::OfficeLanScenario();
  std::string path = Write("office.enc", tools::WriteSnifferDos(frames, {}));
  CliRun summary = Cli("summary " + path);
  ASSERT_EQ(summary.status, 0) << summary.err;
  EXPECT_NE(summary.out.find("Media Utilization (based on 10 Mbps)"), std::string::npos);
  EXPECT_NE(summary.out.find("Analyzer\tNAI Sniffer DOS"), std::string::npos);
  EXPECT_NE(summary.out.find("Interface\tEthernet"), std::string::npos);
  EXPECT_NE(summary.out.find("DLC Encapsulation Types"), std::string::npos);
  CliRun fast = Cli("summary --bandwidth 100 --full-duplex " + path);
  EXPECT_NE(fast.out.find("Media Utilization (based on 100 Mbps)"), std::string::npos);
  EXPECT_NE(fast.out.find("Bandwidth\t200 Mbps"), std::string::npos);

  CliRun dump = Cli("dump " + path);
  ASSERT_EQ(dump.status, 0) << dump.err;
  auto doc = nlohmann::json::parse(dump.out);
  EXPECT_EQ(doc["TraceFileInfo"]["DetectedFormat"], 11);
  EXPECT_EQ(doc["TraceFileInfo"]["FramesRead"], frames.size());
  EXPECT_EQ(doc["GlobalStats"]["FramesAnalysed"], frames.size());
  EXPECT_EQ(doc["SizeBuckets"].size(), 72u);
  EXPECT_EQ(doc["ProtocolTable"].size(), 17u);
  int64_t total = 0;
  for (const auto& p : doc["ProtocolTable"]) total += p["Frames"].get<int64_t>();
  EXPECT_EQ(total, int64_t(frames.size()));
  std::string frameLine = "\t" + std::to_string(frames.size()) + " Frames";
  EXPECT_NE(summary.out.find(std::to_string(frames.size()) + " Frames"), std::string::npos);
}

// A header naming a line slower than 1 Mbit/s once gave a line speed of 0 and a summary
// that divided by it.
TEST_F(CliTest, LineSlowerThanOneMegabitIsNoDivisionByZero) {
  tools::NetXRayOptions slow;
  slow.lineSpeed = 50000;  // bit/s
  const std::string path = Write("slow.cap", tools::WriteNetXRay(tools::OfficeLanScenario(), slow));
  CliRun r = Cli("summary " + path);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Media Utilization (based on 1 Mbps)"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("-9,"), std::string::npos) << r.out;
  r = Cli("conversations " + path);
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace korvane
