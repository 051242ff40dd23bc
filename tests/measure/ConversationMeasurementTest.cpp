#include "measure/ConversationMeasurement.h"

#include <gtest/gtest.h>

#include <array>

#include "measure/ConversationFixture.h"

namespace korvane {
namespace {

using testing::ConversationTables;
using testing::Pkt;

constexpr uint16_t kAck = 0x10, kPsh = 0x08;
constexpr uint32_t kRequest = packet_flag::Request, kReply = packet_flag::Reply;

// Client 10.0.0.1 talks to server 10.0.0.2 on one stream each way.
struct Exchange : ConversationTables {
  explicit Exchange(uint8_t kind = transport::Tcp, bool serverAnswers = true) {
    client = Station(1);
    server = Station(2);
    forwardPeer = Peer(client, server);
    forward = Stream(forwardPeer, kind, 1025, 80);
    if (serverAnswers) {
      reversePeer = Peer(server, client);
      reverse = Stream(reversePeer, kind, 80, 1025);
    } else {
      Station(2);  // the server is known but never sends
    }
  }
  MeasurementResults Run(bool latency = true, bool throughput = false, int64_t from = 1, int64_t to = 0) {
    selection.SourceStation = client;
    selection.ForwardConversation = forwardPeer;
    selection.ForwardStream = forward;
    selection.StartFrame = from;
    selection.EndFrame = to ? to : session().info.FramesRead;
    selection.LatencyMode = latency;
    selection.ThroughputMode = throughput;
    MeasurementResults r;
    ConversationMeasurement(session(), selection, r);
    return r;
  }
  // n TCP commands of 100 bytes, each answered after delay microseconds with 300 bytes.
  void TcpRounds(int n, double delay, int firstFrame = 1) {
    for (int i = 0; i < n; ++i) {
      const auto frame = int64_t(firstFrame + 2 * i);
      const double t = 100000.0 * i;
      Add(forward, {.frame = frame, .time = t, .flags = kRequest, .seq = 1000u + 100u * uint32_t(i),
                    .ack = 5000u + 300u * uint32_t(i), .payload = 100, .tcpFlags = kAck | kPsh});
      Add(reverse, {.frame = frame + 1, .time = t + delay, .flags = kReply, .seq = 5000u + 300u * uint32_t(i),
                    .ack = 1100u + 100u * uint32_t(i), .payload = 300, .tcpFlags = kAck | kPsh});
    }
  }
  int32_t client = -1, server = -1, forwardPeer = -1, reversePeer = -1, forward = -1, reverse = -1;
  MeasurementSelection selection;
};

TEST(ConversationMeasurement, TcpCommandsPairWithTheAnswersThatAcknowledgeThem) {
  Exchange x;
  x.TcpRounds(5, 40000);
  const MeasurementResults r = x.Run();
  EXPECT_EQ(r.MeasurementStatus, 0);
  EXPECT_EQ(r.PairCount, 5);
  EXPECT_DOUBLE_EQ(r.LatencySum / double(r.PairCount), 40000);
  EXPECT_DOUBLE_EQ(r.LatencyMin, 40000);
  EXPECT_DOUBLE_EQ(r.LatencyMax, 40000);
  EXPECT_EQ(r.FwdCount, 5);
  EXPECT_EQ(r.FwdBytes, 5 * 164);
  EXPECT_EQ(r.RevCount, 5);
  EXPECT_EQ(r.RevBytes, 5 * 364);
  EXPECT_DOUBLE_EQ(r.Duration, 400000 + 40000);
}

TEST(ConversationMeasurement, LocalMediaTimeIsTakenOffAndNegativeTimesAreDropped) {
  Exchange x;
  x.TcpRounds(2, 40000);
  // A third answer only 100 us after its command: its 364 bytes take 291.2 us at 10 Mbit/s.
  x.Add(x.forward, {.frame = 5, .time = 500000, .flags = kRequest, .seq = 1200, .ack = 5600, .payload = 100,
                    .tcpFlags = kAck});
  x.Add(x.reverse, {.frame = 6, .time = 500100, .flags = kReply, .seq = 5600, .ack = 1300, .payload = 300,
                    .tcpFlags = kAck});
  x.selection.IncludeLocalMediaTime = false;
  const MeasurementResults r = x.Run();
  EXPECT_EQ(r.PairCount, 2);
  EXPECT_NEAR(r.LatencyMax, 40000 - 364 * 8 / 10.0, 1e-6);
  x.selection.IncludeLocalMediaTime = true;
  EXPECT_EQ(x.Run().PairCount, 3);
}

TEST(ConversationMeasurement, ResponseSizeFilters) {
  Exchange x;
  x.TcpRounds(3, 1000);  // answers of 364 bytes
  x.selection.SmallResponsesOnly = true;
  EXPECT_EQ(x.Run().PairCount, 0);
  x.selection.SmallResponsesOnly = false;
  x.selection.LargeResponsesOnly = true;
  EXPECT_EQ(x.Run().PairCount, 0);
  x.selection.LargeResponsesOnly = false;
  EXPECT_EQ(x.Run().PairCount, 3);
}

TEST(ConversationMeasurement, AnswerToALaterCommandIsNotPairedWithAnEarlierOne) {
  Exchange x;
  // Two commands back to back; the single answer acknowledges both.
  x.Add(x.forward, {.frame = 1, .time = 0, .flags = kRequest, .seq = 1000, .payload = 100, .tcpFlags = kAck});
  x.Add(x.forward, {.frame = 2, .time = 10, .flags = kRequest, .seq = 1100, .payload = 100, .tcpFlags = kAck});
  x.Add(x.reverse, {.frame = 3, .time = 5000, .flags = kReply, .seq = 5000, .ack = 1200, .payload = 10,
                    .tcpFlags = kAck});
  const MeasurementResults r = x.Run();
  EXPECT_EQ(r.PairCount, 1);
  EXPECT_DOUBLE_EQ(r.LatencySum, 4990);  // timed from the second command only
}

TEST(ConversationMeasurement, TimingSkipsErrorsRetransmissionsAndTheLastFrameOfTheRange) {
  Exchange x;
  x.TcpRounds(4, 1000);
  x.tables().PacketList[size_t(x.tables().Streams[size_t(x.forward)].FirstPacket)].Flags |=
      packet_flag::TcpChecksumError;
  const int32_t second = x.tables().PacketList[size_t(x.tables().Streams[size_t(x.forward)].FirstPacket)].Next;
  x.tables().PacketList[size_t(second)].Flags |= packet_flag::Retransmission;
  MeasurementResults r = x.Run();
  EXPECT_EQ(r.PairCount, 2);
  EXPECT_EQ(r.RetransmitCount, 1);
  // Ending the range on the fourth command (frame 7) leaves it untimed.
  r = x.Run(true, false, 1, 7);
  EXPECT_EQ(r.PairCount, 1);
}

TEST(ConversationMeasurement, UdpCommandsWithTheSameIpIdAreTimedOnce) {
  Exchange x(transport::Udp);
  x.Add(x.forward, {.frame = 1, .time = 0, .flags = kRequest, .ipId = 7});
  x.Add(x.forward, {.frame = 2, .time = 100, .flags = kRequest, .ipId = 7});
  x.Add(x.reverse, {.frame = 3, .time = 2000, .flags = kReply, .ipId = 9});
  x.Add(x.forward, {.frame = 4, .time = 3000, .flags = kRequest, .ipId = 8});
  x.Add(x.reverse, {.frame = 5, .time = 3500, .flags = kReply, .ipId = 10});
  const MeasurementResults r = x.Run();
  EXPECT_EQ(r.PairCount, 2);
  EXPECT_DOUBLE_EQ(r.LatencySum, 2000 + 500);
}

TEST(ConversationMeasurement, IpxKindsPairOnAcknowledgeOfSequencePlusOne) {
  Exchange x(transport::Spx);
  x.Add(x.forward, {.frame = 1, .time = 0, .flags = kRequest, .seq = 0xFFFFFFFFu});
  x.Add(x.reverse, {.frame = 2, .time = 50, .flags = kReply, .ack = 0});  // no wrap to 0
  x.Add(x.forward, {.frame = 3, .time = 100, .flags = kRequest, .seq = 4});
  x.Add(x.reverse, {.frame = 4, .time = 400, .flags = kReply, .ack = 5});
  const MeasurementResults r = x.Run();
  EXPECT_EQ(r.PairCount, 1);
  EXPECT_DOUBLE_EQ(r.LatencySum, 300);
}

TEST(ConversationMeasurement, StatusCodes) {
  {  // the partner never sent anything back: only the forward counts
    Exchange x(transport::Tcp, false);
    x.Add(x.forward, {.frame = 1, .flags = kRequest, .payload = 10, .tcpFlags = kAck});
    x.Add(x.forward, {.frame = 2, .time = 5, .flags = kRequest, .payload = 10, .tcpFlags = kAck});
    const MeasurementResults r = x.Run();
    EXPECT_EQ(r.MeasurementStatus, measurement_status::OneWay);
    EXPECT_FALSE(x.selection.OneWay);  // the run reports it; the selection is only read
    EXPECT_EQ(r.FwdCount, 2);
    EXPECT_EQ(r.RevCount, 0);
  }
  {  // bare ACKs only
    Exchange x;
    x.Add(x.forward, {.frame = 1, .tcpFlags = kAck});
    x.Add(x.forward, {.frame = 3, .tcpFlags = kAck});
    x.Add(x.reverse, {.frame = 2, .payload = 10, .tcpFlags = kAck});
    EXPECT_EQ(x.Run().MeasurementStatus, measurement_status::BareAcksOnly);
  }
  {  // the partner acknowledged none of the data
    Exchange x;
    x.Add(x.forward, {.frame = 1, .seq = 1000, .payload = 10, .tcpFlags = kAck});
    x.Add(x.reverse, {.frame = 2, .ack = 900, .tcpFlags = kAck});
    EXPECT_EQ(x.Run().MeasurementStatus, measurement_status::NoTcpDataAcked);
  }
  {  // no echo request among the ICMP packets
    Exchange x(transport::Icmp);
    x.Add(x.forward, {.frame = 1, .window = 0});
    x.Add(x.reverse, {.frame = 2, .window = 8});
    EXPECT_EQ(x.Run().MeasurementStatus, measurement_status::NoEchoRequest);
  }
  {  // no command packet
    Exchange x(transport::Ncp);
    x.Add(x.forward, {.frame = 1, .flags = kReply});
    x.Add(x.reverse, {.frame = 2, .flags = kRequest});
    EXPECT_EQ(x.Run().MeasurementStatus, measurement_status::NoCommand);
  }
  {  // a group-addressed request is no command either
    Exchange x(transport::Udp);
    x.Add(x.forward, {.frame = 1, .flags = kRequest | packet_flag::GroupAddressed});
    x.Add(x.reverse, {.frame = 2, .flags = kReply});
    EXPECT_EQ(x.Run().MeasurementStatus, measurement_status::NoCommand);
  }
  {  // the partner answers on other ports
    Exchange x(transport::Udp);
    x.tables().Streams[size_t(x.reverse)].SourcePort = 81;
    x.Add(x.forward, {.frame = 1, .flags = kRequest});
    x.Add(x.reverse, {.frame = 2, .flags = kReply});
    EXPECT_EQ(x.Run().MeasurementStatus, measurement_status::NoPartnerStream);
  }
  {  // kinds without commands are not measured for latency, but are for throughput
    Exchange x(transport::Rip);
    x.Add(x.forward, {.frame = 1});
    x.Add(x.reverse, {.frame = 2});
    EXPECT_EQ(x.Run().MeasurementStatus, measurement_status::UnsupportedKind);
    const MeasurementResults r = x.Run(false, true);
    EXPECT_EQ(r.MeasurementStatus, 0);
    EXPECT_EQ(r.SampleCount, 1);
  }
}

TEST(ConversationMeasurement, ThroughputWindowIncludesTheOldestPacketsWireTime) {
  Exchange x;
  for (int i = 0; i < 6; ++i)
    x.Add(x.forward, {.frame = i + 1, .time = 1000.0 * i, .seq = 1000u * uint32_t(i), .payload = 936,
                      .tcpFlags = kAck});
  x.selection.SampleWindow = 4;
  MeasurementResults r = x.Run(false, true);
  EXPECT_EQ(r.SampleCount, 6);
  EXPECT_EQ(r.SampleBytes, 6 * 1000);
  EXPECT_EQ(r.PayloadSum, 6 * 956);
  // Four 1000-byte frames over 3 ms plus the first frame's 1020 bytes at 10 Mbit/s.
  const double expected = 4000 / ((3000 + 1020 * 8 / 10.0) / 1e6);
  EXPECT_NEAR(r.ThroughputMax, expected, 1e-6);
  // The average over all six by the same rule: 5 ms plus the first frame's wire time. The
  // whole sample counts as a run too, here the slowest.
  EXPECT_NEAR(r.ThroughputAverage, 6000 / ((5000 + 1020 * 8 / 10.0) / 1e6), 1e-6);
  EXPECT_DOUBLE_EQ(r.ThroughputMin, r.ThroughputAverage);
  // As many packets as the window holds: one window, so peak and average are one figure.
  x.selection.SampleWindow = 4;
  r = x.Run(false, true, 1, 4);
  EXPECT_EQ(r.SampleCount, 4);
  EXPECT_DOUBLE_EQ(r.ThroughputAverage, r.ThroughputMax);
  // Fewer packets than the window: sampled, but no throughput.
  x.selection.SampleWindow = 8;
  r = x.Run(false, true);
  EXPECT_EQ(r.SampleCount, 6);
  EXPECT_EQ(r.ThroughputMax, 0);
}

TEST(ConversationMeasurement, ThroughputPeakAndLowestEncloseTheAverage) {
  // Busy at the start and the end, quiet between: every window of 8 of the 10 packets
  // spans nearly the whole time, so each is slower than the stream as a whole.
  Exchange x;
  const std::array<double, 10> at = {0, 100, 200, 10000, 20000, 30000, 40000, 50000, 50100, 50200};
  for (size_t i = 0; i < at.size(); ++i)
    x.Add(x.forward, {.frame = int64_t(i + 1), .time = at[i], .payload = 500, .tcpFlags = kAck});
  MeasurementResults r = x.Run(false, true);
  const double average = 10 * 564 / ((50200 + 584 * 8 / 10.0) / 1e6);
  EXPECT_NEAR(r.ThroughputAverage, average, 1e-6);
  EXPECT_DOUBLE_EQ(r.ThroughputMax, r.ThroughputAverage);
  EXPECT_LT(r.ThroughputMin, r.ThroughputAverage);
  // Sparse ends instead: the windows are faster than the whole, which is the lowest.
  Exchange y;
  const std::array<double, 10> sparse = {0, 20000, 20100, 20200, 20300, 20400, 20500, 20600, 20700, 40000};
  for (size_t i = 0; i < sparse.size(); ++i)
    y.Add(y.forward, {.frame = int64_t(i + 1), .time = sparse[i], .payload = 500, .tcpFlags = kAck});
  r = y.Run(false, true);
  EXPECT_DOUBLE_EQ(r.ThroughputMin, r.ThroughputAverage);
  EXPECT_GT(r.ThroughputMax, r.ThroughputAverage);
}

TEST(ConversationMeasurement, ThroughputLeavesOutBareAcksWhenAsked) {
  Exchange x;
  for (int i = 0; i < 4; ++i) x.Add(x.forward, {.frame = 2 * i + 1, .time = 10.0 * i, .payload = 100, .tcpFlags = kAck});
  for (int i = 0; i < 3; ++i) x.Add(x.forward, {.frame = 2 * i + 2, .time = 10.0 * i + 5, .tcpFlags = kAck});
  x.selection.IncludeAckPackets = false;
  EXPECT_EQ(x.Run(false, true).SampleCount, 4);
  x.selection.IncludeAckPackets = true;
  EXPECT_EQ(x.Run(false, true).SampleCount, 7);
}

TEST(ConversationMeasurement, WindowOfEqualStampsWithoutWireTimeGivesNoRate) {
  Exchange x;
  x.session().info.TopologyCode = topology::Wan;
  for (int i = 0; i < 5; ++i) x.Add(x.forward, {.frame = i + 1, .time = 7, .payload = 10, .tcpFlags = kAck});
  x.selection.SampleWindow = 4;
  const MeasurementResults r = x.Run(false, true);
  EXPECT_EQ(r.SampleCount, 5);
  EXPECT_EQ(r.ThroughputMax, 0);
  EXPECT_DOUBLE_EQ(r.Duration, 0);
}

TEST(ConversationMeasurement, RangeLimitsBothSidesCountsAndFlags) {
  Exchange x;
  x.TcpRounds(6, 1000);  // frames 1..12
  x.tables().PacketList[size_t(x.tables().Streams[size_t(x.forward)].FirstPacket)].Flags |= packet_flag::ZeroWindow;
  const MeasurementResults r = x.Run(true, false, 5, 10);
  EXPECT_EQ(r.FwdCount, 3);  // frames 5, 7, 9
  EXPECT_EQ(r.RevCount, 3);  // frames 6, 8, 10
  EXPECT_EQ(r.ZeroWindowCount, 0);
  EXPECT_EQ(r.PairCount, 3);
  EXPECT_DOUBLE_EQ(r.Duration, 100000.0 * 2 + 1000);
}

TEST(ConversationMeasurement, RangeCountsTheAnswerToItsLastCommandEvenBeyondItsEnd) {
  Exchange x;
  x.TcpRounds(6, 1000);  // commands on odd frames, answers on even ones
  MeasurementResults r = x.Run(true, false, 5, 9);
  EXPECT_EQ(r.FwdCount, 3);   // frames 5, 7, 9
  EXPECT_EQ(r.RevCount, 3);   // frames 6, 8 and 10, the first answer at or beyond command 9
  EXPECT_EQ(r.PairCount, 2);  // command 9 is the range's last frame: never timed
  EXPECT_DOUBLE_EQ(r.Duration, 100000.0 * 2);  // the duration stays within the range
  // A range after the stream's last packet has nothing to measure.
  r = x.Run(true, false, 13, 20);
  EXPECT_EQ(r.MeasurementStatus, measurement_status::NoPacketsInRange);
  EXPECT_EQ(r.FwdCount + r.RevCount, 0);
  EXPECT_EQ(x.Run(false, true, 13, 20).SampleCount, 0);
}

TEST(ConversationMeasurement, GapMarkersCountAsNothing) {
  Exchange x;
  x.TcpRounds(2, 1000);
  // A marker for missing data, as the analyser inserts it before the packet after a hole.
  x.Add(x.forward, {.frame = 5, .time = 300000, .flags = packet_flag::GapMarker | kRequest, .seq = 1400});
  x.Add(x.forward, {.frame = 5, .time = 300000, .flags = kRequest, .seq = 1400, .ack = 5600, .payload = 100,
                    .tcpFlags = kAck});
  x.Add(x.reverse, {.frame = 6, .time = 301000, .flags = kReply, .seq = 5600, .ack = 1500, .payload = 300,
                    .tcpFlags = kAck});
  const MeasurementResults r = x.Run();
  EXPECT_EQ(r.FwdCount, 3);
  EXPECT_EQ(r.PairCount, 3);
  EXPECT_EQ(r.ResetCount, 0);  // the marker's upper flag bits are no reset
  EXPECT_FALSE(r.FlaggedPacketSeen);
}

TEST(ConversationMeasurement, FlagHookCountsSenderFlags) {
  Exchange x(transport::Ncp);
  x.Add(x.forward, {.frame = 1, .flags = kRequest | packet_flag::SeenViaRouter});
  x.Add(x.reverse, {.frame = 2, .flags = kReply | packet_flag::ServerBusyReply});
  x.Add(x.forward, {.frame = 3, .time = 5, .flags = packet_flag::IcmpReport | kReply});
  x.Add(x.forward, {.frame = 4, .time = 9, .flags = kRequest | packet_flag::TcpReset});
  const MeasurementResults r = x.Run();
  EXPECT_EQ(r.LocalRoutingCount, 1);
  EXPECT_EQ(r.IcmpErrorCount, 1);
  EXPECT_EQ(r.ResetCount, 1);
  EXPECT_FALSE(r.FlaggedPacketSeen);  // the partner's busy reply is not the sender's
  EXPECT_EQ(r.FwdCount, 2);           // the report record is no packet of the sender
}

TEST(ConversationMeasurement, SwapDirectionExchangesTheDirectionalItems) {
  MeasurementSelection s;
  s.SourceStation = 1;
  s.DestinationStation = 2;
  s.ForwardStream = 3;
  s.ReverseStream = 4;
  s.SourceText = "a";
  s.DestinationText = "b";
  s.SwapDirection();
  EXPECT_EQ(s.SourceStation, 2);
  EXPECT_EQ(s.ForwardStream, 4);
  EXPECT_EQ(s.SourceText, "b");
  s.SwapDirection();
  EXPECT_EQ(s.SourceStation, 1);
}

}  // namespace
}  // namespace korvane
