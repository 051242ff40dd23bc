// The analysis engine's entry: decodes each frame the reader hands over and accumulates
// the analysis tables.
#pragma once
#include <cstdint>

#include "analysis/AnalysisTables.h"
#include "input/ReadLoop.h"
#include "input/TraceTypes.h"

namespace korvane {

uint8_t EtherTypeCategory(uint16_t type, const CapturedFrame& frame, uint32_t netOffset);
uint8_t SapCategory(uint8_t dsap, const CapturedFrame& frame, uint32_t netOffset);
bool IsGroupAddress(const AddressKey& key, uint8_t topologyCode);

// Rounds to the nearest integer, ties to even.
double RoundEven(double value);

class FrameAnalyser final : public FrameSink {
 public:
  FrameAnalyser(TraceFileInfo& info, CapturedFrame& frame, AnalysisTables& tables, ReadProgress& progress)
      : info_(info), frame_(frame), tables_(tables), progress_(progress) {}

  void BeginTrace(bool firstFrameOnly) override;
  uint8_t AnalyseFrame(int64_t& frameCounter) override;
  void EndTrace(bool fullRead) override;

  void AdvanceClock(int64_t frameCounter);
  void CloseInterval();

  int64_t LastFragmentFrame() const { return lastFragmentFrame_; }

 private:
  void CountGroup(bool broadcast);
  void DecodeEthernet(int64_t frameCounter);
  void DecodeTokenRing();

  TraceFileInfo& info_;
  CapturedFrame& frame_;
  AnalysisTables& tables_;
  ReadProgress& progress_;

  // Per-frame working values.
  AddressKey source_, destination_;
  bool groupAddressed_ = false;
  uint8_t frameCondition_ = 3;
  uint8_t encapsulation_ = 0;
  uint8_t category_ = category::Other;
  uint32_t netOffset_ = 0;

  // Carried from frame to frame.
  int64_t lastFragmentFrame_ = -2;
  double previousTime_ = 0;
  double lastSampleTime_ = 0;
};

}  // namespace korvane
