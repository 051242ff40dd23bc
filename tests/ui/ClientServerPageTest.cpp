// The Client/Server Expert page: the grid filled from the demo trace, its marks and yellow
// cells, sorting by the selector, the buttons and a double click, the Packets && Bytes
// switch, the name check boxes, copying, the pop-up menu, the "Analyzing..." window and
// the note of a trace without IP or IPX.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include "PageTestSupport.h"
#include "measure/ConversationFixture.h"
#include "scenario/PacketBuilder.h"
#include "ui/main/ClientServerPage.h"

namespace korvane {
namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// The page as the user sees it: with its pending layout done.
void SavePage(QWidget& page, const QString& name) {
  QApplication::processEvents();
  test::SaveShot(page, name);
}

// A page on a trace, shown at a size an engineer would give it.
struct ShownPage {
  explicit ShownPage(const TraceSession& session) {
    page.resize(1400, 640);
    page.show();
    page.ShowTrace(session);
  }
  QTableView& View() { return *page.findChild<QTableView*>("ServerGrid"); }
  QAbstractItemModel& Model() { return *View().model(); }
  QComboBox& SortBy() { return *page.findChild<QComboBox*>("Top10ComboBox"); }
  QComboBox& PacketsBytes() { return *page.findChild<QComboBox*>("PacketsBytesComboBox"); }
  QString Cell(int row, int column) { return Model().data(Model().index(row, column)).toString(); }
  QString Heading(int column) { return Model().headerData(column, Qt::Horizontal).toString(); }
  QColor Background(int row, int column) {
    return Model().data(Model().index(row, column), Qt::BackgroundRole).value<QColor>();
  }
  bool Marked(int row, int column) {
    return Model().data(Model().index(row, column), ConversationGridModel::kMarkRole).toBool();
  }
  // The shown numbers of a column, top to bottom.
  std::vector<double> Numbers(int column) {
    std::vector<double> numbers;
    for (int r = 0; r < Model().rowCount(); ++r) numbers.push_back(Cell(r, column).remove(',').trimmed().toDouble());
    return numbers;
  }

  ProblemFinderSettings settings;
  TClientServerPage page{settings};
};

void ExpectRowsEqual(const ConversationGrid& shown, const ConversationGrid& built) {
  ASSERT_EQ(shown.rows.size(), built.rows.size());
  for (size_t r = 0; r < built.rows.size(); ++r) EXPECT_EQ(shown.rows[r].cells, built.rows[r].cells) << "row " << r;
}

// Client 10.0.0.c asks server 10.0.0.s `rounds` times; the first `resets` answers carry a reset.
struct ResetTables : testing::ConversationTables {
  void Exchange(uint8_t c, uint8_t s, int rounds, int resets) {
    const int32_t client = Station(c), server = Station(s);
    const int32_t forward = Stream(Peer(client, server), transport::Tcp, 1025, 80);
    const int32_t reverse = Stream(Peer(server, client), transport::Tcp, 80, 1025);
    for (int i = 0; i < rounds; ++i) {
      const double t = base + 100000.0 * i;
      Add(forward, {.frame = ++frame, .time = t, .flags = packet_flag::Request, .seq = 1000u + 100u * uint32_t(i),
                    .payload = 100, .tcpFlags = 0x10});
      Add(reverse, {.frame = ++frame, .time = t + 2000, .flags = packet_flag::Reply | (i < resets ? packet_flag::TcpReset : 0u),
                    .seq = 9000u + 300u * uint32_t(i), .ack = 1100u + 100u * uint32_t(i), .payload = 300,
                    .tcpFlags = 0x10});
    }
    base += 100000.0 * rounds + 1000;
  }
  int64_t frame = 0;
  double base = 0;
};

TEST(ClientServerPage, DemoTraceFillsTheGridAsTheReportBuildsIt) {
  auto session = test::DemoTrace();
  ShownPage p(*session);
  const ConversationGrid built = BuildConversationGrid(*session, p.settings, {});
  ASSERT_GT(built.rows.size(), 10u);
  ExpectRowsEqual(p.page.Grid(), built);
  EXPECT_EQ(p.Model().rowCount(), int(built.rows.size()));
  EXPECT_EQ(p.Model().columnCount(), kGridShownColumns);
  for (int c = 0; c < kGridShownColumns; ++c) EXPECT_EQ(p.Heading(c), Q(built.headings[size_t(c)]));
  EXPECT_EQ(p.page.findChild<QLabel*>("CountLabel")->text(), Q(built.countLabel));
  EXPECT_EQ(p.page.findChild<QPlainTextEdit*>("TotalsBox1")->toPlainText(),
            "A = Low Server to Client Throughput - 4\nB = Slow Response Time - 0\n"
            "C = Busy Network or Server - 0\nD = Inefficient Client - 1");
  EXPECT_EQ(p.page.findChild<QPlainTextEdit*>("TotalsBox3")->toPlainText(),
            "I = # of ICMP Error Reports - 0\n\n* Throughput in KBytes/Second\n- = Insufficient Data");
  // The demo trace holds NetWare traffic: the IPX name box is offered.
  EXPECT_FALSE(p.page.findChild<QCheckBox*>("IpxByOuiCheckBox")->isHidden());
  EXPECT_EQ(p.page.findChild<QStackedWidget*>()->currentIndex(), 0);
  EXPECT_EQ(p.page.CopyCaption(), "&Copy");
  EXPECT_TRUE(p.page.CanSelectAll());
  EXPECT_EQ(p.page.Tips(), (QList<int>{2, 3, 5, 6, 7, 8, 29}));
  SavePage(p.page, "ClientServerPage");
}

TEST(ClientServerPage, TokenRingTraceFillsTheGridWithItsIpxNames) {
  auto session = test::TokenRingTrace();
  ShownPage p(*session);
  const ConversationGrid built = BuildConversationGrid(*session, p.settings, {});
  ASSERT_FALSE(built.rows.empty());
  ExpectRowsEqual(p.page.Grid(), built);
  EXPECT_EQ(p.page.findChild<QLabel*>("CountLabel")->text(), Q(built.countLabel));
  EXPECT_FALSE(p.page.findChild<QCheckBox*>("IpxByOuiCheckBox")->isHidden());
  SavePage(p.page, "ClientServerPage-tokenring");
}

TEST(ClientServerPage, MarksShowAsCheckMarksAndTheirThroughputOrResponseCellsAreYellow) {
  auto session = test::DemoTrace();
  ShownPage p(*session);
  // Every response slower than 1 ms is slow now: B marks appear after the rebuild.
  p.settings.SetThreshold(ProblemThreshold::CSSlowResponseTime, 1);
  p.page.Rebuild();
  const ConversationGrid& grid = p.page.Grid();
  int a = 0, b = 0;
  for (int r = 0; r < int(grid.rows.size()); ++r) {
    const GridRow& row = grid.rows[size_t(r)];
    a += row.MarkedA();
    b += row.MarkedB();
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(p.Marked(r, c), !row.cells[size_t(c)].empty()) << r << "," << c;
      EXPECT_TRUE(p.Cell(r, c).isEmpty());  // the check mark is drawn, the text only sorts
    }
    for (int c = 0; c < kGridShownColumns; ++c) {
      const bool yellow = (c == 17 && row.MarkedA()) || (c == 15 && row.MarkedB());
      EXPECT_EQ(p.Background(r, c), yellow ? QColor(Qt::yellow) : QColor(Qt::white)) << r << "," << c;
    }
  }
  EXPECT_EQ(a, 4);
  EXPECT_GE(b, 1);  // four answered requests at least are needed for a mark
  EXPECT_EQ(p.page.findChild<QPlainTextEdit*>("TotalsBox1")->toPlainText().split('\n')[1],
            QString("B = Slow Response Time - %1").arg(b));
  SavePage(p.page, "ClientServerPage-marks");
}

TEST(ClientServerPage, SortsBySelectorButtonsAndDoubleClick) {
  auto session = test::DemoTrace();
  ShownPage p(*session);
  EXPECT_EQ(p.page.SortColumn(), -1);
  EXPECT_FALSE(p.page.SortAscending());  // Descending is the default
  // "Packets" sorts column 12 by number, largest first.
  p.SortBy().setCurrentIndex(12);
  std::vector<double> packets = p.Numbers(12);
  EXPECT_TRUE(std::is_sorted(packets.rbegin(), packets.rend()));
  EXPECT_EQ(packets.front(), 115);
  // Ascending re-sorts the same column.
  p.page.findChild<QToolButton*>("AscendingButton")->click();
  EXPECT_TRUE(p.page.SortAscending());
  packets = p.Numbers(12);
  EXPECT_TRUE(std::is_sorted(packets.begin(), packets.end()));
  EXPECT_EQ(packets.front(), 1);
  // A double click on a cell makes its column the sort column.
  QTableView& view = p.View();
  const QModelIndex bytes = p.Model().index(2, 13);
  view.scrollTo(bytes);
  // As the platform delivers it: press and release, then the second press as a double click.
  QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(bytes).center());
  QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(bytes).center());
  EXPECT_EQ(p.page.SortColumn(), 13);
  EXPECT_EQ(p.SortBy().currentText(), "Bytes");
  const std::vector<double> sizes = p.Numbers(13);
  EXPECT_TRUE(std::is_sorted(sizes.begin(), sizes.end()));
  // So does a double click on a heading; Descending then turns the order round.
  QHeaderView& header = *view.horizontalHeader();
  QTest::mouseDClick(header.viewport(), Qt::LeftButton, {},
                     QPoint(header.sectionViewportPosition(9) + header.sectionSize(9) / 2, header.height() / 2));
  EXPECT_EQ(p.page.SortColumn(), 9);
  p.page.findChild<QToolButton*>("DescendingButton")->click();
  for (int r = 1; r < p.Model().rowCount(); ++r)
    EXPECT_GE(QString::compare(p.Cell(r - 1, 9), p.Cell(r, 9), Qt::CaseInsensitive), 0) << r;
  // A new trace starts unsorted.
  p.page.ShowTrace(*session);
  EXPECT_EQ(p.page.SortColumn(), -1);
}

TEST(ClientServerPage, ColumnHSortsTenAfterNine) {
  ResetTables tables;
  tables.Exchange(1, 2, 12, 10);
  tables.Exchange(3, 4, 12, 9);
  tables.Exchange(5, 6, 12, 1);
  ShownPage p(tables.session());
  ASSERT_EQ(p.Model().rowCount(), 3);
  p.page.findChild<QToolButton*>("AscendingButton")->click();
  p.SortBy().setCurrentIndex(7);
  EXPECT_EQ(p.Cell(0, 7), "1");
  EXPECT_EQ(p.Cell(1, 7), "9");
  EXPECT_EQ(p.Cell(2, 7), "10");
  EXPECT_EQ(p.page.findChild<QPlainTextEdit*>("TotalsBox2")->toPlainText().split('\n')[3], "H = # of TCP Resets - 20");
}

TEST(ClientServerPage, PacketsAndBytesSwitchRebuildsWithItsHeadingsAndKeepsTheSort) {
  auto session = test::DemoTrace();
  ShownPage p(*session);
  EXPECT_EQ(p.PacketsBytes().currentText(), "Client <-> Server");
  p.SortBy().setCurrentIndex(13);
  p.PacketsBytes().setCurrentIndex(1);
  EXPECT_EQ(p.Heading(12), "Pkts Clt->Svr");
  EXPECT_EQ(p.Heading(13), "Bytes Clt->Svr");
  ConversationGridOptions options;
  options.packetsBytes = PacketsBytes::ClientToServer;
  ConversationGrid built = BuildConversationGrid(*session, p.settings, options);
  SortConversationGrid(built, 13, false);
  ExpectRowsEqual(p.page.Grid(), built);
  p.PacketsBytes().setCurrentIndex(2);
  EXPECT_EQ(p.Heading(12), "Pkts Clt<-Svr");
  EXPECT_EQ(p.Heading(13), "Bytes Clt<-Svr");
  const std::vector<double> bytes = p.Numbers(13);
  EXPECT_TRUE(std::is_sorted(bytes.rbegin(), bytes.rend()));
}

TEST(ClientServerPage, NameBoxesRenameWithoutRebuilding) {
  auto session = test::DemoTrace();
  ShownPage p(*session);
  auto rowOf = [&](const QString& protocol) {
    for (int r = 0; r < p.Model().rowCount(); ++r)
      if (p.Cell(r, 11) == protocol) return r;
    return -1;
  };
  const int web = rowOf("TCP/Port 1060<->HTTP");
  const int netware = rowOf("IPX (Socket 4003<->NCP)/NCP");
  ASSERT_GE(web, 0);
  ASSERT_GE(netware, 0);
  EXPECT_EQ(p.Cell(web, 10), "www.example.com");
  EXPECT_EQ(p.Cell(netware, 9), "1A2B.3COMB76603");
  p.page.findChild<QCheckBox*>("SmartNamesCheckBox")->setChecked(false);
  EXPECT_TRUE(QRegularExpression(R"(^\d+\.\d+\.\d+\.\d+$)").match(p.Cell(web, 10)).hasMatch()) << p.Cell(web, 10).toStdString();
  EXPECT_EQ(p.Cell(web, 11), "TCP/Port 1060<->HTTP");  // the rows stay where they were
  p.page.findChild<QCheckBox*>("IpxByOuiCheckBox")->setChecked(false);
  EXPECT_FALSE(p.Cell(netware, 9).contains("3COM")) << p.Cell(netware, 9).toStdString();
  p.page.findChild<QCheckBox*>("SmartNamesCheckBox")->setChecked(true);
  EXPECT_EQ(p.Cell(web, 10), "www.example.com");
}

TEST(ClientServerPage, CopiesTheSelectedCellsAndSelectsAll) {
  auto session = test::DemoTrace();
  ShownPage p(*session);
  QTableView& view = p.View();
  view.selectionModel()->select(QItemSelection(p.Model().index(1, 9), p.Model().index(3, 12)),
                                QItemSelectionModel::ClearAndSelect);
  QApplication::clipboard()->clear();
  p.page.Copy();
  const QString copied = QApplication::clipboard()->text();
  EXPECT_EQ(copied, QString::fromStdString(ConversationGridSelectionText(p.page.Grid(), 9, 1, 12, 3)));
  EXPECT_EQ(copied.count('\n'), 3);
  EXPECT_EQ(copied.split('\n')[0].count('\t'), 3);
  // Select All and the copy button: every row, marks as X.
  p.page.SelectAll();
  p.page.findChild<QToolButton*>("CopyButton")->click();
  const QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), p.Model().rowCount());
  EXPECT_TRUE(lines[0].startsWith("X\t\t\tX\t")) << lines[0].toStdString();
  // Nothing selected leaves the clipboard alone.
  view.clearSelection();
  QApplication::clipboard()->setText("kept");
  p.page.Copy();
  EXPECT_EQ(QApplication::clipboard()->text(), "kept");
}

TEST(ClientServerPage, PopupOffersTheToolboxAndTheDlcSourceOfColumnsGAndH) {
  auto session = test::DemoTrace();
  ShownPage p(*session);
  auto captions = [&](int row, int column) {
    QStringList texts;
    const std::unique_ptr<QMenu> menu = p.page.PopupMenu(p.Model().index(row, column));
    for (QAction* action : menu->actions())
      texts << (action->isSeparator() ? QString("-") : action->text());
    return texts;
  };
  EXPECT_EQ(captions(0, 9), QStringList{"&Seravo ToolBox"});
  const GridRow& row = p.page.Grid().rows[2];
  EXPECT_EQ(captions(2, 6), (QStringList{"&Seravo ToolBox", "-", "DLC Source is " + Q(row.cells[20])}));
  EXPECT_EQ(captions(2, 7), (QStringList{"&Seravo ToolBox", "-", "DLC Source is " + Q(row.cells[21])}));
  EXPECT_NE(row.cells[20], row.cells[21]);
  QSignalSpy toolbox(&p.page, &TClientServerPage::OpenToolbox);
  const std::unique_ptr<QMenu> menu = p.page.PopupMenu(p.Model().index(0, 0));
  menu->actions().front()->trigger();
  EXPECT_EQ(toolbox.count(), 1);
}

TEST(ClientServerPage, RebuildSelectsTheRememberedRowOrTheLastOne) {
  auto session = test::DemoTrace();
  ShownPage p(*session);
  p.View().setCurrentIndex(p.Model().index(5, 10));
  p.page.Rebuild();
  ASSERT_NE(p.page.SelectedConversation(), nullptr);
  EXPECT_EQ(p.View().currentIndex().row(), 5);
  EXPECT_EQ(p.page.SelectedConversation(), &p.page.Grid().rows[5]);
  // A shorter grid next: its last row.
  p.View().setCurrentIndex(p.Model().index(p.Model().rowCount() - 1, 10));
  ResetTables tables;
  tables.Exchange(1, 2, 6, 0);
  tables.Exchange(3, 4, 6, 0);
  p.page.ShowTrace(tables.session());
  ASSERT_EQ(p.Model().rowCount(), 2);
  EXPECT_EQ(p.View().currentIndex().row(), 1);
  // No IPX in these tables: the IPX name box is not offered.
  EXPECT_TRUE(p.page.findChild<QCheckBox*>("IpxByOuiCheckBox")->isHidden());
}

TEST(ClientServerPage, AnalyzingWindowShowsItsLabelAndBarWhileTheGridFills) {
  auto session = test::DemoTrace();
  ProblemFinderSettings settings;
  TClientServerPage page(settings);
  page.resize(1400, 640);
  page.show();
  QString title, label;
  int barMaximum = 0;
  bool visible = false;
  // Runs at the window's first paint, while the grid fills.
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "AnalyzingForm") {
        title = w->windowTitle();
        label = w->findChild<QLabel*>("AnalyzingLabel")->text();
        barMaximum = w->findChild<QProgressBar*>("AnalyzingBar")->maximum();
        visible = w->isVisible();
        test::SaveShot(*w, "ClientServerPage-analyzing");
      }
  });
  page.ShowTrace(*session);
  EXPECT_EQ(title, "Analyzing...");
  EXPECT_EQ(label, "Conversations:");
  EXPECT_TRUE(visible);
  EXPECT_GE(barMaximum, int(page.Grid().rows.size()));
  // Gone as soon as the grid is full: no wait after the fill.
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->objectName(), "AnalyzingForm");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A trace of ARP frames only: no IP and no IPX station.
std::vector<uint8_t> ArpOnlyTrace() {
  using namespace tools;
  std::vector<ScenarioFrame> frames;
  const Mac a{0x00, 0x20, 0xAF, 0x11, 0x22, 0x33}, b{0x00, 0x60, 0x08, 0x44, 0x55, 0x66};
  const Ip4 ipA{192, 168, 1, 10}, ipB{192, 168, 1, 20};
  for (int i = 0; i < 6; ++i) {
    ScenarioFrame request;
    request.timeUs = 1000.0 * i;
    request.bytes = EthernetFrame(kBroadcastMac, a, kEtherTypeArp, ArpPacket(kArpRequest, a, ipA, Mac{}, ipB));
    request.wireLength = uint32_t(request.bytes.size());
    frames.push_back(request);
    ScenarioFrame reply;
    reply.timeUs = 1000.0 * i + 300;
    reply.bytes = EthernetFrame(a, b, kEtherTypeArp, ArpPacket(kArpReply, b, ipB, a, ipA));
    reply.wireLength = uint32_t(reply.bytes.size());
    frames.push_back(reply);
  }
  return tools::ScenarioWriters().at("sniffer")(frames, false);
}

TEST(ClientServerPage, TraceWithoutIpOrIpxShowsOnlyTheNote) {
  auto session = test::OpenTraceBytes(ArpOnlyTrace(), "arp.enc");
  ASSERT_GT(session->info.FramesRead, 0);
  ShownPage p(*session);
  auto* stack = p.page.findChild<QStackedWidget*>();
  EXPECT_EQ(stack->currentIndex(), 1);
  auto* note = p.page.findChild<QLabel*>("NoIpLabel");
  EXPECT_EQ(stack->currentWidget(), note);
  EXPECT_EQ(note->text(), "(No IP or IPX packets in trace file.)");
  EXPECT_TRUE(p.page.Grid().noIpTraffic);
  EXPECT_EQ(p.Model().rowCount(), 0);
  SavePage(p.page, "ClientServerPage-noip");
  // A trace with traffic brings the grid back; closing empties it.
  auto demo = test::DemoTrace();
  p.page.ShowTrace(*demo);
  EXPECT_EQ(stack->currentIndex(), 0);
  p.page.ClearTrace();
  EXPECT_EQ(p.Model().rowCount(), 0);
  EXPECT_EQ(p.page.findChild<QLabel*>("CountLabel")->text(), "0 Conversations Analyzed.");
  p.page.Rebuild();  // nothing to rebuild from
  EXPECT_EQ(p.Model().rowCount(), 0);
}

}  // namespace
}  // namespace korvane
