#include "support/TestSupport.h"

#include <sys/wait.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

#include "input/Endian.h"

namespace korvane::test {

std::vector<tools::ScenarioFrame> NumberedFrames(size_t count, double spacingUs, size_t baseSize, double firstUs) {
  std::vector<tools::ScenarioFrame> frames;
  for (size_t i = 0; i < count; ++i) {
    tools::ScenarioFrame f;
    f.timeUs = firstUs + double(i) * spacingUs;
    f.bytes.assign(baseSize + i, uint8_t(i));
    f.bytes[0] = 0;
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

bool HavePeer() {
  return std::system("command -v editcap >/dev/null 2>&1 && command -v tshark >/dev/null 2>&1") == 0;
}

int Shell(const std::string& command) {
  int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::vector<uint8_t> Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<PcapRecord> ParsePcap(const std::vector<uint8_t>& file) {
  std::vector<PcapRecord> records;
  if (file.size() < 24 || Le32(file.data()) != 0xA1B2C3D4) return records;
  for (size_t at = 24; at + 16 <= file.size();) {
    uint32_t caplen = Le32(&file[at + 8]);
    if (at + 16 + caplen > file.size()) break;
    records.push_back({int64_t(Le32(&file[at])) * 1000000 + Le32(&file[at + 4]), Le32(&file[at + 12]),
                       std::vector<uint8_t>(file.begin() + long(at + 16), file.begin() + long(at + 16 + caplen))});
    at += 16 + caplen;
  }
  return records;
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  if (const char* old = std::getenv("TZ")) {
    previous_ = old;
    had_ = true;
  }
  setenv("TZ", zone, 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (had_) setenv("TZ", previous_.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}

}  // namespace korvane::test
