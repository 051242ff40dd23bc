// Every trace of the damaged corpus (fuzz/corpus/damaged/, written by korvane-mkdamaged)
// goes through the open flow: it is either refused with a message or read to its end,
// and no record is handed over twice. Hangs inside a reader are left to the test timeout
// and the sanitizer build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "reports/FileSummary.h"
#include "reports/StationStats.h"
#include "reports/StreamList.h"
#include "support/TestSupport.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

fs::path CorpusDir() { return fs::path(KORVANE_SOURCE_DIR) / "fuzz/corpus/damaged"; }

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  if (fs::is_directory(CorpusDir()))
    for (const auto& entry : fs::directory_iterator(CorpusDir()))
      if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// The analyser as the reading loop sees it, with the stop mark set once more frames have
// come than the file has bytes: a reader going round in circles ends as a stopped read.
class BoundedSink final : public FrameSink {
 public:
  BoundedSink(TraceSession& session, int64_t bound) : session_(session), bound_(bound) {}
  void BeginTrace(bool probe) override { session_.analyser.BeginTrace(probe); }
  uint8_t AnalyseFrame(CapturedFrame& frame, int64_t number) override {
    if (number > bound_) session_.progress.stopMark = true;
    return session_.analyser.AnalyseFrame(frame, number);
  }
  void EndTrace(bool full) override { session_.analyser.EndTrace(full); }

 private:
  TraceSession& session_;
  int64_t bound_;
};

TEST(DamagedCorpus, EveryTraceIsRefusedOrReadToItsEnd) {
  const std::vector<fs::path> files = CorpusFiles();
  ASSERT_GT(files.size(), 1000u) << CorpusDir();
  int loaded = 0;
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.filename().string());
    auto source = FileSource::Open(path.string());
    ASSERT_TRUE(source);
    TraceSession session;
    session.analyser.SetNameFiles(nullptr);
    const OpenResult checked = CheckTrace(session, path.string(), *source);
    if (checked.status != OpenStatus::Loaded) {
      EXPECT_FALSE(checked.message.empty());
      continue;
    }
    const int64_t size = source->Size();
    BoundedSink sink(session, size);
    const ReadOutcome outcome = ReadTraceFile(*source, session.info, *session.frame, sink, session.progress, false);
    if (!outcome.tablesReady) continue;  // refused by the reader: "damaged header"
    ++loaded;
    EXPECT_FALSE(outcome.stopped) << "more frames than bytes";
    EXPECT_LE(session.info.FramesRead, size);
    EXPECT_LE(session.tables.Stats.FramesAnalysed, session.info.FramesRead);
    // The views that walk every table take whatever the damage left.
    session.AnalysedLineSpeedMbps = session.info.LineSpeedMbps;
    EXPECT_FALSE(FileSummaryText(BuildFileSummary(session, {})).empty());
    EXPECT_LE(BuildStationStats(session).size(), size_t(session.tables.StationCount));
    EXPECT_LE(BuildStreamList(session).size(), size_t(session.tables.Streams.size()));
  }
  // Most damage leaves something to read: the corpus is not just refusals.
  EXPECT_GT(loaded, int(files.size()) / 2);
}

// The corpus holds every kind of damage for every format family it applies to.
TEST(DamagedCorpus, CoversEveryFormatAndKindOfDamage) {
  std::map<std::string, std::set<std::string>> kinds;  // format -> damage kinds
  for (const fs::path& path : CorpusFiles()) {
    const std::string name = path.stem().string();
    for (const char* scenario : {"-office-", "-tokenring-"}) {
      const size_t at = name.find(scenario);
      if (at == std::string::npos) continue;
      const std::string damage = name.substr(at + std::strlen(scenario));
      kinds[name.substr(0, at)].insert(damage.substr(0, damage.find('-')));
    }
  }
  const std::map<std::string, std::set<std::string>> expected = {
      {"sniffer", {"cut", "len"}},
      {"sniffer-compressed", {"block"}},
      {"netxray", {"cut", "len", "off", "count"}},
      {"netxray1", {"cut", "len", "off", "count"}},
      {"netmon1", {"cut", "len", "off", "count"}},
      {"netmon2", {"cut", "len", "off", "count"}},
      {"observer", {"cut", "len", "off"}},
      {"etherpeek", {"cut", "len", "count"}},
      {"etherpeek6", {"cut", "len", "count"}},
      {"snoop", {"cut", "len"}},
      {"shomiti", {"cut", "len"}},
      {"lanwatch", {"cut", "len"}},
      {"lanalyzer", {"cut", "len", "off", "count"}},
      {"da30", {"cut", "len", "off"}},
      {"domino", {"cut", "len", "off", "count"}},
      {"linkview", {"cut", "len", "off", "count"}},
      {"hp", {"cut", "len"}},
      {"dataglance", {"cut", "len"}},
      {"fireberd", {"cut", "len", "count"}},
      {"netlens", {"cut", "len", "count"}},
      {"digitech", {"len", "count"}},
  };
  EXPECT_EQ(kinds, expected);
}

}  // namespace
}  // namespace korvane
