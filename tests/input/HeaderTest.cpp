#include <gtest/gtest.h>

#include <cstring>

#include "input/Detect.h"
#include "input/Endian.h"

namespace korvane {
namespace {

using Bytes = std::vector<uint8_t>;

struct Header {
  HeaderResult result;
  TraceFileInfo info;
};

Header Step(TraceFormat format, const Bytes& bytes, const std::string& name = "trace.cap") {
  MemorySource source(bytes);
  Header h;
  h.result = ReadTraceHeader(format, source, name, h.info);
  return h;
}

Bytes SnifferFile(uint8_t network, std::vector<std::pair<uint16_t, Bytes>> records) {
  Bytes b(41, 0);
  std::memcpy(b.data(), "TRSNIFF data    \x1a", 17);
  PutLe16(&b[17], 1);
  PutLe32(&b[19], 18);
  b[23 + 9] = network;
  for (auto& [type, body] : records) {
    uint8_t h[6];
    PutLe16(h, type);
    PutLe32(h + 2, uint32_t(body.size()));
    b.insert(b.end(), h, h + 6);
    b.insert(b.end(), body.begin(), body.end());
  }
  b.resize(std::max<size_t>(b.size(), 200), 0);
  return b;
}

Bytes Speed(uint32_t bps, uint32_t framing = 0) {
  Bytes body(8);
  PutLe32(body.data(), bps);
  PutLe32(body.data() + 4, framing);
  return body;
}

TEST(HeaderStep, SnifferNetworksAndInterfaceRecord) {
  EXPECT_EQ(Step(fmt_id::SnifferDos, SnifferFile(1, {})).result.topology, topology::Ethernet);
  EXPECT_EQ(Step(fmt_id::SnifferDos, SnifferFile(3, {})).result.topology, topology::Ethernet);
  EXPECT_EQ(Step(fmt_id::SnifferDos, SnifferFile(0, {})).result.topology, topology::TokenRing);
  EXPECT_EQ(Step(fmt_id::SnifferDos, SnifferFile(2, {})).result.topology, 2);
  EXPECT_EQ(Step(fmt_id::SnifferDos, SnifferFile(7, {})).result.topology, topology::Wan);
  EXPECT_EQ(Step(fmt_id::SnifferDos, SnifferFile(9, {})).result.topology, topology::Fddi);

  // The interface record may follow skipped records; the bandwidth is then known.
  Header e = Step(fmt_id::SnifferDos, SnifferFile(1, {{6, Bytes(10)}, {7, Speed(100000000)}}));
  EXPECT_EQ(e.result.bandwidthBps, 100000000);
  EXPECT_EQ(e.info.FileBandwidthKnown, 100000000);
  e = Step(fmt_id::SnifferDos, SnifferFile(1, {{7, Speed(12345)}}));
  EXPECT_EQ(e.info.FileBandwidthKnown, 10000000);
  Header t = Step(fmt_id::SnifferDos, SnifferFile(0, {{7, Speed(0)}}));
  EXPECT_EQ(t.info.FileBandwidthKnown, 4000000);
  t = Step(fmt_id::SnifferDos, SnifferFile(0, {{7, Speed(1)}}));
  EXPECT_EQ(t.info.FileBandwidthKnown, 16000000);
  Header w = Step(fmt_id::SnifferDos, SnifferFile(7, {{7, Speed(64000, 2)}}));
  EXPECT_EQ(w.info.WanEncapsulation, 7);

  // A frame record ends the scan: an interface record after it is never seen.
  Header late = Step(fmt_id::SnifferDos, SnifferFile(1, {{4, Bytes(20)}, {7, Speed(100000000)}}));
  EXPECT_EQ(late.info.FileBandwidthKnown, 0);
  EXPECT_EQ(late.info.FileBandwidthBps, 10000000);
}

TEST(HeaderStep, BandwidthDefaultsByTopology) {
  Header t = Step(fmt_id::SnifferDos, SnifferFile(0, {}));
  EXPECT_EQ(t.info.FileBandwidthKnown, 0);
  EXPECT_EQ(t.info.FileBandwidthBps, 16000000);
  Header f = Step(fmt_id::SnifferDos, SnifferFile(9, {}));
  EXPECT_EQ(f.info.FileBandwidthBps, 100000000);
  Header w = Step(fmt_id::SnifferDos, SnifferFile(7, {}));
  EXPECT_EQ(w.info.FileBandwidthBps, 0);
}

Bytes NetXRayHeader(uint32_t network, uint32_t speed) {
  Bytes b(200, 0);
  std::memcpy(b.data(), "XCP\0" "002.000", 11);
  PutLe32(&b[44], network);
  PutLe32(&b[60], speed);
  PutLe16(&b[84], 5);
  return b;
}

TEST(HeaderStep, NetXRayNetworkAndSpeedUnits) {
  Header h = Step(fmt_id::NetXRay, NetXRayHeader(0, 100));
  EXPECT_EQ(h.result.topology, topology::Ethernet);
  EXPECT_EQ(h.info.FileBandwidthKnown, 100000000);
  h = Step(fmt_id::NetXRay, NetXRayHeader(1, 16000000));
  EXPECT_EQ(h.result.topology, topology::TokenRing);
  EXPECT_EQ(h.info.FileBandwidthKnown, 16000000);
  h = Step(fmt_id::NetXRay, NetXRayHeader(0, 1000000001));
  EXPECT_EQ(h.info.FileBandwidthKnown, 10000000);
  h = Step(fmt_id::NetXRay, NetXRayHeader(0, 0));
  EXPECT_EQ(h.info.FileBandwidthKnown, 0);
  EXPECT_EQ(h.info.FileBandwidthBps, 10000000);
  h = Step(fmt_id::NetXRay, NetXRayHeader(2, 0));
  EXPECT_EQ(h.result.topology, topology::Fddi);
  h = Step(fmt_id::NetXRay, NetXRayHeader(3, 0));
  EXPECT_EQ(h.result.topology, topology::Wan);
  EXPECT_EQ(h.info.WanEncapsulation, 5);
}

TEST(HeaderStep, NetMonCommentAndMedia) {
  Bytes b(300, 0);
  std::memcpy(b.data(), "GMBU", 4);
  b[6] = 2;
  PutLe32(&b[40], 200);
  PutLe32(&b[44], 11);
  std::memcpy(&b[200], "ring trace!", 11);
  Header h = Step(fmt_id::NetMon2, b);
  EXPECT_EQ(h.result.topology, topology::TokenRing);
  EXPECT_EQ(h.info.Comment, "ring trace!");
  // A comment that runs past the file is cut at the end of the file.
  PutLe32(&b[44], 100000);
  EXPECT_EQ(Step(fmt_id::NetMon2, b).info.Comment, "ring trace!");
}

TEST(HeaderStep, FormatsDecidedByFixedFields) {
  Bytes b(200, 0);
  PutLe32(&b[24], 4);
  Header hp = Step(fmt_id::HpPreWin95, b);
  EXPECT_EQ(hp.result.topology, topology::TokenRing);
  EXPECT_EQ(hp.info.FileBandwidthKnown, 16000000);
  PutLe32(&b[24], 7);
  EXPECT_EQ(Step(fmt_id::HpPreWin95, b).info.FileBandwidthKnown, 100000000);
  PutLe32(&b[24], 6);
  EXPECT_EQ(Step(fmt_id::HpPreWin95, b).result.topology, topology::Undetermined);

  Bytes obs(200, 0);
  PutLe32(&obs[133], 1);
  EXPECT_EQ(Step(fmt_id::Observer, obs).result.topology, topology::TokenRing);

  Bytes snoop(200, 0);
  snoop[15] = 10;
  Header s = Step(fmt_id::Snoop, snoop);
  EXPECT_EQ(s.result.topology, topology::Ethernet);
  EXPECT_EQ(s.info.FileBandwidthKnown, 100000000);
  snoop[15] = 8;
  EXPECT_EQ(Step(fmt_id::Shomiti, snoop).result.topology, topology::Fddi);

  Bytes dgc(200, 0);
  dgc[130] = 1;
  EXPECT_EQ(Step(fmt_id::DataGlance, dgc).result.topology, topology::Fddi);

  Bytes watch(200, 0);
  watch[13] = 3;
  EXPECT_EQ(Step(fmt_id::LanWatch, watch).result.topology, topology::TokenRing);

  EXPECT_EQ(Step(fmt_id::EtherPeek, b, "/x/a.pkt").result.topology, topology::Ethernet);
  EXPECT_EQ(Step(fmt_id::EtherPeek, b, "/x/a.tpc").result.topology, topology::TokenRing);
  EXPECT_EQ(Step(fmt_id::NetLens, b, "a.s04").result.topology, topology::Ethernet);
  EXPECT_EQ(Step(fmt_id::NetLens, b, "a.t04").result.topology, topology::TokenRing);
}

TEST(HeaderStep, TcpdumpTakesItsLinkType) {
  Bytes b(200, 0);
  PutLe32(&b[0], 0xA1B2C3D4);
  PutLe32(&b[20], 6);
  EXPECT_EQ(Step(fmt_id::Tcpdump, b).result.topology, topology::TokenRing);
  PutLe32(&b[20], 1);
  EXPECT_EQ(Step(fmt_id::Tcpdump, b).result.topology, topology::Ethernet);
}

TEST(HeaderStep, LanAnalyzerBoardTypeInSeventhRecord) {
  Bytes b;
  for (int i = 0; i < 6; ++i) {
    uint8_t h[4];
    PutLe16(h, 0x1000 + i);
    PutLe16(h + 2, 10);
    b.insert(b.end(), h, h + 4);
    b.insert(b.end(), 10, 0);
  }
  uint8_t h[4];
  PutLe16(h, 0x1008);
  PutLe16(h + 2, 200);
  b.insert(b.end(), h, h + 4);
  Bytes body(200, 0);
  PutLe16(&body[188], 227);
  b.insert(b.end(), body.begin(), body.end());
  EXPECT_EQ(Step(fmt_id::LanAnalyzer, b).result.topology, topology::TokenRing);
  PutLe16(&b[b.size() - 200 + 188], 226);
  EXPECT_EQ(Step(fmt_id::LanAnalyzer, b).result.topology, topology::Ethernet);
}

TEST(HeaderStep, Da30BlockAndDominoCodes) {
  Bytes da(200, 0);
  PutLe32(&da[22], 100);
  PutLe16(&da[104], 30);
  EXPECT_EQ(Step(fmt_id::Da30, da).result.topology, topology::TokenRing);
  PutLe32(&da[22], 5000);  // the block lies past the end
  EXPECT_EQ(Step(fmt_id::Da30, da).result.topology, topology::Undetermined);

  Bytes dom(200, 0);
  std::memcpy(&dom[4], "Domino comment", 14);
  PutLe16(&dom[62], 359);
  PutLe16(&dom[64], 15);
  Header d = Step(fmt_id::Domino, dom);
  EXPECT_EQ(d.result.topology, 9);
  EXPECT_EQ(d.info.WanEncapsulation, 2);
  EXPECT_EQ(d.info.Comment, "Domino comment");
  PutLe16(&dom[62], 880);
  EXPECT_EQ(Step(fmt_id::Domino, dom).info.FileBandwidthKnown, 100000000);
  PutLe16(&dom[62], 12);
  EXPECT_EQ(Step(fmt_id::Domino, dom).result.topology, topology::Undetermined);
}

TEST(HeaderStep, ShortFilesStayUndetermined) {
  Header h = Step(fmt_id::SnifferDos, Bytes(49, 0));
  EXPECT_EQ(h.result.topology, topology::Undetermined);
  EXPECT_FALSE(h.result.unreadable);
  // Long enough to look at, shorter than the 140-byte window: the rest of it reads as zeros
  // (an Observer medium word of 0 is Ethernet).
  h = Step(fmt_id::Observer, Bytes(100, 0));
  EXPECT_EQ(h.result.topology, topology::Ethernet);
  EXPECT_FALSE(h.result.unreadable);
  TraceFileInfo info;
  HeaderResult missing = ReadTraceHeader(fmt_id::SnifferDos, "/nonexistent/file.enc", info);
  EXPECT_TRUE(missing.unreadable);
  EXPECT_EQ(missing.topology, topology::Undetermined);
}

}  // namespace
}  // namespace korvane
