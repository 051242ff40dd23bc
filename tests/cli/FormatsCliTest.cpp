// Every format korvane-mktrace writes carries the same office and ring scenarios; read back
// through korvane-cli, each must give the same stations and conversations.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

std::string Capture(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  std::array<char, 65536> buffer;
  size_t got;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), got);
  int raw = ::pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

struct Figures {
  int64_t frames = 0, stations = 0, netStations = 0, streams = 0, ipFrames = 0;
};

Figures Read(const fs::path& file) {
  int status = 0;
  std::string out = Capture(std::string(KORVANE_CLI) + " dump " + file.string() + " 2>&1", &status);
  EXPECT_EQ(status, 0) << file << ": " << out.substr(0, 200);
  Figures f;
  if (status != 0) return f;
  auto doc = nlohmann::json::parse(out);
  f.frames = doc["GlobalStats"]["FramesAnalysed"];
  f.stations = doc["StationCount"];
  f.netStations = int64_t(doc["NetStations"].size());
  f.ipFrames = doc["ProtocolTable"][4]["Frames"];
  for (const auto& station : doc["NetStations"])
    for (const auto& peer : station["Peers"]) f.streams += int64_t(peer["Streams"].size());
  return f;
}

TEST(EveryFormat, ReadsTheScenariosAlike) {
  const fs::path dir = fs::temp_directory_path() / ("korvane_formats_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::vector<std::string> formats = {
      "sniffer", "sniffer-compressed", "netxray", "netxray1", "netmon1", "netmon2", "observer",
      "etherpeek", "etherpeek6", "snoop", "shomiti", "lanwatch", "lanalyzer", "da30", "domino",
      "linkview", "hp", "dataglance", "fireberd", "netlens", "digitech"};
  for (const char* scenario : {"office", "tokenring"}) {
    const bool ring = std::string(scenario) == "tokenring";
    Figures reference;
    for (const std::string& format : formats) {
      SCOPED_TRACE(format + " " + scenario);
      std::string extension = ".cap";
      if (format.rfind("etherpeek", 0) == 0) extension = ring ? ".tpc" : ".pkt";
      if (format == "dataglance") extension = ".dgc";
      if (format == "netlens") extension = ring ? ".t04" : ".s04";
      if (format == "digitech") extension = ".dat";
      const fs::path file = dir / (format + "-" + scenario + extension);
      int status = 0;
      Capture(std::string(KORVANE_MKTRACE) + " " + scenario + " " + format + " " + file.string(), &status);
      ASSERT_EQ(status, 0);
      Figures f = Read(file);
      if (format == "sniffer") {
        reference = f;
        EXPECT_GT(f.frames, 100);
        EXPECT_GT(f.streams, 10);
        continue;
      }
      EXPECT_EQ(f.frames, reference.frames);
      EXPECT_EQ(f.stations, reference.stations);
      EXPECT_EQ(f.ipFrames, reference.ipFrames);
      // Sun snoop and Shomiti store frames padded to the Ethernet minimum, so the office's
      // collision fragment arrives long enough to be decoded: one more station, one more stream.
      const int64_t padded = !ring && (format == "snoop" || format == "shomiti") ? 1 : 0;
      EXPECT_EQ(f.netStations, reference.netStations + padded);
      EXPECT_EQ(f.streams, reference.streams + padded);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
