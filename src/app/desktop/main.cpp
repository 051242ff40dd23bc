// korvane: the desktop program. Shows the splash screen for at least two seconds while the
// windows are made, restores the settings, opens the trace named on the command line and
// saves the settings again when the main window closes.
#include <QElapsedTimer>
#include <QSettings>
#include <QSplashScreen>
#include <QThread>
#include <cstdio>
#include <cstring>

#include "app/QSettingsStore.h"
#include "ui/about/ErrorInformation.h"
#include "ui/about/Splash.h"
#include "reports/StationStats.h"
#include "ui/main/MainForm.h"
#include "ui/reporting/PrintSelectionForm.h"
#include "ui/reporting/PrintableTools.h"
#include "ui/stats/NetworkStatistics.h"
#include "ui/stats/StnStats.h"
#include "ui/stats/StatisticsWindows.h"
#include "ui/tools/ConversationTools.h"

namespace {
constexpr qint64 kSplashMilliseconds = 2000;

// Without a display the windowing system cannot start; say so instead of aborting.
bool DisplayAvailable() {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
constexpr char kUsage[] =
    "Usage: korvane [FILE]\n"
    "Korvane, the analyser of LAN analyser trace files: opens FILE, when given, in the main window.\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "korvane-cli prints the same figures without a window (korvane-cli --help).\n";

// --help and --version answer without a display; any other option that Qt does not take is
// refused rather than opened as a file. Returns the exit status, or -1 to go on.
int AnswerOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("korvane %s\n", KORVANE_VERSION);
      return 0;
    }
  }
  return -1;
}
}  // namespace

int main(int argc, char** argv) {
  if (const int status = AnswerOptions(argc, argv); status >= 0) return status;
  if (!DisplayAvailable()) {
    std::fprintf(stderr, "korvane: no display available (DISPLAY is not set); korvane-cli analyses traces without one\n");
    return 1;
  }
  QElapsedTimer started;
  started.start();
  korvane::TKorvaneApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QString::fromLatin1(korvane::kOrganisationName));
  QCoreApplication::setApplicationName(QString::fromLatin1(korvane::kApplicationName));

  // A file named on the command line is opened as given, relative to the working folder.
  const QString commandLineFile = QCoreApplication::arguments().value(1);
  if (commandLineFile.startsWith(QLatin1Char('-'))) {
    std::fprintf(stderr, "korvane: unknown option \"%s\" (korvane --help)\n", qPrintable(commandLineFile));
    return 1;
  }

  QSplashScreen splash(korvane::SplashPixmap());
  splash.show();
  app.processEvents();

  QSettings settings;
  korvane::QSettingsStore store(settings);
  korvane::MainFormOptions options;
  options.commandLineFile = commandLineFile;
  korvane::TMainForm form(store, options);
  korvane::ConversationTools tools(form, store);
  korvane::JoinPrinting(form, tools);
  const korvane::StatisticsWindows stats =
      korvane::AttachStatisticsWindows(form, store, korvane::DefaultColumnOrderFile(), &tools.Toolbox());
  form.PrintSelection()->SetWindow(korvane::PrintableWindow::StationStatistics, stats.station);
  form.PrintSelection()->SetWindow(korvane::PrintableWindow::NetworkStatistics, stats.network);
  while (started.elapsed() < kSplashMilliseconds) {
    app.processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
  form.show();
  splash.finish(&form);
  return app.exec();
}
