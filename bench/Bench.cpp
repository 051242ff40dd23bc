// Reads a generated Sniffer DOS trace through the whole analysis, then measures every
// conversation as the client/server expert does, and prints frames per second and the
// memory kept per frame. Usage: korvane-bench [FRAMES] [FILE]
// (FRAMES 0 reads an existing FILE without writing it first).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "reports/ConversationGrid.h"
#include "reports/OpenTrace.h"
#include "writers/TraceWriters.h"

using namespace korvane;

namespace {

bool WriteLoad(const std::string& path, size_t frames) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  tools::SnifferDosOptions options;
  options.timeUnit = 5;  // microseconds
  tools::Bytes chunk = tools::SnifferDosPreamble(options);
  tools::GenerateSyntheticLoad(frames, 7, [&](const tools::ScenarioFrame& frame) {
    tools::AppendSnifferFrameRecord(chunk, frame, options);
    if (chunk.size() > (1 << 22)) {
      out.write(reinterpret_cast<const char*>(chunk.data()), std::streamsize(chunk.size()));
      chunk.clear();
    }
  });
  const uint8_t end[6] = {3, 0, 0, 0, 0, 0};
  chunk.insert(chunk.end(), end, end + 6);
  out.write(reinterpret_cast<const char*>(chunk.data()), std::streamsize(chunk.size()));
  return bool(out);
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t frames = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 2000000;
  const std::string path = argc > 2 ? argv[2] : "/tmp/korvane-bench-" + std::to_string(getpid()) + ".enc";
  // Generate in a child so that its memory does not count as the reader's.
  if (frames > 0) {
    pid_t child = fork();
    if (child == 0) _exit(WriteLoad(path, frames) ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }

  auto session = std::make_unique<TraceSession>();
  const long before = PeakKilobytes();
  const auto start = std::chrono::steady_clock::now();
  OpenResult result = OpenTrace(*session, path);
  const auto read = std::chrono::steady_clock::now();
  if (argc <= 2) std::remove(path.c_str());
  if (result.status != OpenStatus::Loaded) {
    std::fprintf(stderr, "%s\n", result.message.c_str());
    return 1;
  }
  const ConversationGrid grid = BuildConversationGrid(*session, ProblemFinderSettings{}, {});
  const auto end = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(end - start).count();
  const long after = PeakKilobytes();
  const double analysed = double(session->tables.Stats.FramesAnalysed);
  std::printf("frames analysed      %.0f\n", analysed);
  std::printf("conversations        %zu\n", grid.rows.size());
  std::printf("seconds reading      %.3f\n", std::chrono::duration<double>(read - start).count());
  std::printf("seconds measuring    %.3f\n", std::chrono::duration<double>(end - read).count());
  std::printf("seconds              %.3f\n", seconds);
  std::printf("frames per second    %.0f\n", analysed / seconds);
  std::printf("peak memory growth   %ld KiB\n", after - before);
  std::printf("bytes per frame      %.1f\n", double(after - before) * 1024.0 / analysed);
  return 0;
}
