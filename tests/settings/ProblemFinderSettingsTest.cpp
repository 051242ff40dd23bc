// The problem finder's checks and thresholds: the list, the defaults and ranges, load and save.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "settings/IniFileStore.h"
#include "settings/ProblemFinderSettings.h"

namespace korvane {
namespace {

const ProblemItemInfo& ItemCaptioned(std::string_view caption) {
  for (const ProblemItemInfo& item : ProblemItems())
    if (item.caption == caption) return item;
  ADD_FAILURE() << "no item " << caption;
  return ProblemItems()[0];
}

TEST(ProblemFinderSettingsTest, DefaultsOnAnEmptyStore) {
  MemoryStore empty;
  ProblemFinderSettings settings;
  settings.EnableAll(false);
  settings.SetThreshold(ProblemThreshold::TCPSlowAck, 9);
  settings.Load(empty);  // back to the defaults, whatever it held
  for (bool on : settings.Enabled) EXPECT_TRUE(on);
  const std::array<uint16_t, kProblemThresholdCount> defaults = {2, 2, 100, 100, 1, 150, 150, 150, 300, 1024, 10, 250, 2000};
  EXPECT_EQ(settings.Thresholds, defaults);
  EXPECT_EQ(settings, ProblemFinderSettings());
}

TEST(ProblemFinderSettingsTest, ThresholdTable) {
  struct Expected {
    ProblemThreshold t;
    std::string_view name;
    uint16_t minimum, maximum;
    std::string_view unit;
    bool slider;
  };
  const Expected expected[] = {
      {ProblemThreshold::CSBusyNetwork, "ThresholdCSBusyNetwork", 1, 3, "Sensitivity", true},
      {ProblemThreshold::CSInefficientClient, "ThresholdCSInefficientClient", 1, 3, "Sensitivity", true},
      {ProblemThreshold::CSLowThroughput, "ThresholdCSLowThroughput", 1, 65535, "Kbytes/sec", false},
      {ProblemThreshold::CSSlowResponseTime, "ThresholdCSSlowResponseTime", 1, 65535, "milliseconds", false},
      {ProblemThreshold::IPLowTTL, "ThresholdIPLowTTL", 1, 255, "", false},
      {ProblemThreshold::NCPFastTransportRetransmission, "ThresholdNCPFastTransportRetransmission", 1, 65535,
       "milliseconds", false},
      {ProblemThreshold::SPXFastTransportRetransmission, "ThresholdSPXFastTransportRetransmission", 1, 65535,
       "milliseconds", false},
      {ProblemThreshold::TCPFastTransportRetransmission, "ThresholdTCPFastTransportRetransmission", 1, 65535,
       "milliseconds", false},
      {ProblemThreshold::TCPIdleTooLong, "ThresholdTCPIdleTooLong", 1, 65535, "seconds", false},
      {ProblemThreshold::TCPLowMSS, "ThresholdTCPLowMSS", 128, 65535, "", false},
      {ProblemThreshold::TCPLowWindow, "ThresholdTCPLowWindow", 1, 99, "percent", false},
      {ProblemThreshold::TCPSlowAck, "ThresholdTCPSlowAck", 1, 65535, "milliseconds", false},
      {ProblemThreshold::TCPStuckWindow, "ThresholdTCPStuckWindow", 100, 50000, "milliseconds", false},
  };
  for (const Expected& e : expected) {
    const ThresholdInfo& info = ProblemThresholds()[size_t(e.t)];
    EXPECT_EQ(info.valueName, e.name);
    EXPECT_EQ(info.minimum, e.minimum) << e.name;
    EXPECT_EQ(info.maximum, e.maximum) << e.name;
    EXPECT_EQ(info.unit, e.unit) << e.name;
    EXPECT_EQ(info.slider, e.slider) << e.name;
  }
  EXPECT_EQ(SensitivityWord(1), "Low");
  EXPECT_EQ(SensitivityWord(2), "Medium");
  EXPECT_EQ(SensitivityWord(3), "High");
  EXPECT_EQ(SensitivityWord(0), "");
  EXPECT_EQ(SensitivityWord(4), "");
}

TEST(ProblemFinderSettingsTest, ListItemsAndTheirThresholds) {
  const auto& items = ProblemItems();
  EXPECT_EQ(items[0].caption, "C/S Busy Network or Server");
  EXPECT_EQ(items[22].caption, "TCP Low Starting MSS");
  EXPECT_EQ(items[29].caption, "UDP Checksum Error");
  // Value names follow the check order; each thresholded item names its own threshold.
  std::set<std::string_view> names;
  for (size_t i = 0; i < items.size(); ++i) {
    const ProblemItemInfo& item = items[i];
    names.insert(item.enableValueName);
    EXPECT_EQ(item.enableValueName.substr(0, 6), "Enable") << item.caption;
    if (item.threshold >= 0) {
      EXPECT_EQ(ProblemThresholds()[size_t(item.threshold)].valueName.substr(9), item.enableValueName.substr(6))
          << item.caption;
    }
    // Title: the caption without the "C/S " prefix and without a unit in brackets.
    for (std::string_view unit : {" (ms)", " (seconds)", " (Kbytes/sec)", " (percent of max window)"})
      EXPECT_EQ(item.title.find(unit), std::string_view::npos) << item.caption;
    EXPECT_NE(item.caption.find(item.title), std::string_view::npos) << item.caption;
    EXPECT_NE(item.title.substr(0, 4), "C/S ");
    EXPECT_FALSE(item.description.empty() || item.causes.empty() || item.remedy.empty()) << item.caption;
    EXPECT_EQ(item.causes.back(), '.') << item.caption;
    EXPECT_EQ(item.remedy.back(), '.') << item.caption;
  }
  EXPECT_EQ(names.size(), size_t(kProblemCheckCount));
  EXPECT_EQ(items[size_t(ProblemCheck::TCPZeroWindow)].enableValueName, "EnableTCPZeroWindow");
  EXPECT_EQ(items[size_t(ProblemCheck::NCPFastTransportRetransmission)].caption, "NCP Fast Retransmission (ms)");
  EXPECT_EQ(items[size_t(ProblemCheck::NCPFastTransportRetransmission)].title, "NCP Fast Retransmission");
  EXPECT_EQ(items[size_t(ProblemCheck::CSSlowResponseTime)].title, "Slow Server to Client Resp Time");

  // Selecting "TCP Slow Acknowledgement (ms)" shows the unit and range of its spin box.
  const ProblemItemInfo& slowAck = ItemCaptioned("TCP Slow Acknowledgement (ms)");
  ASSERT_GE(slowAck.threshold, 0);
  const ThresholdInfo& range = ProblemThresholds()[size_t(slowAck.threshold)];
  EXPECT_EQ(range.unit, "milliseconds");
  EXPECT_EQ(range.minimum, 1);
  EXPECT_EQ(range.maximum, 65535);
  EXPECT_FALSE(range.slider);
  EXPECT_EQ(ItemCaptioned("TCP Zero Window").threshold, -1);
}

TEST(ProblemFinderSettingsTest, TextsGivenForTheClientServerItems) {
  const auto& items = ProblemItems();
  EXPECT_EQ(items[0].description,
            "There is a moderate to high fluctuation in response time.  The higher the sensitivity, the higher the "
            "likelihood that this problem will be flagged.");
  EXPECT_EQ(items[1].description,
            "Clients that are \"chatty\" and utilize small average packet sizes.  The higher the sensitivity, the "
            "higher the likelihood that this problem will be flagged.");
  EXPECT_EQ(items[2].title, "Low Server to Client Thput");
  EXPECT_EQ(items[2].causes,
            "Busy server, network segments with low bandwidth, client is not using sliding window or packet burst "
            "protocol to recieve data.");
  EXPECT_EQ(items[3].remedy,
            "Optimize application usage on the server or upgrade server platform, upgrade low bandwidth segments "
            "between the client and server, consider point-to-point or cell relay for WANs.");
  EXPECT_EQ(ItemCaptioned("TCP Low Starting MSS").description,
            "The TCP Maximum Segment Size (MSS) is at or below the threshold setting. ");
}

TEST(ProblemFinderSettingsTest, LoadClampsAndSkipsUnreadableValues) {
  MemoryStore store;
  store.SetValue(kProblemFinderSection, "ThresholdTCPStuckWindow", "50");       // below 100
  store.SetValue(kProblemFinderSection, "ThresholdTCPLowWindow", "150");        // above 99
  store.SetValue(kProblemFinderSection, "ThresholdTCPSlowAck", "-5");           // below 1
  store.SetValue(kProblemFinderSection, "ThresholdCSBusyNetwork", "70000");     // above 3
  store.SetValue(kProblemFinderSection, "ThresholdTCPIdleTooLong", "99999999999999999999");  // not a number we keep
  store.SetValue(kProblemFinderSection, "ThresholdTCPFastTransportRetransmission", "ten");
  store.SetValue(kProblemFinderSection, "ThresholdTCPLowMSS", "536");
  store.SetValue(kProblemFinderSection, "EnableICMP", "false");
  store.SetValue(kProblemFinderSection, "EnableTCPZeroWindow", "0");
  store.SetValue(kProblemFinderSection, "EnableTCPResetConnection", "maybe");
  store.SetValue("Other Section", "EnableUDPChecksumError", "false");

  ProblemFinderSettings settings;
  settings.Load(store);
  EXPECT_EQ(settings.Threshold(ProblemThreshold::TCPStuckWindow), 100);
  EXPECT_EQ(settings.Threshold(ProblemThreshold::TCPLowWindow), 99);
  EXPECT_EQ(settings.Threshold(ProblemThreshold::TCPSlowAck), 1);
  EXPECT_EQ(settings.Threshold(ProblemThreshold::CSBusyNetwork), 3);
  EXPECT_EQ(settings.Threshold(ProblemThreshold::TCPIdleTooLong), 300);
  EXPECT_EQ(settings.Threshold(ProblemThreshold::TCPFastTransportRetransmission), 150);
  EXPECT_EQ(settings.Threshold(ProblemThreshold::TCPLowMSS), 536);
  EXPECT_FALSE(settings.IsEnabled(ProblemCheck::ICMP));
  EXPECT_FALSE(settings.IsEnabled(ProblemCheck::TCPZeroWindow));
  EXPECT_TRUE(settings.IsEnabled(ProblemCheck::TCPResetConnection));
  EXPECT_TRUE(settings.IsEnabled(ProblemCheck::UDPChecksumError));

  settings.SetThreshold(ProblemThreshold::IPLowTTL, 256);
  EXPECT_EQ(settings.Threshold(ProblemThreshold::IPLowTTL), 255);
  settings.SetThreshold(ProblemThreshold::TCPLowMSS, 0);
  EXPECT_EQ(settings.Threshold(ProblemThreshold::TCPLowMSS), 128);
}

TEST(ProblemFinderSettingsTest, SaveWritesEveryValueAndLoadsBack) {
  ProblemFinderSettings settings;
  settings.SetEnabled(ProblemCheck::IPLocalRouting, false);
  settings.SetEnabled(ProblemCheck::UDPChecksumError, false);
  settings.SetThreshold(ProblemThreshold::CSLowThroughput, 65535);
  settings.SetThreshold(ProblemThreshold::TCPStuckWindow, 4321);

  IniFileStore store;
  settings.Save(store);
  EXPECT_EQ(store.Value(kProblemFinderSection, "EnableIPLocalRouting"), "0");
  EXPECT_EQ(store.Value(kProblemFinderSection, "EnableIPXLocalRouting"), "1");
  EXPECT_EQ(store.Value(kProblemFinderSection, "ThresholdTCPStuckWindow"), "4321");
  const std::string text = store.Text();
  EXPECT_EQ(text.rfind("[Problem%20Finder]\n", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '='), kProblemCheckCount + kProblemThresholdCount);

  IniFileStore reread;
  reread.Parse(text);
  ProblemFinderSettings loaded;
  loaded.Load(reread);
  EXPECT_EQ(loaded, settings);
}

TEST(ProblemFinderSettingsTest, DialogButtonsOnAWorkingCopy) {
  ProblemFinderSettings live;
  live.SetEnabled(ProblemCheck::TCPSlowAck, false);
  live.SetThreshold(ProblemThreshold::TCPSlowAck, 500);

  // "Restore All Defaults" then Cancel: the live settings are untouched.
  ProblemFinderSettings working = live;
  working.RestoreAllDefaults();
  EXPECT_EQ(working, ProblemFinderSettings());
  EXPECT_FALSE(live.IsEnabled(ProblemCheck::TCPSlowAck));
  EXPECT_EQ(live.Threshold(ProblemThreshold::TCPSlowAck), 500);

  // Unchecking "NCP Fast Retransmission (ms)" then OK turns off that check alone.
  working = live;
  working.SetEnabled(ProblemCheck::NCPFastTransportRetransmission, false);
  ProblemFinderSettings before = live;
  live = working;
  for (int i = 0; i < kProblemCheckCount; ++i) {
    const bool changed = ProblemCheck(i) == ProblemCheck::NCPFastTransportRetransmission;
    EXPECT_EQ(live.Enabled[size_t(i)], changed ? false : before.Enabled[size_t(i)]) << ProblemItems()[size_t(i)].caption;
  }
  EXPECT_TRUE(live.IsEnabled(ProblemCheck::TCPFastTransportRetransmission));
  EXPECT_EQ(live.Thresholds, before.Thresholds);

  // "Restore Default" resets the selected threshold only; Enable All / Disable All the checks only.
  live.SetThreshold(ProblemThreshold::IPLowTTL, 64);
  live.RestoreDefault(ProblemThreshold::TCPSlowAck);
  EXPECT_EQ(live.Threshold(ProblemThreshold::TCPSlowAck), 250);
  EXPECT_EQ(live.Threshold(ProblemThreshold::IPLowTTL), 64);
  live.EnableAll(false);
  for (bool on : live.Enabled) EXPECT_FALSE(on);
  live.EnableAll(true);
  for (bool on : live.Enabled) EXPECT_TRUE(on);
  EXPECT_EQ(live.Threshold(ProblemThreshold::IPLowTTL), 64);
}

}  // namespace
}  // namespace korvane
