// The what-if window's texts: grid cells, caption, title, copy text and the table as text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "reports/WhatIfTable.h"

namespace korvane {
namespace {

WhatIfInputs Exchange(int latency, int users, bool fullDuplex) {
  WhatIfInputs in;
  in.AveSend = 100;
  in.AveRcv = 500;
  in.Latency = latency;
  in.Users = users;
  in.FullDuplex = fullDuplex;
  return in;
}

using Cells = std::array<std::string, kWhatIfColumns>;

TEST(WhatIfTable, HeadingsAndRowLabels) {
  const auto& h = WhatIfHeadings();
  EXPECT_EQ(h[0], "");
  EXPECT_EQ(h[1], "Bits/Sec");
  EXPECT_EQ(h[2], "Bytes/Sec");
  EXPECT_EQ(h[3], "Max Pkts/Sec");
  EXPECT_EQ(h[4], "Utilization");
  EXPECT_EQ(h[5], "Resp Time (secs)");
  EXPECT_EQ(WhatIfRowLabel(WhatIfRowKind::SendReceive), "Send/Rcv");
  EXPECT_EQ(WhatIfRowLabel(WhatIfRowKind::Send), "Send");
  EXPECT_EQ(WhatIfRowLabel(WhatIfRowKind::Receive), "Receive");
}

TEST(WhatIfTable, NumberCellsAsPrintfPadsThem) {
  EXPECT_EQ(WhatIfRateText(5.882353), "  5.88");
  EXPECT_EQ(WhatIfRateText(190.2587519), "190.26");
  EXPECT_EQ(WhatIfRateText(1234567.891), "1234567.89");
  EXPECT_EQ(WhatIfPercentText(4.870624), "4.87%");
  EXPECT_EQ(WhatIfPercentText(100.0), "100.00%");
  EXPECT_EQ(WhatIfSecondsText(0.010512), "0.010512");
  EXPECT_EQ(WhatIfSecondsText(12.5), "12.500000");
  // Not a finite number: an empty cell rather than "nan" or "inf".
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(WhatIfRateText(bad), "");
    EXPECT_EQ(WhatIfPercentText(bad), "");
    EXPECT_EQ(WhatIfSecondsText(bad), "");
  }
}

TEST(WhatIfTable, HalfDuplexRowsFillEveryColumn) {
  // Ps 100, Pr 500, 1:1, Latency 10, one user (figures worked out in the arithmetic tests):
  // 32 kbit/s 12.5 packets/s, 93.75%, 0.16 s; 10 Mbit/s 190.2588, 4.8706%, 0.010512 s.
  const auto rows = BuildWhatIfTable(Exchange(10, 1, false));
  ASSERT_EQ(rows.size(), 20u);
  EXPECT_EQ(rows[0].cells, (Cells{"Send/Rcv", "32,000", "4,000", " 12.50", "93.75%", "0.160000"}));
  EXPECT_EQ(rows[13].cells, (Cells{"Send/Rcv", "10,000,000", "1,250,000", "190.26", "4.87%", "0.010512"}));
  EXPECT_EQ(rows[19].cells[1], "1,000,000,000");
  EXPECT_EQ(rows[19].cells[2], "125,000,000");
  EXPECT_EQ(rows[17].cells[1], "155,520,000");
  EXPECT_EQ(rows[17].cells[2], "19,440,000");
  for (const WhatIfTableRow& r : rows) EXPECT_FALSE(r.cells[5].empty()) << r.cells[1];
}

TEST(WhatIfTable, FullDuplexLeavesResponseEmptyOnSendRows) {
  // Ps 100, Pr 500, Latency 20, ten users at 32 kbit/s: receive saturated at 8 packets/s,
  // send held back to 8 (20%), response 10/8 = 1.25 s.
  const auto rows = BuildWhatIfTable(Exchange(20, 10, true));
  ASSERT_EQ(rows.size(), 40u);
  EXPECT_EQ(rows[0].cells, (Cells{"Send", "32,000", "4,000", "  8.00", "20.00%", ""}));
  EXPECT_EQ(rows[1].cells, (Cells{"Receive", "32,000", "4,000", "  8.00", "100.00%", "1.250000"}));
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].cells[0], i % 2 == 0 ? "Send" : "Receive");
    EXPECT_EQ(rows[i].cells[5].empty(), i % 2 == 0) << i;
    EXPECT_EQ(rows[i].cells[1], rows[i - i % 2].cells[1]);  // both rows of a speed carry it
  }
}

TEST(WhatIfTable, CaptionAndTitleLines) {
  EXPECT_EQ(WhatIfCaption("NCP"), "Load & Response Time Analysis for NCP");
  EXPECT_EQ(WhatIfTitle("10.0.0.1", "10.0.0.9", false), "Sender: 10.0.0.1  Responder: 10.0.0.9");
  EXPECT_EQ(WhatIfTitle("10.0.0.1", "10.0.0.9", true), "Sender: 10.0.0.9  Responder: 10.0.0.1");
}

TEST(WhatIfTable, CopyTextOfASelectedRectangle) {
  const auto rows = BuildWhatIfTable(Exchange(10, 1, false));
  // Columns 1..3 of grid rows 1 and 2 (the 32 and 56 kbit/s rows).
  // 56 kbit/s: B 7000, T = 600/7000 + 0.010 = 0.0957143, rate 2/T = 20.90.
  EXPECT_EQ(WhatIfCopyText(rows, {1, 1, 3, 2}),
            "Bits/Sec\tBytes/Sec\tMax Pkts/Sec\n"
            "32,000\t4,000\t 12.50\n"
            "56,000\t7,000\t 20.90");
  // The heading row is not copied twice, and the rectangle is cut to the grid.
  EXPECT_EQ(WhatIfCopyText(rows, {4, 0, 9, 1}), "Utilization\tResp Time (secs)\n93.75%\t0.160000");
  EXPECT_EQ(WhatIfCopyText(rows, {0, 20, 0, 25}), "\nSend/Rcv");
  // Nothing selected below the headings: the heading line alone.
  EXPECT_EQ(WhatIfCopyText(rows, {5, 3, 5, 2}), "Resp Time (secs)");
}

TEST(WhatIfTable, WholeTableAsTabSeparatedText) {
  const auto rows = BuildWhatIfTable(Exchange(10, 1, false));
  const std::string text = WhatIfTableText(rows);
  const std::string first = "\tBits/Sec\tBytes/Sec\tMax Pkts/Sec\tUtilization\tResp Time (secs)\n"
                            "Send/Rcv\t32,000\t4,000\t 12.50\t93.75%\t0.160000\n";
  EXPECT_EQ(text.substr(0, first.size()), first);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 21 * 5);
  EXPECT_EQ(text.back(), '\n');
  // Full duplex: send rows end in an empty cell after the last tab.
  // 32 kbit/s with Latency 20: 1/0.17 = 5.88 packets/s, 100 x 5.88/4000 = 14.71%.
  const std::string full = WhatIfTableText(BuildWhatIfTable(Exchange(20, 1, true)));
  EXPECT_EQ(std::count(full.begin(), full.end(), '\n'), 41);
  EXPECT_NE(full.find("\nSend\t32,000\t4,000\t  5.88\t14.71%\t\nReceive\t32,000\t"), std::string::npos);
}

}  // namespace
}  // namespace korvane
