// The DLC Error Expert: Ethernet frame errors and collision fragments, Token Ring soft
// errors and the ring map, on hand-made traces and tables.
#include <gtest/gtest.h>

#include "reports/DlcErrors.h"
#include "scenario/PacketBuilder.h"
#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

using namespace tools;

constexpr const char* kVendors = "00000C CISCO\n10005A IBM\n";

Mac Station(uint8_t prefix0, uint8_t prefix1, uint8_t prefix2, uint8_t last) {
  return {prefix0, prefix1, prefix2, 0x00, 0x00, last};
}

class Trace {
 public:
  void Add(Bytes bytes, uint16_t status = 0) {
    ScenarioFrame f;
    f.timeUs = time_ += 1000;
    f.wireLength = uint32_t(bytes.size());
    f.bytes = std::move(bytes);
    f.status = status;
    frames.push_back(std::move(f));
  }
  std::unique_ptr<TraceSession> Analyse(bool tokenRing = false) const {
    auto session = std::make_unique<TraceSession>();
    session->vendors.LoadText(kVendors);
    Bytes bytes;
    std::string name;
    if (tokenRing) {
      NetXRayOptions options;
      options.network = 1;
      options.lineSpeed = 16;
      bytes = WriteNetXRay(frames, options);
      name = "ring.cap";
    } else {
      bytes = WriteSnifferDos(frames, {});
      name = "lan.enc";
    }
    MemorySource source(bytes);
    OpenResult result = OpenTrace(*session, name, &source);
    EXPECT_EQ(result.status, OpenStatus::Loaded) << result.message;
    return session;
  }
  std::vector<ScenarioFrame> frames;

 private:
  double time_ = 0;
};

// ---- Ethernet ---------------------------------------------------------------------

const Mac kServer = Station(0x00, 0x00, 0x0C, 0x01);
const Mac kFragmenter = Station(0x02, 0x00, 0x00, 0x0F);  // vendor unknown

Bytes Good(const Mac& from) { return EthernetFrame(kServer, from, kEtherTypeArp, Bytes(46, 0)); }
Bytes Fragment() { return Bytes(40, 0x55); }  // 44 bytes with its check sequence

// A station that sends `normal` frames away from any collision, and `retransmits` frames
// in pairs right after collision fragments.
void Collide(Trace& trace, const Mac& station, int normal, int retransmits) {
  Bytes fragment = Fragment();
  std::copy(kFragmenter.begin(), kFragmenter.end(), fragment.begin() + 6);
  for (int i = 0; i < normal; ++i) trace.Add(Good(station));
  for (int i = 0; i < retransmits; i += 2) {
    trace.Add(fragment, kStatusCrcError);
    trace.Add(Good(station));
    if (i + 1 < retransmits) trace.Add(Good(station));
    trace.Add(Good(kServer));  // two frames on: no longer after a collision
    trace.Add(Good(kServer));
  }
}

TEST(EthernetErrors, SuspectNeedsFiftyTransmitsAndTenPercent) {
  const Mac busy = Station(0x00, 0x00, 0x0C, 0x0A);   // 100 transmits, 12 retransmits
  const Mac quiet = Station(0x02, 0x00, 0x00, 0x0B);  // 40 transmits, 20 retransmits
  Trace trace;
  Collide(trace, busy, 88, 12);
  Collide(trace, quiet, 20, 20);
  auto session = trace.Analyse();
  EthernetErrors e = BuildEthernetErrors(*session);

  ASSERT_TRUE(e.collisions[0].filled);
  EXPECT_EQ(e.collisions[0].source, "02000000000B");
  EXPECT_EQ(e.collisions[0].transmitsText, "40");
  EXPECT_EQ(e.collisions[0].retransmitsText, "20");
  EXPECT_EQ(e.collisions[0].percent, 50);
  ASSERT_TRUE(e.collisions[1].filled);
  EXPECT_EQ(e.collisions[1].source, "CISCO00000A");
  EXPECT_EQ(e.collisions[1].transmits, 100);
  EXPECT_EQ(e.collisions[1].retransmits, 12);
  EXPECT_EQ(e.collisions[1].percent, 12);
  // The server only sent frames three and four frames after a fragment; the fragmenter
  // never sent a good frame.
  EXPECT_FALSE(e.collisions[2].filled);

  ASSERT_EQ(e.notes.size(), 2u);
  EXPECT_EQ(e.notes[0], "Notes");
  EXPECT_EQ(e.notes[1], "DLC source CISCO00000A is suspect for high collision rates when transmitting.");

  EXPECT_EQ(e.frameErrors[0].label, "Bad FCS");
  EXPECT_EQ(e.frameErrors[0].count, "16");  // 6 + 10 fragments
  EXPECT_EQ(e.frameErrors[1].count, "16");
  EXPECT_EQ(e.frameErrors[2].count, "0");
  EXPECT_EQ(e.frameErrors[3].label, "Fragment");
  EXPECT_EQ(e.frameErrors[3].count, "16");
}

TEST(EthernetErrors, PlainHexWhenStationsAreNotShownByVendor) {
  Trace trace;
  Collide(trace, Station(0x00, 0x00, 0x0C, 0x0A), 88, 12);
  auto session = trace.Analyse();
  DlcErrorOptions plain;
  plain.showStationByOui = false;
  EthernetErrors e = BuildEthernetErrors(*session, plain);
  EXPECT_EQ(e.collisions[0].source, "00000C00000A");
  EXPECT_EQ(e.notes[1], "DLC source 00000C00000A is suspect for high collision rates when transmitting.");
}

TEST(EthernetErrors, TraceWithoutErrorsHasOnlyTheOneNote) {
  Trace trace;
  for (int i = 0; i < 30; ++i) trace.Add(Good(Station(0x00, 0x00, 0x0C, uint8_t(i % 3 + 2))));
  auto session = trace.Analyse();
  EthernetErrors e = BuildEthernetErrors(*session);
  EXPECT_EQ(e.notes, (std::vector<std::string>{"Notes", "No frame errors or collision fragments to analyze in trace file."}));
  for (const CollisionRow& row : e.collisions) EXPECT_FALSE(row.filled);
  for (const FrameErrorItem& item : e.frameErrors) EXPECT_EQ(item.count, "0");
  EXPECT_EQ(EthernetErrorsCopyText(e),
            "Frame Error Summary\n"
            "Bad FCS \t0\n"
            "Runt/Short \t0\n"
            "Long/Jabber \t0\n"
            "Fragment \t0\n"
            "Collision Fragment Analysis\n"
            "DLC Source\tTransmits\tRetransmits\t% Retransmitted\n"
            "\t\t\t0%\n\t\t\t0%\n\t\t\t0%\n\t\t\t0%\n\t\t\t0%\n"
            "Notes\n"
            "No frame errors or collision fragments to analyze in trace file.\n");
}

TEST(EthernetErrors, ErrorsWithoutFragments) {
  Trace trace;
  trace.Add(Good(Station(0x00, 0x00, 0x0C, 0x02)), kStatusCrcError);  // a long frame with a bad FCS
  trace.Add(Good(Station(0x00, 0x00, 0x0C, 0x03)));
  auto session = trace.Analyse();
  EthernetErrors e = BuildEthernetErrors(*session);
  EXPECT_EQ(e.frameErrors[0].count, "1");
  EXPECT_EQ(e.frameErrors[3].count, "0");
  EXPECT_EQ(e.notes, (std::vector<std::string>{"Notes", "No collision fragments to analyze in trace file."}));
}

// Tables made by hand: ranking, ties and the sixth station.
StationNode& Sender(AnalysisTables& t, uint8_t last, int64_t transmits, int64_t retransmits) {
  const uint8_t bytes[6] = {0x02, 0, 0, 0, 0, last};
  StationNode& n = t.StationTree[t.StationTree.Insert(AddressKey::From(bytes, 6))];
  n.Role = 3;
  n.FramesSent = transmits;
  n.PostCollisionFrames = retransmits;
  return n;
}

TEST(EthernetErrors, FiveHighestRatiosAndTiesGoAbove) {
  TraceSession s;
  AnalysisTables& t = s.tables;
  t.Stats.Fragments = 3;
  Sender(t, 1, 10, 1);   // 0.10
  Sender(t, 2, 20, 4);   // 0.20
  Sender(t, 3, 20, 4);   // 0.20, later in address order: above station 2
  Sender(t, 4, 9, 9);    // fewer than 10 transmits: never listed
  Sender(t, 5, 50, 0);   // no retransmits: never listed
  Sender(t, 6, 100, 30); // 0.30
  Sender(t, 7, 1000, 1); // 0.001
  Sender(t, 8, 200, 10); // 0.05
  StationNode& receiver = Sender(t, 9, 100, 50);
  receiver.Role = 0;     // never sent: never listed
  EthernetErrors e = BuildEthernetErrors(s);
  std::vector<std::string> listed;
  for (const CollisionRow& row : e.collisions) listed.push_back(row.source);
  EXPECT_EQ(listed, (std::vector<std::string>{"020000000006", "020000000003", "020000000002", "020000000001",
                                              "020000000008"}));
  EXPECT_EQ(e.collisions[4].percent, 5);
  // 100 transmits at 30%: suspect; 20 transmits: too few to be noted.
  EXPECT_EQ(e.notes, (std::vector<std::string>{
                         "Notes", "DLC source 020000000006 is suspect for high collision rates when transmitting."}));
  const std::string copy = EthernetErrorsCopyText(e);
  EXPECT_NE(copy.find("DLC Source\tTransmits\tRetransmits\t% Retransmitted\n"
                      "020000000006\t100\t30\t30%\n"
                      "020000000003\t20\t4\t20%\n"),
            std::string::npos);
  const std::string last = "\nNotes\nDLC source 020000000006 is suspect for high collision rates when transmitting.\n";
  ASSERT_GE(copy.size(), last.size());
  EXPECT_EQ(copy.substr(copy.size() - last.size()), last);
}

TEST(EthernetErrors, ThousandsSeparatorsInCountsAndCopy) {
  TraceSession s;
  s.tables.Stats.CrcErrors = 12345;
  s.tables.Stats.Fragments = 1;
  Sender(s.tables, 1, 2000, 250);
  EthernetErrors e = BuildEthernetErrors(s);
  EXPECT_EQ(e.frameErrors[0].count, "12,345");
  EXPECT_EQ(e.collisions[0].transmitsText, "2,000");
  EXPECT_EQ(e.collisions[0].percent, 12);  // 12.5 rounds to even
  EXPECT_NE(EthernetErrorsCopyText(e).find("Bad FCS \t12,345\n"), std::string::npos);
  EXPECT_NE(EthernetErrorsCopyText(e).find("020000000001\t2,000\t250\t12%\n"), std::string::npos);
}

// ---- Token Ring -----------------------------------------------------------------------

const Mac kAllStations = {0xC0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
const Mac kErrorMonitor = {0xC0, 0x00, 0x00, 0x00, 0x00, 0x08};
const Mac kMonitor = Station(0x10, 0x00, 0x5A, 0x01);  // IBM
const Mac kB = Station(0x10, 0x00, 0x5A, 0x02);
const Mac kC = Station(0x40, 0x00, 0x00, 0x03);       // locally administered: no vendor
const Mac kOther = Station(0x40, 0x00, 0x00, 0x09);

// Monitor present frames: the physical drop subvector, then the upstream neighbour at Data[26].
Bytes MonitorPresent(bool active, const Mac& from, const Mac& upstream) {
  return TokenRingMacFrame(kTokenRingFcMacExpress, kAllStations, from,
                           TokenRingMacVector(0, 0, active ? 0x05 : 0x06,
                                              {TokenRingMacSubvector(0x0B, {0, 0, 1, 2}),
                                               TokenRingMacSubvector(0x02, Bytes(upstream.begin(), upstream.end()))}));
}

struct SoftErrors {
  uint8_t line = 0, internal = 0, burst = 0, ac = 0, abort = 0;
  uint8_t lost = 0, congestion = 0, copied = 0, frequency = 0, token = 0;
};

// Report Soft Error: isolating counters at Data[20..24], non-isolating at Data[28..32], the
// physical drop, then the upstream neighbour at Data[42].
Bytes SoftErrorReport(const Mac& from, const Mac& upstream, const SoftErrors& e, const Mac& to = kErrorMonitor) {
  return TokenRingMacFrame(
      kTokenRingFcMac, to, from,
      TokenRingMacVector(6, 0, 0x29,
                         {TokenRingMacSubvector(0x2D, {e.line, e.internal, e.burst, e.ac, e.abort, 0}),
                          TokenRingMacSubvector(0x2E, {e.lost, e.congestion, e.copied, e.frequency, e.token, 0}),
                          TokenRingMacSubvector(0x0B, {0, 0, 1, 2}),
                          TokenRingMacSubvector(0x02, Bytes(upstream.begin(), upstream.end()))}));
}

Bytes RingData(const Mac& from, const Mac& to) {
  return TokenRingLlcFrame(to, from, 0xF0, 0xF0, 0x03, Bytes(40, 'n'));
}

TEST(TokenRingErrors, WithoutMacFrames) {
  Trace trace;
  trace.Add(RingData(kB, kC));
  trace.Add(RingData(kC, kB));
  auto session = trace.Analyse(true);
  ASSERT_EQ(session->info.TopologyCode, topology::TokenRing);
  TokenRingErrors e = BuildTokenRingErrors(*session);
  EXPECT_EQ(e.notes, (std::vector<std::string>{"No Media Access Control (MAC) frames in trace to analyze."}));
  EXPECT_TRUE(e.ring.stations.empty());
  EXPECT_EQ(e.ring.message, "(There is no ring poll in the trace file)");
  for (const SoftErrorRow& row : e.rows) {
    EXPECT_EQ(row.total, "0");
    EXPECT_EQ(row.stations, 0);
    EXPECT_TRUE(row.entries.empty());
  }
}

TEST(TokenRingErrors, RingPollWithoutErrorReports) {
  Trace trace;
  trace.Add(MonitorPresent(true, kMonitor, kC));
  trace.Add(MonitorPresent(false, kB, kMonitor));
  trace.Add(MonitorPresent(false, kC, kB));
  auto session = trace.Analyse(true);
  TokenRingErrors e = BuildTokenRingErrors(*session);
  EXPECT_EQ(e.notes,
            (std::vector<std::string>{"No Media Access Control (MAC) error report frames in trace to analyze."}));
  ASSERT_EQ(e.ring.stations.size(), 3u);
  EXPECT_EQ(e.ring.message, "");
  EXPECT_EQ(e.ring.stations[0].label, "IBM000001");
  EXPECT_EQ(e.ring.stations[0].position, 1);
  EXPECT_EQ(e.ring.stations[0].ringPollKey, "Active Monitor");
  EXPECT_EQ(e.ring.stations[0].ringPollColour, RingColour::Aqua);
  EXPECT_EQ(e.ring.stations[1].label, "IBM000002");
  EXPECT_EQ(e.ring.stations[1].ringPollKey, "Standby Monitor");
  EXPECT_EQ(e.ring.stations[1].ringPollColour, RingColour::Black);
  EXPECT_EQ(e.ring.stations[2].label, "400000000003");
  EXPECT_EQ(e.ring.stations[2].position, 3);
}

TEST(TokenRingErrors, SoftErrorSummaryListsAndNotes) {
  Trace trace;
  // Ring order: monitor, B, C.
  trace.Add(MonitorPresent(true, kMonitor, kC));
  trace.Add(MonitorPresent(false, kB, kMonitor));
  trace.Add(MonitorPresent(false, kC, kB));
  SoftErrors b1;
  b1.line = 2;
  b1.burst = 1;
  b1.internal = 1;
  trace.Add(SoftErrorReport(kB, kMonitor, b1));
  SoftErrors c1;
  c1.burst = 3;
  c1.abort = 1;
  trace.Add(SoftErrorReport(kC, kB, c1));
  SoftErrors c2;
  c2.burst = 1;
  c2.congestion = 4;
  trace.Add(SoftErrorReport(kC, kOther, c2));  // a second upstream neighbour
  SoftErrors b2;
  b2.token = 5;
  trace.Add(SoftErrorReport(kB, kMonitor, b2, kB));  // not to the error monitor: no total
  // Next polls: C stays silent and is missed; then B takes over as active monitor.
  trace.Add(MonitorPresent(true, kMonitor, kC));
  trace.Add(MonitorPresent(false, kB, kMonitor));
  trace.Add(MonitorPresent(true, kMonitor, kC));
  trace.Add(MonitorPresent(false, kB, kMonitor));
  trace.Add(MonitorPresent(true, kB, kMonitor));
  trace.Add(MonitorPresent(false, kMonitor, kB));
  auto session = trace.Analyse(true);
  TokenRingErrors e = BuildTokenRingErrors(*session);

  auto row = [&](const std::string& label) -> const SoftErrorRow& {
    for (const SoftErrorRow& r : e.rows)
      if (r.label == label) return r;
    ADD_FAILURE() << label;
    return e.rows[0];
  };
  EXPECT_EQ(e.rows[0].label, "Burst Error");
  EXPECT_EQ(e.rows[9].label, "Transmit Abort");
  EXPECT_EQ(row("Burst Error").total, "5");
  EXPECT_EQ(row("Burst Error").stations, 2);
  EXPECT_EQ(row("Burst Error").entries,
            (std::vector<std::string>{"IBM000002/IBM000001/1", "*400000000003/IBM000002/3",
                                      "*400000000003/400000000009/1"}));
  EXPECT_EQ(row("Line Error").total, "2");
  EXPECT_EQ(row("Line Error").stations, 1);
  EXPECT_EQ(row("Token Error").total, "0");  // the report went elsewhere
  EXPECT_EQ(row("Token Error").entries, (std::vector<std::string>{"IBM000002/IBM000001/5"}));
  EXPECT_EQ(row("Rcvr Congestion").total, "4");
  EXPECT_EQ(row("Rcvr Congestion").entries, (std::vector<std::string>{"*400000000003/400000000009/4"}));
  EXPECT_EQ(row("Rcvr Congestion").hint, "Address recognized but packet not copied");
  EXPECT_EQ(row("Transmit Abort").stations, 1);
  EXPECT_EQ(e.multipleNeighbourStations, 1);
  EXPECT_EQ(e.notes, (std::vector<std::string>{"1 station (marked by an *) has had multiple upstream neighbors."}));

  EXPECT_EQ(SoftErrorSummaryCopyText(e),
            "\tTotal\tStations\tReporting Station/NAUN/Count\n"
            "Fault Domain Errors\n"
            "Burst Error\t5\t2\tIBM000002/IBM000001/1\n"
            "\t\t\t*400000000003/IBM000002/3\n"
            "\t\t\t*400000000003/400000000009/1\n"
            "Line Error\t2\t1\tIBM000002/IBM000001/2\n"
            "Station Specific Errors\n"
            "Receiver Congestion\t4\t1\t*400000000003/400000000009/4\n"
            "Internal Error\t1\t1\tIBM000002/IBM000001/1\n"
            "Transmit Abort\t1\t1\t*400000000003/IBM000002/1\n"
            "Ring Wide Errors\n"
            "Token Error\t0\t1\tIBM000002/IBM000001/5\n"
            "Lost Frame Error\t0\t0\t\n"
            "Frame Copied\t0\t0\t\n"
            "Frequency\t0\t0\t\n"
            "AC\t0\t0\t\n");

  // The ring map: B took over as active monitor, the monitor became a former one, C missed a poll.
  ASSERT_EQ(e.ring.stations.size(), 3u);
  const RingMapStation& monitor = e.ring.stations[0];
  const RingMapStation& b = e.ring.stations[1];
  const RingMapStation& c = e.ring.stations[2];
  EXPECT_EQ(monitor.ringPollKey, "Ex-Active Monitor");
  EXPECT_EQ(monitor.ringPollColour, RingColour::Teal);
  EXPECT_EQ(b.ringPollKey, "Active Monitor");
  EXPECT_EQ(c.ringPollKey, "Deinserted");
  EXPECT_EQ(c.ringPollColour, RingColour::Grey);
  // Station errors: Internal Error beats the rest; Transmit Abort beats Rcvr Congestion.
  EXPECT_EQ(b.stationErrorKey, "Internal Error");
  EXPECT_EQ(b.stationErrorColour, RingColour::Red);
  EXPECT_EQ(c.stationErrorKey, "Transmit Abort");
  EXPECT_EQ(c.stationErrorColour, RingColour::Fuchsia);
  EXPECT_EQ(monitor.stationErrorKey, "");
  EXPECT_EQ(monitor.stationErrorColour, RingColour::Black);
  // Fault-domain reports: B against the monitor, C against B and against the other station.
  ASSERT_EQ(e.ring.faultDomains.size(), 3u);
  EXPECT_EQ(e.ring.faultDomains[0].lineErrors, 2);
  EXPECT_EQ(e.ring.faultDomains[0].burstErrors, 1);
  EXPECT_EQ(e.ring.faultDomains[1].burstErrors, 3);
}

TEST(TokenRingErrors, SeveralStationsWithMultipleNeighbours) {
  TraceSession s;
  AnalysisTables& t = s.tables;
  t.MacFrames = 10;
  t.SoftErrorTotals[2] = 4;
  for (uint8_t last : {1, 2}) {
    const uint8_t bytes[6] = {0x40, 0, 0, 0, 0, last};
    StationNode& n = t.StationTree[t.StationTree.Insert(AddressKey::From(bytes, 6))];
    n.SoftErrorKinds = 1u << 2;
    for (uint8_t naun : {7, 8}) {
      const uint8_t upstream[6] = {0x40, 0, 0, 0, 0, naun};
      TMACInfo info;
      info.Naun = AddressKey::From(upstream, 6);
      info.SoftErrors[2] = 1;
      info.Next = n.FirstMacInfo;
      n.FirstMacInfo = int32_t(t.MacInfos.size());
      t.MacInfos.push_back(info);
    }
  }
  TokenRingErrors e = BuildTokenRingErrors(s);
  EXPECT_EQ(e.notes, (std::vector<std::string>{"2 stations (marked by an *) have had multiple upstream neighbors."}));
  EXPECT_EQ(e.rows[0].entries.size(), 4u);
  EXPECT_EQ(e.rows[0].stations, 2);
  EXPECT_EQ(e.rows[0].entries[0].front(), '*');
}

TEST(RingMap, FunctionalAddressesAndOverflow) {
  TraceSession s;
  s.vendors.LoadText(kVendors);
  auto& ring = s.tables.RingStations;
  const uint8_t errorMonitor[6] = {0xC0, 0x00, 0x00, 0x00, 0x00, 0x08};
  const uint8_t paramServer[6] = {0xC0, 0x00, 0x00, 0x00, 0x00, 0x02};
  const uint8_t configServer[6] = {0xC0, 0x00, 0x00, 0x00, 0x00, 0x10};
  const uint8_t broadcast[6] = {0xC0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
  ring.push_back({AddressKey::From(errorMonitor, 6), 0x01, 1});
  ring.push_back({AddressKey::From(paramServer, 6), 0, 1});
  ring.push_back({AddressKey::From(configServer, 6), 0, 1});
  ring.push_back({AddressKey::From(broadcast, 6), 0, 1});
  TokenRingErrors e = BuildTokenRingErrors(s);
  ASSERT_EQ(e.ring.stations.size(), 4u);
  EXPECT_EQ(e.ring.stations[0].label, "Ring Err Mon");
  EXPECT_EQ(e.ring.stations[1].label, "Ring Param Svr");
  EXPECT_EQ(e.ring.stations[2].label, "Ring Config Svr");
  EXPECT_EQ(e.ring.stations[3].label, "Ring Broadcast");

  ring.resize(1);
  e = BuildTokenRingErrors(s);
  EXPECT_EQ(e.ring.message, "(There is only one station in the ring poll)");

  ring.clear();
  for (int i = 0; i < 200; ++i) {
    const uint8_t bytes[6] = {0x10, 0x00, 0x5A, 0x00, uint8_t(i >> 8), uint8_t(i)};
    ring.push_back({AddressKey::From(bytes, 6), 0, 1});
  }
  e = BuildTokenRingErrors(s);
  ASSERT_EQ(e.ring.stations.size(), 181u);
  EXPECT_EQ(e.ring.stations[179].label, "IBM0000B3");
  EXPECT_FALSE(e.ring.stations[179].overflow);
  EXPECT_TRUE(e.ring.stations[180].overflow);
  EXPECT_EQ(e.ring.stations[180].position, 181);
  EXPECT_EQ(e.ring.stations[180].label, "OVERFLOW      ");
}

TEST(TokenRingErrors, PanelTexts) {
  EXPECT_EQ(SoftErrorBoxes()[0].caption, "Fault Domain");
  EXPECT_EQ(SoftErrorBoxes()[1].hint, "Errors anywhere on ring");
  EXPECT_EQ(SoftErrorColumnHints()[2].hint, "Station reporting the error, its upstream neighbor, & error count");
  EXPECT_EQ(RingMapPanelText(), "Downstream Neighbors are Clockwise");
  EXPECT_EQ(RingPollKeys()[1].caption, "Ex-Active Monitor");
  EXPECT_EQ(StationErrorKeys()[0].colour, RingColour::Yellow);
  EXPECT_EQ(RingColourName(RingColour::Fuchsia), "fuchsia");
}

}  // namespace
}  // namespace korvane
