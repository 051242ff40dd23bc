// Fuzz target: any byte string as a trace file, through the open flow korvane-cli uses
// (detection, the header step, the acceptance tests, the reader and the analysis, all on a
// MemorySource) and then every report that walks the tables. TraceLayouts.h tells how the
// input becomes the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "TraceLayouts.h"
#include "input/ByteSource.h"
#include "reports/OpenTrace.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvane::fuzz::FixTimeZone();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  if (size < 2) return 0;
  const fuzz::Layout& layout = fuzz::kLayouts[data[0] % fuzz::kLayoutCount];
  fuzz::Bytes file(data + 1, data + size);
  if (layout.present) layout.present(file);

  MemorySource source(std::span<const uint8_t>(file.data(), file.size()));
  TraceSession session;
  fuzz::ReadOnlyTheInput(session);
  const std::string path = std::string("/nonexistent/") + layout.path;
  if (CheckTrace(session, path, source).status != OpenStatus::Loaded) return 0;
  if (ReadCheckedTrace(session, source).status != OpenStatus::Loaded) return 0;
  // Every record a reader hands over takes at least one byte of the file.
  if (session.info.FramesRead > int64_t(file.size())) __builtin_trap();
  fuzz::WalkReports(session);
  return 0;
}
