// The File Summary and Protocol Table pages against the reports they show, and the
// progress dialog of a read.
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>

#include "UiTestSupport.h"
#include "scenario/Scenario.h"
#include "analysis/TraceSession.h"
#include "reports/FileSummary.h"
#include "reports/OpenTrace.h"
#include "reports/ProtocolTable.h"
#include "ui/main/FileSummaryPage.h"
#include "ui/main/ProgressDialog.h"
#include "ui/main/ProtocolTablePage.h"

namespace korvane::uitest {
namespace {

QString S(const std::string& text) { return QString::fromStdString(text); }

std::unique_ptr<TraceSession> Read(const QString& path) {
  auto session = std::make_unique<TraceSession>();
  OpenResult result = OpenTrace(*session, path.toStdString());
  EXPECT_EQ(result.status, OpenStatus::Loaded) << result.message;
  return session;
}

// Every box of the page holds the text the report gives for it.
void ExpectPageShows(const TFileSummaryPage& page, const FileSummary& expected) {
  auto text = [&](const QString& name) {
    auto* label = page.findChild<QLabel*>(name);
    EXPECT_NE(label, nullptr) << name.toStdString();
    return label ? label->text() : QString();
  };
  auto gauge = [&](const QString& name) {
    auto* bar = page.findChild<QProgressBar*>(name);
    EXPECT_NE(bar, nullptr) << name.toStdString();
    return bar ? bar->value() : -1;
  };
  EXPECT_EQ(text(QStringLiteral("AverageBandwidth")), S(expected.averageBandwidth));
  EXPECT_EQ(text(QStringLiteral("PeakBandwidth")), S(expected.peakBandwidth));
  EXPECT_EQ(text(QStringLiteral("AverageBytesPerSecond")), S(expected.averageBytesPerSecond));
  EXPECT_EQ(text(QStringLiteral("PeakBytesPerSecond")), S(expected.peakBytesPerSecond));
  EXPECT_EQ(text(QStringLiteral("AverageFramesPerSecond")), S(expected.averageFramesPerSecond));
  EXPECT_EQ(text(QStringLiteral("PeakFramesPerSecond")), S(expected.peakFramesPerSecond));
  for (size_t i = 0; i < expected.attributes.size(); ++i)
    EXPECT_EQ(text(QStringLiteral("Attribute%1").arg(i)), S(expected.attributes[i].second)) << i;
  for (size_t i = 0; i < 4; ++i) {
    const FrameStatisticsRow& row = expected.frameStatistics[i];
    EXPECT_EQ(text(QStringLiteral("Frames%1").arg(i)), S(row.frames)) << i;
    EXPECT_EQ(text(QStringLiteral("Bytes%1").arg(i)), S(row.bytes)) << i;
    EXPECT_EQ(text(QStringLiteral("AverageSize%1").arg(i)), S(row.averageSize)) << i;
    EXPECT_EQ(text(QStringLiteral("Largest%1").arg(i)), S(row.largest)) << i;
    EXPECT_EQ(gauge(QStringLiteral("FramesGauge%1").arg(i)), row.framesPercent) << i;
    EXPECT_EQ(gauge(QStringLiteral("BytesGauge%1").arg(i)), row.bytesPercent) << i;
  }
  for (size_t i = 0; i < 4; ++i) {
    const EncapsulationRow& row = expected.encapsulations[i];
    EXPECT_EQ(text(QStringLiteral("EncapsulationLabel%1").arg(i)), S(row.label)) << i;
    EXPECT_EQ(text(QStringLiteral("Encapsulation%1").arg(i)), S(row.count)) << i;
    EXPECT_EQ(gauge(QStringLiteral("EncapsulationGauge%1").arg(i)), row.percent) << i;
    EXPECT_EQ(page.findChild<QProgressBar*>(QStringLiteral("EncapsulationGauge%1").arg(i))->isVisibleTo(&page),
              row.gaugeVisible)
        << i;
  }
}

TEST(FileSummaryPageTest, ShowsTheReportsTextsForEthernet) {
  auto session = Read(DemoTrace());
  TFileSummaryPage page;
  page.resize(1000, 520);
  page.SetLineSpeed(10, 1);
  page.ShowTrace(*session);
  ExpectPageShows(page, BuildFileSummary(*session, {false, 10, 1}));
  EXPECT_EQ(page.Summary().encapsulations[2].label, "Etype");
  EXPECT_EQ(page.StatusPanels()[1], S(BuildFileSummary(*session, {}).statusPanels[1]));

  // Broadcast Only: the same boxes, the broadcast figures.
  page.BroadcastOnlyButton()->click();
  ExpectPageShows(page, BuildFileSummary(*session, {true, 10, 1}));
  page.AllFramesButton()->click();
  ExpectPageShows(page, BuildFileSummary(*session, {false, 10, 1}));
  // Ten times the analysed speed.
  page.SetLineSpeed(100, 1);
  ExpectPageShows(page, BuildFileSummary(*session, {false, 100, 1}));
  page.SetLineSpeed(100, 2);
  ExpectPageShows(page, BuildFileSummary(*session, {false, 100, 2}));

  page.ClearTrace();
  EXPECT_TRUE(page.findChild<QLabel*>(QStringLiteral("Frames3"))->text().isEmpty());
  EXPECT_TRUE(page.StatusPanels()[0].isEmpty());
}

// Utilisation above 100% of the speed in use: the box says the line is faster and where to
// choose its speed; at a speed that fits, the note goes.
TEST(FileSummaryPageTest, UtilisationAbove100PercentPointsToDefaultBandwidth) {
  QTemporaryDir dir;
  auto session = Read(WriteScenario(dir, QStringLiteral("load"), tools::SyntheticLoad(4000, 7), "sniffer", false));
  TFileSummaryPage page;
  page.resize(1000, 560);
  page.show();
  auto* note = page.findChild<QLabel*>(QStringLiteral("UtilisationNote"));
  ASSERT_NE(note, nullptr);
  page.SetLineSpeed(1, 1);
  page.ShowTrace(*session);
  ASSERT_GT(page.Summary().peakUtilisationPercent, 100);
  EXPECT_TRUE(note->isVisible());
  EXPECT_EQ(note->text(), QStringLiteral("Utilization above 100%: the line must be faster than 1 Mbps. "
                                         "Choose its speed under Options > Default Bandwidth."));
  QCoreApplication::sendPostedEvents();  // the layout takes the new texts before the picture
  SaveShot(page, QStringLiteral("FileSummary-overloaded"));
  page.SetLineSpeed(1000, 1);
  EXPECT_FALSE(note->isVisible());
  page.SetLineSpeed(1, 1);
  page.ClearTrace();
  EXPECT_FALSE(note->isVisible());
}

TEST(FileSummaryPageTest, TokenRingNamesFunctionalAndMacFrames) {
  QTemporaryDir dir;
  auto session = Read(WriteTokenRingTrace(dir));
  TFileSummaryPage page;
  page.ShowTrace(*session);
  const FileSummary expected = BuildFileSummary(*session, {});
  ExpectPageShows(page, expected);
  EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("EncapsulationLabel2"))->text(), QStringLiteral("MAC"));
  // The Novell Raw label and gauge are hidden, its count stays.
  EXPECT_FALSE(page.findChild<QLabel*>(QStringLiteral("EncapsulationLabel3"))->isVisibleTo(&page));
  EXPECT_TRUE(page.findChild<QLabel*>(QStringLiteral("Encapsulation3"))->isVisibleTo(&page));
  EXPECT_EQ(expected.frameStatistics[1].label, "Functional");
}

std::vector<double> PercentColumn(const QTableWidget& grid, int column) {
  std::vector<double> values;
  for (int r = 0; r < grid.rowCount(); ++r) {
    QString text = grid.item(r, column)->text();
    text.remove(QLatin1Char('%')).remove(QLatin1Char(','));
    values.push_back(text.toDouble());
  }
  return values;
}

TEST(ProtocolTablePageTest, RowsSortAndCopy) {
  auto session = Read(DemoTrace());
  TProtocolTablePage page;
  page.resize(900, 400);
  page.show();
  page.ShowTrace(*session);
  const std::vector<ProtocolRow> rows = BuildProtocolTable(session->tables);
  QTableWidget& grid = *page.Grid();
  ASSERT_EQ(grid.rowCount(), int(rows.size()));
  ASSERT_GE(rows.size(), 3u);
  for (int c = 0; c < kProtocolTableColumns; ++c) {
    EXPECT_EQ(grid.horizontalHeaderItem(c)->text(), S(std::string(ProtocolTableHeadings()[size_t(c)])));
    for (size_t r = 0; r < rows.size(); ++r) EXPECT_EQ(grid.item(int(r), c)->text(), S(rows[r].cells[size_t(c)]));
  }

  // Sort Descending on the selected column: "Packet Percent" by number.
  grid.setCurrentCell(0, 2);
  page.SortDescendingButton()->click();
  std::vector<double> percent = PercentColumn(grid, 2);
  EXPECT_TRUE(std::is_sorted(percent.rbegin(), percent.rend()));
  page.SortAscendingButton()->click();
  percent = PercentColumn(grid, 2);
  EXPECT_TRUE(std::is_sorted(percent.begin(), percent.end()));
  // A double click sorts its column ascending: the protocol names as text.
  emit grid.cellDoubleClicked(1, 0);
  std::vector<QString> names;
  for (int r = 0; r < grid.rowCount(); ++r) names.push_back(grid.item(r, 0)->text().toLower());
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
  SaveShot(page, QStringLiteral("protocol-table-sorted"));

  // Copy puts the selected cells on the clipboard; Select All takes every cell.
  grid.clearSelection();
  grid.setRangeSelected(QTableWidgetSelectionRange(0, 1, 1, 2), true);
  std::vector<ProtocolRow> sorted = rows;
  SortProtocolRows(sorted, 0, true);
  EXPECT_EQ(page.SelectionText(), S(ProtocolTableCopyText(sorted, {1, 0, 2, 1})));
  page.SelectAll();
  page.Copy();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), S(ProtocolTableCopyText(sorted, SelectAllProtocolCells(sorted))));

  page.ClearTrace();
  EXPECT_EQ(grid.rowCount(), 0);
}

TEST(ProgressDialogTest, ShowsTheReadAsItGoesAndClosesAfterwards) {
  ReadProgress progress;
  TProcessTraceFileForm dialog;
  dialog.BeginRead(QStringLiteral("lan.enc"), progress);
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Reading Trace File - lan.enc"));
  EXPECT_EQ(dialog.DurationBox()->text(), QStringLiteral("00:00:00"));
  EXPECT_EQ(dialog.CancelButton()->text(), QStringLiteral("&Stop"));
  EXPECT_EQ(dialog.cursor().shape(), Qt::WaitCursor);
  progress.fileSize = 1000;
  progress.position = 426;
  progress.frames = 1234567;
  progress.elapsedMicros = 3723.4e6;
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.FrameCountBox()->text() == QStringLiteral("1,234,567"); }, 5000));
  EXPECT_EQ(dialog.DurationBox()->text(), QStringLiteral("01:02:03"));
  EXPECT_EQ(dialog.PercentLabel()->text(), QStringLiteral("43% Complete"));
  EXPECT_EQ(dialog.ProgressBar()->value(), 43);
  SaveShot(dialog, QStringLiteral("progress-reading"));

  QSignalSpy closed(&dialog, &TProcessTraceFileForm::Closed);
  QElapsedTimer clock;
  clock.start();
  dialog.ReadFinished();
  EXPECT_EQ(dialog.cursor().shape(), Qt::ArrowCursor);
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.PercentLabel()->text() == QStringLiteral("100% Complete"); }, 1000));
  EXPECT_EQ(dialog.CancelButton()->text(), QStringLiteral("&OK"));
  EXPECT_EQ(dialog.ProgressBar()->value(), 100);
  SaveShot(dialog, QStringLiteral("progress-finished"));
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_TRUE(closed.wait(3000));
  EXPECT_GE(clock.elapsed(), 1400);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(ProgressDialogTest, StopMarksTheReadAndOkClosesAtOnce) {
  ReadProgress progress;
  TProcessTraceFileForm dialog;
  dialog.BeginRead(QStringLiteral("big.enc"), progress);
  dialog.CancelButton()->click();
  EXPECT_TRUE(progress.stopMark.load());
  EXPECT_EQ(dialog.CancelButton()->text(), QStringLiteral("&OK"));
  // The read starts over its counters: the stop still holds.
  progress.Reset();
  progress.fileSize = 100;
  progress.frames = 7;
  progress.elapsedMicros = 400000;  // under a second: the duration stays at zero
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.FrameCountBox()->text() == QStringLiteral("7"); }, 5000));
  EXPECT_TRUE(progress.stopMark.load());
  EXPECT_EQ(dialog.DurationBox()->text(), QStringLiteral("00:00:00"));

  QSignalSpy closed(&dialog, &TProcessTraceFileForm::Closed);
  dialog.ReadFinished();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return dialog.PercentLabel()->text() == QStringLiteral("FILE PARTIALLY READ"); }, 1000));
  SaveShot(dialog, QStringLiteral("progress-stopped"));
  dialog.CancelButton()->click();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(ProgressDialogTest, ClosingTheDialogStopsTheRead) {
  ReadProgress progress;
  TProcessTraceFileForm dialog;
  dialog.BeginRead(QStringLiteral("big.enc"), progress);
  QSignalSpy closed(&dialog, &TProcessTraceFileForm::Closed);
  dialog.close();
  EXPECT_TRUE(progress.stopMark.load());
  EXPECT_EQ(closed.count(), 0);
  // Once the read has ended there is nothing to wait for.
  dialog.ReadFinished();
  EXPECT_EQ(closed.count(), 1);
}

}  // namespace
}  // namespace korvane::uitest
