// The client/server grid measured on one thread and on several gives the same rows, cell
// for cell, and the same totals; a stop keeps an unbroken run of rows from the start.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "measure/ConversationFigures.h"
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
    for (unsigned threads : {1u, 2u, 3u}) {
      std::ostringstream written;
      WriteConversationGridText(written, *session_, Settings(), options, threads);
      EXPECT_EQ(written.str(), ConversationGridText(grid)) << threads << " threads";
    }
  }
}

// The stop comes early (after a few dozen of some 5,000 rows). On one thread it always cuts
// the grid short; with more, the others may have measured everything before the stop is
// seen (a loaded machine can hold the calling thread off the processor for the whole
// run), and the grid is then whole: either way it is the rows from the start.
TEST_F(GridThreads, StopKeepsTheRowsFromTheStart) {
  const ConversationGrid whole = Build(1);
  for (unsigned threads : {1u, 2u}) {
    SCOPED_TRACE(threads);
    const ConversationGrid stopped = Build(threads, [&](size_t rows) { return rows < 64; });
    if (threads == 1) {
      ASSERT_LT(stopped.rows.size(), whole.rows.size());
    }
    ASSERT_GT(stopped.rows.size(), 0u);
    ASSERT_LE(stopped.rows.size(), whole.rows.size());
    for (size_t r = 0; r < stopped.rows.size(); ++r) EXPECT_EQ(stopped.rows[r].cells, whole.rows[r].cells);
  }
}

// What is handed on while the measuring goes on is the result, in its order, once each:
// whole, or after a stop only the run the result keeps. Rows given back once handed on
// are handed on all the same, and only the result goes without them.
TEST_F(GridThreads, HandedOnInOrderExactlyTheResult) {
  const std::vector<ConversationFigures> whole = MeasureConversations(*session_, Settings(), 1);
  for (unsigned threads : {1u, 2u, 3u})
    for (bool stopHalfWay : {false, true})
      for (bool keepRows : {true, false}) {
        SCOPED_TRACE(std::to_string(threads) + (stopHalfWay ? " threads, stopped" : " threads") +
                     (keepRows ? "" : ", rows given back"));
        std::vector<std::tuple<int32_t, int32_t, size_t>> keys;
        size_t calls = 0;
        const FiguresProgress progress = [&](size_t) { return !stopHalfWay || ++calls < 40; };
        const std::vector<ConversationFigures> result = MeasureConversations(
            *session_, Settings(), threads, progress,
            [&](const ConversationFigures& c) { keys.emplace_back(c.Station, c.Conversation, c.Rows.size()); },
            keepRows);
        if (stopHalfWay) {
          // Cut short for certain on one thread only (see StopKeepsTheRowsFromTheStart).
          if (threads == 1) {
            EXPECT_LT(result.size(), whole.size());
          }
          EXPECT_LE(result.size(), whole.size());
        } else {
          EXPECT_EQ(result.size(), whole.size());
        }
        ASSERT_EQ(keys.size(), result.size());
        for (size_t i = 0; i < result.size(); ++i) {
          EXPECT_EQ(keys[i], std::make_tuple(whole[i].Station, whole[i].Conversation, whole[i].Rows.size())) << i;
          EXPECT_EQ(result[i].Station, whole[i].Station) << i;
          EXPECT_EQ(result[i].Rows.size(), keepRows ? whole[i].Rows.size() : 0u) << i;
        }
      }
}

}  // namespace
}  // namespace korvane
