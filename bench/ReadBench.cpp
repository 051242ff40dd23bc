// Reads a trace with the read loop and the format's reader alone, in turn, into a sink that
// only looks at each frame: the floor under `korvane-cli summary`, which also decodes and
// accounts every frame. Prints frames, seconds and frames per second.
// Usage: korvane-read-bench TRACE [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "analysis/TraceSession.h"
#include "input/ReadLoop.h"
#include "reports/OpenTrace.h"

using namespace korvane;

namespace {

// Looks at each frame's length and type field, so that its bytes are really read.
class LookingSink final : public FrameSink {
 public:
  void BeginTrace(bool) override { seen_ = 0; }
  uint8_t AnalyseFrame(CapturedFrame& frame, int64_t) override {
    seen_ += frame.FrameLength + frame.Data[12];
    return 0;
  }
  void EndTrace(bool) override {}
  uint64_t Seen() const { return seen_; }

 private:
  uint64_t seen_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: korvane-read-bench TRACE [ROUNDS]\n");
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  for (int round = 0; round < rounds; ++round) {
    TraceSession session;
    std::unique_ptr<FileSource> file;
    const OpenResult checked = CheckTraceFile(session, argv[1], file);
    if (checked.status != OpenStatus::Loaded) {
      std::fprintf(stderr, "%s: %s\n", argv[1], checked.message.c_str());
      return 1;
    }
    LookingSink sink;
    const auto start = std::chrono::steady_clock::now();
    ReadTraceFile(*file, session.info, *session.frame, sink, session.progress, false, ReadAhead::Never);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int64_t frames = session.info.FramesRead;
    std::printf("%lld frames read in %.3f s: %.2f M frames/s (%llu)\n", static_cast<long long>(frames), seconds,
                double(frames) / seconds / 1e6, static_cast<unsigned long long>(sink.Seen()));
  }
  return 0;
}
