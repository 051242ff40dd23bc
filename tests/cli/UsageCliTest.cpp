// korvane-cli as a person at the terminal meets it: --version and --help, usage errors in
// words, named files that must exist; and --json with figures as JSON numbers.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "scenario/Scenario.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

struct CliRun {
  int status = -1;
  std::string out, err;
};

CliRun Cli(const std::string& args) {
  static int counter = 0;
  const fs::path errFile = fs::temp_directory_path() / ("korvane_usage_err_" + std::to_string(::getpid()) + "_" +
                                                        std::to_string(counter++));
  FILE* pipe = ::popen((std::string(KORVANE_CLI) + " " + args + " 2>" + errFile.string()).c_str(), "r");
  CliRun run;
  std::array<char, 65536> buffer;
  for (size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) run.out.append(buffer.data(), got);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::stringstream text;
  text << std::ifstream(errFile).rdbuf();
  run.err = text.str();
  fs::remove(errFile);
  return run;
}

// One office trace for the whole suite.
class UsageCliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new fs::path(fs::temp_directory_path() / ("korvane_usage_" + std::to_string(::getpid())));
    fs::create_directories(*dir_);
    trace_ = new std::string((*dir_ / "office.enc").string());
    ASSERT_TRUE(tools::WriteFile(*trace_, tools::WriteSnifferDos(tools::OfficeLanScenario(), {})));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*dir_);
    delete dir_;
    delete trace_;
  }
  static std::string Trace() { return *trace_; }
  static inline fs::path* dir_ = nullptr;
  static inline std::string* trace_ = nullptr;
};

struct UsageCase {
  const char* args;  // "FILE" stands for the office trace
  const char* message;  // the whole stderr line
  friend void PrintTo(const UsageCase& c, std::ostream* out) { *out << '"' << c.args << '"'; }
};

class UsageMessages : public UsageCliTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(UsageMessages, ExitOneWithOneReadableLine) {
  std::string args = GetParam().args;
  if (const size_t at = args.find("FILE"); at != std::string::npos) args.replace(at, 4, Trace());
  const CliRun r = Cli(args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, std::string(GetParam().message) + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cli, UsageMessages,
    ::testing::Values(
        UsageCase{"sumary FILE",
                  "korvane-cli: unknown subcommand \"sumary\"; the subcommands are detect, frames, summary, dump, "
                  "protocols, dlc-errors, stations, network, streams, conversations, latency, throughput, whatif, "
                  "problems, visualize (korvane-cli --help)"},
        UsageCase{"", "korvane-cli: give a subcommand and a trace file, e.g. korvane-cli summary FILE "
                      "(korvane-cli --help lists the subcommands)"},
        UsageCase{"summary", "korvane-cli: FILE is required"},
        UsageCase{"latency FILE --source a --dest b --stream x",
                  "korvane-cli: --stream: wants the stream index that `streams` prints, a whole number 0 or more; "
                  "\"x\" is not"},
        UsageCase{"summary FILE --bandwidth 0",
                  "korvane-cli: --bandwidth: wants the line speed in Mbit/s, a whole number 1 to 100000; \"0\" is not"},
        UsageCase{"summary FILE --bandwidth 1e400",
                  "korvane-cli: --bandwidth: wants the line speed in Mbit/s, a whole number 1 to 100000; "
                  "\"1e400\" is not"},
        UsageCase{"problems FILE --source a --dest b --stream 0 --from 0",
                  "korvane-cli: --from: wants a frame number, a whole number 1 or more; \"0\" is not"},
        UsageCase{"throughput FILE --source a --dest b --stream 0 --window 3",
                  "korvane-cli: --window: wants the packet sampling window, a whole number 4 to 100; \"3\" is not"},
        UsageCase{"stations FILE --oui /nonexistent/OUI.TXT",
                  "korvane-cli: --oui: \"/nonexistent/OUI.TXT\" does not exist"},
        UsageCase{"conversations FILE --settings /nonexistent/Korvane.conf",
                  "korvane-cli: --settings: \"/nonexistent/Korvane.conf\" does not exist"},
        UsageCase{"summary FILE --settings /", "korvane-cli: --settings: \"/\" is a folder, not a file"},
        UsageCase{"summary FILE --settings /dev/zero",
                  "korvane-cli: --settings: \"/dev/zero\" is not a regular file"}));

TEST_F(UsageCliTest, VersionAndHelp) {
  CliRun r = Cli("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, std::string("korvane-cli ") + KORVANE_VERSION + "\n");
  r = Cli("--help");
  EXPECT_EQ(r.status, 0);
  for (const char* sub : {"detect", "summary", "conversations", "visualize", "--version"})
    EXPECT_NE(r.out.find(sub), std::string::npos) << sub;
}

// A line faster than the speed given: the summary says so and names --bandwidth.
TEST_F(UsageCliTest, UtilisationAbove100PercentSaysTheLineIsFaster) {
  const std::string load = (*dir_ / "load.enc").string();
  ASSERT_TRUE(tools::WriteFile(load, tools::WriteSnifferDos(tools::SyntheticLoad(4000, 7), {})));
  CliRun r = Cli("summary " + load + " --bandwidth 1");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Note\tUtilization above 100%: the line must be faster than 1 Mbps. Give its speed with "
                       "--bandwidth MBPS.\n"),
            std::string::npos)
      << r.out;
  const auto json = nlohmann::json::parse(Cli("summary --json --bandwidth 1 " + load).out);
  EXPECT_GT(json["Media Utilization"]["Bandwidth % Peak"].get<int64_t>(), 100);
  EXPECT_TRUE(json["Media Utilization"]["Note"].is_string());
  // At the trace's own speed nothing is said.
  EXPECT_EQ(Cli("summary " + Trace()).out.find("Note\t"), std::string::npos);
}

// Every subcommand that prints figures takes --json; the figures are numbers.
TEST_F(UsageCliTest, JsonFiguresAreNumbers) {
  using nlohmann::json;
  const json detect = json::parse(Cli("detect --json " + Trace()).out);
  EXPECT_TRUE(detect["FileBandwidthBps"].is_number_integer());
  EXPECT_TRUE(detect["AnalyzerName"].is_string());

  const json summary = json::parse(Cli("summary --json " + Trace()).out);
  EXPECT_TRUE(summary["Media Utilization"]["Bytes/Sec Peak"].is_number_integer());
  EXPECT_TRUE(summary["Media Utilization"]["Bandwidth % Average"].is_number());
  EXPECT_TRUE(summary["File Attributes"]["Duration (s)"].is_number());
  EXPECT_TRUE(summary["File Attributes"]["File Size (bytes)"].is_number_integer());
  EXPECT_EQ(summary["Frame Statistics"][3]["Frames"].get<int64_t>(),
            json::parse(Cli("dump " + Trace()).out)["GlobalStats"]["FramesAnalysed"].get<int64_t>());

  const json frames = json::parse(Cli("frames --json " + Trace()).out);
  EXPECT_TRUE(frames[0]["TimeStamp (us)"].is_number());

  const json protocols = json::parse(Cli("protocols --json " + Trace()).out);
  EXPECT_TRUE(protocols[0]["Packet Percent"].is_number());
  EXPECT_TRUE(protocols[0]["Protocol"].is_string());

  const json grid = json::parse(Cli("conversations --json " + Trace()).out);
  const json& row = grid["Conversations"][0];
  EXPECT_TRUE(row["Pkts Clt<->Svr"].is_number_integer());
  EXPECT_TRUE(row["Duration (s)"].is_number());
  EXPECT_TRUE(row["Client"].is_string());

  // One TCP stream, by the texts streams prints.
  const json streams = json::parse(Cli("streams --json " + Trace()).out);
  const json* tcp = nullptr;
  for (const json& s : streams)
    if (!tcp && s["Protocol/App"].get<std::string>().starts_with("TCP")) tcp = &s;
  ASSERT_NE(tcp, nullptr);
  EXPECT_TRUE((*tcp)["Stream"].is_number_integer());
  const std::string selection = " --source '" + (*tcp)["Source"].get<std::string>() + "' --dest '" +
                                (*tcp)["Destination"].get<std::string>() + "' --stream " +
                                std::to_string((*tcp)["Stream"].get<int>()) + " --json " + Trace();
  const json latency = json::parse(Cli("latency" + selection).out);
  ASSERT_FALSE(latency.empty());
  EXPECT_TRUE(latency[0]["Average (ms)"].is_number());
  EXPECT_TRUE(latency[0]["Total Packets"].is_number_integer());
  const json throughput = json::parse(Cli("throughput" + selection).out);
  ASSERT_FALSE(throughput.empty());
  EXPECT_TRUE(throughput[0]["Average (KBytes/s)"].is_number());
  const json whatif = json::parse(Cli("whatif" + selection).out);
  ASSERT_FALSE(whatif.empty());
  EXPECT_TRUE(whatif[0]["Bits/Sec"].is_number_integer());
  EXPECT_TRUE(json::parse(Cli("problems" + selection).out).is_array());
  EXPECT_TRUE(json::parse(Cli("visualize" + selection).out).is_array());
}

}  // namespace
}  // namespace korvane
