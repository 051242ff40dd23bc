// The figures of the views as JSON numbers: what counts as a number, a clock time, a text.
#include <gtest/gtest.h>

#include "reports/ReportJson.h"

namespace korvane {
namespace {

struct FigureCase {
  const char* text;
  std::optional<double> number;
};

class FigureNumbers : public ::testing::TestWithParam<FigureCase> {};

TEST_P(FigureNumbers, ParseAsShown) { EXPECT_EQ(FigureNumber(GetParam().text), GetParam().number) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(
    ReportJson, FigureNumbers,
    ::testing::Values(FigureCase{"1,234,567", 1234567}, FigureCase{" 0.675", 0.675}, FigureCase{"7.82%", 7.82},
                      FigureCase{"<1%", 0}, FigureCase{"-2.319", -2.319}, FigureCase{"0", 0},
                      FigureCase{"12,34", std::nullopt}, FigureCase{"1,2345", std::nullopt},
                      FigureCase{",123", std::nullopt}, FigureCase{"192.168.10.1", std::nullopt},
                      FigureCase{"1.1:1", std::nullopt}, FigureCase{"-", std::nullopt},
                      FigureCase{"", std::nullopt}, FigureCase{"5.", std::nullopt},
                      FigureCase{"Cisco3A2101", std::nullopt}, FigureCase{"1e5", std::nullopt}));

TEST(ReportJson, ClockTimesInSeconds) {
  EXPECT_EQ(ClockSeconds("00:00:36"), 36.0);
  EXPECT_EQ(ClockSeconds("00:01:02.250"), 62.25);
  EXPECT_EQ(ClockSeconds("00:00:00.013"), 0.013);  // no rounding error from the digits
  EXPECT_EQ(ClockSeconds("123:00:00"), 442800.0);
  for (const char* text : {"00:60:00", "00:00", "1:2:3", "00:00:01.", "12.5", ""})
    EXPECT_EQ(ClockSeconds(text), std::nullopt) << text;
}

TEST(ReportJson, TableKeepsTextColumnsAndGivesClockColumnsTheirUnit) {
  const std::vector<std::string_view> headings = {"Name", "Frames", "Duration", "Ratio"};
  const std::vector<std::vector<std::string>> rows = {{"000086123456", "1,024", "00:00:02", "2:1"},
                                                      {"Router", "", "00:00:00.500", "-"}};
  const Json table = TableJson(headings, rows, [](size_t c) { return c == 0; });
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0]["Name"], "000086123456");  // a name of digits stays a name
  EXPECT_EQ(table[0]["Frames"], 1024);
  EXPECT_TRUE(table[0]["Frames"].is_number_integer());
  EXPECT_EQ(table[0]["Duration (s)"], 2.0);
  EXPECT_EQ(table[1]["Duration (s)"], 0.5);
  EXPECT_TRUE(table[1]["Frames"].is_null());
  EXPECT_EQ(table[0]["Ratio"], "2:1");
  EXPECT_EQ(table[1]["Ratio"], "-");
}

}  // namespace
}  // namespace korvane
