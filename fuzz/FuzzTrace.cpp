// Fuzz target: any byte string as a trace file, through the open flow korvane-cli uses
// (detection, the header step, the acceptance tests, the reader and the analysis, all on a
// MemorySource over the input) and then the file summary, or every report that walks the
// tables when the selector byte asks for it. TraceLayouts.h tells how the input becomes the
// file. The session is made once; a run costs the read and what follows it.
// KORVANE_FUZZ_FAMILY=NAME keeps every run to one reader family (TraceLayouts.h,
// LayoutGroup), for a long search of that family alone.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "TraceLayouts.h"
#include "input/ByteSource.h"
#include "reports/OpenTrace.h"

namespace {

const korvane::fuzz::LayoutGroup& Group() {
  static const korvane::fuzz::LayoutGroup group = [] {
    const char* family = std::getenv("KORVANE_FUZZ_FAMILY");
    korvane::fuzz::LayoutGroup made(family ? family : "");
    if (made.Empty()) {
      std::fprintf(stderr, "KORVANE_FUZZ_FAMILY=%s names no reader family\n", family);
      std::exit(2);
    }
    return made;
  }();
  return group;
}

korvane::fuzz::RunCounts& Families() {
  static korvane::fuzz::RunCounts counts = [] {
    std::vector<const char*> names;
    for (const auto& layout : korvane::fuzz::kLayouts) names.push_back(layout.family);
    return korvane::fuzz::RunCounts("family", std::move(names));
  }();
  return counts;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvane::fuzz::FixTimeZone();
  korvane::fuzz::Session();
  Group();
  Families();
  std::atexit([] { Families().Print(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  if (size < 2) return 0;
  const size_t index = Group().IndexOf(data[0]);
  const fuzz::Layout& layout = fuzz::kLayouts[index];
  Families().Count(index);
  std::span<const uint8_t> file(data + 1, size - 1);
  fuzz::Bytes presented;
  if (layout.present) {
    presented.assign(file.begin(), file.end());
    layout.present(presented);
    file = presented;
  }

  MemorySource source(file);
  TraceSession& session = fuzz::FreshSession();
  const std::string path = std::string("/nonexistent/") + layout.path;
  if (CheckTrace(session, path, source).status != OpenStatus::Loaded) return 0;
  if (ReadCheckedTrace(session, source).status != OpenStatus::Loaded) return 0;
  // Every record a reader hands over takes at least one byte of the file.
  if (session.info.FramesRead > int64_t(file.size())) __builtin_trap();
  if (data[0] & fuzz::kWalkReports)
    fuzz::WalkReports(session, true);
  else
    FileSummaryText(BuildFileSummary(session, {}));
  return 0;
}
