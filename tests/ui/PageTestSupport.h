// Traces and pictures for the page tests: the demo trace (Ethernet) and the Token Ring
// scenario read the way the program reads them, vendor names included, and the PNGs every
// page leaves in the build folder for a person to look at.
#pragma once
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "reports/OpenTrace.h"
#include "support/TestSupport.h"
#include "writers/ScenarioWriters.h"

namespace korvane::test {

inline std::unique_ptr<TraceSession> OpenTraceBytes(const std::vector<uint8_t>& bytes, const std::string& name) {
  auto session = std::make_unique<TraceSession>();
  session->vendors.Load(KORVANE_OUI_FILE);
  MemorySource source(bytes);
  const OpenResult result = OpenTrace(*session, name, &source);
  EXPECT_EQ(result.status, OpenStatus::Loaded) << name << ": " << result.message;
  return session;
}

inline std::unique_ptr<TraceSession> DemoTrace() {
  return OpenTraceBytes(Slurp(KORVANE_DEMO_TRACE), KORVANE_DEMO_TRACE);
}

// The Token Ring scenario as korvane-mktrace writes it in the Sniffer format.
inline std::unique_ptr<TraceSession> TokenRingTrace() {
  const auto& writer = tools::ScenarioWriters().at("sniffer");
  return OpenTraceBytes(writer(tools::TokenRingScenario(), true),
                        "ring." + tools::ScenarioExtension("sniffer", true));
}

inline void SaveShot(const QImage& image, const QString& name) {
  QDir().mkpath(KORVANE_UI_SHOTS);
  const QString path = QString(KORVANE_UI_SHOTS) + "/" + name + ".png";
  EXPECT_TRUE(image.save(path)) << path.toStdString();
}

// The widget as drawn, once what waits for the event loop (layouts, repaints, items
// deleted later) is done, as it would be on the screen.
inline void SaveShot(QWidget& widget, const QString& name) {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  SaveShot(widget.grab().toImage(), name);
}

// A suite that reads the Ethernet demo trace and a Token Ring trace once for all its tests.
class TwoTraceSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    demo_ = DemoTrace().release();
    ring_ = TokenRingTrace().release();
  }
  static void TearDownTestSuite() {
    delete demo_;
    delete ring_;
    demo_ = ring_ = nullptr;
  }
  static inline TraceSession* demo_ = nullptr;
  static inline TraceSession* ring_ = nullptr;
};

}  // namespace korvane::test
