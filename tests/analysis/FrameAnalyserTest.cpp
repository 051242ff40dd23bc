#include <gtest/gtest.h>

#include <cstring>

#include "analysis/TraceSession.h"
#include "input/Endian.h"

namespace korvane {
namespace {

// Feeds hand-made frames straight into the analyser.
class Analyser {
 public:
  explicit Analyser(uint8_t topology, int32_t lineSpeed = 10) {
    s.info.TopologyCode = topology;
    s.info.LineSpeedMbps = lineSpeed;
    s.info.DetectedFormat = fmt_id::SnifferDos;
    s.analyser.BeginTrace(false);
  }
  uint8_t Feed(std::vector<uint8_t> bytes, uint16_t length, double time = 0, uint16_t status = 0) {
    CapturedFrame& f = *s.frame;
    f.Data.fill(0);
    std::memcpy(f.Data.data(), bytes.data(), std::min<size_t>(bytes.size(), f.Data.size()));
    f.FrameLength = length;
    f.StoredLength = length;
    f.Status = status;
    f.TimeStamp = time;
    return s.analyser.FeedFrame(s.info.FrameCounter);
  }
  const GlobalStats& Stats() const { return s.tables.Stats; }
  TraceSession s;
};

std::vector<uint8_t> Ether(std::array<uint8_t, 6> dst, uint16_t type, std::vector<uint8_t> payload = {}) {
  std::vector<uint8_t> b(dst.begin(), dst.end());
  for (uint8_t x : {0x00, 0x00, 0x0C, 0x11, 0x22, 0x33}) b.push_back(x);
  b.push_back(uint8_t(type >> 8));
  b.push_back(uint8_t(type));
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

constexpr std::array<uint8_t, 6> kStation = {0x00, 0x60, 0x08, 0x01, 0x02, 0x03};
constexpr std::array<uint8_t, 6> kBroadcast = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr std::array<uint8_t, 6> kMulticast = {0x01, 0x00, 0x5E, 0x00, 0x00, 0x01};

TEST(AnalyseFrame, RuntsFragmentsAndCrcErrors) {
  Analyser a(topology::Ethernet);
  a.Feed(Ether(kStation, 0x0800), 60);
  EXPECT_EQ(a.Stats().Runts, 1);
  EXPECT_EQ(a.Stats().CrcErrors, 0);
  EXPECT_EQ(a.s.analyser.LastFragmentFrame(), -2);
  a.Feed(Ether(kStation, 0x0800), 60, 1, kCrcError);
  EXPECT_EQ(a.Stats().Runts, 2);
  EXPECT_EQ(a.Stats().CrcErrors, 1);
  EXPECT_EQ(a.Stats().Fragments, 1);
  EXPECT_EQ(a.s.analyser.LastFragmentFrame(), 2);
  // An alignment error alone counts as a CRC error.
  a.Feed(Ether(kStation, 0x0800), 100, 2, kAlignmentError);
  EXPECT_EQ(a.Stats().CrcErrors, 2);
  EXPECT_EQ(a.Stats().Fragments, 1);
  a.Feed(Ether(kStation, 0x0800), 1519, 3);
  EXPECT_EQ(a.Stats().OversizeFrames, 1);
  EXPECT_EQ(a.s.tables.SizeBuckets[0], 2);
  EXPECT_EQ(a.s.tables.SizeBuckets[1], 1);
  EXPECT_EQ(a.s.tables.SizeBuckets[7], 1);
  a.Feed(Ether(kStation, 0x0800), 1518, 4);
  EXPECT_EQ(a.s.tables.SizeBuckets[6], 1);
  a.Feed(Ether(kStation, 0x0800), 63, 5);
  EXPECT_EQ(a.s.tables.SizeBuckets[0], 3);
  EXPECT_EQ(a.Stats().MinFrameSize, 60);
  EXPECT_EQ(a.Stats().MaxFrameSize, 1519);
  EXPECT_EQ(a.Stats().FramesAnalysed, 6);
}

TEST(AnalyseFrame, EthernetEncapsulationsAndCategories) {
  Analyser a(topology::Ethernet);
  a.Feed(Ether(kStation, 1500, {0xE0, 0xE0, 0x03}), 64);  // 1500 is still a length
  EXPECT_EQ(a.Stats().LlcFrames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Ipx].Frames, 1);
  a.Feed(Ether(kStation, 1501), 64);
  EXPECT_EQ(a.Stats().EtypeFrames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Other].Frames, 1);

  std::vector<uint8_t> ipx(30, 0);
  PutBe16(&ipx[16], 0x0455);
  a.Feed(Ether(kStation, 0x8137, ipx), 64);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::NetBiosIpx].Frames, 1);
  PutBe16(&ipx[16], 0x0451);
  a.Feed(Ether(kStation, 0x8137, ipx), 64);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Ipx].Frames, 2);

  std::vector<uint8_t> raw = {0xFF, 0xFF};
  raw.resize(30, 0);
  PutBe16(&raw[16], 0x0455);
  a.Feed(Ether(kStation, 64, raw), 64);
  EXPECT_EQ(a.Stats().NovellRawFrames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::NetBiosIpx].Frames, 2);

  std::vector<uint8_t> snap = {0xAA, 0xAA, 0x03, 0, 0, 0, 0x08, 0x06};
  a.Feed(Ether(kStation, 64, snap), 64);
  EXPECT_EQ(a.Stats().SnapFrames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Arp].Frames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Arp].Encapsulations, 1u << encapsulation::Snap);

  std::vector<uint8_t> ip(40, 0);
  PutBe16(&ip[20], 138);
  a.Feed(Ether(kStation, 0x0800, ip), 80);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::NetBiosIp].Frames, 1);
  PutBe16(&ip[20], 80);
  a.Feed(Ether(kStation, 0x0800, ip), 80);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Ip].Frames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Ip].Bytes, 80);

  // Too short to classify: only size, error and address counters move.
  a.Feed(Ether(kStation, 0x0800), 17);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Other].Frames, 2);
  EXPECT_EQ(a.Stats().EtypeFrames, 5);
}

TEST(AnalyseFrame, CategoryTables) {
  auto frame = std::make_unique<CapturedFrame>();
  EXPECT_EQ(EtherTypeCategory(0x6004, *frame, 15), category::Lat);
  EXPECT_EQ(EtherTypeCategory(0x6007, *frame, 15), category::Lavc);
  EXPECT_EQ(EtherTypeCategory(0x6003, *frame, 15), category::Decnet);
  EXPECT_EQ(EtherTypeCategory(0x8042, *frame, 15), category::Decnet);
  EXPECT_EQ(EtherTypeCategory(0x9000, *frame, 15), category::Decnet);
  EXPECT_EQ(EtherTypeCategory(0x80F3, *frame, 15), category::Appletalk);
  EXPECT_EQ(EtherTypeCategory(0x0BAD, *frame, 15), category::Vines);
  EXPECT_EQ(EtherTypeCategory(0x0807, *frame, 15), category::Xns);
  EXPECT_EQ(EtherTypeCategory(0x8038, *frame, 15), category::Bpdu);
  EXPECT_EQ(EtherTypeCategory(0x8035, *frame, 15), category::Arp);
  EXPECT_EQ(SapCategory(0x04, *frame, 18), category::Sna);
  EXPECT_EQ(SapCategory(0xFE, *frame, 18), category::Iso);
  EXPECT_EQ(SapCategory(0x42, *frame, 18), category::Bpdu);
  EXPECT_EQ(SapCategory(0xF1, *frame, 18), category::NetBiosLlc);
  EXPECT_EQ(SapCategory(0x98, *frame, 18), category::Arp);
  EXPECT_EQ(SapCategory(0xE0, *frame, 18), category::Other);  // control byte not 0x03
  frame->Data[16] = 0x03;
  EXPECT_EQ(SapCategory(0xE0, *frame, 18), category::Ipx);
  EXPECT_EQ(SapCategory(0x77, *frame, 18), category::Other);
}

TEST(AnalyseFrame, BroadcastAndMulticast) {
  Analyser a(topology::Ethernet);
  a.Feed(Ether(kBroadcast, 0x0806), 64);
  a.Feed(Ether(kMulticast, 0x0800), 100);
  a.Feed(Ether(kMulticast, 0x0800), 90);
  EXPECT_EQ(a.Stats().BroadcastFrames, 1);
  EXPECT_EQ(a.Stats().MulticastFrames, 2);
  EXPECT_EQ(a.Stats().MaxBroadcastFrameSize, 64);
  EXPECT_EQ(a.Stats().MaxMulticastFrameSize, 100);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Ip].GroupFrames, 2);
}

std::vector<uint8_t> Ring(std::array<uint8_t, 6> dst, uint8_t fc, std::vector<uint8_t> rest = {}) {
  std::vector<uint8_t> b = {0x10, fc};
  b.insert(b.end(), dst.begin(), dst.end());
  for (uint8_t x : {0x10, 0x00, 0x5A, 0x01, 0x02, 0x03}) b.push_back(x);
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

TEST(AnalyseFrame, TokenRingFunctionalBroadcastRoutingAndMac) {
  Analyser a(topology::TokenRing, 16);
  a.Feed(Ring({0xC0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, 0x40, {0xAA, 0xAA, 0x03, 0, 0, 0, 0x08, 0x00}), 100);
  EXPECT_EQ(a.Stats().MulticastFrames, 1);
  EXPECT_EQ(a.Stats().SnapFrames, 1);
  a.Feed(Ring({0x80, 0x00, 0x00, 0x00, 0x00, 0x01}, 0x40, {0xF0, 0xF0, 0x03}), 100);
  EXPECT_EQ(a.Stats().BroadcastFrames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::NetBiosLlc].Frames, 1);

  // Source routed: routing information of 6 bytes after the source address.
  auto routed = Ring(kStation, 0x40, {0x06, 0x30, 0x00, 0x10, 0x00, 0x20, 0xE0, 0xE0, 0x03});
  routed[8] |= 0x80;
  a.Feed(routed, 120);
  EXPECT_EQ(a.s.tables.SourceRoutedFrames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Ipx].Frames, 1);

  a.Feed(Ring({0xC0, 0x00, 0x00, 0x00, 0x00, 0x08}, 0x00), 60);
  EXPECT_EQ(a.s.tables.MacFrames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Mac].Frames, 1);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Mac].Encapsulations, 0u);

  a.Feed(Ring(kStation, 0x40), 4200);
  EXPECT_EQ(a.s.tables.SizeBuckets[18], 1);
  a.Feed(Ring(kStation, 0x40), 4097);
  EXPECT_EQ(a.s.tables.SizeBuckets[17], 1);
  // No DLC error counting on Token Ring.
  a.Feed(Ring(kStation, 0x40), 30, 0, kCrcError);
  EXPECT_EQ(a.Stats().CrcErrors, 0);
  EXPECT_EQ(a.Stats().Runts, 0);
  EXPECT_TRUE(IsGroupAddress(AddressKey::From(std::array<uint8_t, 6>{0x80, 0, 0, 0, 0, 1}.data(), 6), 1));
  EXPECT_FALSE(IsGroupAddress(AddressKey::From(std::array<uint8_t, 6>{0x80, 0, 0, 0, 0, 1}.data(), 6), 0));
}

TEST(AnalyseFrame, ProbeModeOnlyCounts) {
  Analyser a(topology::Ethernet);
  a.s.info.FirstFrameOnly = true;
  EXPECT_EQ(a.Feed(Ether(kBroadcast, 0x0806), 64), 1);
  EXPECT_EQ(a.s.info.FrameCounter, 1);
  EXPECT_EQ(a.s.progress.frames.load(), 1);
  EXPECT_EQ(a.Stats().FramesAnalysed, 0);
  EXPECT_EQ(a.Stats().BroadcastFrames, 0);
  EXPECT_EQ(a.Stats().MinFrameSize, 60000);
}

TEST(Intervals, ClockWrapsAtMidnightAndClosesEachSecond) {
  Analyser a(topology::Ethernet);
  const double lateNight = 86400e6 - 500000;  // half a second before midnight
  a.Feed(Ether(kStation, 0x0800), 100, lateNight);
  a.Feed(Ether(kStation, 0x0800), 100, lateNight + 400000);
  EXPECT_EQ(a.s.tables.IntervalCount, 0);
  a.Feed(Ether(kStation, 0x0800), 100, 600000);  // past midnight
  EXPECT_DOUBLE_EQ(a.s.tables.TraceElapsed, 1100000);
  EXPECT_EQ(a.s.tables.IntervalCount, 1);
  // The frame that opens a new second is counted in the new interval.
  EXPECT_EQ(a.s.tables.Interval.Frames, 1);
  EXPECT_EQ(a.s.tables.Utilisation.PeakIntervalFrames, 2);
  a.s.analyser.EndTrace(true);
  EXPECT_EQ(a.s.tables.IntervalCount, 2);
}

TEST(Intervals, UtilisationRoundsTiesToEven) {
  // 4 Mbit/s: 500,000 bytes a second, where eighths of the capacity are exact.
  Analyser a(topology::TokenRing, 4);
  a.s.tables.Interval.Bytes = 62500;  // 12.5%
  a.s.tables.Stats.FramesAnalysed = 1;
  a.s.analyser.CloseInterval();
  EXPECT_EQ(a.s.tables.Utilisation.AverageUtilisation, 12);
  EXPECT_EQ(a.s.tables.Utilisation.PeakUtilisation, 12);
  a.s.tables.Interval.Bytes = 187500;  // 37.5%
  a.s.analyser.CloseInterval();
  EXPECT_EQ(a.s.tables.Utilisation.PeakUtilisation, 38);
  EXPECT_EQ(a.s.tables.Utilisation.AverageUtilisation, 25);
  EXPECT_EQ(a.s.tables.Stats.AverageFrameSize, 250000);
  a.s.tables.Interval.Bytes = int64_t(700) * 500000;  // far beyond the line: saturates, never wraps
  a.s.analyser.CloseInterval();
  EXPECT_EQ(a.s.tables.Utilisation.PeakUtilisation, 65535);
}

TEST(Intervals, GroupUtilisationIncludesOverhead) {
  Analyser a(topology::TokenRing, 4);  // 500,000 bytes a second, 1 byte overhead
  a.s.tables.Stats.BroadcastFrames = 1000;
  a.s.tables.Interval.BroadcastFrames = 1000;
  a.s.tables.Interval.BroadcastBytes = 9000;
  a.s.analyser.CloseInterval();
  EXPECT_EQ(a.s.tables.Utilisation.AverageGroupUtilisation, 2);
  EXPECT_EQ(a.s.tables.Utilisation.PeakBroadcastUtilisation, 2);
  EXPECT_EQ(a.s.tables.Utilisation.PeakGroupIntervalBytes, 9000);
}

TEST(Tables, EmptyTraceAndReset) {
  Analyser a(topology::Ethernet);
  EXPECT_EQ(a.Stats().MinFrameSize, 60000);
  a.Feed(Ether(kBroadcast, 0x0806), 64);
  a.s.analyser.BeginTrace(false);
  EXPECT_EQ(a.Stats().MinFrameSize, 60000);
  EXPECT_EQ(a.Stats().BroadcastFrames, 0);
  EXPECT_EQ(a.s.tables.ProtocolTable[category::Arp].Frames, 0);
  EXPECT_EQ(a.s.tables.MediaCapacity, 1250000);
  AddressKey ip = AddressKey::From(std::array<uint8_t, 4>{10, 0, 0, 1}.data(), 4);
  AddressKey ipx = AddressKey::From(std::array<uint8_t, 10>{10, 0, 0, 1, 0, 0, 0, 0, 0, 0}.data(), 10);
  EXPECT_NE(ip, ipx);
  EXPECT_LT(ip, ipx);
}

}  // namespace
}  // namespace korvane
