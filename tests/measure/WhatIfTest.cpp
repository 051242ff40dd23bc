// The what-if arithmetic: loading a latency half, the change rules, and the result rows.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "input/TraceTypes.h"
#include "measure/WhatIf.h"

namespace korvane {
namespace {

WhatIfInputs Exchange(int aveSend, int aveRcv, int latency, int users, bool fullDuplex) {
  WhatIfInputs in;
  in.AveSend = aveSend;
  in.AveRcv = aveRcv;
  in.Latency = latency;
  in.Users = users;
  in.FullDuplex = fullDuplex;
  return in;
}

const WhatIfRow& RowAt(const std::vector<WhatIfRow>& rows, int32_t kbits, WhatIfRowKind kind) {
  for (const WhatIfRow& r : rows)
    if (r.kbitsPerSecond == kbits && r.kind == kind) return r;
  throw std::logic_error("no such row");
}

TEST(WhatIfSpeeds, TwentySpeedsWithFramingOnlyAtTheEthernetRates) {
  const std::array<int32_t, 20> expected = {32,   56,   64,   128,   224,   256,   384,    512,    768,    1024,
                                            1536, 2048, 4000, 10000, 16000, 45000, 100000, 155520, 622080, 1000000};
  EXPECT_EQ(WhatIfBandwidthTable, expected);
  for (int32_t kbits : WhatIfBandwidthTable) {
    const bool ethernet = kbits == 10000 || kbits == 100000 || kbits == 1000000;
    EXPECT_EQ(WhatIfFramingOverhead(kbits), ethernet ? 20 : 0) << kbits;
  }
}

TEST(WhatIfLoad, RatioTextSidesReadAsLeadingDigits) {
  struct Case {
    const char* text;
    int send, receive, perTransaction;
  };
  const Case cases[] = {
      {"3:1", 3, 1, 4},
      {"1.5:1", 1, 1, 2},
      {"1:2.5", 1, 2, 3},
      {"5:0", 5, 1, 6},      // a side of 0 is raised to the ratio's minimum
      {"0:7", 1, 7, 8},
      {"250:1", 100, 1, 101},  // and a side past 100 lowered to its maximum
      {"", 1, 1, 2},
      {"99999999999999:4", 100, 4, 104},
  };
  for (const Case& c : cases) {
    WhatIfStartValues start;
    start.ratioText = c.text;
    const WhatIfInputs in = LoadWhatIfInputs(start, topology::Ethernet);
    EXPECT_EQ(in.SendRatio, c.send) << c.text;
    EXPECT_EQ(in.RcvRatio, c.receive) << c.text;
    EXPECT_EQ(in.PktsTrans, c.perTransaction) << c.text;
  }
}

TEST(WhatIfLoad, MeasuredValuesRoundHalfToEvenAndStayInRange) {
  WhatIfStartValues start;
  start.ratioText = "1:1";
  start.minLatencyMs = 2.5;
  start.averageLatencyMs = 9.0;
  start.contentionMs = 3.5;
  start.averageSendSize = 100.5;
  start.averageReceiveSize = 101.5;
  WhatIfInputs in = LoadWhatIfInputs(start, topology::Ethernet);
  EXPECT_EQ(in.Latency, 2);
  EXPECT_EQ(in.Contention, 4);
  EXPECT_EQ(in.AveSend, 100);
  EXPECT_EQ(in.AveRcv, 102);
  EXPECT_EQ(in.Users, 1);
  EXPECT_EQ(in.Client, 0);
  EXPECT_EQ(in.Host, 0);
  EXPECT_TRUE(in.FullDuplex);

  // Sizes follow the interface: 64..1518 on Ethernet, 18..18200 on Token Ring.
  start.averageSendSize = 40;
  start.averageReceiveSize = 20000;
  start.minLatencyMs = 12345.6;
  start.contentionMs = std::numeric_limits<double>::quiet_NaN();
  in = LoadWhatIfInputs(start, topology::Ethernet);
  EXPECT_EQ(in.AveSend, 64);
  EXPECT_EQ(in.AveRcv, 1518);
  EXPECT_EQ(in.Latency, 10000);
  EXPECT_EQ(in.Contention, 0);
  in = LoadWhatIfInputs(start, topology::TokenRing);
  EXPECT_EQ(in.AveSend, 40);
  EXPECT_EQ(in.AveRcv, 18200);
  start.averageSendSize = 3.0;
  start.averageReceiveSize = std::numeric_limits<double>::infinity();
  in = LoadWhatIfInputs(start, topology::TokenRing);
  EXPECT_EQ(in.AveSend, 18);
  EXPECT_EQ(in.AveRcv, 18200);
}

TEST(WhatIfLoad, RoundingAndLeadingDigitHelpers) {
  EXPECT_EQ(RoundHalfEven(0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(1.5), 2.0);
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(2.51), 3.0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0.0);
  EXPECT_EQ(LeadingNumber("12abc"), 12);
  EXPECT_EQ(LeadingNumber("x12"), 0);
  EXPECT_EQ(LeadingNumber("123456789012345"), std::numeric_limits<int>::max());
}

TEST(WhatIfChange, RatiosRaisePacketsPerTransactionAndStayWithinOneToHundred) {
  WhatIfInputs in;
  in.SendRatio = 3;
  in.RcvRatio = 1;
  in.PktsTrans = 4;
  ChangeSendRatio(in, 5);
  EXPECT_EQ(in.SendRatio, 5);
  EXPECT_EQ(in.PktsTrans, 6);
  ChangeSendRatio(in, 2);  // lowering a ratio leaves PktsTrans alone
  EXPECT_EQ(in.SendRatio, 2);
  EXPECT_EQ(in.PktsTrans, 6);
  ChangeRcvRatio(in, 0);
  EXPECT_EQ(in.RcvRatio, 1);
  EXPECT_EQ(in.PktsTrans, 6);
  // PktsTrans is raised by the value as entered, then the ratio is clamped.
  ChangeRcvRatio(in, 150);
  EXPECT_EQ(in.RcvRatio, 100);
  EXPECT_EQ(in.PktsTrans, 152);
  ChangeSendRatio(in, 50000);
  EXPECT_EQ(in.SendRatio, 100);
  EXPECT_EQ(in.PktsTrans, 10000);
}

TEST(WhatIfChange, PacketsPerTransactionNeverBelowTheRatioSum) {
  WhatIfInputs in;
  in.SendRatio = 7;
  in.RcvRatio = 2;
  ChangePktsTrans(in, 3);
  EXPECT_EQ(in.PktsTrans, 9);
  ChangePktsTrans(in, 40);
  EXPECT_EQ(in.PktsTrans, 40);
  ChangePktsTrans(in, 20000);
  EXPECT_EQ(in.PktsTrans, 10000);
}

TEST(WhatIfChange, ClampBringsEveryFieldIntoRange) {
  WhatIfInputs in;
  in.AveSend = 0;
  in.AveRcv = 99999;
  in.Latency = -4;
  in.Contention = 20000;
  in.Client = -1;
  in.Host = 10001;
  in.SendRatio = 0;
  in.RcvRatio = 400;
  in.Users = 0;
  in.PktsTrans = 0;
  ClampWhatIfInputs(in, topology::Ethernet);
  EXPECT_EQ(in.AveSend, 64);
  EXPECT_EQ(in.AveRcv, 1518);
  EXPECT_EQ(in.Latency, 0);
  EXPECT_EQ(in.Contention, 10000);
  EXPECT_EQ(in.Client, 0);
  EXPECT_EQ(in.Host, 10000);
  EXPECT_EQ(in.SendRatio, 1);
  EXPECT_EQ(in.RcvRatio, 100);
  EXPECT_EQ(in.Users, 1);
  EXPECT_EQ(in.PktsTrans, 101);
}

TEST(WhatIfRows, RowCountsKindsAndSpeedColumns) {
  auto half = ComputeWhatIfRows(Exchange(100, 500, 10, 1, false));
  ASSERT_EQ(half.size(), 20u);
  auto full = ComputeWhatIfRows(Exchange(100, 500, 10, 1, true));
  ASSERT_EQ(full.size(), 40u);
  for (size_t k = 0; k < 20; ++k) {
    const int32_t kbits = WhatIfBandwidthTable[k];
    EXPECT_EQ(half[k].kind, WhatIfRowKind::SendReceive);
    EXPECT_TRUE(half[k].responseSeconds.has_value());
    EXPECT_EQ(full[2 * k].kind, WhatIfRowKind::Send);
    EXPECT_FALSE(full[2 * k].responseSeconds.has_value());
    EXPECT_EQ(full[2 * k + 1].kind, WhatIfRowKind::Receive);
    EXPECT_TRUE(full[2 * k + 1].responseSeconds.has_value());
    for (const WhatIfRow* r : {&half[k], &full[2 * k], &full[2 * k + 1]}) {
      EXPECT_EQ(r->kbitsPerSecond, kbits);
      EXPECT_EQ(r->bitsPerSecond, int64_t(kbits) * 1000);
      EXPECT_EQ(r->bytesPerSecond, int64_t(kbits) * 125);
    }
  }
}

// Ps 100, Pr 500, one send and one receive per cycle, Latency 10 ms, one user, N 2.
TEST(WhatIfRows, HalfDuplexByHand) {
  const auto rows = ComputeWhatIfRows(Exchange(100, 500, 10, 1, false));
  // 32 kbit/s: B 4000, T = 100/4000 + 500/4000 + 0.010 = 0.16 s, avg 300 bytes,
  // rate = 2/0.16 = 12.5 (below B/avg = 13.33), utilisation 12.5 x 300/4000 = 93.75%,
  // response (1 + 1)/12.5 = 0.16 s.
  const WhatIfRow& slow = RowAt(rows, 32, WhatIfRowKind::SendReceive);
  EXPECT_DOUBLE_EQ(slow.packetRate, 12.5);
  EXPECT_DOUBLE_EQ(slow.utilisationPercent, 93.75);
  EXPECT_DOUBLE_EQ(*slow.responseSeconds, 0.16);
  // 10 Mbit/s: B 1,250,000, 20 framing bytes: T = 120/B + 520/B + 0.010 = 0.010512 s,
  // avg 320, rate = 2/0.010512 = 190.2588, utilisation 190.2588 x 320/B = 4.8706%,
  // response 2/rate = 0.010512 s.
  const WhatIfRow& ten = RowAt(rows, 10000, WhatIfRowKind::SendReceive);
  EXPECT_NEAR(ten.packetRate, 190.258752, 1e-6);
  EXPECT_NEAR(ten.utilisationPercent, 4.870624, 1e-6);
  EXPECT_NEAR(*ten.responseSeconds, 0.010512, 1e-12);
  // 16 Mbit/s, no framing: T = 600/2,000,000 + 0.010 = 0.0103 s, rate = 2/0.0103 = 194.1748.
  EXPECT_NEAR(RowAt(rows, 16000, WhatIfRowKind::SendReceive).packetRate, 194.174757, 1e-6);
}

TEST(WhatIfRows, HalfDuplexSaturatesAtLinkCapacity) {
  // Ten users at 32 kbit/s: 2 x 10/0.16 = 125 packets/s wanted, the link carries
  // B/avg = 4000/300 = 13.33; 20 packets for all users take 20/13.33 = 1.5 s.
  const auto rows = ComputeWhatIfRows(Exchange(100, 500, 10, 10, false));
  const WhatIfRow& slow = RowAt(rows, 32, WhatIfRowKind::SendReceive);
  EXPECT_DOUBLE_EQ(slow.packetRate, 4000.0 / 300.0);
  EXPECT_DOUBLE_EQ(slow.utilisationPercent, 100.0);
  EXPECT_DOUBLE_EQ(*slow.responseSeconds, 1.5);
  // With no fixed delay a single user fills every link.
  for (const WhatIfRow& r : ComputeWhatIfRows(Exchange(100, 500, 0, 1, false)))
    EXPECT_NEAR(r.utilisationPercent, 100.0, 1e-9) << r.kbitsPerSecond;
}

TEST(WhatIfRows, TransactionPacketsRoundHalfToEven) {
  // 1:1 with 5 packets per transaction: 2.5 each way rounds to 2 + 2 packets.
  // 32 kbit/s, Ps = Pr = 100, Latency 10: T = 200/4000 + 0.010 = 0.06, rate 2/0.06 = 33.33,
  // response 4/33.33 = 0.12 s.
  WhatIfInputs in = Exchange(100, 100, 10, 1, false);
  in.PktsTrans = 5;
  const auto rows = ComputeWhatIfRows(in);
  EXPECT_NEAR(*RowAt(rows, 32, WhatIfRowKind::SendReceive).responseSeconds, 0.12, 1e-12);
}

TEST(WhatIfRows, FramingBytesOnlyAtTheEthernetSpeeds) {
  // No fixed delay and several users saturate every row: the rate is B over the bytes a
  // packet takes on that link, 100 plus the framing.
  for (bool fullDuplex : {false, true}) {
    for (const WhatIfRow& r : ComputeWhatIfRows(Exchange(100, 100, 0, 10, fullDuplex))) {
      const double expectedBytes = 100.0 + WhatIfFramingOverhead(r.kbitsPerSecond);
      EXPECT_NEAR(double(r.bytesPerSecond) / r.packetRate, expectedBytes, 1e-9) << r.kbitsPerSecond;
    }
  }
  const auto rows = ComputeWhatIfRows(Exchange(100, 100, 0, 10, false));
  EXPECT_NEAR(125e6 / RowAt(rows, 1000000, WhatIfRowKind::SendReceive).packetRate, 120.0, 1e-9);
  EXPECT_NEAR(77.76e6 / RowAt(rows, 622080, WhatIfRowKind::SendReceive).packetRate, 100.0, 1e-9);
}

// Ps 100, Pr 500, Latency 20 ms: at 32 kbit/s T = 0.025 + 0.125 + 0.020 = 0.17 s.
TEST(WhatIfRows, FullDuplexByHand) {
  const auto rows = ComputeWhatIfRows(Exchange(100, 500, 20, 1, true));
  // One user: 1/0.17 = 5.882 packets/s each way, both under their caps (40 and 8).
  // Send: 100 x 5.882/4000 = 14.71%; receive: 500 x 5.882/4000 = 73.53%, response 1/5.882 = 0.17 s.
  const WhatIfRow& send = RowAt(rows, 32, WhatIfRowKind::Send);
  const WhatIfRow& receive = RowAt(rows, 32, WhatIfRowKind::Receive);
  EXPECT_NEAR(send.packetRate, 5.882353, 1e-6);
  EXPECT_NEAR(send.utilisationPercent, 14.705882, 1e-6);
  EXPECT_NEAR(receive.packetRate, 5.882353, 1e-6);
  EXPECT_NEAR(receive.utilisationPercent, 73.529412, 1e-6);
  EXPECT_NEAR(*receive.responseSeconds, 0.17, 1e-12);
}

TEST(WhatIfRows, FullDuplexSaturatedReceiveHoldsBackTheSender) {
  // Ten users, receive heavier (RB 500 > SB 100). Wanted 10/0.17 = 58.82 each way.
  // Send cap 4000/100 = 40, receive cap 4000/500 = 8: the receive row saturates at 8 and
  // refills the send row with g = 8/58.82, so the send rate falls to 8 (20.00%).
  // Response: 10 receive packets / 8 = 1.25 s.
  const auto rows = ComputeWhatIfRows(Exchange(100, 500, 20, 10, true));
  const WhatIfRow& send = RowAt(rows, 32, WhatIfRowKind::Send);
  const WhatIfRow& receive = RowAt(rows, 32, WhatIfRowKind::Receive);
  EXPECT_NEAR(send.packetRate, 8.0, 1e-9);
  EXPECT_NEAR(send.utilisationPercent, 20.0, 1e-9);
  EXPECT_DOUBLE_EQ(receive.packetRate, 8.0);
  EXPECT_DOUBLE_EQ(receive.utilisationPercent, 100.0);
  EXPECT_DOUBLE_EQ(*receive.responseSeconds, 1.25);
}

TEST(WhatIfRows, FullDuplexSaturatedSendHoldsBackTheReceiver) {
  // Send heavier (SB 500 > RB 100): the send row saturates at B/(Ps + o) = 4000/500 = 8
  // (100.00%) and G = 8/58.82 scales the receive rate to 8 (20.00%); response 10/8 s.
  const auto rows = ComputeWhatIfRows(Exchange(500, 100, 20, 10, true));
  const WhatIfRow& send = RowAt(rows, 32, WhatIfRowKind::Send);
  const WhatIfRow& receive = RowAt(rows, 32, WhatIfRowKind::Receive);
  EXPECT_DOUBLE_EQ(send.packetRate, 4000.0 / 500.0);
  EXPECT_DOUBLE_EQ(send.utilisationPercent, 100.0);
  EXPECT_NEAR(receive.packetRate, 8.0, 1e-9);
  EXPECT_NEAR(receive.utilisationPercent, 20.0, 1e-9);
  EXPECT_NEAR(*receive.responseSeconds, 1.25, 1e-9);
}

TEST(WhatIfRows, FullDuplexEqualBytesNeitherDirectionScales) {
  // SB = RB: each direction is capped on its own. Ten users, Ps = Pr = 100, Latency 20 at
  // 32 kbit/s: T = 0.07, wanted 10/0.07 = 142.9 each way, both capped at 40.
  const auto rows = ComputeWhatIfRows(Exchange(100, 100, 20, 10, true));
  EXPECT_DOUBLE_EQ(RowAt(rows, 32, WhatIfRowKind::Send).packetRate, 40.0);
  EXPECT_DOUBLE_EQ(RowAt(rows, 32, WhatIfRowKind::Receive).packetRate, 40.0);
}

TEST(WhatIfRows, OutOfRangeFieldsAreTakenAtTheirBounds) {
  // Sizes of 0 and no delay would make every divisor 0; the fields count at their nearest
  // bounds instead (sizes 18, ratios 1, one user, two packets, no delay).
  WhatIfInputs in;
  in.AveSend = 0;
  in.AveRcv = -5;
  in.SendRatio = 0;
  in.RcvRatio = 0;
  in.Users = 0;
  in.PktsTrans = 0;
  in.Latency = -30;
  in.Contention = -1;
  in.Client = -2;
  in.Host = -3;
  WhatIfInputs bounds;
  bounds.AveSend = 18;
  bounds.AveRcv = 18;
  for (bool fullDuplex : {false, true}) {
    in.FullDuplex = bounds.FullDuplex = fullDuplex;
    const auto rows = ComputeWhatIfRows(in);
    const auto expected = ComputeWhatIfRows(bounds);
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
      const WhatIfRow& r = rows[i];
      EXPECT_TRUE(std::isfinite(r.packetRate) && r.packetRate > 0) << r.kbitsPerSecond;
      EXPECT_TRUE(std::isfinite(r.utilisationPercent)) << r.kbitsPerSecond;
      EXPECT_TRUE(std::isfinite(r.responseSeconds.value_or(0.0))) << r.kbitsPerSecond;
      EXPECT_EQ(r.packetRate, expected[i].packetRate) << r.kbitsPerSecond;
      EXPECT_EQ(r.utilisationPercent, expected[i].utilisationPercent) << r.kbitsPerSecond;
      EXPECT_EQ(r.responseSeconds, expected[i].responseSeconds) << r.kbitsPerSecond;
    }
  }
  // Half duplex, no delay, one user: the smallest packets fill the slowest link,
  // 2 / (2 x 18 / 4000) = 4000 / 18 packets/s.
  in.FullDuplex = false;
  EXPECT_DOUBLE_EQ(ComputeWhatIfRows(in).front().packetRate, 4000.0 / 18.0);
}

}  // namespace
}  // namespace korvane
