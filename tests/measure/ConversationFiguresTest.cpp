// The client/server grid measured on one thread and on several gives the same rows, cell
// for cell, and the same totals; a stop keeps an unbroken run of rows from the start.
#include <gtest/gtest.h>

#include <sstream>

#include "reports/ConversationGrid.h"
#include "support/TestSupport.h"
#include "writers/TraceWriters.h"

namespace korvane {
namespace {

class GridThreads : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Thousands of interleaved TCP and UDP flows among many hosts.
    tools::SnifferDosOptions options;
    options.timeUnit = 5;
    session_ = test::Analyse(tools::WriteSnifferDos(tools::SyntheticLoad(60000, 11), options), "load.enc").release();
  }
  static void TearDownTestSuite() {
    delete session_;
    session_ = nullptr;
  }
  static ProblemFinderSettings Settings() {
    ProblemFinderSettings settings;
    settings.SetThreshold(ProblemThreshold::CSLowThroughput, 200);  // marks on many rows
    return settings;
  }
  static ConversationGrid Build(unsigned threads, const GridProgress& progress = {}) {
    return BuildConversationGrid(*session_, Settings(), {}, progress, threads);
  }
  static TraceSession* session_;
};
TraceSession* GridThreads::session_ = nullptr;

TEST_F(GridThreads, EveryCellTheSameOnOneThreadAndOnSeveral) {
  const ConversationGrid single = Build(1);
  ASSERT_GE(single.rows.size(), 2000u);
  for (unsigned threads : {2u, 3u, 0u}) {
    SCOPED_TRACE(threads);
    const ConversationGrid multi = Build(threads);
    ASSERT_EQ(multi.rows.size(), single.rows.size());
    for (size_t r = 0; r < single.rows.size(); ++r) {
      EXPECT_EQ(multi.rows[r].cells, single.rows[r].cells) << "row " << r;
      EXPECT_EQ(multi.rows[r].clientKey, single.rows[r].clientKey);
      EXPECT_EQ(multi.rows[r].serverKey, single.rows[r].serverKey);
    }
    EXPECT_EQ(multi.boxes, single.boxes);
    EXPECT_EQ(multi.countLabel, single.countLabel);
  }
}

// The command-line text is written row by row without keeping the grid; it must be the
// grid's own text, totals included, whatever the packets-and-bytes choice and the number
// of measuring threads.
TEST_F(GridThreads, TextWrittenRowByRowIsTheGridsText) {
  for (PacketsBytes choice : {PacketsBytes::Both, PacketsBytes::ServerToClient}) {
    ConversationGridOptions options;
    options.packetsBytes = choice;
    const ConversationGrid grid = BuildConversationGrid(*session_, Settings(), options, {}, 1);
    ASSERT_GE(grid.rows.size(), 2000u);
    for (unsigned threads : {1u, 2u}) {
      std::ostringstream written;
      WriteConversationGridText(written, *session_, Settings(), options, threads);
      EXPECT_EQ(written.str(), ConversationGridText(grid)) << threads << " threads";
    }
  }
}

TEST_F(GridThreads, StopKeepsTheRowsFromTheStart) {
  const ConversationGrid whole = Build(1);
  const ConversationGrid stopped = Build(2, [&](size_t rows) { return rows < whole.rows.size() / 2; });
  ASSERT_LT(stopped.rows.size(), whole.rows.size());
  ASSERT_GT(stopped.rows.size(), 0u);
  for (size_t r = 0; r < stopped.rows.size(); ++r) EXPECT_EQ(stopped.rows[r].cells, whole.rows[r].cells);
}

}  // namespace
}  // namespace korvane
