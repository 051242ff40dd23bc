// korvane: the desktop program. Shows the splash screen for at least two seconds while the
// windows are made, restores the settings, opens the trace named on the command line and
// saves the settings again when the main window closes.
#include <QElapsedTimer>
#include <QSettings>
#include <QSplashScreen>
#include <QThread>
#include <cstdio>

#include "app/QSettingsStore.h"
#include "ui/about/ErrorInformation.h"
#include "ui/about/Splash.h"
#include "reports/StationStats.h"
#include "ui/main/MainForm.h"
#include "ui/stats/StatisticsWindows.h"

namespace {
constexpr qint64 kSplashMilliseconds = 2000;

// Without a display the windowing system cannot start; say so instead of aborting.
bool DisplayAvailable() {
  return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY") ||
         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
}  // namespace

int main(int argc, char** argv) {
  if (!DisplayAvailable()) {
    std::fprintf(stderr, "korvane: no display available (DISPLAY is not set); korvane-cli analyses traces without one\n");
    return 1;
  }
  QElapsedTimer started;
  started.start();
  korvane::TKorvaneApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QString::fromLatin1(korvane::kOrganisationName));
  QCoreApplication::setApplicationName(QString::fromLatin1(korvane::kApplicationName));

  QSplashScreen splash(korvane::SplashPixmap());
  splash.show();
  app.processEvents();

  QSettings settings;
  korvane::QSettingsStore store(settings);
  korvane::MainFormOptions options;
  options.commandLineFile = QCoreApplication::arguments().value(1);
  korvane::TMainForm form(store, options);
  korvane::AttachStatisticsWindows(form, store, korvane::DefaultColumnOrderFile());
  while (started.elapsed() < kSplashMilliseconds) {
    app.processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
  form.show();
  splash.finish(&form);
  return app.exec();
}
