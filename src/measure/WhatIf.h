// The what-if arithmetic: a measured client/server exchange (one latency half) carried over
// to other link speeds and loads. The inputs are the what-if window's fields; the result is
// one row per link speed (half duplex) or a send row and a receive row per speed (full duplex).
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

inline constexpr size_t kWhatIfSpeedCount = 20;

// Link speeds in kbit/s, in row order.
inline constexpr std::array<int32_t, kWhatIfSpeedCount> WhatIfBandwidthTable = {
    32,   56,    64,    128,   224,    256,   384,    512,    768,    1024,
    1536, 2048,  4000,  10000, 16000,  45000, 100000, 155520, 622080, 1000000};

// Framing bytes each packet carries on a link: 20 on the Ethernet speeds (10, 100 and
// 1000 Mbit/s), none on the others.
int WhatIfFramingOverhead(int32_t kbitsPerSecond);

// The figures one latency half keeps for the what-if window.
struct WhatIfStartValues {
  double minLatencyMs = 0, averageLatencyMs = 0, contentionMs = 0;
  std::string ratioText;  // send-to-receive ratio as the latency half shows it ("3:1")
  double averageSendSize = 0, averageReceiveSize = 0;  // bytes
};

// The window's fields; every value is a whole number.
struct WhatIfInputs {
  int AveSend = 64, AveRcv = 64;  // bytes per packet
  int Latency = 0, Contention = 0;  // ms
  int SendRatio = 1, RcvRatio = 1;
  int Users = 1;
  int PktsTrans = 2;  // packets per transaction
  int Client = 0, Host = 0;  // additional processing, ms
  bool FullDuplex = true;
};

struct WhatIfRange {
  int Min = 0, Max = 0;
  int Clamp(int value) const { return value < Min ? Min : (value > Max ? Max : value); }
};

inline constexpr WhatIfRange kWhatIfEthernetSizes{64, 1518};
inline constexpr WhatIfRange kWhatIfTokenRingSizes{18, 18200};
inline constexpr WhatIfRange kWhatIfTimes{0, 10000};  // Latency, Contention, Client, Host
inline constexpr WhatIfRange kWhatIfRatios{1, 100};
inline constexpr WhatIfRange kWhatIfUsers{1, 1000};
inline constexpr WhatIfRange kWhatIfPacketsPerTransaction{2, 10000};

// AveSend and AveRcv: the Token Ring range on Token Ring, the Ethernet range on any other
// interface.
WhatIfRange WhatIfSizeRange(uint8_t topologyCode);

// Nearest integer, halves to the even neighbour; not-a-number gives 0.
double RoundHalfEven(double value);

// The leading decimal digits of a text as a number ("1.5" gives 1, "" gives 0); a run of
// digits too long for an int gives the largest int.
int LeadingNumber(std::string_view text);

// Brings every field into its range (sizes by the interface) and PktsTrans up to at least
// SendRatio + RcvRatio.
void ClampWhatIfInputs(WhatIfInputs& inputs, uint8_t topologyCode);

// The fields as the window loads them from a latency half: the two sides of the ratio
// text around its ":", PktsTrans their sum, the measured sizes and times to the nearest
// integer, Users 1, Client and Host 0, Full Duplex on; every field within its range.
WhatIfInputs LoadWhatIfInputs(const WhatIfStartValues& start, uint8_t topologyCode);

// A change of SendRatio or RcvRatio to value: PktsTrans rises to SendRatio + RcvRatio when
// lower, then the ratio is clamped into 1..100.
void ChangeSendRatio(WhatIfInputs& inputs, int value);
void ChangeRcvRatio(WhatIfInputs& inputs, int value);
// A change of PktsTrans to value: never below SendRatio + RcvRatio, never outside 2..10000.
void ChangePktsTrans(WhatIfInputs& inputs, int value);

enum class WhatIfRowKind { SendReceive, Send, Receive };

struct WhatIfRow {
  WhatIfRowKind kind = WhatIfRowKind::SendReceive;
  int32_t kbitsPerSecond = 0;
  int64_t bitsPerSecond = 0;
  int64_t bytesPerSecond = 0;  // B
  double packetRate = 0;       // packets per second the link sustains
  double utilisationPercent = 0;
  std::optional<double> responseSeconds;  // none on the full-duplex send rows
};

// The result rows: 20 half-duplex rows, or 40 full-duplex rows (send, receive per speed).
// Fields outside their ranges are taken at the nearest bound (sizes at 18..18200), so
// every divisor is positive; callers clamp by the interface first with ClampWhatIfInputs.
std::vector<WhatIfRow> ComputeWhatIfRows(const WhatIfInputs& inputs);

}  // namespace korvane
