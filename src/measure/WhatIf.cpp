#include "measure/WhatIf.h"

#include <climits>
#include <cmath>

#include "input/TraceTypes.h"

namespace korvane {

namespace {

// A measured value taken to the nearest integer and into the field's range.
int MeasuredField(double value, WhatIfRange range) {
  const double rounded = RoundHalfEven(value);
  if (rounded <= range.Min) return range.Min;
  if (rounded >= range.Max) return range.Max;
  return int(rounded);
}

void RaisePacketsPerTransaction(WhatIfInputs& inputs) {
  // The sum may come from ratios not yet clamped; it is kept as a 64-bit value.
  const int64_t sum = int64_t(inputs.SendRatio) + inputs.RcvRatio;
  if (inputs.PktsTrans < sum)
    inputs.PktsTrans = sum > kWhatIfPacketsPerTransaction.Max ? kWhatIfPacketsPerTransaction.Max : int(sum);
}

void ChangeRatio(WhatIfInputs& inputs, int& ratio, int value) {
  ratio = value;
  RaisePacketsPerTransaction(inputs);
  ratio = kWhatIfRatios.Clamp(ratio);
  inputs.PktsTrans = kWhatIfPacketsPerTransaction.Clamp(inputs.PktsTrans);
}

// The figures every row of one link speed shares.
struct SpeedTerms {
  double B = 0;       // bytes per second
  double sendSize = 0, receiveSize = 0;  // Ps + o, Pr + o
  double T = 0;       // seconds per cycle of SendRatio sends and RcvRatio receives
};

// The fields the arithmetic reads, as real numbers.
struct Terms {
  double Ss = 0, Sr = 0, Ps = 0, Pr = 0, U = 0;
  double F = 0;       // fixed delay per cycle, seconds
  double nS = 0, nR = 0;  // send and receive packets of one transaction of all users
};

Terms CommonTerms(const WhatIfInputs& in) {
  Terms t;
  t.Ss = kWhatIfRatios.Clamp(in.SendRatio);
  t.Sr = kWhatIfRatios.Clamp(in.RcvRatio);
  t.Ps = kWhatIfTokenRingSizes.Clamp(in.AveSend);
  t.Pr = kWhatIfTokenRingSizes.Clamp(in.AveRcv);
  t.U = kWhatIfUsers.Clamp(in.Users);
  const double N = kWhatIfPacketsPerTransaction.Clamp(in.PktsTrans);
  t.F = (double(kWhatIfTimes.Clamp(in.Latency)) + kWhatIfTimes.Clamp(in.Contention) + kWhatIfTimes.Clamp(in.Host) +
         kWhatIfTimes.Clamp(in.Client)) /
        1000.0;
  t.nS = RoundHalfEven(t.Ss / (t.Ss + t.Sr) * N * t.U);
  t.nR = RoundHalfEven(t.Sr / (t.Ss + t.Sr) * N * t.U);
  return t;
}

SpeedTerms TermsAtSpeed(const Terms& t, int32_t kbits) {
  SpeedTerms s;
  s.B = double(int64_t(kbits) * 1000 / 8);
  const int o = WhatIfFramingOverhead(kbits);
  s.sendSize = t.Ps + o;
  s.receiveSize = t.Pr + o;
  s.T = t.Ss * s.sendSize / s.B + t.Sr * s.receiveSize / s.B + t.F;
  return s;
}

WhatIfRow SpeedRow(WhatIfRowKind kind, int32_t kbits) {
  WhatIfRow row;
  row.kind = kind;
  row.kbitsPerSecond = kbits;
  row.bitsPerSecond = int64_t(kbits) * 1000;
  row.bytesPerSecond = int64_t(kbits) * 1000 / 8;
  return row;
}

WhatIfRow HalfDuplexRow(const Terms& t, int32_t kbits) {
  const SpeedTerms s = TermsAtSpeed(t, kbits);
  WhatIfRow row = SpeedRow(WhatIfRowKind::SendReceive, kbits);
  const double avg = (s.sendSize * t.Ss + s.receiveSize * t.Sr) / (t.Ss + t.Sr);
  double rate = t.U * (t.Ss + t.Sr) / s.T;
  if (s.B / avg < rate) rate = s.B / avg;  // the link is saturated
  row.packetRate = rate;
  row.utilisationPercent = rate * avg / s.B * 100.0;
  row.responseSeconds = (t.nS + t.nR) / rate;
  return row;
}

// The send and receive rows of one speed on a full-duplex link. When one direction
// saturates, the other is held back in proportion: a saturated send direction scales the
// receive rate by G when more bytes go out than come back, and a saturated receive
// direction scales the send rate by g when more come back.
class FullDuplexSpeed {
 public:
  FullDuplexSpeed(const Terms& t, int32_t kbits)
      : t_(t), s_(TermsAtSpeed(t, kbits)), SB_(s_.sendSize * t.Ss), RB_(s_.receiveSize * t.Sr),
        send_(SpeedRow(WhatIfRowKind::Send, kbits)), receive_(SpeedRow(WhatIfRowKind::Receive, kbits)) {}

  void Fill() {
    FillSend(1.0);
    double rateR = t_.U * t_.Sr / s_.T;
    if (RB_ < SB_) rateR *= G_;
    const double capR = s_.B / s_.receiveSize;
    if (capR < rateR) {
      FillSend(capR / rateR);
      rateR = capR;
    }
    receive_.packetRate = rateR;
    receive_.utilisationPercent = s_.receiveSize * rateR / s_.B * 100.0;
    receive_.responseSeconds = t_.nR / rateR;
  }

  const WhatIfRow& send() const { return send_; }
  const WhatIfRow& receive() const { return receive_; }

 private:
  // The send row with factor g. G is read only by the receive row, before any refill.
  void FillSend(double g) {
    double rateS = t_.U * t_.Ss / s_.T;
    if (RB_ > SB_) rateS *= g;
    const double capS = s_.B / s_.sendSize;
    if (capS < rateS) {
      G_ = capS / rateS;
      rateS = capS;
    } else {
      G_ = 1.0;
    }
    send_.packetRate = rateS;
    send_.utilisationPercent = s_.sendSize * rateS / s_.B * 100.0;
  }

  const Terms& t_;
  const SpeedTerms s_;
  const double SB_, RB_;  // bytes of one cycle each way
  double G_ = 1.0;
  WhatIfRow send_, receive_;
};

}  // namespace

int WhatIfFramingOverhead(int32_t kbitsPerSecond) {
  return kbitsPerSecond == 10000 || kbitsPerSecond == 100000 || kbitsPerSecond == 1000000 ? 20 : 0;
}

WhatIfRange WhatIfSizeRange(uint8_t topologyCode) {
  return topologyCode == topology::TokenRing ? kWhatIfTokenRingSizes : kWhatIfEthernetSizes;
}

double RoundHalfEven(double value) {
  if (std::isnan(value)) return 0.0;
  if (std::isinf(value)) return value;
  const double below = std::floor(value);
  const double fraction = value - below;
  if (fraction > 0.5) return below + 1.0;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

int LeadingNumber(std::string_view text) {
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return int(value);
}

void ClampWhatIfInputs(WhatIfInputs& inputs, uint8_t topologyCode) {
  const WhatIfRange sizes = WhatIfSizeRange(topologyCode);
  inputs.AveSend = sizes.Clamp(inputs.AveSend);
  inputs.AveRcv = sizes.Clamp(inputs.AveRcv);
  inputs.Latency = kWhatIfTimes.Clamp(inputs.Latency);
  inputs.Contention = kWhatIfTimes.Clamp(inputs.Contention);
  inputs.Client = kWhatIfTimes.Clamp(inputs.Client);
  inputs.Host = kWhatIfTimes.Clamp(inputs.Host);
  inputs.SendRatio = kWhatIfRatios.Clamp(inputs.SendRatio);
  inputs.RcvRatio = kWhatIfRatios.Clamp(inputs.RcvRatio);
  inputs.Users = kWhatIfUsers.Clamp(inputs.Users);
  inputs.PktsTrans = kWhatIfPacketsPerTransaction.Clamp(inputs.PktsTrans);
  RaisePacketsPerTransaction(inputs);
}

WhatIfInputs LoadWhatIfInputs(const WhatIfStartValues& start, uint8_t topologyCode) {
  const WhatIfRange sizes = WhatIfSizeRange(topologyCode);
  const std::string_view ratio = start.ratioText;
  const size_t colon = ratio.find(':');
  WhatIfInputs in;
  in.SendRatio = kWhatIfRatios.Clamp(LeadingNumber(ratio.substr(0, colon)));
  in.RcvRatio = kWhatIfRatios.Clamp(colon == std::string_view::npos ? 0 : LeadingNumber(ratio.substr(colon + 1)));
  in.PktsTrans = kWhatIfPacketsPerTransaction.Clamp(in.SendRatio + in.RcvRatio);
  in.Latency = MeasuredField(start.minLatencyMs, kWhatIfTimes);
  in.Contention = MeasuredField(start.contentionMs, kWhatIfTimes);
  in.AveSend = MeasuredField(start.averageSendSize, sizes);
  in.AveRcv = MeasuredField(start.averageReceiveSize, sizes);
  in.Users = 1;
  in.Client = 0;
  in.Host = 0;
  in.FullDuplex = true;
  return in;
}

void ChangeSendRatio(WhatIfInputs& inputs, int value) { ChangeRatio(inputs, inputs.SendRatio, value); }
void ChangeRcvRatio(WhatIfInputs& inputs, int value) { ChangeRatio(inputs, inputs.RcvRatio, value); }

void ChangePktsTrans(WhatIfInputs& inputs, int value) {
  inputs.PktsTrans = value;
  RaisePacketsPerTransaction(inputs);
  inputs.PktsTrans = kWhatIfPacketsPerTransaction.Clamp(inputs.PktsTrans);
}

std::vector<WhatIfRow> ComputeWhatIfRows(const WhatIfInputs& inputs) {
  const Terms t = CommonTerms(inputs);
  std::vector<WhatIfRow> rows;
  rows.reserve(inputs.FullDuplex ? 2 * kWhatIfSpeedCount : kWhatIfSpeedCount);
  for (int32_t kbits : WhatIfBandwidthTable) {
    if (!inputs.FullDuplex) {
      rows.push_back(HalfDuplexRow(t, kbits));
      continue;
    }
    FullDuplexSpeed speed(t, kbits);
    speed.Fill();
    rows.push_back(speed.send());
    rows.push_back(speed.receive());
  }
  return rows;
}

}  // namespace korvane
