// korvane-cli's table views: protocols, dlc-errors, stations, network, streams; their
// heading rows, JSON form, exit status, and the vendor and settings files they read.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "scenario/PacketBuilder.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using namespace tools;

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t at = 0;
  while (true) {
    size_t tab = line.find('\t', at);
    fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
    if (tab == std::string::npos) break;
    at = tab + 1;
  }
  return fields;
}

std::string Join(const std::vector<std::string>& fields) {
  std::string text;
  for (size_t i = 0; i < fields.size(); ++i) text += (i ? "\t" : "") + fields[i];
  return text;
}

const std::vector<std::string> kProtocolHeadings = {"Protocol",        "Packet Count",      "Packet Percent",
                                                    "Ave Pkt Size (Bytes)", "Broadcast Count", "Broadcast Percent",
                                                    "Encapsulation(s)"};
const std::vector<std::string> kStationHeadings = {"Source Address", "Encapsulation", "Protocols",    "Dests",
                                                   "Snd+Rcv Pkts",   "Snd+Rcv Bytes", "Utilization",  "Ave Send",
                                                   "Ave Recv",       "Bdcasts",       "Pkt Ratio"};
const std::vector<std::string> kNetworkHeadings = {"Network Address", "Protocols", "Dests",    "Snd+Rcv Pkts",
                                                   "Snd+Rcv Bytes",   "Utilization", "Ave Send", "Ave Recv",
                                                   "Pkt Ratio"};
const std::vector<std::string> kStreamHeadings = {"Source", "Destination", "Protocol/App", "Stream"};

class TablesCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    dir_ = fs::temp_directory_path() /
           ("korvane_tables_cli_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs korvane-cli with the desktop program's settings looked for in the test's own
  // folder (XDG_CONFIG_HOME), unless the environment text says otherwise.
  CliRun Cli(const std::string& args, const std::string& environment = "") {
    fs::path errFile = dir_ / ("stderr" + std::to_string(runs_++));
    std::string env = environment.empty() ? "XDG_CONFIG_HOME=" + dir_.string() : environment;
    std::string command = env + " " + std::string(KORVANE_CLI) + " " + args + " 2>" + errFile.string();
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
    return run;
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = (dir_ / name).string();
    EXPECT_TRUE(WriteFile(path, bytes));
    return path;
  }
  std::string WriteText(const std::string& name, const std::string& text) {
    fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
    return path.string();
  }
  nlohmann::json Dump(const std::string& path) {
    CliRun dump = Cli("dump " + path);
    EXPECT_EQ(dump.status, 0) << dump.err;
    return nlohmann::json::parse(dump.out);
  }

  fs::path dir_;
  int runs_ = 0;
};

// A table printed as text: the heading row, then rows with as many fields.
std::vector<std::vector<std::string>> TableRows(const CliRun& run, const std::vector<std::string>& headings) {
  EXPECT_EQ(run.status, 0) << run.err;
  auto lines = Lines(run.out);
  std::vector<std::vector<std::string>> rows;
  if (lines.empty()) {
    ADD_FAILURE() << "no heading row";
    return rows;
  }
  EXPECT_EQ(lines[0], Join(headings));
  for (size_t i = 1; i < lines.size(); ++i) {
    rows.push_back(Fields(lines[i]));
    EXPECT_EQ(rows.back().size(), headings.size()) << lines[i];
  }
  return rows;
}

// A figure as the text shows it ("1,234", "7.82%", "<1%") without its separators.
double FigureOf(std::string text) {
  if (text == "<1%") return 0;
  std::erase(text, ',');
  std::erase(text, '%');
  return std::stod(text);
}

// The JSON form holds the same rows, keyed by the headings in their order: texts as strings,
// figures as JSON numbers of the same value.
void ExpectSameAsJson(const CliRun& json, const std::vector<std::string>& headings,
                      const std::vector<std::vector<std::string>>& rows) {
  ASSERT_EQ(json.status, 0) << json.err;
  auto doc = nlohmann::ordered_json::parse(json.out);
  ASSERT_TRUE(doc.is_array());
  ASSERT_EQ(doc.size(), rows.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    std::vector<std::string> keys, values;
    for (auto it = doc[r].begin(); it != doc[r].end(); ++it) {
      keys.push_back(it.key());
      if (it.value().is_number()) {
        const std::string& text = rows[r][values.size()];
        EXPECT_DOUBLE_EQ(it.value().get<double>(), FigureOf(text)) << it.key() << " " << text;
        values.push_back(text);
      } else {
        values.push_back(it.value().is_null() ? std::string() : it.value().get<std::string>());
      }
    }
    EXPECT_EQ(keys, headings);
    EXPECT_EQ(values, rows[r]);
  }
}

TEST_F(TablesCliTest, ProtocolsHasOneRowPerCategoryWithFrames) {
  std::string path = Write("office.enc", WriteSnifferDos(OfficeLanScenario(), {}));
  auto rows = TableRows(Cli("protocols " + path), kProtocolHeadings);
  auto doc = Dump(path);
  std::vector<std::string> counts;
  for (const auto& p : doc["ProtocolTable"])
    if (p["Frames"].get<int64_t>() > 0) counts.push_back(std::to_string(p["Frames"].get<int64_t>()));
  ASSERT_EQ(rows.size(), counts.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string count = rows[i][1];
    count.erase(std::remove(count.begin(), count.end(), ','), count.end());
    EXPECT_EQ(count, counts[i]);
    EXPECT_EQ(rows[i][2].back(), '%');
  }
  ExpectSameAsJson(Cli("protocols --json " + path), kProtocolHeadings, rows);
}

TEST_F(TablesCliTest, StationsListEverySender) {
  std::string path = Write("office.enc", WriteSnifferDos(OfficeLanScenario(), {}));
  auto rows = TableRows(Cli("stations " + path), kStationHeadings);
  auto doc = Dump(path);
  EXPECT_EQ(int64_t(rows.size()), doc["SendingStationCount"].get<int64_t>());
  EXPECT_GT(rows.size(), 3u);
  ExpectSameAsJson(Cli("stations --json " + path), kStationHeadings, rows);
}

TEST_F(TablesCliTest, NetworkListsIpOrIpxSenders) {
  std::string path = Write("office.enc", WriteSnifferDos(OfficeLanScenario(), {}));
  auto doc = Dump(path);
  auto ip = TableRows(Cli("network " + path), kNetworkHeadings);
  EXPECT_EQ(int64_t(ip.size()), doc["IpSenderCount"].get<int64_t>());
  auto ipx = TableRows(Cli("network --ipx " + path), kNetworkHeadings);
  EXPECT_EQ(int64_t(ipx.size()), doc["IpxSenderCount"].get<int64_t>());
  ASSERT_FALSE(ipx.empty());
  ExpectSameAsJson(Cli("network --json " + path), kNetworkHeadings, ip);
  ExpectSameAsJson(Cli("network --ipx --json " + path), kNetworkHeadings, ipx);
}

TEST_F(TablesCliTest, StreamsListEveryStreamOfEverySender) {
  std::string path = Write("office.enc", WriteSnifferDos(OfficeLanScenario(), {}));
  auto rows = TableRows(Cli("streams " + path), kStreamHeadings);
  auto doc = Dump(path);
  size_t streams = 0;
  for (const auto& station : doc["NetStations"]) {
    if ((station["Role"].get<int>() & 1) == 0) continue;
    for (const auto& peer : station["Peers"]) streams += peer["Streams"].size();
  }
  EXPECT_EQ(rows.size(), streams);
  for (const auto& row : rows) EXPECT_EQ(row[3].find_first_not_of("0123456789"), std::string::npos) << row[3];
  ExpectSameAsJson(Cli("streams --json " + path), kStreamHeadings, rows);
}

TEST_F(TablesCliTest, DlcErrorsOnEthernet) {
  std::string path = Write("office.enc", WriteSnifferDos(OfficeLanScenario(), {}));
  CliRun run = Cli("dlc-errors " + path);
  ASSERT_EQ(run.status, 0) << run.err;
  auto lines = Lines(run.out);
  ASSERT_GE(lines.size(), 13u);
  auto doc = Dump(path);
  EXPECT_EQ(lines[0], "Frame Error Summary");
  EXPECT_EQ(lines[1], "Bad FCS \t" + std::to_string(doc["GlobalStats"]["CrcErrors"].get<int64_t>()));
  EXPECT_EQ(lines[4], "Fragment \t" + std::to_string(doc["GlobalStats"]["Fragments"].get<int64_t>()));
  EXPECT_EQ(lines[5], "Collision Fragment Analysis");
  EXPECT_EQ(lines[6], "DLC Source\tTransmits\tRetransmits\t% Retransmitted");
  for (size_t i = 7; i < 12; ++i) EXPECT_EQ(Fields(lines[i]).size(), 4u) << lines[i];
  EXPECT_EQ(lines[12], "Notes");

  CliRun json = Cli("dlc-errors --json " + path);
  ASSERT_EQ(json.status, 0) << json.err;
  auto parsed = nlohmann::json::parse(json.out);
  EXPECT_EQ(parsed["Frame Error Summary"]["Bad FCS"], FigureOf(Fields(lines[1])[1]));
  EXPECT_TRUE(parsed["Collision Fragment Analysis"].is_array());
  EXPECT_EQ(parsed["Notes"].size(), lines.size() - 13);
}

TEST_F(TablesCliTest, DlcErrorsOnTokenRing) {
  NetXRayOptions ring;
  ring.network = 1;
  ring.lineSpeed = 4;
  std::string path = Write("ring.cap", WriteNetXRay(TokenRingScenario(), ring));
  CliRun run = Cli("dlc-errors " + path);
  ASSERT_EQ(run.status, 0) << run.err;
  auto lines = Lines(run.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "\tTotal\tStations\tReporting Station/NAUN/Count");
  EXPECT_EQ(lines[1], "Fault Domain Errors");
  auto at = std::find(lines.begin(), lines.end(), "Ring Map");
  ASSERT_NE(at, lines.end());
  EXPECT_NE(std::find(lines.begin(), at, "Notes"), at);
  auto heading = std::find(at, lines.end(), "Position\tAddress\tStation\tRing Poll\tStation Errors");
  ASSERT_NE(heading, lines.end());
  auto doc = Dump(path);
  EXPECT_EQ(size_t(lines.end() - heading - 1), doc["RingStations"].size());

  CliRun json = Cli("dlc-errors --json " + path);
  ASSERT_EQ(json.status, 0) << json.err;
  auto parsed = nlohmann::json::parse(json.out);
  EXPECT_EQ(parsed["Soft Error Summary"].size(), 10u);
  EXPECT_EQ(parsed["Ring Map"]["Stations"].size(), doc["RingStations"].size());
  EXPECT_EQ(parsed["Soft Error Summary"][0]["Total"], doc["SoftErrorTotals"][2].get<int64_t>());  // Burst Error
}

TEST_F(TablesCliTest, RefusedTracesExitTwo) {
  std::string path = Write("tiny.cap", std::vector<uint8_t>(39, 1));
  for (const char* sub : {"protocols", "dlc-errors", "stations", "network", "network --ipx", "streams"}) {
    CliRun r = Cli(std::string(sub) + " " + path);
    EXPECT_EQ(r.status, 2) << sub;
    EXPECT_EQ(r.err, "tiny.cap is too small.\n") << sub;
    EXPECT_EQ(r.out, "") << sub;
  }
}

TEST_F(TablesCliTest, WrongUsageExitsOne) {
  EXPECT_EQ(Cli("protocols").status, 1);
  EXPECT_EQ(Cli("streams --bogus x.cap").status, 1);
  EXPECT_EQ(Cli("stations --ipx x.cap").status, 1);
}

// A small trace: one station of a known vendor talks UDP to a server port.
std::vector<uint8_t> SmallTrace() {
  const Mac a = {0x00, 0x00, 0x0C, 0x00, 0x00, 0x0A};
  const Mac b = {0x02, 0x00, 0x00, 0x00, 0x00, 0x0B};
  const Ip4 ipA = {10, 0, 0, 1}, ipB = {10, 0, 0, 2};
  std::vector<ScenarioFrame> frames;
  for (int i = 0; i < 3; ++i) {
    ScenarioFrame f;
    f.timeUs = 1000.0 * (i + 1);
    f.bytes = EthernetFrame(b, a, kEtherTypeIpv4,
                            Ipv4Packet(ipA, ipB, kIpProtoUdp, 64, uint16_t(i + 1), 0,
                                       UdpDatagram(ipA, ipB, 1031, 8080, Bytes(30, 'u'))));
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return WriteSnifferDos(frames, {});
}

TEST_F(TablesCliTest, VendorFileNamesStations) {
  std::string path = Write("small.enc", SmallTrace());
  std::string oui = WriteText("vendors.txt", "/* test vendors */\n00000C ACMEX\n");
  auto rows = TableRows(Cli("stations --oui " + oui + " " + path), kStationHeadings);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "ACMEX00000A");

  // A vendor file that does not exist is refused, not read as an empty one.
  EXPECT_EQ(Cli("stations --oui " + (dir_ / "none.txt").string() + " " + path).status, 1);

  // By default the vendor file beside the program.
  std::ifstream installed(fs::path(KORVANE_CLI).parent_path() / "OUI.TXT");
  std::string expected = "00000C00000A";
  for (std::string line; std::getline(installed, line);) {
    if (line.rfind("00000C", 0) == 0 && line.size() > 7) {
      expected = line.substr(7, 6);
      while (!expected.empty() && (expected.back() == ' ' || expected.back() == '\r')) expected.pop_back();
      expected += "00000A";
      break;
    }
  }
  rows = TableRows(Cli("stations " + path), kStationHeadings);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], expected);
}

TEST_F(TablesCliTest, SettingsFileNamesServerPorts) {
  std::string path = Write("small.enc", SmallTrace());
  auto app = [&](const CliRun& run) {
    auto rows = TableRows(run, kStreamHeadings);
    return rows.size() == 1 ? rows[0][2] : std::string("?");
  };
  EXPECT_EQ(app(Cli("streams " + path)), "UDP/Port 1031<->Port 8080");

  // As QSettings writes it: the section name and the tab escaped.
  std::string escaped = WriteText("escaped.conf",
                                  "[General]\n0=9999\\tNot this\n\n[Server%20Ports]\n0=8080\\tProxy\n"
                                  "1=1031\\tMy App\n\n[Problem%20Finder]\n2=1\n");
  EXPECT_EQ(app(Cli("streams --settings " + escaped + " " + path)), "UDP/My App<->Proxy");

  // Written by hand: a real tab, a quoted value, Windows line ends.
  std::string plain = WriteText("plain.ini", "[Server Ports]\r\n1=\"1031\tClient Side\"\r\n0=8080\tWeb Cache\r\n");
  EXPECT_EQ(app(Cli("streams --settings " + plain + " " + path)), "UDP/Client Side<->Web Cache");

  // The list starts at "0": without it there is no list.
  std::string gap = WriteText("gap.ini", "[Server Ports]\n1=8080\tProxy\n");
  EXPECT_EQ(app(Cli("streams --settings " + gap + " " + path)), "UDP/Port 1031<->Port 8080");

  // A named file that does not exist is refused.
  EXPECT_EQ(Cli("streams --settings " + (dir_ / "none.ini").string() + " " + path).status, 1);

  // By default the desktop program's own settings file.
  WriteText("Zum4 Group/Korvane.conf", "[Server%20Ports]\n0=8080\\tDefault Proxy\n");
  EXPECT_EQ(app(Cli("streams " + path)), "UDP/Port 1031<->Default Proxy");
  EXPECT_EQ(app(Cli("streams " + path, "XDG_CONFIG_HOME= HOME=" + dir_.string() + "/nowhere")),
            "UDP/Port 1031<->Port 8080");
}

}  // namespace
}  // namespace korvane
