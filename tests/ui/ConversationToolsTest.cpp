// The conversation tools on screen: the toolbox opened from the client/server grid on a
// TCP, an IPX and a one-way conversation, its boxes, swap, range and Diagnostic list, and
// the latency, throughput, what-if and problem windows compared with what korvane-cli
// prints for the same selection. Every window leaves a picture in ui-shots/.
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>

#include "PageTestSupport.h"
#include "UiTestSupport.h"
#include "measure/PacketDiagnostics.h"
#include "reports/LatencyReport.h"
#include "reports/ProblemSummary.h"
#include "reports/Selection.h"
#include "reports/ThroughputReport.h"
#include "reports/WhatIfTable.h"
#include "settings/WindowPlacement.h"
#include "ui/main/ClientServerPage.h"
#include "ui/problems/ProblemAnalysisForm.h"
#include "ui/tools/AnalysisHalf.h"
#include "ui/tools/ConversationTools.h"
#include "ui/tools/LatencyAnalysisForm.h"
#include "ui/tools/PacketVisualizer.h"
#include "ui/tools/SeravoToolboxForm.h"
#include "ui/tools/ThroughputAnalysisForm.h"
#include "ui/tools/VisualizerAttributesDialog.h"
#include "ui/tools/WhatIfAnalysisForm.h"

namespace korvane::uitest {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

struct Conversation {
  const char* name;
  std::string source, destination;
  int32_t stream;
  const char* capture = nullptr;  // a file of data/captures/ instead of the demo trace
  friend void PrintTo(const Conversation& c, std::ostream* out) { *out << c.name; }
};

// The window's two halves in the form korvane-cli prints them.
std::string WindowText(const TAnalysisHalf& upper, const TAnalysisHalf& lower) {
  auto half = [](const TAnalysisHalf& h, std::string& copy, std::string& memo) {
    copy = h.CopyText().toStdString();
    memo = h.Memo()->toPlainText().toStdString();
    return HalfText{!h.Label()->text().isEmpty(), !copy.empty(), copy, memo};
  };
  std::string c1, m1, c2, m2;
  const HalfText a = half(upper, c1, m1);
  const HalfText b = half(lower, c2, m2);
  return TwoHalvesText(a, b);
}

// Each panel of the four figures shows what the copy text gives after its caption.
void ExpectPanelsInCopy(const TAnalysisHalf& half, const std::array<const char*, 4>& captions) {
  const QStringList lines = half.CopyText().split('\n');
  for (int i = 0; i < 4; ++i) {
    const QString head = QString::fromLatin1(captions[size_t(i)]) + " \t";
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(head); });
    ASSERT_NE(line, lines.end()) << captions[size_t(i)];
    EXPECT_EQ(line->mid(head.size()).trimmed(), half.Figure(i)->text());
  }
}

class ConversationToolsTest : public MainFormTest, public ::testing::WithParamInterface<Conversation> {
 protected:
  void SetUp() override {
    form = MakeForm(store);
    trace = GetParam().capture ? QFileInfo(DemoTrace()).absolutePath() + "/captures/" + GetParam().capture : DemoTrace();
    form->OpenFile(trace);
    ASSERT_TRUE(form->FileLoaded());
    tools = std::make_unique<ConversationTools>(*form, store);
    tools->SetDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
    const auto list = BuildStreamList(form->Session());
    const auto found = FindStream(list, GetParam().source, GetParam().destination, GetParam().stream);
    ASSERT_TRUE(found);
    entry = *found;
  }
  void TearDown() override {
    tools.reset();
    form.reset();
  }

  // Opens the toolbox as the user does: the row in the grid, then its pop-up item; a
  // conversation without a row (the grid lists client/server exchanges only) by its texts.
  void OpenToolbox() {
    form->SetCurrentPage(form->ClientServerPage());
    TClientServerPage& page = *form->ClientServerPage();
    auto* view = page.findChild<QTableView*>();
    ASSERT_NE(view, nullptr);
    const auto& rows = page.Grid().rows;
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const GridRow& r) { return r.stream == entry.stream; });
    if (row != rows.end()) {
      const QModelIndex at = view->model()->index(int(row - rows.begin()), 11);
      view->setCurrentIndex(at);
      const std::unique_ptr<QMenu> menu = page.PopupMenu(at);
      menu->actions().front()->trigger();
      viaGrid = true;
    } else {
      tools->Toolbox().ShowForTexts(entry.source, entry.destination, entry.app);
    }
    QCoreApplication::processEvents();
  }

  MeasurementSelection Selection() const { return PrepareSelection(form->Session(), entry); }
  QString Shot(const char* window) const { return QStringLiteral("Tools-%1-%2").arg(window, GetParam().name); }

  std::unique_ptr<TMainForm> form;
  std::unique_ptr<ConversationTools> tools;
  StreamEntry entry;
  bool viaGrid = false;
  QString trace;
};

TEST_P(ConversationToolsTest, ToolboxShowsTheChosenStream) {
  OpenToolbox();
  TSeravoToolboxForm& box = tools->Toolbox();
  ASSERT_TRUE(box.isVisible());
  if (std::string(GetParam().name) != "OneWay") {
    EXPECT_TRUE(viaGrid);
  }
  EXPECT_EQ(box.SourceBox()->currentText(), Q(entry.source));
  EXPECT_EQ(box.TargetBox()->currentText(), Q(entry.destination));
  EXPECT_EQ(box.AppBox()->currentText(), Q(entry.app));
  EXPECT_EQ(box.windowTitle(), "Seravo ToolBox (tm) - " + QFileInfo(trace).fileName());
  EXPECT_EQ(box.IpxLowerByOui()->isVisibleTo(&box), GetParam().capture == nullptr);  // the demo trace holds IPX

  // The Diagnostic list holds the entries of the diagram for the same selection; choosing
  // one brings its packet into view.
  const MeasurementSelection selection = Selection();
  const VisualiserDrawing expected = DrawVisualiser(
      form->Session(), DiagnosePackets(form->Session(), selection, form->ProblemFinder()), VisualiserOptions{});
  ASSERT_EQ(box.DiagnosticBox()->count(), int(expected.Entries.size()));
  for (size_t i = 0; i < expected.Entries.size(); ++i)
    EXPECT_EQ(box.DiagnosticBox()->itemText(int(i)), Q(expected.Entries[i].Text));
  EXPECT_EQ(box.Visualizer()->Drawing().Lines.size(), expected.Lines.size());
  if (!expected.Entries.empty()) {
    const size_t last = expected.Entries.size() - 1;
    box.SelectDiagnostic(int(last));
    TPacketVisualizer& v = *box.Visualizer();
    const int64_t y = v.LineTop(expected.Entries[last].Line);
    EXPECT_GE(y, v.TopPixel());
    EXPECT_LT(y, v.TopPixel() + v.viewport()->height());
  }

  // The swap: enabled only when the partner talks back; it turns the stream round.
  const bool answered = !selection.OneWay;
  EXPECT_EQ(box.SwapAction()->isEnabled(), answered);
  if (answered) {
    box.Swap();
    EXPECT_EQ(box.SourceBox()->currentText(), Q(entry.destination));
    EXPECT_EQ(box.TargetBox()->currentText(), Q(entry.source));
    // The answering stream is the one the measurement takes for the other direction.
    ASSERT_NE(box.CurrentEntry(), nullptr);
    if (selection.ReverseStream >= 0) {
      EXPECT_EQ(box.CurrentEntry()->stream, selection.ReverseStream);
    }
    box.Swap();
    EXPECT_EQ(box.AppBox()->currentText(), Q(entry.app));
  }

  // The range: each spin edit bounds the other, and the measurement takes it.
  const int last = int(form->Session().info.FramesRead);
  EXPECT_EQ(box.FromSpin()->value(), 1);
  EXPECT_EQ(box.ToSpin()->value(), last);
  box.FromSpin()->setValue(50);
  EXPECT_EQ(box.ToSpin()->minimum(), 50);
  box.ToSpin()->setValue(40);
  EXPECT_EQ(box.ToSpin()->value(), 50);
  EXPECT_EQ(box.FromSpin()->maximum(), 50);
  box.ToSpin()->setValue(last);
  EXPECT_EQ(box.Selection().StartFrame, 50);
  box.FromSpin()->setValue(1);
  SaveShot(box, Shot("Toolbox"));

  // The statistics windows hand over a station pair: its first stream.
  const AnalysisTables& t = form->Session().tables;
  box.ShowForPair(t.NetStationTree[entry.sourceStation].Address, t.NetPeers[size_t(entry.peer)].DestAddress);
  EXPECT_EQ(box.SourceBox()->currentText(), Q(entry.source));
  EXPECT_EQ(box.TargetBox()->currentText(), Q(entry.destination));
  EXPECT_EQ(box.AppBox()->currentIndex(), 0);
}

TEST_P(ConversationToolsTest, AnalysisWindowsShowTheReportsOfTheSelection) {
  OpenToolbox();
  const TraceSession& session = form->Session();
  const MeasurementSelection selection = Selection();

  tools->Toolbox().LatencyAction()->trigger();
  TLatencyAnalysisForm& latency = tools->Latency();
  ASSERT_TRUE(latency.isVisible());
  EXPECT_EQ(WindowText(*latency.Upper(), *latency.Lower()), LatencyText(BuildLatencyReport(session, selection, {})));
  EXPECT_EQ(latency.windowTitle(), Q("Detailed Response Time Analysis for " + entry.app));
  if (latency.Report().upper.hasResults) ExpectPanelsInCopy(*latency.Upper(), {"Minimum", "Maximum", "Average", "Contention"});
  // The radio group measures again with the filter.
  latency.HowLatency()->button(1)->click();
  LatencyOptions small;
  small.responses = ResponseFilter::SmallOnly;
  EXPECT_EQ(WindowText(*latency.Upper(), *latency.Lower()), LatencyText(BuildLatencyReport(session, selection, small)));
  latency.HowLatency()->button(0)->click();
  SaveShot(latency, Shot("Latency"));

  tools->Toolbox().ThroughputAction()->trigger();
  TThroughputAnalysisForm& throughput = tools->Throughput();
  ASSERT_TRUE(throughput.isVisible());
  EXPECT_EQ(WindowText(*throughput.Upper(), *throughput.Lower()),
            ThroughputText(BuildThroughputReport(session, selection, {})));
  if (throughput.Report().upper.hasResults) ExpectPanelsInCopy(*throughput.Upper(), {"Maximum", "Minimum", "Average", "Contention"});
  throughput.KbitsBox()->setChecked(true);
  ThroughputOptions kbits;
  kbits.kbits = true;
  EXPECT_EQ(WindowText(*throughput.Upper(), *throughput.Lower()), ThroughputText(BuildThroughputReport(session, selection, kbits)));
  EXPECT_EQ(throughput.Upper()->FiguresGroup()->title(), "Throughput (in KBits/Second)");
  throughput.KbitsBox()->setChecked(false);
  SaveShot(throughput, Shot("Throughput"));

  // The trouble light is lit exactly when the diagram found something to list.
  EXPECT_EQ(tools->Toolbox().TroubleLight(), tools->Toolbox().DiagnosticBox()->count() > 0);
  tools->Toolbox().ProblemsAction()->trigger();
  TProblemAnalysisForm& problems = tools->Problems();
  ASSERT_TRUE(problems.isVisible());
  const ProblemSummary summary = AnalyseProblems(session, selection, form->ProblemFinder());
  std::vector<std::string> shown;
  for (int i = 0; i < 2; ++i) {
    shown.push_back(std::string(ProblemSummaryHeadings()[size_t(i)]));
    const QString text = problems.Box(i)->toPlainText();
    if (!text.isEmpty())
      for (const QString& line : text.split('\n')) shown.push_back(line.toStdString());
  }
  EXPECT_EQ(shown, ProblemSummaryTextLines(summary));
  EXPECT_EQ(problems.SelectionLabel(0)->text(), Q(entry.source));
  EXPECT_EQ(problems.SelectionLabel(2)->text(), Q(entry.app));
  SaveShot(problems, Shot("Problems"));

  // Closing the toolbox closes the windows that depend on it.
  tools->Toolbox().close();
  EXPECT_FALSE(latency.isVisible());
  EXPECT_FALSE(throughput.isVisible());
  EXPECT_FALSE(problems.isVisible());
}

TEST_P(ConversationToolsTest, WhatIfStartsFromTheLatencyHalf) {
  OpenToolbox();
  tools->Toolbox().LatencyAction()->trigger();
  TLatencyAnalysisForm& latency = tools->Latency();
  const LatencyHalf& upper = latency.Report().upper;
  ASSERT_EQ(latency.WhatIfButton(false)->isEnabled(), upper.hasResults);
  if (!upper.hasResults) GTEST_SKIP() << "no latency figures to start from";
  latency.WhatIfButton(false)->click();
  TWhatIfAnalysisForm& whatIf = tools->WhatIf();
  ASSERT_TRUE(whatIf.isVisible());
  const uint8_t topology = form->Session().info.TopologyCode;
  const WhatIfInputs start = LoadWhatIfInputs(upper.kept, topology);
  auto gridText = [&] {
    std::string text;
    for (int r = 0; r < whatIf.Grid()->rowCount(); ++r)
      for (int c = 0; c < kWhatIfColumns; ++c)
        text += whatIf.Grid()->item(r, c)->text().toStdString() + (c + 1 < kWhatIfColumns ? "|" : "\n");
    return text;
  };
  auto expectedText = [](const WhatIfInputs& inputs) {
    std::string text;
    for (const WhatIfTableRow& row : BuildWhatIfTable(inputs))
      for (int c = 0; c < kWhatIfColumns; ++c)
        text += QString::fromStdString(row.cells[size_t(c)]).trimmed().toStdString() + (c + 1 < kWhatIfColumns ? "|" : "\n");
    return text;
  };
  auto fields = [](const WhatIfInputs& i) {
    return std::vector<int>{i.AveSend, i.AveRcv, i.Latency, i.Contention, i.SendRatio, i.RcvRatio,
                            i.Users,   i.PktsTrans, i.Client, i.Host, int(i.FullDuplex)};
  };
  EXPECT_EQ(fields(whatIf.Inputs()), fields(start));
  EXPECT_EQ(whatIf.Grid()->rowCount(), 40);
  EXPECT_EQ(gridText(), expectedText(start));
  // Raising the send ratio past the packets per transaction raises them with it.
  whatIf.Spin(TWhatIfAnalysisForm::SendRatio)->setValue(start.PktsTrans + 3);
  EXPECT_EQ(whatIf.Inputs().PktsTrans, whatIf.Inputs().SendRatio + whatIf.Inputs().RcvRatio);
  whatIf.FullDuplex()->setChecked(false);
  EXPECT_EQ(whatIf.Grid()->rowCount(), 20);
  EXPECT_EQ(gridText(), expectedText(whatIf.Inputs()));
  whatIf.RestoreButton()->click();
  EXPECT_EQ(whatIf.Inputs().SendRatio, start.SendRatio);
  EXPECT_FALSE(whatIf.Inputs().FullDuplex);
  // The selected cells go to the clipboard with their headings.
  whatIf.Grid()->setRangeSelected(QTableWidgetSelectionRange(2, 1, 4, 3), true);
  EXPECT_EQ(whatIf.CopySelection().toStdString(), WhatIfCopyText(whatIf.Rows(), {1, 3, 3, 5}));
  whatIf.FullDuplex()->setChecked(true);
  SaveShot(whatIf, Shot("WhatIf"));
  latency.close();
  EXPECT_FALSE(whatIf.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Demo, ConversationToolsTest,
                         ::testing::Values(Conversation{"TCP", "192.168.10.101", "192.168.10.5", 0},
                                           Conversation{"IPX", "1A2B.3COMB76603", "C0A80A07.XEROX000001", 0},
                                           Conversation{"OneWay", "192.168.10.103", "192.168.10.102", 0},
                                           Conversation{"Drops", "10.77.0.1", "10.77.0.2", 0, "drops.enc"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the diagram itself ----

class VisualizerTest : public ::testing::Test {
 protected:
  void Open(const std::vector<tools::ScenarioFrame>& frames) {
    session = test::OpenTraceBytes(tools::ScenarioWriters().at("sniffer")(frames, false), "conv.enc");
    const auto list = BuildStreamList(*session);
    ASSERT_FALSE(list.empty());
    selection = PrepareSelection(*session, list.front());
  }
  VisualiserDrawing Draw(const VisualiserOptions& options = {}) const {
    ProblemFinderSettings settings;
    return DrawVisualiser(*session, DiagnosePackets(*session, selection, settings), options);
  }
  static int DarkPixels(const QImage& image, int x0, int x1) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = x0; x < x1; ++x) n += qGray(image.pixel(x, y)) < 160;
    return n;
  }

  std::unique_ptr<TraceSession> session;
  MeasurementSelection selection;
  VisualizerAttributes attributes;
};

TEST_F(VisualizerTest, AnIdleHourIsDrawnOnlyWhereItIsSeen) {
  Open(tools::TcpConversationScenario(40, 20, 3600e6));
  TPacketVisualizer v(attributes);
  v.resize(600, 400);
  v.SetDrawing(Draw(), 1, true);
  // An hour at 1 ms ticks: two pixels a millisecond, all of them laid out, none stored.
  const int64_t hour = v.LineTop(20) - v.LineTop(19) - v.LineHeight();
  EXPECT_EQ(hour, TickGapPixels(3600e6, 1));
  EXPECT_GT(v.ContentHeight(), 7'000'000);
  // A screen in the middle of the pause shows the ruler: a mark every second pixel.
  QImage screen(400, 300, QImage::Format_RGB32);
  {
    QPainter painter(&screen);
    v.Paint(painter, v.LineTop(19) + 3'600'000, screen.width(), screen.height(), false);
  }
  EXPECT_GE(DarkPixels(screen, v.AxisX() + 1, v.AxisX() + 5), 140);
  // The printer pages through the same drawing.
  const QSize page(500, 700);
  EXPECT_EQ(v.PageCount(page), v.LineTop(v.Drawing().Lines.size() - 1) / v.PageStride(page) + 1);
  QImage printed(page, QImage::Format_RGB32);
  {
    QPainter painter(&printed);
    v.PrintPage(painter, page, 0);
  }
  EXPECT_GT(DarkPixels(printed, v.AxisX() + 6, v.AxisX() + 60), 0);  // the first bars
  SaveShot(v, "Visualizer-idle-hour");
}

TEST_F(VisualizerTest, BarsTakeTheAttributesColours) {
  Open(tools::TcpConversationScenario(12));
  TPacketVisualizer v(attributes);
  v.resize(700, 300);
  VisualiserOptions options;
  options.Columns.ShowPacketSize = options.Columns.ShowDeltaTime = true;
  v.SetDrawing(Draw(options), 0, true);
  auto barColour = [&](size_t line) {
    QImage image(700, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    v.Paint(painter, 0, image.width(), image.height(), true);
    painter.end();
    return image.pixelColor(v.AxisX() + 10, v.HeaderHeight() + int(v.LineTop(line)) + v.LineHeight() / 2);
  };
  const auto& lines = v.Drawing().Lines;
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(barColour(0), ColourFromValue(attributes.SendColour));
  EXPECT_EQ(barColour(1), ColourFromValue(attributes.ReceiveColour));
  // The attributes dialog: Cancel keeps the colours, OK takes them; the font stays 5..14 points.
  TVisualizerAttributes dialog(attributes);
  dialog.SetColourChooser([](const QColor&) { return QColor(0x80, 0, 0x80); });
  dialog.SetFontChooser([](const QFont& f) -> std::optional<QFont> {
    QFont big = f;
    big.setPointSize(30);
    return big;
  });
  const VisualizerAttributes before = attributes;
  dialog.PickColour(0);
  dialog.reject();
  EXPECT_EQ(attributes, before);
  dialog.Load();
  dialog.PickColour(0);
  dialog.PickFont();
  EXPECT_EQ(dialog.Sample()->font().pointSize(), TVisualizerAttributes::kLargestPoints);
  dialog.accept();
  EXPECT_EQ(attributes.SendColour, 0x800080u);
  EXPECT_EQ(attributes.Font.Size, TVisualizerAttributes::kLargestPoints);
  v.AttributesChanged();
  EXPECT_EQ(barColour(0), QColor(0x80, 0, 0x80));
  SaveShot(dialog, "VisualizerAttributes");
}

TEST_F(MainFormTest, ToolWindowsKeepTheirPlacement) {
  auto form = MakeForm(store);
  {
    ConversationTools tools(*form, store);
    tools.Toolbox().move(20, 30);
    tools.Toolbox().resize(520, 410);
  }
  const auto saved = WindowPlacement::Load(store, "SeravoToolboxForm");
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->Width, 520);
  EXPECT_EQ(saved->Height, 410);
  ConversationTools again(*form, store);
  EXPECT_EQ(again.Toolbox().size(), QSize(520, 410));
  EXPECT_EQ(again.Toolbox().pos(), QPoint(20, 30));
}

}  // namespace
}  // namespace korvane::uitest
