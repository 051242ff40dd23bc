// Draws the packet diagram of a 50,000-packet TCP conversation screen by screen, from the
// first packet to the last, as scrolling through it does, and prints the time per screen
// and the peak memory; then the same for a conversation with an idle hour at 1 ms ticks.
// Usage (no display needed): korvane-visualiser-bench [PACKETS]
#include <sys/resource.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "input/ByteSource.h"
#include "measure/PacketDiagnostics.h"
#include "reports/OpenTrace.h"
#include "reports/Selection.h"
#include "reports/StreamList.h"
#include "scenario/Scenario.h"
#include "ui/tools/PacketVisualizer.h"
#include "writers/ScenarioWriters.h"

using namespace korvane;

namespace {

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Run(const char* title, const std::vector<tools::ScenarioFrame>& frames) {
  const tools::Bytes bytes = tools::ScenarioWriters().at("sniffer")(frames, false);
  TraceSession session;
  MemorySource source(bytes);
  const OpenResult opened = OpenTrace(session, "bench.enc", &source);
  if (opened.status != OpenStatus::Loaded) {
    std::fprintf(stderr, "%s: %s\n", title, opened.message.c_str());
    std::exit(1);
  }
  const long before = PeakKilobytes();
  const auto t0 = std::chrono::steady_clock::now();
  const std::vector<StreamEntry> list = BuildStreamList(session);
  const MeasurementSelection selection = PrepareSelection(session, list.front());
  VisualizerAttributes attributes;
  attributes.ShowDeltaTime = attributes.ShowPacketSize = true;
  VisualiserOptions options;
  options.Columns.ShowDeltaTime = options.Columns.ShowPacketSize = true;
  const VisualiserDrawing drawing =
      DrawVisualiser(session, DiagnosePackets(session, selection, ProblemFinderSettings{}), options);
  TPacketVisualizer view(attributes);
  view.resize(1000, 700);
  const size_t lines = drawing.Lines.size();
  view.SetDrawing(drawing, 1, true);
  const auto t1 = std::chrono::steady_clock::now();

  QImage screen(1000, 700, QImage::Format_RGB32);
  const int64_t step = screen.height() - view.HeaderHeight();
  int64_t screens = 0;
  double slowest = 0;
  for (int64_t top = 0; top < view.ContentHeight(); top += step) {
    const auto s0 = std::chrono::steady_clock::now();
    QPainter painter(&screen);
    view.Paint(painter, top, screen.width(), screen.height(), true);
    painter.end();
    slowest = std::max(slowest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - s0).count());
    ++screens;
  }
  const auto t2 = std::chrono::steady_clock::now();
  std::printf("%s\n", title);
  std::printf("  packets drawn          %zu\n", lines);
  std::printf("  diagram height         %lld pixels\n", static_cast<long long>(view.ContentHeight()));
  std::printf("  lines and layout       %.1f ms\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
  std::printf("  screens                %lld\n", static_cast<long long>(screens));
  std::printf("  ms per screen          %.3f (slowest %.3f)\n",
              std::chrono::duration<double, std::milli>(t2 - t1).count() / double(std::max<int64_t>(screens, 1)), slowest);
  std::printf("  peak memory growth     %ld KiB (peak %ld KiB)\n", PeakKilobytes() - before, PeakKilobytes());
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const size_t packets = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 50000;
  Run("a TCP conversation, 1 ms between packets, ticks at 1 ms", tools::TcpConversationScenario(packets));
  Run("an idle hour between two packets, ticks at 1 ms", tools::TcpConversationScenario(40, 20, 3600e6));
  return 0;
}
