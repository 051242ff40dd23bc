#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "scenario/PcapWriter.h"
#include "support/TestSupport.h"
#include "writers/SnoopWriter.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;
constexpr size_t kFileHeader = 16, kRecordHeader = 24;
constexpr size_t kHeaderStepMinimum = 140;  // shorter files are refused before reading

ScenarioFrame Frame(size_t length, uint8_t fill, double timeUs = 0) {
  ScenarioFrame f;
  f.bytes.assign(length, fill);
  f.bytes[0] = 0x02;
  f.wireLength = uint32_t(length);
  f.timeUs = timeUs;
  return f;
}

std::vector<ScenarioFrame> Numbered(size_t n, size_t baseLength = 70) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) frames.push_back(Frame(baseLength + i, uint8_t(i + 1), double(i) * 1500.0 + 3.0));
  return frames;
}

uint32_t StoredFcs(const std::vector<uint8_t>& data) { return Le32(&data[data.size() - 4]); }

TEST(SnoopReader, SunEthernetFrameByFrame) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::OfficeLanScenario();
  auto back = test::ReadFrames(tools::WriteSnoop(frames, {}), "office.snoop");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::Snoop);
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& f = frames[i];
    const auto& seen = back.frames[i];
    const size_t padded = std::max<size_t>(f.bytes.size(), 60);
    ASSERT_EQ(f.bytes.size(), f.wireLength);
    EXPECT_EQ(seen.frameLength, padded + 4);
    EXPECT_EQ(seen.storedLength, padded + 4);
    ASSERT_EQ(seen.data.size(), padded + 4);
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
    EXPECT_EQ(StoredFcs(seen.data), Crc32(seen.data.data(), padded));
    EXPECT_EQ(seen.status, 0);
    EXPECT_NEAR(seen.timeStamp, kStartMicros + f.timeUs, 0.51);
  }
  EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros));
  EXPECT_NEAR(back.info.StartDateTime, EncodeDateTime(2024, 3, 5, 9, 30, 0), 1e-9);
}

TEST(SnoopReader, SunFrameOfFortyTwoBytesBecomesSixtyPlusCheckSequence) {
  auto back = test::ReadFrames(tools::WriteSnoop({Frame(42, 0x5A), Frame(80, 0x11, 10)}, {}), "arp.snoop");
  ASSERT_EQ(back.frames.size(), 2u);
  const auto& arp = back.frames[0];
  EXPECT_EQ(arp.frameLength, 64);
  EXPECT_EQ(arp.storedLength, 64);
  for (size_t k = 42; k < 60; ++k) EXPECT_EQ(arp.data[k], 0) << k;
  EXPECT_EQ(StoredFcs(arp.data), Crc32(arp.data.data(), 60));
  EXPECT_EQ(back.frames[1].frameLength, 84);
}

TEST(SnoopReader, SunSlicedFrameGetsRoomForTheCheckSequenceOnlyOnTheWire) {
  auto frames = Numbered(3, 300);
  frames[1].bytes.resize(96);  // captured part of a 301-byte frame
  auto back = test::ReadFrames(tools::WriteSnoop(frames, {}), "sliced.snoop");
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_EQ(back.frames[1].frameLength, 301 + 4);
  EXPECT_EQ(back.frames[1].storedLength, 96);
  EXPECT_EQ(back.frames[1].data, frames[1].bytes);
  EXPECT_EQ(back.frames[2].storedLength, 302 + 4);
}

TEST(SnoopReader, ShomitiKeepsItsCheckSequenceAndTrailerStatus) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::OfficeLanScenario();
  frames[4].status = tools::kStatusCrcError;
  tools::SnoopOptions o;
  o.shomiti = true;
  auto back = test::ReadFrames(tools::WriteSnoop(frames, o), "surveyor.cap");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::Shomiti);
  ASSERT_EQ(back.frames.size(), frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& f = frames[i];
    const auto& seen = back.frames[i];
    const size_t padded = std::max<size_t>(f.bytes.size(), 60);
    EXPECT_EQ(seen.frameLength, padded + 4);
    EXPECT_EQ(seen.storedLength, padded + 4);
    ASSERT_EQ(seen.data.size(), padded + 4);
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), seen.data.begin()));
    const uint32_t good = Crc32(seen.data.data(), padded);
    const bool bad = f.status & tools::kStatusCrcError;
    // A bad frame keeps the check sequence the hardware stored.
    EXPECT_EQ(StoredFcs(seen.data), bad ? ~good : good);
    EXPECT_EQ(seen.status, bad ? kCrcError : 0);
    EXPECT_NEAR(seen.timeStamp, kStartMicros + f.timeUs, 0.51);
  }
}

TEST(SnoopReader, ShomitiShortFramesCountAtLeastSixtyFourOnTheWire) {
  tools::SnoopOptions o;
  o.shomiti = true;
  o.padShortFrames = false;  // a runt as the hardware saw it: 42 bytes and a check sequence
  auto back = test::ReadFrames(tools::WriteSnoop({Frame(42, 0x33), Frame(100, 0x44, 5)}, o), "runt.cap");
  ASSERT_EQ(back.info.DetectedFormat, fmt_id::Shomiti);
  ASSERT_EQ(back.frames.size(), 2u);
  EXPECT_EQ(back.frames[0].frameLength, 64);
  EXPECT_EQ(back.frames[0].storedLength, 46);
  EXPECT_EQ(StoredFcs(back.frames[0].data), Crc32(back.frames[0].data.data(), 42));
  EXPECT_EQ(back.frames[1].frameLength, 104);
  // The bad-frame mark is bit 1 of trailer byte 3 alone.
  Bytes file = tools::WriteSnoop({Frame(100, 0x44)}, o);
  const size_t trailer = file.size() - 16;
  file[trailer + 3] = 0x02;
  file[trailer + 2] = 0x00;
  EXPECT_EQ(test::ReadFrames(file, "mark.cap").frames.at(0).status, kCrcError);
  file[trailer + 3] = 0xFD;
  EXPECT_EQ(test::ReadFrames(file, "mark.cap").frames.at(0).status, 0);
}

TEST(SnoopReader, TokenRingFramesAreTakenAsStored) {
  auto frames = tools::TokenRingScenario();
  for (bool shomiti : {false, true}) {
    SCOPED_TRACE(shomiti);
    tools::SnoopOptions o;
    o.linkType = 2;
    o.shomiti = shomiti;
    auto back = test::ReadFrames(tools::WriteSnoop(frames, o), "ring.snoop");
    ASSERT_FALSE(back.refused) << back.message;
    EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
    ASSERT_EQ(back.frames.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(back.frames[i].frameLength, frames[i].wireLength) << i;
      EXPECT_EQ(back.frames[i].data, frames[i].bytes) << i;
    }
  }
}

TEST(SnoopReader, UniversalTimeBecomesLocalTimeOfDay) {
  auto frames = Numbered(3);
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
    test::ScopedTimeZone scoped(zone);
    for (int month : {1, 7}) {
      SCOPED_TRACE(std::string(zone) + std::to_string(month));
      tools::SnoopOptions o;
      o.start.month = month;
      const double local = EncodeDateTime(2024, month, 5, 9, 30, 0);
      o.biasSeconds = TimeZoneBiasAt(local);
      auto back = test::ReadFrames(tools::WriteSnoop(frames, o), "z.snoop");
      ASSERT_EQ(back.frames.size(), 3u);
      EXPECT_EQ(back.info.TimeZoneBias, o.biasSeconds);
      EXPECT_NEAR(back.info.StartDateTime, local, 1e-9);
      EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros));
      for (size_t i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(back.frames[i].timeStamp, kStartMicros + frames[i].timeUs);
    }
  }
  test::ScopedTimeZone ny("America/New_York");
  tools::SnoopOptions o;
  o.biasSeconds = 5 * 3600;  // written in March before the change: standard time
  o.start = {2024, 3, 1, 9, 30, 0};
  EXPECT_EQ(test::ReadFrames(tools::WriteSnoop(frames, o), "z.snoop").info.TimeZoneBias, 5 * 3600);
}

TEST(SnoopReader, TimeOfDayWrapsAtMidnight) {
  test::ScopedTimeZone zone("UTC");
  tools::SnoopOptions o;
  o.start = {2024, 3, 5, 23, 59, 59};
  auto back = test::ReadFrames(tools::WriteSnoop({Frame(70, 1, 500000), Frame(70, 2, 1500000)}, o), "m.snoop");
  ASSERT_EQ(back.frames.size(), 2u);
  EXPECT_DOUBLE_EQ(back.frames[0].timeStamp, 86399.5e6);
  EXPECT_DOUBLE_EQ(back.frames[1].timeStamp, 0.5e6);
}

TEST(SnoopReader, TruncationAtEveryByteKeepsAPrefix) {
  for (bool shomiti : {false, true}) {
    tools::SnoopOptions o;
    o.shomiti = shomiti;
    Bytes file = tools::WriteSnoop(Numbered(5), o);
    auto full = test::ReadFrames(file, "t.snoop");
    ASSERT_EQ(full.frames.size(), 5u);
    for (size_t cut = kHeaderStepMinimum; cut < file.size(); ++cut) {
      SCOPED_TRACE(std::to_string(shomiti) + "/" + std::to_string(cut));
      auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.snoop");
      ASSERT_FALSE(back.refused);
      ASSERT_LE(back.frames.size(), full.frames.size());
      for (size_t i = 0; i + 1 < back.frames.size(); ++i) ASSERT_EQ(back.frames[i].data, full.frames[i].data);
      if (!back.frames.empty()) {  // the last record keeps what was there, and claims no more
        const auto& got = back.frames.back().data;
        const auto& want = full.frames[back.frames.size() - 1].data;
        ASSERT_LE(got.size(), want.size());
        if (got.size() < want.size()) {
          ASSERT_TRUE(back.info.CutShort);
        }
        const size_t dataEnd = shomiti || got.size() < want.size() ? got.size() : got.size() - 4;
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + long(dataEnd), want.begin()));
      }
    }
  }
}

TEST(SnoopReader, RecordsThatCannotHoldTheirBytesEndTheRead) {
  Bytes file = tools::WriteSnoop(Numbered(4), {});
  const size_t second = kFileHeader + kRecordHeader + 72;  // 70 bytes padded to 4
  ASSERT_EQ(Be32(&file[second + 4]), 71u);
  struct Damage {
    size_t field;
    uint32_t value;
  } cases[] = {{8, 0}, {8, 23}, {8, 24}, {8, 94}, {4, 1000}, {4, 0xFFFFFFFF}};
  for (const Damage& d : cases) {
    SCOPED_TRACE(std::to_string(d.field) + "=" + std::to_string(d.value));
    Bytes damaged = file;
    PutBe32(&damaged[second + d.field], d.value);
    auto back = test::ReadFrames(damaged, "d.snoop");
    ASSERT_EQ(back.frames.size(), 1u);
  }
  // A record length running past the end of the file hands over what is there.
  PutBe32(&file[second + 8], 0x7FFFFFF0);
  auto back = test::ReadFrames(file, "d.snoop");
  ASSERT_EQ(back.frames.size(), 2u);
  // Shomiti records need room for their trailer as well.
  tools::SnoopOptions o;
  o.shomiti = true;
  Bytes surveyor = tools::WriteSnoop(Numbered(3), o);
  const size_t next = kFileHeader + Be32(&surveyor[kFileHeader + 8]);
  PutBe32(&surveyor[next + 8], 39);
  PutBe32(&surveyor[next + 4], 0);
  EXPECT_EQ(test::ReadFrames(surveyor, "d.cap").frames.size(), 1u);
}

TEST(SnoopReader, GarbageRecordsNeverHangOrOverrun) {
  std::mt19937 random(11);
  for (int round = 0; round < 200; ++round) {
    Bytes file = tools::WriteSnoop({Frame(70, 1)}, {});
    size_t size = 40 + random() % 3000;
    for (size_t i = 0; i < size; ++i) {
      // Mostly small values, so that some garbage records are accepted.
      uint32_t r = random();
      file.push_back(uint8_t(r % 4 == 0 ? r >> 8 : (r >> 8) % 3));
    }
    auto back = test::ReadFrames(file, "g.snoop");
    ASSERT_FALSE(back.refused);
    ASSERT_GE(back.frames.size(), 1u);
    ASSERT_LE(back.frames.size(), 2 + size / kRecordHeader);
    for (const auto& f : back.frames) ASSERT_LE(f.storedLength, kMaxFrameLength);
  }
}

// ---- Cross-check against editcap and tshark ---------------------------------------

bool HavePeer() {
  return std::system("command -v editcap >/dev/null 2>&1 && command -v tshark >/dev/null 2>&1") == 0;
}

int Shell(const std::string& command) {
  int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

Bytes Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct PeerFrame {
  uint32_t length = 0, captured = 0;
  int64_t epochMicros = 0;
  Bytes bytes;
};

// Lengths and times from tshark's fields, bytes from the pcap tshark writes back.
std::vector<PeerFrame> ReadWithTshark(const fs::path& file, const fs::path& scratch) {
  std::vector<PeerFrame> frames;
  std::istringstream lines(Capture("tshark -r " + file.string() +
                                   " -T fields -e frame.len -e frame.cap_len -e frame.time_epoch 2>/dev/null"));
  for (std::string line; std::getline(lines, line);) {
    PeerFrame f;
    std::istringstream fields(line);
    std::string epoch;
    fields >> f.length >> f.captured >> epoch;
    const size_t dot = epoch.find('.');
    std::string fraction = dot == std::string::npos ? "" : epoch.substr(dot + 1);
    fraction = (fraction + "000000").substr(0, 6);
    f.epochMicros = std::stoll(epoch.substr(0, dot)) * 1000000 + std::stoll(fraction);
    frames.push_back(std::move(f));
  }
  if (Shell("tshark -r " + file.string() + " -F pcap -w " + scratch.string() + " 2>/dev/null") != 0) return {};
  Bytes pcap = Slurp(scratch);
  size_t at = 24, i = 0;
  for (; i < frames.size() && at + 16 <= pcap.size(); ++i) {
    const uint32_t caplen = Le32(&pcap[at + 8]);
    if (at + 16 + caplen > pcap.size()) break;
    frames[i].bytes.assign(pcap.begin() + long(at + 16), pcap.begin() + long(at + 16 + caplen));
    at += 16 + caplen;
  }
  if (i != frames.size()) return {};
  return frames;
}

TEST(SnoopReader, CrossCheckWithEditcapFrameForFrame) {
  if (!HavePeer()) GTEST_SKIP() << "editcap/tshark not installed (Debian package tshark)";
  const fs::path dir = fs::temp_directory_path() / ("korvane_snoop_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  for (const char* zone : {"UTC", "Europe/Berlin"}) {
    test::ScopedTimeZone scoped(zone);  // editcap and tshark inherit it
    for (bool tokenRing : {false, true}) {
      SCOPED_TRACE(std::string(zone) + (tokenRing ? " Token Ring" : " Ethernet"));
      auto frames = tokenRing ? tools::TokenRingScenario() : tools::OfficeLanScenario();
      frames[3].bytes.resize(40);  // one sliced frame
      const fs::path pcap = dir / "source.pcap", converted = dir / "converted.snoop", back = dir / "back.pcap";
      ASSERT_TRUE(tools::WritePcap(pcap, frames, tokenRing ? tools::kLinkTypeTokenRing : tools::kLinkTypeEthernet));
      ASSERT_EQ(Shell("editcap -F snoop " + pcap.string() + " " + converted.string()), 0);
      const Bytes file = Slurp(converted);
      // editcap writes DL_ETHER (4) or DL_TPR (2) and pads each record to 4 bytes: the
      // layout of Solaris snoop, so the file is a Sun snoop file without check sequences.
      ASSERT_GE(file.size(), 16u);
      EXPECT_EQ(Be32(&file[12]), tokenRing ? 2u : 4u);
      auto peer = ReadWithTshark(converted, back);
      ASSERT_EQ(peer.size(), frames.size());

      auto ours = test::ReadFrames(file, converted.string());
      ASSERT_FALSE(ours.refused) << ours.message;
      EXPECT_EQ(ours.info.DetectedFormat, fmt_id::Snoop);
      ASSERT_EQ(ours.frames.size(), peer.size());
      for (size_t i = 0; i < peer.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& mine = ours.frames[i];
        const auto& theirs = peer[i];
        ASSERT_EQ(theirs.bytes.size(), theirs.captured);
        uint32_t length = theirs.length, stored = theirs.captured;
        if (!tokenRing) {  // the Ethernet rules: minimum size, then room for the check sequence
          if (length == stored) {
            stored = length = std::max<uint32_t>(length, 60) + 4;
          } else {
            length += 4;
          }
        }
        EXPECT_EQ(mine.frameLength, length);
        EXPECT_EQ(mine.storedLength, stored);
        ASSERT_GE(mine.data.size(), theirs.bytes.size());
        EXPECT_TRUE(std::equal(theirs.bytes.begin(), theirs.bytes.end(), mine.data.begin()));
        if (!tokenRing && stored == length) {
          EXPECT_EQ(StoredFcs(mine.data), Crc32(mine.data.data(), mine.data.size() - 4));
        }
        const int64_t local = theirs.epochMicros - int64_t(ours.info.TimeZoneBias) * 1000000;
        const int64_t micrOfDay = ((local % 86400000000) + 86400000000) % 86400000000;
        EXPECT_DOUBLE_EQ(mine.timeStamp, double(micrOfDay));
      }
      const double firstLocal = double(peer[0].epochMicros / 1000000 - ours.info.TimeZoneBias) / 86400.0 +
                                double(kUnixEpochDays);
      EXPECT_NEAR(ours.info.StartDateTime, firstLocal, 1e-9);
    }
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korvane
