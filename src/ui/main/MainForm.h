// The main window: menus, tool bar, Tip Wizard, the six pages and the status bar, and the
// file-processing flow every entry point drives (Open, Reopen, a dropped file, the command
// line; Close is the way back). A trace is read on a worker thread while the progress
// dialog polls its counters; the window stays responsive with its commands disabled.
#pragma once
#include <QMainWindow>
#include <QPrinter>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "settings/ChartProperties.h"
#include "settings/PrintSetup.h"
#include "settings/ProblemFinderSettings.h"
#include "settings/RecentFiles.h"
#include "settings/ServerPortSettings.h"
#include "settings/TipWizardSettings.h"
#include "settings/VisualizerAttributes.h"

class QAction;
class QActionGroup;
class QDialog;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QStackedWidget;
class QTabWidget;
class QToolButton;

namespace korvane {

class KeyValueStore;
class TracePage;
class TClientServerPage;
class TDlcErrorPage;
class TFileSummaryPage;
class TFrameSizeChartPage;
class TProcessTraceFileForm;
class TProtocolChartPage;
class TProtocolTablePage;
class TServerPortsDialog;
struct TraceSession;

struct MainFormOptions {
  QString commandLineFile;   // opened when the window is first shown
  QString vendorFile;        // the vendor-prefix file; empty: the OUI.TXT the program ships with
  int closeDelayMs = 1500;   // how long the progress windows stay after their work
};

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  // Loads every setting from the store (and the window's placement); the store must
  // outlive the window, which saves every setting back when it is destroyed.
  explicit TMainForm(KeyValueStore& store, MainFormOptions options = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  // ---- the file flow ----
  // An entry point: takes the file and analyses it.
  void OpenFile(const QString& path);
  // File > Open...: the file dialog, then the file.
  void OpenClick();
  // File > Reopen entry 0..7.
  void OpenRecent(int index);
  // File > Close.
  void CloseClick();
  // Analyses CurrentFileName(): refusals in a box titled "Open Trace File", the read with
  // its progress dialog, then every page rebuilt.
  void ProcessFile();

  // ---- commands ----
  void SetDefaultBandwidth(int option);  // 0..2
  void SetFullDuplex(bool on);
  void ProblemFinderClick();
  void ServerPortsClick();
  void ChartPropertiesClick();
  void AboutClick();
  void HelpTopicsClick();
  void VisitWebSiteClick();
  void ShowTipWizard(bool show);
  void ToolboxClick();
  void StationClick();
  void NetworkClick();
  void PrintClick();
  void PrinterSetupClick();

  // ---- Tip Wizard ----
  // Shows the tips of a set while the panel is visible; RestoreTips shows the active page's.
  void SetTips(const QList<int>& tips);
  void RestoreTips();

  // ---- what the window shows ----
  QString CurrentFileName() const { return currentFileName_; }
  bool Busy() const { return busy_; }
  bool FileLoaded() const { return loaded_; }
  int32_t LineSpeedMbps() const { return lineSpeedMbps_; }
  int32_t DuplexFactor() const { return duplexFactor_; }
  const TraceSession& Session() const { return *session_; }
  QString TipWizardText() const;
  QList<int> CurrentTips() const { return currentTips_; }
  bool TipWizardVisible() const;
  std::array<QString, 3> StatusTexts() const;
  // The Open dialog's name filters.
  static QStringList OpenDialogNameFilters();

  QStackedWidget* Centre() const { return centre_; }
  // The page in front, and bringing a page to the front.
  TracePage* CurrentPage() const;
  void SetCurrentPage(TracePage* page);
  QTabWidget* PageControl() const { return pages_; }
  TFileSummaryPage* FileSummaryPage() const { return fileSummary_; }
  TClientServerPage* ClientServerPage() const { return clientServer_; }
  TDlcErrorPage* DlcErrorPage() const { return dlcErrors_; }
  TFrameSizeChartPage* FrameSizeChartPage() const { return frameSizeChart_; }
  TProtocolChartPage* ProtocolChartPage() const { return protocolChart_; }
  TProtocolTablePage* ProtocolTablePage() const { return protocolTable_; }
  TProcessTraceFileForm* ProgressForm() const { return progress_; }
  TServerPortsDialog* ServerPortsDialog() const { return serverPorts_; }

  QMenu* FileMenu() const { return fileMenu_; }
  QMenu* EditMenu() const { return editMenu_; }
  QMenu* OptionsMenu() const { return optionsMenu_; }
  QMenu* HelpMenu() const { return helpMenu_; }
  QAction* OpenAction() const { return openAction_; }
  QAction* CloseAction() const { return closeAction_; }
  QAction* PrintAction() const { return printAction_; }
  QAction* CopyAction() const { return copyAction_; }
  QAction* SelectAllAction() const { return selectAllAction_; }
  QAction* RecentAction(int index) const { return recentActions_[size_t(index)]; }
  QAction* BandwidthAction(int index) const { return bandwidthActions_[size_t(index)]; }
  QMenu* BandwidthMenu() const { return bandwidthMenu_; }
  QAction* FullDuplexAction() const { return fullDuplexAction_; }
  QAction* ShowTipWizardAction() const { return showTipsAction_; }
  QAction* ProblemFinderAction() const { return problemFinderAction_; }
  QAction* ToolboxAction() const { return toolboxAction_; }
  QAction* StationAction() const { return stationAction_; }
  QAction* NetworkAction() const { return networkAction_; }
  QToolButton* LightBulb() const { return lightBulb_; }

  const RecentFiles& Recent() const { return recent_; }
  const ProblemFinderSettings& ProblemFinder() const { return problems_; }
  const ServerPortSettings& ServerPorts() const { return ports_; }
  ChartProperties& Charts() { return chartProperties_; }
  PrintSetup& Printing() { return printSetup_; }
  VisualizerAttributes& Visualizer() { return visualizer_; }

  // ---- seams for the tests: how dialogs are run and files chosen ----
  // Runs a modal dialog and returns its result (exec() unless replaced).
  void SetDialogRunner(std::function<int(QDialog&)> run) { runDialog_ = std::move(run); }
  // Chooses a trace file in the Open dialog (empty when cancelled).
  void SetFileChooser(std::function<QString(const QString& directory)> choose) { chooseFile_ = std::move(choose); }
  void SetUrlOpener(std::function<void(const QString& url)> open) { openUrl_ = std::move(open); }

 signals:
  // The windows of later work: the toolbox, station and network statistics.
  void ToolboxRequested();
  void StationStatisticsRequested();
  void NetworkStatisticsRequested();
  // The pages were emptied (Close, or a new file being taken) and filled from a new trace:
  // the dependent windows close and rebuild themselves from the tables.
  void PagesCleared();
  void PagesShown();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  void BuildToolBar();
  void BuildCentre();
  void BuildStatusBar();
  void LoadSettings();
  void SaveSettings() const;
  void RestorePlacement();
  void SavePlacement() const;

  void FirstActivation();
  void SetCaption(const QString& suffix);
  void EnableOptions(bool enable);
  void SetBusy(bool busy);
  void ShowRecentFiles();
  void PageChanged();
  void ClearPages();
  void ShowPages();
  void ShowStatusBar(bool loaded);
  void Refuse(const std::string& message);
  void ApplyLineSpeed();
  // Whether a window of later work answers the request; a message says so when none does.
  void RequestWindow(void (TMainForm::*request)(), const QString& title);
  int RunDialog(QDialog& dialog);
  std::array<TracePage*, 6> Pages() const;

  KeyValueStore& store_;
  MainFormOptions options_;
  std::unique_ptr<TraceSession> session_;

  // Program-wide state of the file flow.
  QString currentFileName_;
  int32_t lineSpeedMbps_ = 10;
  int32_t duplexFactor_ = 1;
  bool firstActivation_ = true;
  bool busy_ = false;
  bool loaded_ = false;
  bool closePending_ = false;
  QString caption_;
  QList<int> currentTips_;

  // Settings, loaded at creation and saved at destruction.
  RecentFiles recent_;
  ChartProperties chartProperties_;
  TipWizardSettings tipWizard_;
  VisualizerAttributes visualizer_;
  ProblemFinderSettings problems_;
  PrintSetup printSetup_;
  ServerPortSettings ports_;
  QPrinter printer_;

  std::function<int(QDialog&)> runDialog_;
  std::function<QString(const QString&)> chooseFile_;
  std::function<void(const QString&)> openUrl_;

  // Windows.
  TProcessTraceFileForm* progress_ = nullptr;
  TServerPortsDialog* serverPorts_ = nullptr;

  // Menus, actions and controls.
  QMenu *fileMenu_ = nullptr, *editMenu_ = nullptr, *optionsMenu_ = nullptr, *helpMenu_ = nullptr;
  QMenu *recentMenu_ = nullptr, *bandwidthMenu_ = nullptr;
  QAction *openAction_ = nullptr, *closeAction_ = nullptr, *printAction_ = nullptr, *printerSetupAction_ = nullptr,
          *exitAction_ = nullptr;
  QAction *copyAction_ = nullptr, *selectAllAction_ = nullptr;
  QAction *fullDuplexAction_ = nullptr, *serverPortsAction_ = nullptr, *chartPropertiesAction_ = nullptr;
  QAction *helpTopicsAction_ = nullptr, *showTipsAction_ = nullptr, *webSiteAction_ = nullptr, *aboutAction_ = nullptr;
  QAction *toolboxAction_ = nullptr, *stationAction_ = nullptr, *networkAction_ = nullptr,
          *problemFinderAction_ = nullptr;
  std::array<QAction*, kRecentFileCount> recentActions_{};
  std::array<QAction*, 4> bandwidthActions_{};
  QActionGroup* bandwidthGroup_ = nullptr;

  QWidget* tipPanel_ = nullptr;
  QToolButton* lightBulb_ = nullptr;
  QPlainTextEdit* tipBox_ = nullptr;
  QStackedWidget* centre_ = nullptr;
  QLabel* emptyPanel_ = nullptr;
  QTabWidget* pages_ = nullptr;
  TFileSummaryPage* fileSummary_ = nullptr;
  TClientServerPage* clientServer_ = nullptr;
  TDlcErrorPage* dlcErrors_ = nullptr;
  TFrameSizeChartPage* frameSizeChart_ = nullptr;
  TProtocolChartPage* protocolChart_ = nullptr;
  TProtocolTablePage* protocolTable_ = nullptr;
  std::array<QLabel*, 3> statusPanels_{};
};

}  // namespace korvane
