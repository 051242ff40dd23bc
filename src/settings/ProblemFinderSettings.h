// The problem finder's settings: 30 checks that can each be switched on or off, and 13
// thresholds (numbers or three-step sensitivities). Program-wide; loaded at start-up and
// saved at exit under the section "Problem Finder".
#pragma once
#include <array>
#include <cstdint>
#include <string_view>

#include "settings/KeyValueStore.h"

namespace korvane {

inline constexpr std::string_view kProblemFinderSection = "Problem Finder";

// The checks, in the order of the settings dialog's list (and of their value names).
enum class ProblemCheck : uint8_t {
  CSBusyNetwork, CSInefficientClient, CSLowThroughput, CSSlowResponseTime,
  EthernetCRCError, EthernetOversized, EthernetUndersized, ICMP,
  IPChecksumError, IPLocalRouting, IPLowTTL, IPMissingFragment, IPXLocalRouting,
  NCPFastTransportRetransmission, NCPPacketBurst, NCPServerBusy, NCPTransportRetransmission,
  SPXFastTransportRetransmission, SPXTransportRetransmission,
  TCPChecksumError, TCPFastTransportRetransmission, TCPIdleTooLong, TCPLowMSS, TCPLowWindow,
  TCPResetConnection, TCPSlowAck, TCPTransportRetransmission, TCPStuckWindow, TCPZeroWindow,
  UDPChecksumError,
};
inline constexpr int kProblemCheckCount = 30;

enum class ProblemThreshold : uint8_t {
  CSBusyNetwork, CSInefficientClient, CSLowThroughput, CSSlowResponseTime, IPLowTTL,
  NCPFastTransportRetransmission, SPXFastTransportRetransmission, TCPFastTransportRetransmission,
  TCPIdleTooLong, TCPLowMSS, TCPLowWindow, TCPSlowAck, TCPStuckWindow,
};
inline constexpr int kProblemThresholdCount = 13;

struct ThresholdInfo {
  std::string_view valueName;  // "ThresholdCSBusyNetwork" ...
  uint16_t defaultValue, minimum, maximum;
  std::string_view unit;       // "Sensitivity", "Kbytes/sec", "milliseconds", ... or empty
  bool slider;                 // a 1..3 sensitivity ("Low", "Medium", "High")
};

// One line of the settings dialog's list with the four texts shown when it is selected.
struct ProblemItemInfo {
  std::string_view caption;          // "C/S Busy Network or Server"
  std::string_view enableValueName;  // "EnableCSBusyNetwork"
  std::string_view title;            // "Busy Network or Server"
  std::string_view description, causes, remedy;
  int threshold;                     // ProblemThreshold index, -1 = none
};

const std::array<ProblemItemInfo, kProblemCheckCount>& ProblemItems();
const std::array<ThresholdInfo, kProblemThresholdCount>& ProblemThresholds();
// "Low", "Medium", "High" for 1..3; empty otherwise.
std::string_view SensitivityWord(uint16_t value);

struct ProblemFinderSettings {
  std::array<bool, kProblemCheckCount> Enabled{};
  std::array<uint16_t, kProblemThresholdCount> Thresholds{};

  ProblemFinderSettings() { RestoreAllDefaults(); }

  bool IsEnabled(ProblemCheck check) const { return Enabled[size_t(check)]; }
  void SetEnabled(ProblemCheck check, bool on) { Enabled[size_t(check)] = on; }
  uint16_t Threshold(ProblemThreshold t) const { return Thresholds[size_t(t)]; }
  // Clamped into the threshold's range.
  void SetThreshold(ProblemThreshold t, long long value);

  void RestoreDefault(ProblemThreshold t);
  void RestoreAllDefaults();  // every check on, every threshold at its default
  void EnableAll(bool on);

  // A missing or unreadable value keeps its default; a number out of range is clamped.
  void Load(const KeyValueStore& store);
  void Save(KeyValueStore& store) const;

  bool operator==(const ProblemFinderSettings&) const = default;
};

}  // namespace korvane
