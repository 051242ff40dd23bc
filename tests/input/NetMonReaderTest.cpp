#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/TimeConv.h"
#include "scenario/PcapWriter.h"
#include "support/TestSupport.h"
#include "writers/NetMonWriter.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using tools::ScenarioFrame;
using Bytes = std::vector<uint8_t>;

constexpr double kStartMicros = (9 * 3600.0 + 30 * 60.0) * 1e6;

// Frames with distinct contents and a unicast destination, 1.25 ms apart.
std::vector<ScenarioFrame> Numbered(size_t n, size_t firstSize = 70) {
  std::vector<ScenarioFrame> frames;
  for (size_t i = 0; i < n; ++i) {
    ScenarioFrame f;
    f.timeUs = double(i) * 1250.4;
    f.bytes.assign(firstSize + 3 * i, uint8_t(0x10 + i));
    f.bytes[0] = 0x02;
    f.bytes[2] = 0x40;  // Token Ring: a non-zero destination as well
    f.wireLength = uint32_t(f.bytes.size());
    frames.push_back(std::move(f));
  }
  return frames;
}

bool ZeroDestination(const Bytes& bytes, bool tokenRing) {
  const size_t at = tokenRing ? 2 : 0;
  if (bytes.size() < at + 6) return false;
  return std::all_of(bytes.begin() + long(at), bytes.begin() + long(at + 6), [](uint8_t b) { return b == 0; });
}

// The frames the reader must hand over, in order: all but those sent to the zero address.
std::vector<ScenarioFrame> Analysed(const std::vector<ScenarioFrame>& frames, bool tokenRing) {
  std::vector<ScenarioFrame> out;
  for (const auto& f : frames)
    if (!ZeroDestination(f.bytes, tokenRing)) out.push_back(f);
  return out;
}

double ExpectedTime(const ScenarioFrame& f, int version, double startMicros = kStartMicros) {
  return version == 1 ? startMicros + std::nearbyint(f.timeUs / 1000.0) * 1000.0
                      : startMicros + std::nearbyint(f.timeUs);
}

// Every frame handed over against the frames written: lengths with room for the check
// sequence, the stored bytes, the synthesised check sequence (Ethernet) or none (Token
// Ring), no status, the time stamp to the file's resolution.
void ExpectFrames(const test::ReadBack& back, const std::vector<ScenarioFrame>& written, bool tokenRing,
                  int version) {
  auto expected = Analysed(written, tokenRing);
  ASSERT_EQ(back.frames.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    const auto& f = expected[i];
    const size_t captured = std::min<size_t>(f.bytes.size(), f.wireLength);
    EXPECT_EQ(seen.frameLength, f.wireLength + 4);
    EXPECT_EQ(seen.storedLength, captured + 4);
    EXPECT_EQ(seen.status, 0);
    EXPECT_DOUBLE_EQ(seen.timeStamp, ExpectedTime(f, version));
    ASSERT_GE(seen.data.size(), captured + 4);
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.begin() + long(captured), seen.data.begin()));
    uint32_t tail = Le32(&seen.data[captured]);
    if (tokenRing || captured < f.wireLength) {
      EXPECT_EQ(tail, 0u);
    } else {
      EXPECT_EQ(tail, captured >= 60 ? Crc32(f.bytes.data(), captured) : 0u);
    }
  }
}

TEST(NetMonReader, VersionOneEthernetFrameByFrame) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::OfficeLanScenario();
  auto back = test::ReadFrames(tools::WriteNetMon(frames, {}), "office.cap");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::NetMon1);
  EXPECT_EQ(back.info.TopologyCode, topology::Ethernet);
  ExpectFrames(back, frames, false, 1);
  EXPECT_EQ(back.info.StartTimeOfDay, int64_t(kStartMicros));
  EXPECT_NEAR(back.info.StartDateTime, EncodeDateTime(2024, 3, 5, 9, 30, 0), 1e-9);
}

TEST(NetMonReader, VersionTwoTokenRingFrameByFrame) {
  test::ScopedTimeZone zone("UTC");
  auto frames = tools::TokenRingScenario();
  tools::NetMonOptions o;
  o.version = 2;
  o.macType = 2;
  o.startMillisecond = 250;
  auto back = test::ReadFrames(tools::WriteNetMon(frames, o), "ring.cap");
  ASSERT_FALSE(back.refused) << back.message;
  EXPECT_EQ(back.info.DetectedFormat, fmt_id::NetMon2);
  EXPECT_EQ(back.info.TopologyCode, topology::TokenRing);
  auto expected = Analysed(frames, true);
  ASSERT_EQ(back.frames.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& seen = back.frames[i];
    EXPECT_EQ(seen.frameLength, expected[i].wireLength + 4);
    EXPECT_EQ(seen.storedLength, expected[i].bytes.size() + 4);
    EXPECT_DOUBLE_EQ(seen.timeStamp, kStartMicros + 250000.0 + std::nearbyint(expected[i].timeUs));
    EXPECT_TRUE(std::equal(expected[i].bytes.begin(), expected[i].bytes.end(), seen.data.begin()));
    EXPECT_EQ(Le32(&seen.data[expected[i].bytes.size()]), 0u);  // no check sequence on Token Ring
  }
}

TEST(NetMonReader, FramesSentToTheZeroAddressAreReadButNotAnalysed) {
  for (int version : {1, 2}) {
    for (bool tokenRing : {false, true}) {
      SCOPED_TRACE(std::to_string(version) + (tokenRing ? " Token Ring" : " Ethernet"));
      auto frames = Numbered(6);
      const size_t at = tokenRing ? 2 : 0;
      for (size_t i : {size_t(1), size_t(5)}) std::fill_n(frames[i].bytes.begin() + long(at), 6, 0);
      // On Token Ring the access and frame control bytes do not count as the address.
      if (tokenRing) std::fill_n(frames[3].bytes.begin(), 2, 0);
      tools::NetMonOptions o;
      o.version = version;
      o.macType = tokenRing ? 2 : 1;
      auto back = test::ReadFrames(tools::WriteNetMon(frames, o), "zero.cap");
      ASSERT_EQ(back.frames.size(), 4u);
      EXPECT_EQ(back.info.FramesRead, 4);
      const uint8_t expectedFill[] = {0x10, 0x12, 0x13, 0x14};
      for (size_t i = 0; i < 4; ++i) EXPECT_EQ(back.frames[i].data[10], expectedFill[i]) << i;
    }
  }
}

TEST(NetMonReader, SlicedFramesKeepOnlyTheCapturedBytes) {
  auto frames = Numbered(4, 120);
  frames[2].wireLength = 1514;  // 126 bytes of it captured
  for (int version : {1, 2}) {
    tools::NetMonOptions o;
    o.version = version;
    auto back = test::ReadFrames(tools::WriteNetMon(frames, o), "slice.cap");
    ASSERT_EQ(back.frames.size(), 4u);
    EXPECT_TRUE(back.info.SlicedPacketsSeen);
    ExpectFrames(back, frames, false, version);
  }
  EXPECT_FALSE(test::ReadFrames(tools::WriteNetMon(Numbered(4), {}), "whole.cap").info.SlicedPacketsSeen);
}

TEST(NetMonReader, StartIsTheHeadersLocalTimeInEveryZone) {
  auto frames = Numbered(3);
  for (const char* zone : {"UTC", "Europe/Berlin", "America/New_York"}) {
    test::ScopedTimeZone scoped(zone);
    for (int month : {1, 7}) {  // standard and daylight time
      for (int version : {1, 2}) {
        SCOPED_TRACE(std::string(zone) + " month " + std::to_string(month) + " version " + std::to_string(version));
        tools::NetMonOptions o;
        o.version = version;
        o.start.month = month;
        o.start.hour = 23;
        o.start.minute = 59;
        o.start.second = 59;
        o.startMillisecond = 997;
        auto back = test::ReadFrames(tools::WriteNetMon(frames, o), "z.cap");
        ASSERT_EQ(back.frames.size(), 3u);
        const double start = (23 * 3600.0 + 59 * 60.0 + 59) * 1e6 + 997000.0;
        // Past midnight the count goes on from the first day's midnight.
        for (size_t i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(back.frames[i].timeStamp, ExpectedTime(frames[i], version, start));
        const double startDate = EncodeDateTime(2024, month, 5, 23, 59, 59.997);
        EXPECT_NEAR(back.info.StartDateTime, startDate, 1e-9);
        EXPECT_EQ(back.info.TimeZoneBias, TimeZoneBiasAt(startDate));
        EXPECT_EQ(back.info.StartTimeOfDay, int64_t(start));
      }
    }
  }
  test::ScopedTimeZone berlin("Europe/Berlin");
  EXPECT_NE(TimeZoneBiasAt(EncodeDateTime(2024, 1, 5, 12, 0, 0)), TimeZoneBiasAt(EncodeDateTime(2024, 7, 5, 12, 0, 0)));
}

TEST(NetMonReader, UndatedOrImpossibleStartKeepsTheFilesLastWriteTime) {
  const fs::path path = fs::temp_directory_path() / ("korvane_netmon_" + std::to_string(::getpid()) + ".cap");
  auto frames = Numbered(2);
  tools::NetMonOptions undated;
  undated.undated = true;
  Bytes impossible = tools::WriteNetMon(frames, {});
  PutLe16(&impossible[10], 13);  // month 13
  for (const Bytes& file : {tools::WriteNetMon(frames, undated), impossible}) {
    ASSERT_TRUE(tools::WriteFile(path.string(), file));
    const auto written = fs::file_time_type::clock::now() - std::chrono::hours(30);
    fs::last_write_time(path, written);
    auto back = test::ReadFrames(file, path.string());
    ASSERT_EQ(back.frames.size(), 2u);
    EXPECT_NEAR(back.info.StartDateTime, FileLastWriteDateTime(path.string()), 1e-9);
    EXPECT_LT(back.info.StartDateTime, EncodeDateTime(2100, 1, 1, 0, 0, 0));
    EXPECT_GT(back.info.StartDateTime, EncodeDateTime(2020, 1, 1, 0, 0, 0));
  }
  fs::remove(path);
}

TEST(NetMonReader, CommentIsTakenFromTheHeader) {
  for (int version : {1, 2}) {
    tools::NetMonOptions o;
    o.version = version;
    o.comment = "Backbone segment, 3rd floor";
    auto back = test::ReadFrames(tools::WriteNetMon(Numbered(3), o), "c.cap");
    EXPECT_EQ(back.info.Comment, o.comment);
    EXPECT_EQ(back.frames.size(), 3u);  // the comment after the table is no frame
    o.comment = std::string(400, 'x');
    EXPECT_EQ(test::ReadFrames(tools::WriteNetMon(Numbered(3), o), "c.cap").info.Comment, std::string(299, 'x'));
  }
  EXPECT_EQ(test::ReadFrames(tools::WriteNetMon(Numbered(3), {}), "c.cap").info.Comment, "");
}

TEST(NetMonReader, FrameTableFindsFramesBetweenFillerAndTrailers) {
  auto frames = Numbered(5);
  for (uint8_t minor : {0, 1, 2, 3}) {
    tools::NetMonOptions o;
    o.version = 2;
    o.minorVersion = minor;
    o.gapAfterFrame = minor * 3;
    auto back = test::ReadFrames(tools::WriteNetMon(frames, o), "gaps.cap");
    SCOPED_TRACE(int(minor));
    ExpectFrames(back, frames, false, 2);
  }
}

TEST(NetMonReader, DamagedTableEndsTheReadAtTheFirstBadEntry) {
  const Bytes good = tools::WriteNetMon(Numbered(6), {});
  const uint32_t table = Le32(&good[24]);
  auto entry = [&](size_t i) { return Le32(&good[table + 4 * i]); };
  struct Case {
    const char* what;
    uint32_t value;
    size_t expected;
  } cases[] = {
      {"back to an earlier frame", entry(1), 3},
      {"the same frame again", entry(2), 3},
      {"into the frame before", entry(2) + 5, 3},
      {"into the header", 20, 3},
      {"at the table", table, 3},
      {"past the end of the file", uint32_t(good.size() + 1000), 3},
      {"far beyond", 0xFFFFFFF0u, 3},
  };
  for (const auto& c : cases) {
    Bytes file = good;
    PutLe32(&file[table + 12], c.value);  // the fourth entry
    EXPECT_EQ(test::ReadFrames(file, "d.cap").frames.size(), c.expected) << c.what;
  }
}

TEST(NetMonReader, BogusLengthsStayWithinTheFrame) {
  tools::NetMonOptions o;
  o.version = 2;
  auto frames = Numbered(3);
  Bytes file = tools::WriteNetMon(frames, o);
  const uint32_t second = Le32(&file[Le32(&file[24]) + 4]);
  // A wire length beyond 65535 is clamped to the largest frame, not wrapped to a small one.
  PutLe32(&file[second + 8], 70000);
  auto back = test::ReadFrames(file, "long.cap");
  ASSERT_EQ(back.frames.size(), 3u);
  EXPECT_EQ(back.frames[1].frameLength, kMaxFrameLength);
  EXPECT_EQ(back.frames[1].storedLength, frames[1].bytes.size() + 4);
  // A captured length running past the table and the end of the file: the bytes that are
  // there (no room for a check sequence past them), and the read ends there, cut short.
  PutLe32(&file[second + 12], 0x7FFFFFFF);
  back = test::ReadFrames(file, "long.cap");
  ASSERT_EQ(back.frames.size(), 2u);
  EXPECT_EQ(back.frames[1].frameLength, kMaxFrameLength);
  EXPECT_EQ(back.frames[1].storedLength, file.size() - second - 16);
  EXPECT_TRUE(back.info.CutShort);
}

TEST(NetMonReader, MissingOrCutTableIsReplacedByWalkingTheFrames) {
  auto frames = Numbered(5);
  frames[3].wireLength += 20;  // sliced
  std::fill_n(frames[1].bytes.begin(), 6, 0);
  for (int version : {1, 2}) {
    for (uint8_t minor : {0, 3}) {
      if (version == 1 && minor != 0) continue;
      SCOPED_TRACE(std::to_string(version) + "." + std::to_string(minor));
      tools::NetMonOptions o;
      o.version = version;
      o.minorVersion = minor;
      o.frameTable = false;
      ExpectFrames(test::ReadFrames(tools::WriteNetMon(frames, o), "walk.cap"), frames, false, version);
      // A table cut off by the end of the file.
      o.frameTable = true;
      Bytes cut = tools::WriteNetMon(frames, o);
      cut.resize(cut.size() - 6);
      ExpectFrames(test::ReadFrames(cut, "walk.cap"), frames, false, version);
    }
  }
  // A walk ends at a header that cannot start a frame.
  tools::NetMonOptions o;
  o.frameTable = false;
  Bytes file = tools::WriteNetMon(Numbered(5), o);
  const size_t third = 128 + (8 + 70) + (8 + 73);
  PutLe16(&file[third + 6], Le16(&file[third + 4]) + 1);  // more captured than on the wire
  EXPECT_EQ(test::ReadFrames(file, "walk.cap").frames.size(), 2u);
}

// Cutting a file anywhere gives a prefix of its frames: all but the last unchanged, the
// last with the bytes that were there. Holds for a walk and for a table.
TEST(NetMonReader, TruncationAtEveryByteGivesAPrefix) {
  for (int version : {1, 2}) {
    tools::NetMonOptions o;
    o.version = version;
    Bytes file = tools::WriteNetMon(Numbered(5), o);
    auto full = test::ReadFrames(file, "t.cap");
    ASSERT_EQ(full.frames.size(), 5u);
    size_t previous = 0;
    for (size_t cut = 40; cut < file.size(); ++cut) {
      auto back = test::ReadFrames(Bytes(file.begin(), file.begin() + long(cut)), "t.cap");
      ASSERT_LE(back.frames.size(), full.frames.size()) << cut;
      ASSERT_GE(back.frames.size(), previous) << cut;  // a longer file never gives fewer frames
      previous = back.frames.size();
      for (size_t i = 0; i < back.frames.size(); ++i) {
        const auto& part = back.frames[i];
        const auto& whole = full.frames[i];
        EXPECT_EQ(part.frameLength, whole.frameLength) << cut;
        if (i + 1 < back.frames.size()) {
          ASSERT_EQ(part.data, whole.data) << cut << " frame " << i;
        } else {
          ASSERT_LE(part.data.size(), whole.data.size());
          // The bytes present, without the check sequence the whole frame was given.
          const size_t present = std::min(part.data.size(), whole.data.size() - 4);
          EXPECT_TRUE(std::equal(part.data.begin(), part.data.begin() + long(present), whole.data.begin())) << cut;
        }
      }
    }
    EXPECT_EQ(previous, 5u);
  }
}

TEST(NetMonReader, CorruptedBytesNeverHangOrReadOutside) {
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int version : {1, 2}) {
    tools::NetMonOptions o;
    o.version = version;
    o.comment = "x";
    const Bytes good = tools::WriteNetMon(Numbered(4), o);
    for (int round = 0; round < 400; ++round) {
      Bytes file = good;
      for (int k = 0; k < 1 + round % 4; ++k) {
        // Mostly the header fields, the frame headers and the table; now and then anywhere.
        size_t at = next() % file.size();
        file[at] = uint8_t(next());
      }
      auto back = test::ReadFrames(file, "fuzz.cap");
      EXPECT_LE(back.frames.size(), file.size() / 8);
      for (const auto& f : back.frames) EXPECT_LE(f.storedLength, kMaxFrameLength);
    }
  }
}

// Cross-check against an independent reader: pcap scenarios converted by editcap into the
// two NetMon versions, read by Korvane and by tshark, compared frame for frame. editcap
// writes the header's start in local time and tshark reads it so; so does Korvane.
struct PeerFrame {
  uint32_t length = 0, captured = 0;
  int64_t epochMicros = 0;
  Bytes bytes;
};

bool HavePeer() {
  return std::system("command -v editcap >/dev/null 2>&1 && command -v tshark >/dev/null 2>&1") == 0;
}

int Shell(const std::string& command) {
  int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

Bytes Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// tshark's fields (lengths, epoch time) and its frames written back as pcap (bytes).
std::vector<PeerFrame> ReadWithTshark(const fs::path& file, const fs::path& dir) {
  const fs::path fields = dir / "fields.txt", back = dir / "back.pcap";
  std::vector<PeerFrame> out;
  if (Shell("tshark -r " + file.string() + " -T fields -e frame.len -e frame.cap_len -e frame.time_epoch > " +
            fields.string() + " 2>/dev/null") != 0)
    return out;
  if (Shell("tshark -r " + file.string() + " -F pcap -w " + back.string() + " 2>/dev/null") != 0) return out;
  std::ifstream in(fields);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream columns(line);
    PeerFrame p;
    std::string epoch;
    columns >> p.length >> p.captured >> epoch;
    const size_t dot = epoch.find('.');
    p.epochMicros = std::stoll(epoch.substr(0, dot)) * 1000000 + std::stoll((epoch.substr(dot + 1) + "000000").substr(0, 6));
    out.push_back(std::move(p));
  }
  const Bytes pcap = Slurp(back);
  size_t i = 0;
  for (size_t at = 24; at + 16 <= pcap.size() && i < out.size(); ++i) {
    const uint32_t caplen = Le32(&pcap[at + 8]);
    if (at + 16 + caplen > pcap.size()) break;
    out[i].bytes.assign(pcap.begin() + long(at + 16), pcap.begin() + long(at + 16 + caplen));
    at += 16 + caplen;
  }
  if (i != out.size()) out.clear();
  return out;
}

class NetMonReaderCrossCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HavePeer()) GTEST_SKIP() << "editcap/tshark not installed (Debian package tshark)";
    dir_ = fs::temp_directory_path() / ("korvane_netmon_xcheck_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  // Converts the scenarios with `editcap -F format` and compares, in two time zones.
  void CompareFrameForFrame(const std::string& format);
  fs::path dir_;
};

void NetMonReaderCrossCheck::CompareFrameForFrame(const std::string& format) {
  for (const char* zone : {"UTC", "Europe/Berlin"}) {
    test::ScopedTimeZone scoped(zone);  // editcap and tshark inherit it
    for (bool tokenRing : {false, true}) {
      SCOPED_TRACE(std::string(zone) + (tokenRing ? " Token Ring" : " Ethernet"));
      auto frames = tokenRing ? tools::TokenRingScenario() : tools::OfficeLanScenario();
      const fs::path pcap = dir_ / "source.pcap", converted = dir_ / "converted.cap";
      ASSERT_TRUE(tools::WritePcap(pcap, frames, tokenRing ? tools::kLinkTypeTokenRing : tools::kLinkTypeEthernet));
      ASSERT_EQ(Shell("editcap -F " + format + " " + pcap.string() + " " + converted.string()), 0);
      auto peer = ReadWithTshark(converted, dir_);
      ASSERT_EQ(peer.size(), frames.size());
      peer.erase(std::remove_if(peer.begin(), peer.end(), [&](const PeerFrame& p) { return ZeroDestination(p.bytes, tokenRing); }),
                 peer.end());

      auto ours = test::ReadFrames(Slurp(converted), converted.string());
      ASSERT_FALSE(ours.refused) << ours.message;
      EXPECT_EQ(ours.info.TopologyCode, tokenRing ? topology::TokenRing : topology::Ethernet);
      ASSERT_EQ(ours.frames.size(), peer.size());
      const double bias = double(ours.info.TimeZoneBias);
      for (size_t i = 0; i < peer.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& mine = ours.frames[i];
        const auto& theirs = peer[i];
        EXPECT_EQ(mine.frameLength, theirs.length + 4);
        EXPECT_EQ(mine.storedLength, theirs.captured + 4);
        ASSERT_EQ(theirs.bytes.size(), theirs.captured);
        EXPECT_TRUE(std::equal(theirs.bytes.begin(), theirs.bytes.end(), mine.data.begin()));
        const double local = double(theirs.epochMicros) - bias * 1e6;
        EXPECT_NEAR(mine.timeStamp, std::fmod(local, 86400e6), 0.5);
      }
    }
  }
}

TEST_F(NetMonReaderCrossCheck, VersionOneFromEditcap) { CompareFrameForFrame("netmon1"); }

TEST_F(NetMonReaderCrossCheck, VersionTwoFromEditcap) { CompareFrameForFrame("netmon2"); }

}  // namespace
}  // namespace korvane
