// The main window's file flow through its real entry points: opening traces, the refusals,
// the busy state, the Reopen list, the bandwidth options, the Edit menu and the Tip Wizard
// per page, the settings round trip, and a picture of every page.
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QMenu>
#include <QMimeData>
#include <QScopeGuard>
#include <QFile>
#include <QDir>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <fstream>

#include "UiTestSupport.h"
#include "analysis/TraceSession.h"
#include "app/QSettingsStore.h"
#include "reports/FileSummary.h"
#include "reports/MainWindowTexts.h"
#include "reports/TipWizard.h"
#include "scenario/PcapWriter.h"
#include "settings/IniFileStore.h"
#include "settings/WindowPlacement.h"
#include "ui/main/ChartPages.h"
#include "ui/main/ChartPropertiesDialog.h"
#include "ui/main/ClientServerPage.h"
#include "ui/main/DlcErrorPage.h"
#include "ui/main/FileSummaryPage.h"
#include "ui/main/ProgressDialog.h"
#include "ui/main/ProtocolTablePage.h"
#include "ui/main/ServerPortsDialog.h"
#include "ui/problems/ProblemSettingsDialog.h"

namespace korvane::uitest {
namespace {

QString S(const std::string& text) { return QString::fromStdString(text); }
QString TipsText(const QList<int>& tips) { return S(TipWizardText(std::vector<int>(tips.begin(), tips.end()))); }

// The state of a window with no file: caption, hidden pages, file commands off.
void ExpectNoFile(const TMainForm& form) {
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Korvane Seravo (tm) "));
  EXPECT_TRUE(form.CurrentFileName().isEmpty());
  EXPECT_FALSE(form.FileLoaded());
  EXPECT_NE(form.Centre()->currentWidget(), form.PageControl());
  EXPECT_FALSE(form.PrintAction()->isEnabled());
  EXPECT_FALSE(form.BandwidthMenu()->menuAction()->isEnabled());
  EXPECT_FALSE(form.FullDuplexAction()->isEnabled());
  EXPECT_FALSE(form.ToolboxAction()->isEnabled());
  EXPECT_FALSE(form.CopyAction()->isEnabled());
  for (const QString& panel : form.StatusTexts()) EXPECT_TRUE(panel.isEmpty());
  // Nothing stays busy after a refusal.
  EXPECT_FALSE(form.Busy());
  EXPECT_TRUE(form.FileMenu()->isEnabled());
  EXPECT_TRUE(form.OpenAction()->isEnabled());
}

TEST_F(MainFormTest, OpensTheDemoTraceThroughOpen) {
  auto form = MakeForm(store);
  form->show();
  EXPECT_EQ(form->TipWizardText(), TipsText({30, 31}));
  chosenFile = DemoTrace();
  // While the Open dialog is up its own tips show.
  answer = nullptr;
  form->OpenClick();
  ASSERT_EQ(chooserDirectories.size(), 1u);
  EXPECT_TRUE(messages.messages.empty()) << Shown()[0];
  ASSERT_TRUE(form->FileLoaded());
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Korvane Seravo (tm)  - demo.enc"));
  EXPECT_EQ(form->Centre()->currentWidget(), form->PageControl());
  EXPECT_EQ(form->CurrentPage(), form->FileSummaryPage());
  EXPECT_EQ(form->TipWizardText(), TipsText({34, 35}));
  EXPECT_EQ(form->Recent().Entries[0], DemoTrace().toStdString());
  EXPECT_EQ(form->Recent().LastDirectory, QFileInfo(DemoTrace()).absolutePath().toStdString());
  // The next Open starts in the folder of the last file.
  chosenFile.clear();
  form->OpenClick();
  ASSERT_EQ(chooserDirectories.size(), 2u);
  EXPECT_EQ(chooserDirectories[1], QFileInfo(DemoTrace()).absolutePath());
  EXPECT_TRUE(form->FileLoaded());

  // The status bar and the File Summary show the report's texts.
  const FileSummary expected = BuildFileSummary(form->Session(), {false, 10, 1});
  const auto panels = form->StatusTexts();
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(panels[i], S(expected.statusPanels[i])) << i;
  EXPECT_EQ(panels[0], QStringLiteral("Ethernet"));
  EXPECT_TRUE(panels[2].endsWith(QStringLiteral(" file ") + DemoTrace())) << panels[2].toStdString();
  EXPECT_EQ(form->LineSpeedMbps(), 10);
  EXPECT_TRUE(form->BandwidthAction(0)->isChecked());
  EXPECT_EQ(form->BandwidthAction(2)->text(), QStringLiteral("1000 Mbps"));
  // The Sniffer file records its own speed: the fourth option shows it, checked.
  const TraceFileInfo& info = form->Session().info;
  EXPECT_EQ(form->BandwidthAction(3)->isVisible(), info.FileBandwidthKnown != 0);
  if (info.FileBandwidthKnown != 0) {
    EXPECT_EQ(form->BandwidthAction(3)->text(),
              QStringLiteral("Source File (%1 Mbps)").arg(info.FileBandwidthBps / 1000000));
    EXPECT_TRUE(form->BandwidthAction(3)->isChecked());
    EXPECT_FALSE(form->BandwidthAction(3)->isEnabled());
  }
  EXPECT_TRUE(form->PrintAction()->isEnabled());
  EXPECT_TRUE(form->ToolboxAction()->isEnabled());
}

TEST_F(MainFormTest, BusyWhileReadingWithTheProgressDialogUp) {
  auto form = MakeForm(store);
  form->show();
  struct Seen {
    bool busy, fileMenu, openAction, problemFinder, progressShown;
    QString progressTitle;
  };
  std::vector<Seen> seen;
  // Looks at the window from inside the read, while the event loop runs.
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!form->Busy() || !seen.empty()) return;
    seen.push_back({form->Busy(), form->FileMenu()->isEnabled(), form->OpenAction()->isEnabled(),
                    form->ProblemFinderAction()->isEnabled(), form->ProgressForm()->isVisible(),
                    form->ProgressForm()->windowTitle()});
  });
  probe.start();
  form->OpenFile(DemoTrace());
  probe.stop();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].busy);
  EXPECT_FALSE(seen[0].fileMenu);
  EXPECT_FALSE(seen[0].openAction);
  EXPECT_FALSE(seen[0].problemFinder);
  EXPECT_TRUE(seen[0].progressShown);
  EXPECT_EQ(seen[0].progressTitle, QStringLiteral("Reading Trace File - demo.enc"));
  // Afterwards everything is back, and the dialog has gone.
  EXPECT_FALSE(form->Busy());
  EXPECT_TRUE(form->FileMenu()->isEnabled());
  EXPECT_TRUE(form->OpenAction()->isEnabled());
  EXPECT_TRUE(form->ProblemFinderAction()->isEnabled());
  EXPECT_FALSE(form->ProgressForm()->isVisible());
  EXPECT_EQ(form->ProgressForm()->PercentLabel()->text(), QStringLiteral("100% Complete"));
  EXPECT_EQ(form->ProgressForm()->FrameCountBox()->text(),
            S(BuildFileSummary(form->Session(), {}).frameStatistics[3].frames));
}

TEST_F(MainFormTest, RefusalsSayWhyInABoxTitledOpenTraceFile) {
  auto form = MakeForm(store);
  form->show();
  const QString tiny = dir.filePath(QStringLiteral("tiny.enc"));
  WriteFile(tiny, QByteArray(20, 'x'));
  QByteArray noise;
  for (int i = 0; i < 400; ++i) noise += char((i * 37 + 11) & 0xFF);
  const QString unknown = dir.filePath(QStringLiteral("noise.bin"));
  WriteFile(unknown, noise);
  const QString pcap = dir.filePath(QStringLiteral("capture.pcap"));
  {
    std::ofstream out(pcap.toStdString(), std::ios::binary);
    ASSERT_TRUE(tools::WritePcap(out, tools::OfficeLanScenario(), 1));
  }
  const QString missing = dir.filePath(QStringLiteral("missing.enc"));

  // A good file first: each refusal must also take the window back to its no-file state.
  for (const QString& path : {tiny, unknown, pcap, missing}) {
    form->OpenFile(DemoTrace());
    ASSERT_TRUE(form->FileLoaded());
    form->OpenFile(path);
    ExpectNoFile(*form);
  }
  ASSERT_EQ(messages.messages.size(), 4u);
  EXPECT_EQ(Shown()[0], "Open Trace File|tiny.enc is too small.");
  EXPECT_EQ(Shown()[1], "Open Trace File|noise.bin is osbolete, not supported, or not a trace file.");
  EXPECT_EQ(Shown()[2], "Open Trace File|capture.pcap contains an unsupported analyzer or topology.");
  EXPECT_EQ(Shown()[3], "Open Trace File|Unable to open Source file.  File is in use or name is bad.");
  for (const auto& m : messages.messages) {
    EXPECT_EQ(m.icon, MessageIcon::Exclamation);
    EXPECT_EQ(m.buttons, MessageButtons::Ok);
  }
  // A refused file never joins the Reopen list.
  EXPECT_EQ(form->Recent().Entries[0], DemoTrace().toStdString());
  EXPECT_EQ(form->Recent().Entries[1], "");
}

TEST_F(MainFormTest, ReopenListKeepsEachFileOnceNewestFirst) {
  auto form = MakeForm(store);
  form->show();
  const QString ring = WriteTokenRingTrace(dir);
  form->OpenFile(DemoTrace());
  form->OpenFile(ring);
  form->OpenFile(DemoTrace());
  EXPECT_EQ(form->Recent().Entries[0], DemoTrace().toStdString());
  EXPECT_EQ(form->Recent().Entries[1], ring.toStdString());
  EXPECT_EQ(form->RecentAction(0)->text(), QStringLiteral("&1 ") + DemoTrace());
  EXPECT_EQ(form->RecentAction(1)->text(), QStringLiteral("&2 ") + ring);
  EXPECT_TRUE(form->RecentAction(1)->isVisible());
  for (int i = 2; i < 8; ++i) EXPECT_FALSE(form->RecentAction(i)->isVisible()) << i;

  // Reopen 2 reads the Token Ring trace and moves it to the top.
  form->RecentAction(1)->trigger();
  EXPECT_EQ(form->CurrentFileName(), ring);
  EXPECT_EQ(form->Recent().Entries[0], ring.toStdString());
  EXPECT_EQ(form->Recent().Entries[1], DemoTrace().toStdString());
  // An empty slot hides the pages and does nothing else.
  form->OpenRecent(5);
  EXPECT_NE(form->Centre()->currentWidget(), form->PageControl());
  EXPECT_EQ(form->CurrentFileName(), ring);
  EXPECT_TRUE(messages.messages.empty());
}

// A trace opened by a relative name is listed by its absolute path, so Reopen finds it from
// any working folder.
TEST_F(MainFormTest, ReopenFromAnotherWorkingFolder) {
  const QString before = QDir::currentPath();
  const auto restore = qScopeGuard([&] { QDir::setCurrent(before); });
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("traces/elsewhere")));
  const QString traces = dir.filePath(QStringLiteral("traces"));
  ASSERT_TRUE(QFile::copy(DemoTrace(), traces + QStringLiteral("/demo.enc")));
  auto form = MakeForm(store);
  form->show();
  ASSERT_TRUE(QDir::setCurrent(traces));
  form->OpenFile(QStringLiteral("demo.enc"));
  ASSERT_TRUE(form->FileLoaded());
  const QString absolute = QFileInfo(traces + QStringLiteral("/demo.enc")).absoluteFilePath();
  EXPECT_EQ(form->Recent().Entries[0], absolute.toStdString());
  EXPECT_EQ(form->RecentAction(0)->text(), QStringLiteral("&1 ") + absolute);

  form->CloseClick();
  ASSERT_TRUE(QDir::setCurrent(traces + QStringLiteral("/elsewhere")));
  form->RecentAction(0)->trigger();
  EXPECT_TRUE(form->FileLoaded());
  EXPECT_EQ(form->CurrentFileName(), absolute);
  EXPECT_TRUE(messages.messages.empty()) << Shown().front();
}

TEST_F(MainFormTest, CtrlQQuits) {
  auto form = MakeForm(store);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->activateWindow();
  QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, TokenRingTraceChecksItsLineSpeedAndFullDuplexDoubles) {
  auto form = MakeForm(store);
  form->show();
  form->OpenFile(WriteTokenRingTrace(dir));
  ASSERT_TRUE(form->FileLoaded()) << (Shown().empty() ? "" : Shown()[0]);
  EXPECT_EQ(form->StatusTexts()[0], QStringLiteral("Token Ring"));
  EXPECT_EQ(form->BandwidthAction(0)->text(), QStringLiteral("4 Mbps"));
  EXPECT_EQ(form->BandwidthAction(1)->text(), QStringLiteral("16 Mbps"));
  EXPECT_EQ(form->BandwidthAction(2)->text(), QStringLiteral("100 Mbps"));
  const int analysed = form->Session().AnalysedLineSpeedMbps;
  const int expected = CheckedBandwidthOption(1, analysed);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(form->BandwidthAction(i)->isChecked(), i == expected) << i;

  auto* summary = form->FileSummaryPage();
  auto box = [&](const char* name) { return summary->findChild<QLabel*>(QLatin1String(name))->text(); };
  form->BandwidthAction(1)->trigger();
  EXPECT_EQ(form->LineSpeedMbps(), 16);
  EXPECT_EQ(summary->Summary().utilisationCaption, "Media Utilization (based on 16 Mbps)");
  EXPECT_EQ(box("Attribute2"), QStringLiteral("16 Mbps"));
  const FileSummary at16 = BuildFileSummary(form->Session(), {false, 16, 1});
  EXPECT_EQ(box("AverageBandwidth"), S(at16.averageBandwidth));
  form->FullDuplexAction()->trigger();
  EXPECT_EQ(form->DuplexFactor(), 2);
  EXPECT_EQ(box("Attribute2"), QStringLiteral("32 Mbps"));
  const FileSummary duplex = BuildFileSummary(form->Session(), {false, 16, 2});
  EXPECT_EQ(box("PeakBandwidth"), S(duplex.peakBandwidth));
  form->FullDuplexAction()->trigger();
  EXPECT_EQ(box("Attribute2"), QStringLiteral("16 Mbps"));
}

TEST_F(MainFormTest, EditMenuAndTipsFollowThePage) {
  auto form = MakeForm(store);
  form->show();
  form->OpenFile(DemoTrace());
  ASSERT_TRUE(form->FileLoaded());
  struct Expected {
    const char* copy;
    bool copyEnabled, selectAll;
    QList<int> tips;
  };
  const std::vector<Expected> pages = {
      {"&Copy", false, false, {34, 35}},
      {"&Copy", true, true, {2, 3, 5, 6, 7, 8, 29}},
      {"&Copy", true, false, {13, 32}},  // an Ethernet trace
      {"&Copy Chart", true, false, {1, 33}},
      {"&Copy Chart", true, false, {1, 33}},
      {"&Copy", true, true, {8, 9}},
  };
  for (int i = 0; i < 6; ++i) {
    form->PageControl()->setCurrentIndex(i);
    EXPECT_EQ(form->CopyAction()->text(), QLatin1String(pages[size_t(i)].copy)) << i;
    EXPECT_EQ(form->CopyAction()->isEnabled(), pages[size_t(i)].copyEnabled) << i;
    EXPECT_EQ(form->SelectAllAction()->isEnabled(), pages[size_t(i)].selectAll) << i;
    EXPECT_EQ(form->TipWizardText(), TipsText(pages[size_t(i)].tips)) << i;
  }
  const QStringList captions = {"File Summary",     "Client/Server Expert", "DLC Error Expert",
                                "Frame Size Chart", "Protocol Chart",       "Protocol Table"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(form->PageControl()->tabText(i), captions[i]);

  // Hidden, the Tip Wizard keeps its text when pages change; shown again it has the page's.
  form->LightBulb()->click();
  EXPECT_FALSE(form->TipWizardVisible());
  EXPECT_FALSE(form->ShowTipWizardAction()->isChecked());
  form->PageControl()->setCurrentIndex(1);
  EXPECT_EQ(form->TipWizardText(), TipsText({8, 9}));
  form->ShowTipWizardAction()->trigger();
  EXPECT_TRUE(form->TipWizardVisible());
  EXPECT_EQ(form->TipWizardText(), TipsText({2, 3, 5, 6, 7, 8, 29}));

  // Close goes back to the welcome tips and the no-file state.
  form->CloseAction()->trigger();
  ExpectNoFile(*form);
  EXPECT_EQ(form->TipWizardText(), TipsText({30, 31}));
}

TEST_F(MainFormTest, CommandLineAndDroppedFilesOpen) {
  auto form = MakeForm(store, DemoTrace());
  form->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->FileLoaded(); }, 10000));
  EXPECT_EQ(form->CurrentFileName(), DemoTrace());

  const QString ring = WriteTokenRingTrace(dir);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(ring), QUrl::fromLocalFile(DemoTrace())});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &drop);
  // Only the first dropped file is taken.
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->CurrentFileName() == ring && form->FileLoaded(); }, 10000));
  EXPECT_EQ(form->StatusTexts()[0], QStringLiteral("Token Ring"));
}

TEST_F(MainFormTest, EmptyCommandLineOpensNothing) {
  auto form = MakeForm(store);
  form->show();
  QTest::qWait(50);
  ExpectNoFile(*form);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(MainFormTest, ProblemFinderOkRebuildsWithTheNewSettings) {
  auto form = MakeForm(store);
  form->show();
  form->OpenFile(DemoTrace());
  QString tipsWhileOpen;
  answer = [&](QDialog& dialog) {
    tipsWhileOpen = form->TipWizardText();
    auto* settings = qobject_cast<TProblemSettings*>(&dialog);
    if (!settings) return int(QDialog::Rejected);
    settings->DisableAllClick();
    settings->OkClick();
    return int(QDialog::Accepted);
  };
  auto marks = [&] {
    int count = 0;
    for (const GridRow& row : form->ClientServerPage()->Grid().rows)
      for (int c = 0; c < 4; ++c) count += row.cells[size_t(c)].empty() ? 0 : 1;
    return count;
  };
  ASSERT_GT(marks(), 0);
  form->ProblemFinderAction()->trigger();
  ASSERT_EQ(dialogs, std::vector<QString>{QStringLiteral("korvane::TProblemSettings")});
  // The grid was built again: with every check off nothing is marked.
  EXPECT_EQ(marks(), 0);
  EXPECT_EQ(tipsWhileOpen, TipsText({43, 44}));
  EXPECT_EQ(form->TipWizardText(), TipsText({34, 35}));
  for (bool on : form->ProblemFinder().Enabled) EXPECT_FALSE(on);

  // Cancel changes nothing.
  answer = [&](QDialog& dialog) {
    if (auto* settings = qobject_cast<TProblemSettings*>(&dialog)) {
      settings->EnableAllClick();
      settings->CancelClick();
    }
    return int(QDialog::Rejected);
  };
  form->ProblemFinderAction()->trigger();
  for (bool on : form->ProblemFinder().Enabled) EXPECT_FALSE(on);
}

TEST_F(MainFormTest, ChartPropertiesFromTheOptionsMenuReachBothCharts) {
  auto form = MakeForm(store);
  form->show();
  form->OpenFile(DemoTrace());
  answer = [&](QDialog& dialog) {
    auto* properties = qobject_cast<TChartPropertiesForm*>(&dialog);
    if (!properties) return int(QDialog::Rejected);
    properties->barButton->setChecked(true);
    properties->OkClicked();
    return int(QDialog::Accepted);
  };
  form->ChartPropertiesClick();
  EXPECT_EQ(form->Charts().Type, ChartType::Bar);
  EXPECT_EQ(dialogs.size(), 1u);
}

TEST_F(MainFormTest, ServerPortsAreStoredAndTakeEffectForTheNextRead) {
  auto form = MakeForm(store);
  form->show();
  form->OpenFile(DemoTrace());
  answer = [&](QDialog& dialog) {
    auto* ports = qobject_cast<TServerPortsDialog*>(&dialog);
    if (!ports) return int(QDialog::Rejected);
    ports->findChild<QLineEdit*>(QStringLiteral("PortEdit"))->setText(QStringLiteral("8080"));
    ports->findChild<QLineEdit*>(QStringLiteral("NameEdit"))->setText(QStringLiteral("Proxy"));
    ports->AddClick();
    ports->OkClick();
    return ports->result();
  };
  form->ServerPortsClick();
  ASSERT_EQ(form->ServerPorts().Entries, std::vector<std::string>{"8080\tProxy"});
  EXPECT_EQ(store.Value("Server Ports", "0"), "8080\tProxy");
  // A file is open: the dialog says the ports count from the next read on.
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].text, QStringLiteral("You must re-open the file for port changes to take affect."));
  EXPECT_TRUE(form->Session().ports.UserPorts().empty());
  form->OpenRecent(0);
  EXPECT_EQ(form->Session().ports.UserPorts(), std::vector<std::string>{"8080\tProxy"});
}

TEST_F(MainFormTest, NetworkButtonWithoutIpOrIpxSaysSo) {
  // Only non-IP, non-IPX traffic: the Token Ring MAC frames of the ring scenario.
  std::vector<tools::ScenarioFrame> mac;
  for (const tools::ScenarioFrame& frame : tools::TokenRingScenario())
    if (frame.bytes.size() > 1 && (frame.bytes[1] & 0xC0) == 0) mac.push_back(frame);
  ASSERT_FALSE(mac.empty());
  auto form = MakeForm(store);
  form->show();
  form->OpenFile(WriteScenario(dir, QStringLiteral("mac"), mac, "sniffer", true));
  ASSERT_TRUE(form->FileLoaded());
  form->NetworkAction()->trigger();
  form->ToolboxAction()->trigger();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"Korvane - Network Map|No IP or IPX packets in trace file.",
                                               "Korvane - Searvo ToolBox|No IP or IPX packets in trace file."}));
  EXPECT_EQ(messages.messages[0].icon, MessageIcon::Information);
}

TEST_F(MainFormTest, HelpItems) {
  auto form = MakeForm(store);
  form->show();
  form->VisitWebSiteClick();
  ASSERT_EQ(openedUrls.size(), 1u);
  EXPECT_TRUE(openedUrls[0].startsWith(QStringLiteral("https://")));
  form->AboutClick();
  EXPECT_EQ(dialogs, std::vector<QString>{QStringLiteral("korvane::TAboutBox")});
  form->HelpTopicsClick();
  auto* help = form->findChild<QDialog*>(QStringLiteral("HelpForm"));
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  QTest::qWait(20);
  SaveShot(*help, QStringLiteral("help-topics"));
}

TEST_F(MainFormTest, OpenDialogNameFiltersListEveryAcceptedFormat) {
  const QStringList filters = TMainForm::OpenDialogNameFilters();
  ASSERT_EQ(filters.size(), 1 + 18 + 2);
  EXPECT_TRUE(filters[0].startsWith(QStringLiteral("Any Trace File (*.pkt *.tpc *.dat ")));
  EXPECT_TRUE(filters[0].endsWith(QStringLiteral(" *.kvd)")));
  EXPECT_EQ(filters[1], QStringLiteral("AG EtherPeek/TokenPeek (*.pkt *.tpc)"));
  EXPECT_TRUE(filters.contains(QStringLiteral("NAI Sniffer DOS (*.enc *.trc)")));
  EXPECT_TRUE(filters.contains(QStringLiteral("Sun Snoop (*.snoop *.cap)")));
  EXPECT_EQ(filters.last(), QStringLiteral("All files (*)"));
}

TEST_F(MainFormTest, SettingsRoundTripThroughQSettings) {
  const QString file = dir.filePath(QStringLiteral("Korvane.conf"));
  const QString ring = WriteTokenRingTrace(dir);
  {
    QSettings settings(file, QSettings::IniFormat);
    QSettingsStore qstore(settings);
    auto form = MakeForm(qstore);
    form->show();
    form->OpenFile(ring);
    form->OpenFile(DemoTrace());
    form->ShowTipWizard(false);
    form->Charts().View3D = false;
    form->Printing().Orientation = PageOrientation::Landscape;
    form->Visualizer().SendColour = 0x00FF00;
    form->move(30, 40);
    form->resize(700, 500);
    answer = [&](QDialog& dialog) {
      if (auto* settings = qobject_cast<TProblemSettings*>(&dialog)) {
        settings->DisableAllClick();
        settings->OkClick();
        return int(QDialog::Accepted);
      }
      return int(QDialog::Rejected);
    };
    form->ProblemFinderClick();
  }
  // What the desktop program wrote, as korvane-cli reads it.
  IniFileStore ini;
  ASSERT_TRUE(ini.Load(file.toStdString()));
  EXPECT_EQ(ini.Value("Recent Files", "0"), DemoTrace().toStdString());
  EXPECT_EQ(ini.Value("Recent Files", "1"), ring.toStdString());
  EXPECT_EQ(ini.Value("Recent Files", "Last Directory"), QFileInfo(DemoTrace()).absolutePath().toStdString());
  EXPECT_EQ(StoredBool(ini, "Tip Wizard", "Enabled"), false);
  EXPECT_EQ(StoredBool(ini, "Chart Properties", "View 3D"), false);
  EXPECT_EQ(ini.Value("Print Setup", "Orientation"), "Landscape");
  EXPECT_EQ(ini.Value("Visualizer", "SendPacketColor"), "65280");
  EXPECT_EQ(StoredBool(ini, "Problem Finder", "EnableTCPSlowAck"), false);
  const std::optional<WindowPlacement> placement = WindowPlacement::Load(ini, "MainForm");
  ASSERT_TRUE(placement.has_value()) << ini.Text();
  EXPECT_EQ(placement->Width, 700);
  EXPECT_EQ(placement->Height, 500);
  EXPECT_EQ(placement->State, WindowShowState::Normal);

  QSettings settings(file, QSettings::IniFormat);
  QSettingsStore qstore(settings);
  auto form = MakeForm(qstore);
  form->show();
  EXPECT_EQ(form->Recent().Entries[1], ring.toStdString());
  EXPECT_EQ(form->RecentAction(0)->text(), QStringLiteral("&1 ") + DemoTrace());
  EXPECT_TRUE(form->RecentAction(1)->isVisible());
  EXPECT_FALSE(form->TipWizardVisible());
  EXPECT_FALSE(form->ShowTipWizardAction()->isChecked());
  EXPECT_FALSE(form->Charts().View3D);
  EXPECT_EQ(form->Printing().Orientation, PageOrientation::Landscape);
  EXPECT_EQ(form->Visualizer().SendColour, 0x00FF00u);
  for (bool on : form->ProblemFinder().Enabled) EXPECT_FALSE(on);
  EXPECT_EQ(form->size(), QSize(700, 500));
  EXPECT_EQ(form->pos(), QPoint(30, 40));
}

TEST_F(MainFormTest, StoredPlacementIsFittedToTheScreen) {
  const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
  WindowPlacement wide{300, 200, 10, screen.width() + 500, WindowShowState::Normal};
  wide.Save(store, "MainForm");
  auto form = MakeForm(store);
  EXPECT_EQ(form->width(), screen.width());
  EXPECT_EQ(form->x(), 0);
  EXPECT_EQ(form->height(), 300);

  WindowPlacement maximised{300, 50, 60, 400, WindowShowState::Maximised};
  maximised.Save(store, "MainForm");
  auto second = MakeForm(store);
  EXPECT_TRUE(second->windowState() & Qt::WindowMaximized);
}

TEST_F(MainFormTest, ClosingWhileReadingWaitsForTheReadToEnd) {
  auto form = MakeForm(store);
  form->show();
  bool closedWhileBusy = false;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (!form->Busy() || closedWhileBusy) return;
    form->close();
    closedWhileBusy = form->isVisible();
  });
  probe.start();
  form->OpenFile(DemoTrace());
  probe.stop();
  EXPECT_TRUE(closedWhileBusy);
  // The read ended (stopped or whole) and the window went away after it.
  EXPECT_FALSE(form->Busy());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 5000));
}

TEST_F(MainFormTest, PrintPutsASnapshotOfTheWindowOnPaper) {
  auto form = MakeForm(store);
  form->show();
  form->OpenFile(DemoTrace());
  const QString pdf = dir.filePath(QStringLiteral("snapshot.pdf"));
  answer = [&](QDialog& dialog) {
    auto* print = qobject_cast<QPrintDialog*>(&dialog);
    if (!print) return int(QDialog::Rejected);
    print->printer()->setOutputFileName(pdf);
    return int(QDialog::Accepted);
  };
  form->PrintAction()->trigger();
  ASSERT_EQ(dialogs, std::vector<QString>{QStringLiteral("QPrintDialog")});
  QFile file(pdf);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  EXPECT_TRUE(bytes.startsWith("%PDF"));
  EXPECT_GT(bytes.size(), 10000);  // the picture is on the page
}

TEST_F(MainFormTest, FitsASmallScreenWithEveryPageShowing) {
  auto form = MakeForm(store);
  form->show();
  form->OpenFile(WriteTokenRingTrace(dir));
  for (int i = 0; i < form->PageControl()->count(); ++i) {
    form->PageControl()->setCurrentIndex(i);
    const QSize least = form->minimumSizeHint();
    EXPECT_LE(least.width(), 800) << i;
    EXPECT_LE(least.height(), 600) << i;
  }
}

TEST_F(MainFormTest, PicturesOfEveryPage) {
  const QString ring = WriteTokenRingTrace(dir);
  auto form = MakeForm(store);
  form->resize(1180, 800);
  form->show();
  QTest::qWait(20);
  SaveShot(*form, QStringLiteral("main-no-file"));
  const QStringList names = {"file-summary", "client-server", "dlc-errors", "frame-size-chart", "protocol-chart",
                             "protocol-table"};
  for (const auto& [trace, medium] : {std::pair{DemoTrace(), QStringLiteral("ethernet")}, std::pair{ring, QStringLiteral("tokenring")}}) {
    form->OpenFile(trace);
    ASSERT_TRUE(form->FileLoaded());
    for (int i = 0; i < form->PageControl()->count(); ++i) {
      form->PageControl()->setCurrentIndex(i);
      QTest::qWait(20);
      SaveShot(*form, QStringLiteral("main-") + medium + QLatin1Char('-') + names[i]);
    }
  }
}

}  // namespace
}  // namespace korvane::uitest
