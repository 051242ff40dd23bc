// The Station and Network windows opened through the main window's buttons: the maps in
// every mode (pictures in ui-shots), a click on a label through to the table row, the
// toolbox item, the station selection, the table copy, the column-order file, the
// placement, and the rebuild after another trace.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

#include "UiTestSupport.h"
#include "analysis/TraceSession.h"
#include "reports/NetworkStats.h"
#include "reports/StationStats.h"
#include "settings/IniFileStore.h"
#include "settings/WindowPlacement.h"
#include "ui/controls/DualListDialog.h"
#include "ui/stats/NetworkStatistics.h"
#include "ui/stats/PeerMapView.h"
#include "ui/stats/StatisticsWindows.h"
#include "ui/stats/StnStats.h"
#include "ui/tools/ConversationTools.h"
#include "ui/tools/SeravoToolboxForm.h"

namespace korvane::uitest {
namespace {

class StatisticsWindowsTest : public MainFormTest {
 protected:
  std::unique_ptr<TMainForm> Open(const QString& trace) {
    auto form = MakeForm(store);
    windows = AttachStatisticsWindows(*form, store, ColumnFile());
    form->show();
    form->OpenFile(trace);
    EXPECT_TRUE(form->FileLoaded());
    return form;
  }
  std::string ColumnFile() const { return dir.filePath(QStringLiteral("Korvane.ini")).toStdString(); }
  // Shows a mode's map and leaves its picture.
  void ShotOf(TStatisticsWindow& window, int mode, const QString& name) {
    window.ModeButton(mode)->click();
    window.Pages()->setCurrentWidget(window.MapPage());
    EXPECT_EQ(window.Mode(), mode);
    QCoreApplication::processEvents();  // the key group takes its new size
    SaveShot(window, name);
  }
  // The middle of the first sender's label.
  static QPointF FirstSenderLabel(const TStatisticsWindow& window) {
    for (const MapLabel& l : window.Map()->Layout().labels)
      if (l.sender) return {l.rect.left + l.rect.width / 2, l.rect.top + l.rect.height / 2};
    ADD_FAILURE() << "no sender on the map";
    return {};
  }

  StatisticsWindows windows;
};

TEST_F(StatisticsWindowsTest, StationWindowFromTheButton) {
  auto form = Open(DemoTrace());
  TStationStats& w = *windows.station;
  EXPECT_FALSE(w.isVisible());
  form->StationAction()->trigger();
  ASSERT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Station - demo.enc"));
  const QList<int> pageTips = [&] { w.hide(); return form->CurrentTips(); }();
  form->StationAction()->trigger();
  EXPECT_EQ(form->CurrentTips(), QList<int>({10, 11, 12, 23}));
  w.hide();
  EXPECT_EQ(form->CurrentTips(), pageTips);
  form->StationAction()->trigger();
  EXPECT_EQ(w.Mode(), 1);
  EXPECT_EQ(w.ModeButton(0)->text(), QStringLiteral("Errors"));
  EXPECT_EQ(w.RowCount(), int(BuildStationStats(form->Session()).size()));
  EXPECT_FALSE(w.Map()->Layout().labels.empty());
  for (int mode = 0; mode < 3; ++mode) ShotOf(w, mode, QStringLiteral("station-map-ethernet-%1").arg(mode));
  w.Pages()->setCurrentWidget(w.StatisticsPage());
  SaveShot(w, QStringLiteral("station-statistics"));

  // "Off" in Protocol mode leaves the circle alone; "Inv" brings every key back.
  w.ModeButton(2)->click();
  w.OffButton()->click();
  EXPECT_TRUE(w.Map()->Layout().lines.empty());
  EXPECT_FALSE(w.KeyBox(0)->isChecked());
  w.InvButton()->click();
  EXPECT_TRUE(w.KeyBox(0)->isChecked());
  EXPECT_FALSE(w.Map()->Layout().lines.empty());

  // A click on a sender's label opens the menu beside it; "&Statistics" turns its row yellow.
  w.ModeButton(1)->click();
  w.Pages()->setCurrentWidget(w.MapPage());
  const QPointF at = FirstSenderLabel(w);
  QTest::mouseClick(w.Map(), Qt::LeftButton, {}, at.toPoint());
  ASSERT_TRUE(w.Map()->Highlighted().has_value());
  EXPECT_TRUE(w.MapMenu()->isVisible());
  SaveShot(w, QStringLiteral("station-map-clicked"));
  w.CopyMapButton()->click();
  EXPECT_EQ(QGuiApplication::clipboard()->image().size(), w.Map()->size());
  w.MapMenu()->hide();
  const MapLabel& label = w.Map()->Layout().labels[*w.Map()->Highlighted()];
  EXPECT_TRUE(w.StatisticsAction()->isEnabled());
  w.StatisticsAction()->trigger();
  EXPECT_EQ(w.Pages()->currentWidget(), w.StatisticsPage());
  ASSERT_TRUE(w.HighlightedRow().has_value());
  EXPECT_EQ(QString::fromStdString(w.RowCells(*w.HighlightedRow())[0]), QString::fromStdString(label.text));
  EXPECT_EQ(w.Grid()->model()->index(*w.HighlightedRow(), 0).data(Qt::BackgroundRole).value<QColor>(),
            QColor(Qt::yellow));
  // Sorting keeps the highlight on its station.
  const std::string name = w.RowCells(*w.HighlightedRow())[0];
  w.SortOn(4, false);
  EXPECT_EQ(w.RowCells(*w.HighlightedRow())[0], name);
  for (int r = 1; r < w.RowCount(); ++r)
    EXPECT_GE(stats_text::NumberOfCell(w.RowCells(r - 1)[4]), stats_text::NumberOfCell(w.RowCells(r)[4]));
}

TEST_F(StatisticsWindowsTest, SelectStationsDrivesTheMap) {
  auto form = Open(DemoTrace());
  form->StationAction()->trigger();
  TStationStats& w = *windows.station;
  const size_t plotted = w.Map()->Layout().labels.size();
  int lists = 0;
  answer = [&](QDialog& dialog) {
    auto& dual = dynamic_cast<TDualListDialog&>(dialog);
    EXPECT_EQ(dual.RightList()->count(), w.RowCount());
    // Sorted, and moving every station off the map.
    for (int i = 1; i < dual.RightList()->count(); ++i)
      EXPECT_LE(dual.RightList()->item(i - 1)->text(), dual.RightList()->item(i)->text());
    dual.MoveAll(false);
    ++lists;
    SaveShot(dual, QStringLiteral("station-select-dialog"));
    return int(QDialog::Accepted);
  };
  w.SetDialogRunner([this](QDialog& d) { return answer(d); });
  w.SelectStationsButton()->click();
  EXPECT_EQ(lists, 1);
  EXPECT_TRUE(w.Map()->Layout().labels.empty());
  // One station back: only its own links.
  answer = [&](QDialog& dialog) {
    auto& dual = dynamic_cast<TDualListDialog&>(dialog);
    EXPECT_EQ(dual.RightList()->count(), 0);
    dual.LeftList()->item(0)->setSelected(true);
    dual.MoveSelected(true);
    EXPECT_EQ(dual.RightList()->count(), 1);
    return int(QDialog::Accepted);
  };
  w.SelectStationsButton()->click();
  for (const MapLine& line : w.Map()->Layout().lines) EXPECT_EQ(line.from, w.Map()->Layout().lines[0].from);
  // Cancel changes nothing.
  answer = [&](QDialog& dialog) {
    dynamic_cast<TDualListDialog&>(dialog).MoveAll(true);
    return int(QDialog::Rejected);
  };
  const size_t before = w.Map()->Layout().labels.size();
  w.SelectStationsButton()->click();
  EXPECT_EQ(w.Map()->Layout().labels.size(), before);
  EXPECT_LT(before, plotted);
}

TEST_F(StatisticsWindowsTest, NetworkWindowFromTheButton) {
  auto form = Open(DemoTrace());
  TNetworkStatisticsForm& w = *windows.network;
  form->NetworkAction()->trigger();
  ASSERT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Network - demo.enc"));
  EXPECT_EQ(w.RowCount(), int(BuildNetworkStats(form->Session(), NetProtocol::Ip).size()));
  for (int mode = 0; mode < 3; ++mode) ShotOf(w, mode, QStringLiteral("network-map-%1").arg(mode));
  EXPECT_EQ(w.RowCount(), int(BuildNetworkStats(form->Session(), NetProtocol::Ipx).size()));
  w.ModeButton(0)->click();
  w.Pages()->setCurrentWidget(w.StatisticsPage());
  SaveShot(w, QStringLiteral("network-statistics"));

  // The map's menu: the DLC item names the station's MAC address; the toolbox item says the
  // window comes later until a toolbox listens, then hands it the pair.
  w.Pages()->setCurrentWidget(w.MapPage());
  ASSERT_TRUE(w.ClickMap(FirstSenderLabel(w), false));
  EXPECT_TRUE(w.DlcAction()->text().startsWith(QStringLiteral("DLC Address is ")) ||
              w.DlcAction()->text() == QStringLiteral("No DLC Address"));
  w.ToolboxAction()->trigger();
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].text, QStringLiteral("This window comes with a later version of Korvane."));
  AddressKey source, dest;
  QObject::connect(&w, &TNetworkStatisticsForm::ToolboxPairRequested,
                   [&](const AddressKey& s, const AddressKey& d) {
                     source = s;
                     dest = d;
                   });
  w.ToolboxAction()->trigger();
  const MapLabel& label = w.Map()->Layout().labels[*w.Map()->Highlighted()];
  EXPECT_EQ(source, form->Session().tables.NetStationTree[label.station].Address);
  EXPECT_NE(form->Session().tables.NetStationTree.Find(dest), -1);
  EXPECT_NE(source, dest);

  // Ctrl+C on the table copies the selected cells as tab-separated lines.
  w.Pages()->setCurrentWidget(w.StatisticsPage());
  QTableView* grid = w.Grid();
  grid->selectionModel()->select(QItemSelection(grid->model()->index(0, 0), grid->model()->index(1, 2)),
                                 QItemSelectionModel::ClearAndSelect);
  grid->setFocus();
  QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
  const QString expected = QString::fromStdString(w.RowCells(0)[0] + '\t' + w.RowCells(0)[1] + '\t' +
                                                  w.RowCells(0)[2] + '\n' + w.RowCells(1)[0] + '\t' +
                                                  w.RowCells(1)[1] + '\t' + w.RowCells(1)[2] + '\n');
  EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
}

TEST_F(StatisticsWindowsTest, ToolboxItemShowsTheToolboxOnThePair) {
  auto form = MakeForm(store);
  ConversationTools tools(*form, store);
  windows = AttachStatisticsWindows(*form, store, ColumnFile(), &tools.Toolbox());
  form->show();
  form->OpenFile(DemoTrace());
  form->NetworkAction()->trigger();
  TNetworkStatisticsForm& w = *windows.network;
  ASSERT_TRUE(w.ClickMap(FirstSenderLabel(w), false));
  w.ToolboxAction()->trigger();
  EXPECT_TRUE(messages.messages.empty());
  EXPECT_TRUE(tools.Toolbox().isVisible());
  ASSERT_TRUE(tools.Toolbox().HasSelection());
  const MapLabel& label = w.Map()->Layout().labels[*w.Map()->Highlighted()];
  EXPECT_EQ(tools.Toolbox().CurrentEntry()->sourceStation, label.station);
}

TEST_F(StatisticsWindowsTest, ManyStationsShowTheDensityBar) {
  const QString trace = WriteScenario(dir, QStringLiteral("load"), tools::SyntheticLoad(20000, 7), "sniffer", false);
  auto form = Open(trace);
  TStationStats& w = *windows.station;
  form->StationAction()->trigger();
  EXPECT_GT(w.RowCount(), 100);
  EXPECT_TRUE(w.DensityBar()->isVisible());
  SaveShot(w, QStringLiteral("station-map-load-full"));
  const int64_t full = w.Map()->Layout().plottedCount;
  w.DensityBar()->setValue(8);
  EXPECT_LT(w.Map()->Layout().plottedCount, full);
  SaveShot(w, QStringLiteral("station-map-load-thinned"));
  form->NetworkAction()->trigger();
  windows.network->DensityBar()->setValue(4);
  SaveShot(*windows.network, QStringLiteral("network-map-load-thinned"));
}

TEST_F(StatisticsWindowsTest, RebuildsForANewTraceAndKeepsOrderAndPlace) {
  {
    auto form = Open(DemoTrace());
    form->StationAction()->trigger();
    TStationStats& w = *windows.station;
    w.ModeButton(2)->click();
    w.Grid()->horizontalHeader()->moveSection(10, 0);  // "Pkt Ratio" first
    EXPECT_EQ(w.ColumnOrder().front(), 11);
    w.move(40, 30);
    w.resize(700, 500);

    // Another trace closes the window; the button shows it rebuilt for the new one.
    form->OpenFile(WriteTokenRingTrace(dir));
    ASSERT_TRUE(form->FileLoaded());
    EXPECT_FALSE(w.isVisible());
    form->StationAction()->trigger();
    EXPECT_TRUE(w.windowTitle().startsWith(QStringLiteral("Station - ring.")));
    EXPECT_EQ(w.Mode(), 1);
    EXPECT_EQ(w.ModeButton(0)->text(), QStringLiteral("None"));
    EXPECT_EQ(w.RowCount(), int(BuildStationStats(form->Session()).size()));
    for (int mode = 0; mode < 3; ++mode) ShotOf(w, mode, QStringLiteral("station-map-tokenring-%1").arg(mode));
    w.ModeButton(0)->click();
    EXPECT_FALSE(w.KeyGroup()->isVisible());
    w.close();
  }
  // The column order went to its file and the placement to the settings.
  IniFileStore file;
  ASSERT_TRUE(file.Load(ColumnFile()));
  EXPECT_EQ(ReadColumnOrder(file, kStationColumnSection, kStationStatsColumns),
            (std::vector<int>{11, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  const auto placement = WindowPlacement::Load(store, "StationStats");
  ASSERT_TRUE(placement.has_value());
  EXPECT_EQ(placement->Width, 700);
  auto form = Open(DemoTrace());
  form->StationAction()->trigger();
  EXPECT_EQ(windows.station->ColumnOrder().front(), 11);
  EXPECT_EQ(windows.station->size(), QSize(700, 500));
}

}  // namespace
}  // namespace korvane::uitest
