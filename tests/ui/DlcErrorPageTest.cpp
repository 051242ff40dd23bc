// The DLC Error Expert page: the Ethernet panel on the demo trace, the Token Ring panel on
// the Token Ring scenario, and the ring map's drawing on rings large and small.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest/QTest>

#include "PageTestSupport.h"
#include "reports/DlcErrors.h"
#include "ui/main/DlcErrorPage.h"
#include "ui/main/RingMapView.h"

namespace korvane {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Lines(const std::vector<std::string>& lines) {
  QStringList out;
  for (const std::string& line : lines) out << Q(line);
  return out.join('\n');
}

QStringList Items(const QComboBox& box) {
  QStringList items;
  for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
  return items;
}

void ExpectLabelsApart(const RingMapView::Placement& placement, const QRectF& inside) {
  const auto& stations = placement.stations;
  for (size_t i = 0; i < stations.size(); ++i) {
    EXPECT_TRUE(inside.contains(stations[i].outline.boundingRect()))
        << "label " << stations[i].label.toStdString() << " leaves the map";
    for (size_t k = i + 1; k < stations.size(); ++k)
      EXPECT_FALSE(stations[i].outline.intersects(stations[k].outline))
          << "labels " << i << " and " << k << " overlap";
  }
}

// A ring of `count` stations 400000000001, 400000000002, ...; the first is the active monitor.
RingMap SyntheticRing(int count) {
  RingMap ring;
  for (int k = 0; k < count && k <= kRingMapMaxStations; ++k) {
    RingMapStation s;
    s.position = k + 1;
    if (k == kRingMapMaxStations) {
      s.overflow = true;
      s.label = "OVERFLOW      ";
    } else {
      const uint8_t bytes[6] = {0x40, 0, 0, 0, uint8_t(k >> 8), uint8_t(k + 1)};
      s.address = AddressKey::From(bytes, 6);
      char label[16];
      std::snprintf(label, sizeof label, "4000000%05X", k + 1);
      s.label = label;
    }
    s.ringPollColour = k == 0 ? RingColour::Aqua : RingColour::Black;
    ring.stations.push_back(s);
  }
  return ring;
}

class DlcErrorPageTest : public test::TwoTraceSuite {
 protected:
  void SetUp() override {
    page_.resize(960, 620);
    page_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page_));
  }
  TDlcErrorPage page_;
};

TEST_F(DlcErrorPageTest, NoTraceShowsNeitherPanel) {
  EXPECT_FALSE(page_.ShowsEthernet());
  EXPECT_FALSE(page_.ShowsTokenRing());
  EXPECT_FALSE(page_.EthernetPanel().isVisible());
  EXPECT_FALSE(page_.TokenRingPanel().isVisible());
  EXPECT_FALSE(page_.CopyButton().isEnabled());
  EXPECT_TRUE(page_.ShowByOuiBox().isChecked());
  QApplication::clipboard()->setText("before");
  page_.Copy();
  EXPECT_EQ(QApplication::clipboard()->text(), "before");
}

TEST_F(DlcErrorPageTest, EthernetPanelShowsTheReportsFigures) {
  page_.ShowTrace(*demo_);
  ASSERT_TRUE(page_.ShowsEthernet());
  EXPECT_TRUE(page_.EthernetPanel().isVisible());
  EXPECT_FALSE(page_.TokenRingPanel().isVisible());
  EXPECT_EQ(page_.Tips(), (QList<int>{13, 32}));
  EXPECT_EQ(page_.CopyCaption(), "&Copy");

  const EthernetErrors expected = BuildEthernetErrors(*demo_);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(page_.FrameErrorField(i).text(), Q(expected.frameErrors[size_t(i)].count)) << i;
    EXPECT_EQ(page_.FrameErrorField(i).toolTip(), Q(expected.frameErrors[size_t(i)].hint)) << i;
  }
  int filled = 0;
  for (int r = 0; r < 5; ++r) {
    const CollisionRow& row = expected.collisions[size_t(r)];
    const auto& controls = page_.CollisionRowControls(r);
    EXPECT_EQ(controls.source->text(), Q(row.source)) << r;
    EXPECT_EQ(controls.transmits->text(), Q(row.transmitsText)) << r;
    EXPECT_EQ(controls.retransmits->text(), Q(row.retransmitsText)) << r;
    EXPECT_EQ(controls.gauge->value(), row.percent) << r;
    EXPECT_EQ(controls.gauge->isTextVisible(), row.filled) << r;
    filled += row.filled;
  }
  EXPECT_GE(filled, 1);  // the demo has colliding stations
  EXPECT_EQ(page_.EthernetNotes().toPlainText(), Lines(expected.notes));
  EXPECT_TRUE(page_.EthernetNotes().toPlainText().startsWith("Notes"));

  // The copy button and Edit > Copy give the summary korvane-cli dlc-errors prints.
  EXPECT_TRUE(page_.CopyButton().isVisible());
  EXPECT_TRUE(page_.CopyButton().isEnabled());
  QApplication::clipboard()->clear();
  QTest::mouseClick(&page_.CopyButton(), Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text(), Q(EthernetErrorsCopyText(expected)));
  test::SaveShot(page_, "DlcErrorPage-Ethernet");
}

TEST_F(DlcErrorPageTest, ShowStationByOuiSwitchesEveryStationText) {
  page_.ShowTrace(*demo_);
  const QString byVendor = page_.CollisionRowControls(0).source->text();
  page_.ShowByOuiBox().setChecked(false);
  DlcErrorOptions hex;
  hex.showStationByOui = false;
  const EthernetErrors plain = BuildEthernetErrors(*demo_, hex);
  EXPECT_EQ(page_.CollisionRowControls(0).source->text(), Q(plain.collisions[0].source));
  EXPECT_EQ(page_.CollisionRowControls(0).source->text().size(), 12);
  EXPECT_NE(page_.CollisionRowControls(0).source->text(), byVendor);
  EXPECT_EQ(page_.CopyText(), Q(EthernetErrorsCopyText(plain)));

  page_.ShowTrace(*ring_);
  const TokenRingErrors ringPlain = BuildTokenRingErrors(*ring_, hex);
  EXPECT_EQ(Items(*page_.SoftErrorRowControls(0).entries), [&] {
    QStringList items;
    for (const std::string& e : ringPlain.rows[0].entries) items << Q(e);
    return items;
  }());
  page_.RingMap().Layout();
  for (const auto& station : page_.RingMap().Layout().stations) EXPECT_FALSE(station.label.startsWith("IBM"));
  page_.ShowByOuiBox().setChecked(true);
  bool vendorShown = false;
  for (const auto& station : page_.RingMap().Layout().stations) vendorShown |= station.label.startsWith("IBM");
  EXPECT_TRUE(vendorShown);
}

TEST_F(DlcErrorPageTest, TokenRingSoftErrorSummary) {
  page_.ShowTrace(*ring_);
  ASSERT_TRUE(page_.ShowsTokenRing());
  EXPECT_TRUE(page_.TokenRingPanel().isVisible());
  EXPECT_EQ(page_.Tips(), (QList<int>{32}));
  const TokenRingErrors expected = BuildTokenRingErrors(*ring_);
  int entries = 0;
  for (int r = 0; r < kSoftErrorKindCount; ++r) {
    const SoftErrorRow& row = expected.rows[size_t(r)];
    const auto& controls = page_.SoftErrorRowControls(r);
    EXPECT_EQ(controls.label->text(), Q(row.label));
    EXPECT_EQ(controls.label->toolTip(), Q(row.hint));
    EXPECT_EQ(controls.total->text(), Q(row.total)) << row.label;
    EXPECT_EQ(controls.stations->text(), QString::number(row.stations)) << row.label;
    QStringList wanted;
    for (const std::string& e : row.entries) wanted << Q(e);
    EXPECT_EQ(Items(*controls.entries), wanted) << row.label;
    EXPECT_EQ(controls.entries->isEnabled(), !row.entries.empty());
    entries += int(row.entries.size());
  }
  EXPECT_GE(entries, 4);  // the scenario's stations report burst, line, congestion, abort, lost frame errors
  EXPECT_EQ(page_.TokenRingNotes().toPlainText(), Lines(expected.notes));

  // The copy button is there only on the Soft Error Summary; Edit > Copy copies that summary.
  page_.TokenRingTabs().setCurrentIndex(0);
  EXPECT_FALSE(page_.CopyButton().isVisible());
  page_.TokenRingTabs().setCurrentIndex(1);
  EXPECT_TRUE(page_.CopyButton().isVisible());
  QApplication::clipboard()->clear();
  page_.Copy();
  EXPECT_EQ(QApplication::clipboard()->text(), Q(SoftErrorSummaryCopyText(expected)));
  QTest::mouseClick(page_.SoftErrorRowControls(0).entries, Qt::LeftButton);  // a drop-down opens
  test::SaveShot(page_, "DlcErrorPage-TokenRing-SoftErrorSummary");
  page_.SoftErrorRowControls(0).entries->hidePopup();

  // Back to an Ethernet trace: the Ethernet panel, the copy button shown again.
  page_.ShowTrace(*demo_);
  EXPECT_TRUE(page_.EthernetPanel().isVisible());
  EXPECT_TRUE(page_.CopyButton().isVisible());
}

TEST_F(DlcErrorPageTest, RingMapInRingPollOrderWithBothKeys) {
  page_.ShowTrace(*ring_);
  page_.TokenRingTabs().setCurrentIndex(0);
  RingMapView& map = page_.RingMap();
  const TokenRingErrors expected = BuildTokenRingErrors(*ring_);
  const auto& placement = map.Layout();
  ASSERT_EQ(placement.stations.size(), expected.ring.stations.size());
  ASSERT_GE(placement.stations.size(), 3u);
  for (size_t k = 0; k < placement.stations.size(); ++k) {
    const auto& placed = placement.stations[k];
    EXPECT_EQ(placed.label, Q(expected.ring.stations[k].label));
    EXPECT_EQ(placed.colour, RingMapView::KeyColour(expected.ring.stations[k].ringPollColour));
    // Clockwise from twelve o'clock in ring-poll order: each next station further round,
    // right of the centre in the first half, left of it in the second.
    if (k == 0) continue;
    EXPECT_GT(placed.angle, placement.stations[k - 1].angle);
    if (placed.angle < 180) {
      EXPECT_GT(placed.node.x(), placement.centre.x() + 1);
    } else if (placed.angle > 180) {
      EXPECT_LT(placed.node.x(), placement.centre.x() - 1);
    }
  }
  EXPECT_DOUBLE_EQ(placement.stations[0].angle, 0);
  EXPECT_LT(placement.stations[0].node.y(), placement.centre.y());
  EXPECT_EQ(placement.labelStyle, RingMapView::LabelStyle::Level);
  ExpectLabelsApart(placement, QRectF(map.rect()));
  EXPECT_EQ(placement.stations[0].colour, QColor(0, 255, 255));  // the active monitor, aqua

  // Fault domain: the burst reports of two stations, each between neighbours on the map.
  ASSERT_EQ(placement.faults.size(), 2u);
  for (const auto& fault : placement.faults) {
    EXPECT_TRUE(fault.adjacent);
    EXPECT_GT(fault.count, 0);
  }
  test::SaveShot(page_, "DlcErrorPage-TokenRing-RingMap-RingPoll");

  // "Station Errors": the colours of the worst error each station reported.
  QTest::mouseClick(&page_.StationErrorsButton(), Qt::LeftButton);
  EXPECT_EQ(map.IdBy(), RingMapView::IdStationBy::StationErrors);
  QStringList coloured;
  for (size_t k = 0; k < map.Layout().stations.size(); ++k) {
    EXPECT_EQ(map.Layout().stations[k].colour,
              RingMapView::KeyColour(expected.ring.stations[k].stationErrorColour));
    if (map.Layout().stations[k].colour != Qt::black) coloured << map.Layout().stations[k].label;
  }
  EXPECT_EQ(coloured.size(), 2);  // one transmit abort, one receiver congestion
  QTest::mouseClick(&page_.LineErrorsButton(), Qt::LeftButton);
  EXPECT_EQ(map.FaultDomain(), RingMapView::FaultDomainKind::Line);
  ASSERT_EQ(map.Layout().faults.size(), 1u);
  EXPECT_EQ(map.Layout().faults[0].count, 4);
  test::SaveShot(page_, "DlcErrorPage-TokenRing-RingMap-StationErrors");

  // The picture button copies the drawing.
  QApplication::clipboard()->clear();
  QTest::mouseClick(&page_.CopyGraphicButton(), Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->image().size(), map.size());
}

TEST(RingMapViewTest, AFullRingTurnsItsLabelsAlongTheRadius) {
  RingMapView map;
  map.resize(900, 700);
  RingMap ring = SyntheticRing(kRingMapMaxStations + 1);
  ASSERT_EQ(ring.stations.size(), 181u);
  ring.stations[7].label = "Ring Err Mon";
  map.SetRing(ring);
  const auto& placement = map.Layout();
  EXPECT_EQ(placement.labelStyle, RingMapView::LabelStyle::Staggered);
  EXPECT_GE(placement.fontPixels, 8);  // still legible
  ASSERT_EQ(placement.stations.size(), 181u);
  // Each label is its station's text, or where the system's font leaves no room at 8
  // pixels, its start and end around an ellipsis.
  auto shows = [](const QString& shown, const QString& text) {
    const qsizetype cut = shown.indexOf(QChar(0x2026));
    if (cut < 0) return shown == text || shown == text.trimmed();
    return cut >= 2 && text.startsWith(shown.left(cut)) && text.trimmed().endsWith(shown.mid(cut + 1));
  };
  EXPECT_TRUE(shows(placement.stations.back().label, QStringLiteral("OVERFLOW      ")));
  EXPECT_TRUE(shows(placement.stations[7].label, QStringLiteral("Ring Err Mon")));
  ExpectLabelsApart(placement, QRectF(map.rect()));
  test::SaveShot(map.Picture(), "RingMap-181-stations");

  // A ring of a dozen stations is labelled level and still readable.
  map.SetRing(SyntheticRing(12));
  EXPECT_EQ(map.Layout().labelStyle, RingMapView::LabelStyle::Level);
  EXPECT_EQ(map.Layout().fontPixels, 12);
  ExpectLabelsApart(map.Layout(), QRectF(map.rect()));
  test::SaveShot(map.Picture(), "RingMap-12-stations");
}

TEST(RingMapViewTest, FaultReportsBetweenStationsThatAreNotNeighbours) {
  RingMapView map;
  map.resize(600, 500);
  RingMap ring = SyntheticRing(6);
  // Station 4 reports station 1 as its upstream neighbour; station 2 one that is not on the map.
  ring.faultDomains.push_back({ring.stations[3].address, ring.stations[0].address, 7, 0});
  ring.faultDomains.push_back({ring.stations[1].address, AddressKey::From((const uint8_t*)"\x10\0\x5a\0\0\1", 6), 0, 2});
  ring.faultDomains.push_back({ring.stations[2].address, ring.stations[1].address, 3, 0});
  map.SetRing(ring);
  const auto& burst = map.Layout().faults;
  ASSERT_EQ(burst.size(), 2u);
  EXPECT_EQ(burst[0].reporter, 3);
  EXPECT_EQ(burst[0].upstream, 0);
  EXPECT_FALSE(burst[0].adjacent);
  EXPECT_TRUE(burst[1].adjacent);
  EXPECT_EQ(burst[1].count, 3);
  map.SetFaultDomain(RingMapView::FaultDomainKind::Line);
  const auto& line = map.Layout().faults;
  ASSERT_EQ(line.size(), 1u);
  EXPECT_EQ(line[0].reporter, 1);
  EXPECT_EQ(line[0].upstream, -1);
  EXPECT_EQ(line[0].count, 2);
  EXPECT_FALSE(map.Picture().isNull());
}

TEST(RingMapViewTest, MessagesWithoutARing) {
  RingMapView map;
  map.resize(500, 400);
  RingMap none;
  none.message = "(There is no ring poll in the trace file)";
  map.SetRing(none);
  EXPECT_TRUE(map.Layout().stations.empty());
  const QImage empty = map.Picture();
  test::SaveShot(empty, "RingMap-no-ring-poll");
  // The message is drawn: the middle of the map is not all white.
  bool ink = false;
  for (int x = 100; x < 400 && !ink; ++x) ink = empty.pixelColor(x, (400 - int(map.Layout().keyArea.height())) / 2) != Qt::white;
  EXPECT_TRUE(ink);

  // On a narrow map the key flows onto further rows and stays whole.
  map.resize(360, 400);
  map.SetIdStationBy(RingMapView::IdStationBy::RingPoll);
  const auto& narrow = map.Layout();
  ASSERT_EQ(narrow.keys.size(), RingPollKeys().size());
  EXPECT_GT(narrow.keys.back().rect.top(), narrow.keys.front().rect.top());
  for (size_t i = 0; i < narrow.keys.size(); ++i) {
    EXPECT_TRUE(QRectF(map.rect()).contains(narrow.keys[i].rect)) << i;
    EXPECT_TRUE(narrow.keyArea.contains(narrow.keys[i].rect)) << i;
    for (size_t k = i + 1; k < narrow.keys.size(); ++k) EXPECT_FALSE(narrow.keys[i].rect.intersects(narrow.keys[k].rect));
  }
  EXPECT_TRUE(QRectF(map.rect()).contains(narrow.faultText));
  EXPECT_TRUE(narrow.faultCaption.startsWith("Burst Errors"));
  test::SaveShot(map.Picture(), "RingMap-narrow-no-ring-poll");

  map.resize(500, 400);
  RingMap one = SyntheticRing(1);
  one.message = "(There is only one station in the ring poll)";
  map.SetRing(one);
  ASSERT_EQ(map.Layout().stations.size(), 1u);
  EXPECT_TRUE(map.Layout().faults.empty());
  test::SaveShot(map.Picture(), "RingMap-one-station");
}

}  // namespace
}  // namespace korvane
