// The frame size and protocol chart pages, the chart adapter's switches and the chart
// properties dialog, on the demo trace (Ethernet) and the Token Ring scenario.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QCheckBox>
#include <QClipboard>
#include <QFrame>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QChart>
#include <QtTest/QTest>

#include "PageTestSupport.h"
#include "reports/ChartSeries.h"
#include "ui/controls/ChartAdapter.h"
#include "ui/main/ChartPages.h"
#include "ui/main/ChartPropertiesDialog.h"

namespace korvane {
namespace {

QStringList Labels(const std::vector<ChartPoint>& points) {
  QStringList labels;
  for (const ChartPoint& p : points) labels << QString::fromStdString(p.label);
  return labels;
}

QStringList Legend(const std::vector<ChartPoint>& points, ChartUnits units) {
  QStringList texts;
  for (const ChartPoint& p : points) texts << QString::fromStdString(ChartLegendText(p, units));
  return texts;
}

void ExpectApart(const std::vector<QRectF>& rects, const QRectF& inside, const char* what) {
  for (size_t i = 0; i < rects.size(); ++i) {
    EXPECT_TRUE(inside.contains(rects[i])) << what << " mark " << i << " leaves the chart";
    for (size_t k = i + 1; k < rects.size(); ++k)
      EXPECT_FALSE(rects[i].intersects(rects[k])) << what << ": marks " << i << " and " << k << " overlap";
  }
}

// A chart page shown at the size of the main window's page control.
template <typename Page>
struct ShownPage {
  explicit ShownPage(ChartProperties& properties) : page(properties) {
    page.resize(900, 560);
    page.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&page));
  }
  Page page;
};

using ChartPagesTest = test::TwoTraceSuite;

TEST_F(ChartPagesTest, FrameSizeChartShowsTheBandsOfTheTrace) {
  ChartProperties properties;
  ShownPage<TFrameSizeChartPage> shown(properties);
  TFrameSizeChartPage& page = shown.page;
  EXPECT_FALSE(page.Chart().isVisible());  // no trace yet
  EXPECT_EQ(page.CopyCaption(), "&Copy Chart");
  ASSERT_EQ(page.PopupMenu().actions().size(), 1);
  EXPECT_EQ(page.PopupMenu().actions()[0]->text(), "Chart &Properties...");
  EXPECT_EQ(page.Tips(), (QList<int>{1, 33}));

  page.ShowTrace(*demo_);
  const auto expected = FrameSizeSeries(demo_->tables, demo_->info.TopologyCode);
  ASSERT_FALSE(expected.empty());
  EXPECT_TRUE(page.Chart().isVisible());
  EXPECT_EQ(Labels(page.Chart().Points()), Labels(expected));
  EXPECT_EQ(page.Chart().ShownTitle(), "Frame Size Distribution");
  EXPECT_EQ(page.Chart().LegendTexts(), Legend(expected, ChartUnits::Percent));
  EXPECT_TRUE(page.Chart().ShowsPie());
  EXPECT_TRUE(page.Chart().Shows3DLook());
  ExpectApart(page.Chart().MarkRects(), page.Chart().Chart()->rect(), "3D pie");
  test::SaveShot(page, "FrameSizeChart-Ethernet-pie");

  // The Token Ring bands.
  page.ShowTrace(*ring_);
  const auto ringBands = FrameSizeSeries(ring_->tables, ring_->info.TopologyCode);
  EXPECT_EQ(Labels(page.Chart().Points()), Labels(ringBands));
  EXPECT_TRUE(Labels(ringBands).contains(" Less than 64 -") || Labels(ringBands).contains("1024 to 4097 -"));
  properties.Type = ChartType::Bar;
  page.ApplyProperties();
  test::SaveShot(page, "FrameSizeChart-TokenRing-bar");

  page.ClearTrace();
  EXPECT_FALSE(page.Chart().isVisible());
  EXPECT_TRUE(page.Chart().Points().empty());
}

TEST_F(ChartPagesTest, PropertiesSwitchFormUnitsMarksTitleLegendAndLook) {
  ChartProperties properties;
  ShownPage<TProtocolChartPage> shown(properties);
  TProtocolChartPage& page = shown.page;
  page.ShowTrace(*demo_);
  ChartAdapter& chart = page.Chart();
  const auto points = ProtocolSeries(demo_->tables, PacketClass::All);
  ASSERT_GE(points.size(), 5u);

  // Defaults: a 3D pie in percent, with title, legend and value marks.
  EXPECT_TRUE(chart.ShowsPie());
  EXPECT_FALSE(chart.ShowsBars());
  EXPECT_TRUE(chart.Shows3DLook());
  EXPECT_EQ(chart.ShownTitle(), "Protocol Distribution - All Packets");
  ASSERT_EQ(chart.MarkTexts().size(), qsizetype(points.size()));
  EXPECT_EQ(chart.MarkTexts()[0], QString::fromStdString(ChartMarkText(points[0], ChartUnits::Percent, ChartType::Pie)));
  EXPECT_TRUE(chart.MarkTexts()[0].endsWith('%'));
  ExpectApart(chart.MarkRects(), chart.Chart()->rect(), "3D pie");
  test::SaveShot(page, "ProtocolChart-Ethernet-pie3d");

  // Packets: the marks and the legend carry the counts.
  properties.Units = ChartUnits::Packets;
  page.ApplyProperties();
  EXPECT_EQ(chart.MarkTexts()[0], QString::fromStdString(points[0].label) + " " + QString::number(points[0].value));
  EXPECT_EQ(chart.LegendTexts(), Legend(points, ChartUnits::Packets));

  // A flat pie keeps its marks apart as well.
  properties.View3D = false;
  page.ApplyProperties();
  EXPECT_FALSE(chart.Shows3DLook());
  ExpectApart(chart.MarkRects(), chart.Chart()->rect(), "flat pie");
  test::SaveShot(page, "ProtocolChart-Ethernet-pie-flat-packets");

  // Bars: the marks are the values only, one over every bar.
  properties.Type = ChartType::Bar;
  properties.Units = ChartUnits::Percent;
  page.ApplyProperties();
  EXPECT_TRUE(chart.ShowsBars());
  EXPECT_FALSE(chart.ShowsPie());
  EXPECT_EQ(chart.MarkTexts()[0], QString::fromStdString(ChartValueText(points[0], ChartUnits::Percent)));
  ExpectApart(chart.MarkRects(), chart.Chart()->rect(), "flat bars");
  test::SaveShot(page, "ProtocolChart-Ethernet-bar-flat");
  properties.View3D = true;
  page.ApplyProperties();
  EXPECT_TRUE(chart.Shows3DLook());
  ExpectApart(chart.MarkRects(), chart.Chart()->rect(), "3D bars");
  test::SaveShot(page, "ProtocolChart-Ethernet-bar3d");

  // Everything off.
  properties.ShowTitle = properties.ShowLegend = properties.ShowValues = properties.ShowGradient = false;
  page.ApplyProperties();
  EXPECT_TRUE(chart.ShownTitle().isEmpty());
  EXPECT_TRUE(chart.LegendTexts().isEmpty());
  EXPECT_TRUE(chart.MarkTexts().isEmpty());
  EXPECT_TRUE(chart.MarkRects().empty());
  EXPECT_EQ(chart.Chart()->backgroundBrush().style(), Qt::SolidPattern);
  // Without the legend the bars' names stand under them.
  const auto categoryAxes = chart.Chart()->axes(Qt::Horizontal);
  ASSERT_EQ(categoryAxes.size(), 1);
  EXPECT_TRUE(categoryAxes[0]->labelsVisible());
  test::SaveShot(page, "ProtocolChart-Ethernet-bar-plain");
  properties.ShowLegend = true;
  page.ApplyProperties();
  EXPECT_FALSE(chart.Chart()->axes(Qt::Horizontal)[0]->labelsVisible());

  // The gradient runs from the top colour to the bottom colour.
  properties.ShowGradient = true;
  properties.TopColour = MakeColourRef(255, 0, 0);
  properties.BottomColour = MakeColourRef(0, 0, 255);
  page.ApplyProperties();
  const QGradient* gradient = chart.Chart()->backgroundBrush().gradient();
  ASSERT_NE(gradient, nullptr);
  EXPECT_EQ(gradient->stops().front().second, QColor(255, 0, 0));
  EXPECT_EQ(gradient->stops().back().second, QColor(0, 0, 255));
}

TEST_F(ChartPagesTest, PacketClassPicksTheCountsAndTheTitle) {
  ChartProperties properties;
  ShownPage<TProtocolChartPage> shown(properties);
  TProtocolChartPage& page = shown.page;
  page.ShowTrace(*demo_);
  EXPECT_EQ(page.Class(), PacketClass::All);
  EXPECT_TRUE(page.ClassButton(PacketClass::All).isChecked());
  EXPECT_EQ(Labels(page.Chart().Points()), Labels(ProtocolSeries(demo_->tables, PacketClass::All)));

  QTest::mouseClick(&page.ClassButton(PacketClass::NonBroadcast), Qt::LeftButton);
  EXPECT_EQ(page.Class(), PacketClass::NonBroadcast);
  EXPECT_EQ(page.Chart().ShownTitle(), "Protocol Distribution - Non-Broadcast Packets");
  const auto unicast = ProtocolSeries(demo_->tables, PacketClass::NonBroadcast);
  EXPECT_EQ(Labels(page.Chart().Points()), Labels(unicast));
  // The demo's LAT frames are all broadcast: no LAT among the non-broadcast ones.
  EXPECT_FALSE(Labels(page.Chart().Points()).contains("LAT -"));
  EXPECT_TRUE(Labels(ProtocolSeries(demo_->tables, PacketClass::All)).contains("LAT -"));

  page.SetClass(PacketClass::Broadcast);
  EXPECT_TRUE(page.ClassButton(PacketClass::Broadcast).isChecked());
  EXPECT_EQ(page.Chart().ShownTitle(), "Protocol Distribution - Broadcast Packets");
  const auto broadcast = ProtocolSeries(demo_->tables, PacketClass::Broadcast);
  ASSERT_EQ(page.Chart().Points().size(), broadcast.size());
  for (size_t i = 0; i < broadcast.size(); ++i) EXPECT_EQ(page.Chart().Points()[i].value, broadcast[i].value);
  test::SaveShot(page, "ProtocolChart-Ethernet-broadcast");

  page.ShowTrace(*ring_);
  EXPECT_EQ(Labels(page.Chart().Points()), Labels(ProtocolSeries(ring_->tables, PacketClass::Broadcast)));
  test::SaveShot(page, "ProtocolChart-TokenRing-broadcast");
}

TEST_F(ChartPagesTest, CopyPutsTheChartPictureOnTheClipboard) {
  ChartProperties properties;
  ShownPage<TFrameSizeChartPage> shown(properties);
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->setText("before");
  shown.page.Copy();  // no trace: nothing to copy
  EXPECT_EQ(clipboard->text(), "before");
  shown.page.ShowTrace(*demo_);
  shown.page.Copy();
  const QImage copied = clipboard->image();
  ASSERT_FALSE(copied.isNull());
  EXPECT_EQ(copied.size(), shown.page.Chart().Picture().size());
  // Not a blank picture: the gradient's yellow bottom and the pie's colours are there.
  EXPECT_NE(copied.pixelColor(copied.width() / 2, copied.height() - 3), QColor(Qt::white));
}

// ---- the chart properties dialog --------------------------------------------------------

TEST(ChartPropertiesFormTest, ShowsTheLiveValuesAndAppliesOnlyChanges) {
  ChartProperties live;
  live.Units = ChartUnits::Packets;
  live.ShowLegend = false;
  TChartPropertiesForm form(live);
  EXPECT_EQ(form.windowTitle(), "Chart Properties");
  EXPECT_TRUE(form.pieButton->isChecked());
  EXPECT_TRUE(form.packetsButton->isChecked());
  EXPECT_FALSE(form.legendBox->isChecked());
  EXPECT_TRUE(form.view3DBox->isChecked());
  EXPECT_EQ(form.Values(), live);
  EXPECT_FALSE(form.applyButton->isEnabled());

  form.barButton->setChecked(true);
  EXPECT_TRUE(form.applyButton->isEnabled());
  form.pieButton->setChecked(true);  // back as it was
  EXPECT_FALSE(form.applyButton->isEnabled());
  form.view3DBox->setChecked(false);
  EXPECT_TRUE(form.applyButton->isEnabled());
  EXPECT_EQ(live.View3D, true);  // nothing written before OK or Apply

  form.ApplyClicked();
  EXPECT_EQ(form.result(), TChartPropertiesForm::Applied);
  EXPECT_FALSE(live.View3D);
  form.Activate();  // opens again: remembers the applied values
  EXPECT_FALSE(form.applyButton->isEnabled());
  form.titleBox->setChecked(false);
  form.CancelClicked();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_TRUE(live.ShowTitle);
  EXPECT_FALSE(live.View3D);

  form.Activate();
  form.percentButton->setChecked(true);
  form.valuesBox->setChecked(false);
  form.OkClicked();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(live.Units, ChartUnits::Percent);
  EXPECT_FALSE(live.ShowValues);
}

TEST(ChartPropertiesFormTest, GradientColoursComeFromTheColourDialog) {
  ChartProperties live;
  TChartPropertiesForm form(live);
  std::vector<QColor> offered;
  std::optional<QColor> answer = QColor(10, 20, 30);
  form.pickColour = [&](const QColor& current, QWidget*) {
    offered.push_back(current);
    return answer;
  };
  QTest::mouseClick(form.topColourButton, Qt::LeftButton);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0], QColor(255, 255, 255));
  EXPECT_EQ(form.Values().TopColour, MakeColourRef(10, 20, 30));
  EXPECT_EQ(form.topColourPanel->palette().color(QPalette::Window), QColor(10, 20, 30));
  EXPECT_TRUE(form.applyButton->isEnabled());

  // A click on the bottom panel opens the dialog too; a cancelled choice changes nothing.
  answer.reset();
  QTest::mouseClick(form.bottomColourPanel, Qt::LeftButton);
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[1], QColor(255, 255, 0));
  EXPECT_EQ(form.Values().BottomColour, MakeColourRef(255, 255, 0));

  // Without the gradient the colour controls are off.
  form.gradientBox->setChecked(false);
  EXPECT_FALSE(form.topColourButton->isEnabled());
  EXPECT_FALSE(form.bottomColourButton->isEnabled());
  EXPECT_FALSE(form.topColourPanel->isEnabled());
  form.PickBottomColour();
  EXPECT_EQ(offered.size(), 2u);
  form.gradientBox->setChecked(true);
  form.OkClicked();
  EXPECT_EQ(live.TopColour, MakeColourRef(10, 20, 30));

  form.resize(form.sizeHint());
  test::SaveShot(form, "ChartPropertiesDialog");
}

TEST_F(ChartPagesTest, ApplyRedrawsBothChartsAndOpensTheDialogAgain) {
  ChartProperties live;
  TFrameSizeChartPage sizes(live);
  TProtocolChartPage protocols(live);
  ShareChartProperties(sizes, protocols);
  sizes.ShowTrace(*demo_);
  protocols.ShowTrace(*demo_);

  // The user picks Bar and Apply, then switches the 3D look off and presses OK.
  int shown = 0;
  std::vector<bool> barsSeenAtOpening;
  sizes.EditProperties([&](TChartPropertiesForm& form) {
    barsSeenAtOpening.push_back(protocols.Chart().ShowsBars());
    if (++shown == 1) {
      form.barButton->setChecked(true);
      form.ApplyClicked();
    } else {
      EXPECT_TRUE(form.barButton->isChecked());  // the applied values, shown again
      form.view3DBox->setChecked(false);
      form.OkClicked();
    }
    return form.result();
  });
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(barsSeenAtOpening, (std::vector<bool>{false, true}));  // redrawn before it opened again
  for (TChartPage* page : std::initializer_list<TChartPage*>{&sizes, &protocols}) {
    EXPECT_TRUE(page->Chart().ShowsBars());
    EXPECT_FALSE(page->Chart().Shows3DLook());
  }

  // Cancel puts back the values of the opening and redraws nothing.
  int redraws = 0;
  RunChartProperties(
      protocols.PropertiesForm(),
      [](TChartPropertiesForm& form) {
        form.pieButton->setChecked(true);
        form.CancelClicked();
        return form.result();
      },
      [&] { ++redraws; });
  EXPECT_EQ(redraws, 0);
  EXPECT_EQ(live.Type, ChartType::Bar);
  EXPECT_TRUE(protocols.Chart().ShowsBars());
}

}  // namespace
}  // namespace korvane
