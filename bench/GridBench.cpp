// Opens a trace as the desktop program does, then shows its client/server grid in the
// Client/Server page and sorts it by a figure and by a name, printing how long each step
// took and the peak memory. The grid of a 4 M-frame trace should follow the read's end
// within about two seconds.
// Usage (no display needed): korvane-grid-bench TRACE
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <chrono>
#include <cstdio>

#include "reports/OpenTrace.h"
#include "ui/main/ClientServerPage.h"

using namespace korvane;

namespace {
double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: korvane-grid-bench TRACE\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TraceSession session;
  auto start = std::chrono::steady_clock::now();
  const OpenResult opened = OpenTrace(session, argv[1]);
  if (opened.status != OpenStatus::Loaded) {
    std::fprintf(stderr, "%s\n", opened.message.c_str());
    return 1;
  }
  std::printf("read and tables          %.2f s  (%lld frames)\n", SecondsSince(start),
              static_cast<long long>(session.tables.Stats.FramesAnalysed));

  ProblemFinderSettings settings;
  TClientServerPage page(settings);
  page.resize(1200, 800);
  page.show();
  start = std::chrono::steady_clock::now();
  page.ShowTrace(session);
  QCoreApplication::processEvents();
  std::printf("client/server grid shown %.2f s  (%s)\n", SecondsSince(start), page.Grid().countLabel.c_str());
  // As the "Sort by" box does: a figure column, then a name column.
  auto* sortBy = page.findChild<QComboBox*>(QStringLiteral("Top10ComboBox"));
  for (int column : {12, 9}) {
    if (!sortBy || column >= sortBy->count()) break;
    start = std::chrono::steady_clock::now();
    sortBy->setCurrentIndex(column);
    QCoreApplication::processEvents();
    std::printf("sorted by %-15s %.2f s\n", sortBy->currentText().toUtf8().constData(), SecondsSince(start));
  }
  std::printf("peak memory              %ld MiB\n", PeakMegabytes());
  return 0;
}
