// The main window's caption, the Open dialog's file types, the Default Bandwidth options,
// the Reopen captions and the Tip Wizard texts.
#include <gtest/gtest.h>

#include "input/TraceTypes.h"
#include "reports/MainWindowTexts.h"
#include "reports/TipWizard.h"

namespace korvane {
namespace {

TEST(MainWindowTextsTest, CaptionWithAndWithoutAFile) {
  EXPECT_EQ(MainCaption(""), "Korvane Seravo (tm) ");
  EXPECT_EQ(MainCaption("", kSlicedPacketsSuffix), "Korvane Seravo (tm) ");
  EXPECT_EQ(MainCaption("/home/u/traces/lan.enc"), "Korvane Seravo (tm)  - lan.enc");
  EXPECT_EQ(MainCaption("/t/lan.enc", kSlicedPacketsSuffix), "Korvane Seravo (tm)  - lan.enc (contains sliced packets)");
}

TEST(MainWindowTextsTest, OpenDialogFilterListsTheAcceptedFormats) {
  const std::string filter = OpenDialogFilter();
  // Every pattern once in the list of every trace type.
  EXPECT_EQ(filter.rfind("Any Trace File|*.pkt;*.tpc;*.dat;*.eth;*.trn;*.dgc;*.cap;*.enc;*.trc;*.bfr;"
                         "*.tr1;*.dmp;*.snoop;*.t04;*.an1;*.kvd;|", 0),
            0u)
      << filter;
  EXPECT_NE(filter.find("|AG EtherPeek/TokenPeek (*.pkt; *.tpc)|*.pkt; *.tpc|"), std::string::npos);
  EXPECT_NE(filter.find("|NAI Sniffer DOS (*.enc; *.trc)|*.enc; *.trc|"), std::string::npos);
  EXPECT_NE(filter.find("|Sun Snoop (*.snoop; *.cap)|*.snoop; *.cap|"), std::string::npos);
  EXPECT_NE(filter.find("|HP Internet Advisor (pre-Win95) (*.eth; *.trn)|"), std::string::npos);
  EXPECT_NE(filter.find("|Digitech LAN900 (*.dat)|*.dat|"), std::string::npos);
  // Formats that are detected but not analysed are not offered.
  EXPECT_EQ(filter.find("tcpdump"), std::string::npos);
  EXPECT_EQ(filter.find("LANDesk"), std::string::npos);
  EXPECT_EQ(filter.find("ASCII"), std::string::npos);
  const std::string tail = "|Sample Trace File (*.kvd)|*.kvd|All files (*)|*";
  EXPECT_EQ(filter.substr(filter.size() - tail.size()), tail);

  const auto types = OpenDialogFileTypes();
  ASSERT_EQ(types.size(), 1u + 18u + 2u);  // every accepted format once
  EXPECT_EQ(types[1].description, "AG EtherPeek/TokenPeek (*.pkt; *.tpc)");
  EXPECT_EQ(types.back().patterns, "*");  // files without an extension too
}

TEST(MainWindowTextsTest, BandwidthOptionsByTopology) {
  auto ethernet = BandwidthOptions(topology::Ethernet, 0, 0);
  EXPECT_EQ(ethernet[0].caption, "10 Mbps");
  EXPECT_EQ(ethernet[1].mbps, 100);
  EXPECT_EQ(ethernet[2].caption, "1000 Mbps");
  EXPECT_FALSE(ethernet[3].visible);
  auto ring = BandwidthOptions(topology::TokenRing, 1, 16000000);
  EXPECT_EQ(ring[0].caption, "4 Mbps");
  EXPECT_EQ(ring[1].caption, "16 Mbps");
  EXPECT_EQ(ring[2].mbps, 100);
  EXPECT_TRUE(ring[3].visible);
  EXPECT_EQ(ring[3].caption, "Source File (16 Mbps)");
  EXPECT_EQ(ring[3].mbps, 16);

  EXPECT_EQ(CheckedBandwidthOption(topology::Ethernet, 10), 0);
  EXPECT_EQ(CheckedBandwidthOption(topology::Ethernet, 1000), 2);
  EXPECT_EQ(CheckedBandwidthOption(topology::Ethernet, 16), -1);
  EXPECT_EQ(CheckedBandwidthOption(topology::TokenRing, 16), 1);
  EXPECT_EQ(CheckedBandwidthOption(topology::TokenRing, 10), -1);
  EXPECT_EQ(CheckedBandwidthOption(topology::TokenRing, 100), 2);
}

TEST(MainWindowTextsTest, ReopenCaptions) {
  EXPECT_EQ(RecentFileCaption(0, "/t/a.enc"), "&1 /t/a.enc");
  EXPECT_EQ(RecentFileCaption(7, "/t/h.enc"), "&8 /t/h.enc");
}

TEST(TipWizardTest, TextsByNumber) {
  EXPECT_EQ(TipText(1), "Right click on the graphic to change its properties.");
  EXPECT_EQ(TipText(4), "");
  EXPECT_EQ(TipText(6), "View all conversations with a problem such as \"Slow Network or Server\" by performing a "
                        "descending sort on that column.");
  EXPECT_EQ(TipText(44), "When analyzing a new trace for the first time, you may wish to \"Restore All Defaults.\"");
  EXPECT_EQ(TipText(0), "");
  EXPECT_EQ(TipText(45), "");
  for (int n = 1; n <= kTipCount; ++n) {
    if (n != 4) {
      EXPECT_FALSE(TipText(n).empty()) << n;
    }
  }
}

TEST(TipWizardTest, OneLinePerTipInNumberOrder) {
  EXPECT_EQ(TipWizardText({35, 34}),
            "Tip: For more global statistics about your trace file, try the Packet Size and Protocol Charts or the "
            "Protocol Table.\n"
            "Tip: For peer-to-peer packet transaction details, click on the Client/Server Expert tab or the Toolbox "
            "button.");
  // The empty tip and numbers without a tip are left out; repeats shown once.
  EXPECT_EQ(TipWizardText({4, 2, 2, 60}), "Tip: Double click on a column to sort it.");
  EXPECT_EQ(TipWizardText({}), "");
  EXPECT_EQ(TipWizardText(tipset::ProblemSettings),
            std::string("Tip: ") + std::string(TipText(43)) + "\nTip: " + std::string(TipText(44)));
}

}  // namespace
}  // namespace korvane
