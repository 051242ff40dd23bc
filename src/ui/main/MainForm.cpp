#include "ui/main/MainForm.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMetaMethod>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "analysis/TraceSession.h"
#include "reports/ConversationGrid.h"
#include "reports/InstalledFiles.h"
#include "reports/MainWindowTexts.h"
#include "reports/OpenTrace.h"
#include "reports/TipWizard.h"
#include "settings/KeyValueStore.h"
#include "settings/WindowPlacement.h"
#include "ui/about/AboutBox.h"
#include "ui/about/HelpForm.h"
#include "ui/about/Product.h"
#include "ui/controls/Glyphs.h"
#include "ui/controls/MessageSink.h"
#include "ui/main/ChartPages.h"
#include "ui/main/ChartPropertiesDialog.h"
#include "ui/main/ClientServerPage.h"
#include "ui/main/DlcErrorPage.h"
#include "ui/main/FileSummaryPage.h"
#include "ui/main/ProgressDialog.h"
#include "ui/main/ProtocolTablePage.h"
#include "ui/main/ServerPortsDialog.h"
#include "ui/problems/ProblemSettingsDialog.h"

namespace korvane {

namespace {
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
QList<int> Tips(const std::vector<int>& tips) { return QList<int>(tips.begin(), tips.end()); }

constexpr const char* kMainFormName = "MainForm";
const QString kNoNetworkLayerText = QStringLiteral("No IP or IPX packets in trace file.");
const QString kEmptyHint = QStringLiteral("Open a trace file with File > Open... (Ctrl+O), or drop one here.");

// Runs a function when the scope ends, however it ends.
template <class F>
class AtScopeEnd {
 public:
  explicit AtScopeEnd(F f) : f_(std::move(f)) {}
  ~AtScopeEnd() { f_(); }
  AtScopeEnd(const AtScopeEnd&) = delete;
  AtScopeEnd& operator=(const AtScopeEnd&) = delete;

 private:
  F f_;
};

// The Tip Wizard's text: exactly two lines in view, the scroll bar brings up the rest.
class TipBox final : public QPlainTextEdit {
 public:
  explicit TipBox(QWidget* parent) : QPlainTextEdit(parent) {
    document()->setDocumentMargin(0);
    setViewportMargins(4, 2, 4, 2);
  }
  QSize sizeHint() const override {
    return {QPlainTextEdit::sizeHint().width(), 2 * fontMetrics().height() + 2 * frameWidth() + 4};
  }
};

// A snapshot of a window on one page: the image fitted between the margins, after the page
// set-up, with the trace named in a header line.
void PrintSnapshot(QPrinter& printer, const QPixmap& image, const PrintSetup& setup, const QString& header,
                   int screenDpi) {
  printer.setDocName(QStringLiteral("Output from Korvane"));
  printer.setFullPage(true);
  QPainter painter;
  if (!painter.begin(&printer)) return;
  const QRect paper = printer.pageLayout().fullRectPixels(printer.resolution());
  const double dpi = printer.resolution();
  const int left = int(setup.LeftMargin * dpi), right = int(setup.RightMargin * dpi);
  const int top = int(setup.TopMargin * dpi), bottom = int(setup.BottomMargin * dpi);
  const QSizeF printable(std::max(1, paper.width() - left - right), std::max(1, paper.height() - top - bottom));
  QSizeF size = image.size();
  if (setup.Scaling == PrintScaling::Proportional) {
    size *= dpi / std::max(1, screenDpi);
    if (size.width() > printable.width()) size = size.scaled(printable.width(), 1e9, Qt::KeepAspectRatio);
    if (size.height() > printable.height()) size = size.scaled(1e9, printable.height(), Qt::KeepAspectRatio);
  } else {
    size = size.scaled(printable, Qt::KeepAspectRatio);
  }
  painter.drawPixmap(QRectF(QPointF(left, top), size), image, image.rect());
  if (setup.PrintHeader) {
    painter.setFont(QFont(QStringLiteral("Arial"), 10));
    painter.drawText(QPointF(left, top / 2.0), header);
  }
  painter.end();
}
}  // namespace

TMainForm::TMainForm(KeyValueStore& store, MainFormOptions options, QWidget* parent)
    : QMainWindow(parent), store_(store), options_(std::move(options)), session_(std::make_unique<TraceSession>()) {
  setObjectName(QString::fromLatin1(kMainFormName));
  setWindowTitle(product::Name());
  setAcceptDrops(true);
  runDialog_ = [](QDialog& dialog) { return dialog.exec(); };
  openUrl_ = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
  chooseFile_ = [this](const QString& directory) {
    QFileDialog dialog(this, QStringLiteral("Open"), directory);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(OpenDialogNameFilters());
    return RunDialog(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                        : QString();
  };

  LoadSettings();
  progress_ = new TProcessTraceFileForm(this);
  progress_->SetCloseDelay(options_.closeDelayMs);
  connect(progress_, &TProcessTraceFileForm::TitleChanged, this,
          [this](const QString& title) { setWindowTitle(isMinimized() ? title : caption_); });
  serverPorts_ = new TServerPortsDialog(ports_, this);

  BuildActions();
  BuildMenus();
  BuildToolBar();
  BuildCentre();
  BuildStatusBar();
  resize(1024, 740);
  RestorePlacement();
  ShowRecentFiles();
  const std::string vendors =
      options_.vendorFile.isEmpty()
          ? FindProgramDataFile(QCoreApplication::applicationDirPath().toStdString(), "OUI.TXT").string()
          : options_.vendorFile.toStdString();
  if (!session_->vendors.Load(vendors)) session_->vendors.Clear();
  SetCurrentPage(fileSummary_);
  EnableOptions(false);
}

TMainForm::~TMainForm() {
  // The program ends: settings and placement go back to the store.
  SaveSettings();
}

// ---- construction ---------------------------------------------------------------------

void TMainForm::BuildActions() {
  auto action = [this](const QString& text, const QString& hint, auto handler) {
    auto* a = new QAction(text, this);
    a->setStatusTip(hint);
    a->setToolTip(hint);
    connect(a, &QAction::triggered, this, handler);
    return a;
  };
  openAction_ = action(QStringLiteral("&Open..."), QStringLiteral("Open a trace file"), [this] { OpenClick(); });
  openAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  openAction_->setIcon(GlyphIcon(Glyph::Open));
  openAction_->setIconText(QStringLiteral("Open"));
  closeAction_ = action(QStringLiteral("&Close"), QStringLiteral("Close the trace file"), [this] { CloseClick(); });
  printAction_ = action(QStringLiteral("&Print..."), QStringLiteral("Print a snapshot of the main window"),
                        [this] { PrintClick(); });
  printAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  printAction_->setIcon(GlyphIcon(Glyph::Print));
  printAction_->setIconText(QStringLiteral("Print"));
  printerSetupAction_ = action(QStringLiteral("Printer Set&up..."), QStringLiteral("Choose the printer and paper"),
                               [this] { PrinterSetupClick(); });
  exitAction_ = action(QStringLiteral("E&xit"), QStringLiteral("End Korvane"), [this] { close(); });
  // Ctrl+X as the menu shows it, and Ctrl+Q as on every Linux desktop.
  exitAction_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::CTRL | Qt::Key_Q)});

  copyAction_ = action(QStringLiteral("&Copy"), QStringLiteral("Copy to the clipboard"), [this] {
    if (TracePage* page = CurrentPage()) page->Copy();
  });
  copyAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  selectAllAction_ = action(QStringLiteral("Select &All"), QStringLiteral("Select every cell of the table"), [this] {
    if (TracePage* page = CurrentPage()) page->SelectAll();
  });
  selectAllAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));

  for (size_t i = 0; i < recentActions_.size(); ++i)
    recentActions_[i] = action(QString(), QStringLiteral("Open this trace file again"),
                               [this, i] { OpenRecent(int(i)); });
  bandwidthGroup_ = new QActionGroup(this);
  bandwidthGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (size_t i = 0; i < bandwidthActions_.size(); ++i) {
    bandwidthActions_[i] = action(QString(), QStringLiteral("Express utilization at this line speed"),
                                  [this, i] { SetDefaultBandwidth(int(i)); });
    bandwidthActions_[i]->setCheckable(true);
    if (i < 3) bandwidthActions_[i]->setActionGroup(bandwidthGroup_);
  }
  // The file's own speed is shown, not chosen.
  bandwidthActions_[3]->setEnabled(false);
  fullDuplexAction_ = action(QStringLiteral("&Full Duplex"), QStringLiteral("Utilization of a full-duplex link"),
                             [this](bool on) { SetFullDuplex(on); });
  fullDuplexAction_->setCheckable(true);
  serverPortsAction_ = action(QStringLiteral("Server &Ports"), QStringLiteral("User-defined UDP/TCP server ports"),
                              [this] { ServerPortsClick(); });
  chartPropertiesAction_ = action(QStringLiteral("Chart &Properties..."),
                                  QStringLiteral("Form, units and look of both charts"),
                                  [this] { ChartPropertiesClick(); });

  helpTopicsAction_ = action(QStringLiteral("&Help Topics"), QStringLiteral("Korvane help"), [this] { HelpTopicsClick(); });
  showTipsAction_ = action(QStringLiteral("Show Tip Wi&zard"), QStringLiteral("Show or hide the Tip Wizard"),
                           [this](bool on) { ShowTipWizard(on); });
  showTipsAction_->setCheckable(true);
  webSiteAction_ = action(QStringLiteral("Visit Zum4 Group's &Web Site"), QStringLiteral("Open the maker's web page"),
                          [this] { VisitWebSiteClick(); });
  aboutAction_ = action(QStringLiteral("&About..."), QStringLiteral("About Korvane"), [this] { AboutClick(); });

  toolboxAction_ = action(QStringLiteral("Toolbox"), QStringLiteral("Seravo Toolbox"), [this] { ToolboxClick(); });
  toolboxAction_->setIcon(GlyphIcon(Glyph::Toolbox));
  stationAction_ = action(QStringLiteral("Stations"), QStringLiteral("Station Peer Map and Statistics"),
                          [this] { StationClick(); });
  stationAction_->setIcon(GlyphIcon(Glyph::Station));
  networkAction_ = action(QStringLiteral("Network"), QStringLiteral("Network Peer Map And Statistics"),
                          [this] { NetworkClick(); });
  networkAction_->setIcon(GlyphIcon(Glyph::Network));
  problemFinderAction_ = action(QStringLiteral("ProblemFinder"), QStringLiteral("ProblemFinder(tm) Settings"),
                                [this] { ProblemFinderClick(); });
  problemFinderAction_->setIcon(GlyphIcon(Glyph::ProblemFinder));
}

void TMainForm::BuildMenus() {
  fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
  fileMenu_->addAction(openAction_);
  recentMenu_ = fileMenu_->addMenu(QStringLiteral("&Reopen"));
  for (QAction* a : recentActions_) recentMenu_->addAction(a);
  fileMenu_->addAction(closeAction_);
  fileMenu_->addSeparator();
  fileMenu_->addAction(printAction_);
  fileMenu_->addAction(printerSetupAction_);
  fileMenu_->addSeparator();
  fileMenu_->addAction(exitAction_);

  editMenu_ = menuBar()->addMenu(QStringLiteral("&Edit"));
  editMenu_->addAction(copyAction_);
  editMenu_->addAction(selectAllAction_);

  optionsMenu_ = menuBar()->addMenu(QStringLiteral("&Options"));
  bandwidthMenu_ = optionsMenu_->addMenu(QStringLiteral("Default &Bandwidth"));
  for (QAction* a : bandwidthActions_) bandwidthMenu_->addAction(a);
  optionsMenu_->addAction(fullDuplexAction_);
  optionsMenu_->addSeparator();
  optionsMenu_->addAction(serverPortsAction_);
  optionsMenu_->addAction(chartPropertiesAction_);

  helpMenu_ = menuBar()->addMenu(QStringLiteral("&Help"));
  helpMenu_->addAction(helpTopicsAction_);
  helpMenu_->addAction(showTipsAction_);
  helpMenu_->addAction(webSiteAction_);
  helpMenu_->addSeparator();
  helpMenu_->addAction(aboutAction_);
}

void TMainForm::BuildToolBar() {
  QToolBar* bar = addToolBar(QStringLiteral("Tools"));
  bar->setObjectName(QStringLiteral("ToolBar"));
  bar->setMovable(false);
  bar->setIconSize(QSize(24, 24));
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  bar->addAction(openAction_);
  bar->addAction(printAction_);
  bar->addSeparator();
  bar->addAction(toolboxAction_);
  bar->addAction(stationAction_);
  bar->addAction(networkAction_);
  bar->addSeparator();
  bar->addAction(problemFinderAction_);
}

void TMainForm::BuildCentre() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->setSpacing(4);

  // The Tip Wizard: the light bulb at the left turns it off, the box scrolls through the tips.
  tipPanel_ = new QFrame(central);
  tipPanel_->setObjectName(QStringLiteral("TipWizard"));
  static_cast<QFrame*>(tipPanel_)->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  auto* tipLayout = new QHBoxLayout(tipPanel_);
  tipLayout->setContentsMargins(4, 3, 4, 3);
  lightBulb_ = new QToolButton(tipPanel_);
  lightBulb_->setIcon(GlyphIcon(Glyph::LightBulb, 32));
  lightBulb_->setIconSize(QSize(32, 32));
  lightBulb_->setAutoRaise(true);
  lightBulb_->setToolTip(QStringLiteral("Turn off the Tip Wizard"));
  tipBox_ = new TipBox(tipPanel_);
  tipBox_->setReadOnly(true);
  tipBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  tipBox_->setFocusPolicy(Qt::NoFocus);
  tipBox_->setFixedHeight(tipBox_->sizeHint().height());
  QPalette tipPalette = tipBox_->palette();
  tipPalette.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xE1));
  tipPalette.setColor(QPalette::Text, Qt::black);
  tipBox_->setPalette(tipPalette);
  tipLayout->addWidget(lightBulb_);
  tipLayout->addWidget(tipBox_, 1);
  connect(lightBulb_, &QToolButton::clicked, this, [this] { ShowTipWizard(false); });
  tipPanel_->setVisible(tipWizard_.Enabled);
  showTipsAction_->setChecked(tipWizard_.Enabled);

  centre_ = new QStackedWidget(central);
  emptyPanel_ = new QLabel(kEmptyHint, central);
  emptyPanel_->setAlignment(Qt::AlignCenter);
  emptyPanel_->setEnabled(false);
  pages_ = new QTabWidget(central);
  pages_->setObjectName(QStringLiteral("PageControl"));
  fileSummary_ = new TFileSummaryPage(pages_);
  clientServer_ = new TClientServerPage(problems_, pages_);
  dlcErrors_ = new TDlcErrorPage(pages_);
  frameSizeChart_ = new TFrameSizeChartPage(chartProperties_, pages_);
  protocolChart_ = new TProtocolChartPage(chartProperties_, pages_);
  protocolTable_ = new TProtocolTablePage(pages_);
  ShareChartProperties(*frameSizeChart_, *protocolChart_);
  // Each page scrolls when the window is smaller than the page needs.
  auto addPage = [this](TracePage* page, const QString& caption) {
    auto* scroll = new QScrollArea(pages_);
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    pages_->addTab(scroll, caption);
  };
  addPage(fileSummary_, QStringLiteral("File Summary"));
  addPage(clientServer_, QStringLiteral("Client/Server Expert"));
  addPage(dlcErrors_, QStringLiteral("DLC Error Expert"));
  addPage(frameSizeChart_, QStringLiteral("Frame Size Chart"));
  addPage(protocolChart_, QStringLiteral("Protocol Chart"));
  addPage(protocolTable_, QStringLiteral("Protocol Table"));
  connect(pages_, &QTabWidget::currentChanged, this, [this] { PageChanged(); });
  connect(clientServer_, &TClientServerPage::OpenToolbox, this, [this] { ToolboxClick(); });
  centre_->addWidget(emptyPanel_);
  centre_->addWidget(pages_);
  centre_->setCurrentWidget(emptyPanel_);

  layout->addWidget(tipPanel_);
  layout->addWidget(centre_, 1);
  setCentralWidget(central);
}

void TMainForm::BuildStatusBar() {
  const std::array<int, 3> widths = {110, 130, 0};
  for (size_t i = 0; i < statusPanels_.size(); ++i) {
    statusPanels_[i] = new QLabel(this);
    statusPanels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusPanels_[i]->setMargin(1);
    if (widths[i] > 0) statusPanels_[i]->setMinimumWidth(widths[i]);
    statusBar()->addWidget(statusPanels_[i], widths[i] > 0 ? 0 : 1);
  }
}

// ---- settings ---------------------------------------------------------------------------

void TMainForm::LoadSettings() {
  recent_.Load(store_);
  chartProperties_.Load(store_);
  tipWizard_.Load(store_);
  visualizer_.Load(store_);
  problems_.Load(store_);
  printSetup_.Load(store_);
  ports_.Load(store_);
  printer_.setPageOrientation(printSetup_.Orientation == PageOrientation::Landscape ? QPageLayout::Landscape
                                                                                   : QPageLayout::Portrait);
}

void TMainForm::SaveSettings() const {
  recent_.Save(store_);
  chartProperties_.Save(store_);
  TipWizardSettings tips;
  tips.Enabled = showTipsAction_->isChecked();
  tips.Save(store_);
  visualizer_.Save(store_);
  problems_.Save(store_);
  printSetup_.Save(store_);
  SavePlacement();
}

void TMainForm::RestorePlacement() {
  const std::optional<WindowPlacement> stored = WindowPlacement::Load(store_, kMainFormName);
  if (!stored) return;
  if (stored->State == WindowShowState::Maximised) {
    setWindowState(Qt::WindowMaximized);
    return;
  }
  const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const QSize area = screen ? screen->geometry().size() : QSize(stored->Width, stored->Height);
  const WindowPlacement p = stored->FittedTo(area.width(), area.height());
  move(p.Left, p.Top);
  resize(p.Width, p.Height);
  if (p.State == WindowShowState::Minimised) setWindowState(Qt::WindowMinimized);
}

void TMainForm::SavePlacement() const {
  const bool maximised = isMaximized();
  const QRect normal = maximised ? normalGeometry() : QRect(pos(), size());
  WindowPlacement p;
  p.Left = normal.x();
  p.Top = normal.y();
  p.Width = normal.width();
  p.Height = normal.height();
  p.State = maximised ? WindowShowState::Maximised
                      : isMinimized() ? WindowShowState::Minimised : WindowShowState::Normal;
  p.Save(store_, kMainFormName);
}

// ---- the file flow ----------------------------------------------------------------------

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (firstActivation_) FirstActivation();
}

void TMainForm::FirstActivation() {
  SetTips(Tips(tipset::Welcome));
  firstActivation_ = false;
  SetCaption(QString());
  EnableOptions(false);
  openAction_->setEnabled(true);
  // After the window has come up: the read shows its own dialog over it.
  if (!options_.commandLineFile.isEmpty())
    QTimer::singleShot(0, this, [this] { OpenFile(options_.commandLineFile); });
}

void TMainForm::OpenFile(const QString& path) {
  if (busy_ || path.isEmpty()) return;
  currentFileName_ = path;
  centre_->setCurrentWidget(emptyPanel_);
  ProcessFile();
}

void TMainForm::OpenClick() {
  if (busy_) return;
  SetTips(Tips(tipset::OpenDialog));
  const QString chosen = chooseFile_(Q(recent_.LastDirectory));
  RestoreTips();
  if (!chosen.isEmpty()) OpenFile(chosen);
}

void TMainForm::OpenRecent(int index) {
  if (busy_ || index < 0 || index >= int(kRecentFileCount)) return;
  centre_->setCurrentWidget(emptyPanel_);
  const std::string& entry = recent_.Entries[size_t(index)];
  if (entry.empty()) return;
  currentFileName_ = Q(entry);
  ProcessFile();
}

void TMainForm::CloseClick() {
  if (busy_) return;
  currentFileName_.clear();
  centre_->setCurrentWidget(emptyPanel_);
  EnableOptions(false);
  ClearPages();
  SetTips(Tips(tipset::Welcome));
}

void TMainForm::ProcessFile() {
  if (busy_) return;
  // Kept absolute: the Reopen list must work from any working folder.
  if (!currentFileName_.isEmpty()) currentFileName_ = QFileInfo(currentFileName_).absoluteFilePath();
  const std::string path = currentFileName_.toStdString();
  recent_.LastDirectory = QFileInfo(currentFileName_).absolutePath().toStdString();
  SetCaption(QString());
  lineSpeedMbps_ = 10;
  session_->ports.SetUserPorts(ports_.Entries);

  std::unique_ptr<FileSource> source;
  OpenResult result = CheckTraceFile(*session_, path, source);
  if (result.status != OpenStatus::Loaded) return Refuse(result.message);
  lineSpeedMbps_ = session_->info.LineSpeedMbps;

  SetBusy(true);
  AtScopeEnd ready([this] {
    SetBusy(false);
    if (closePending_) QTimer::singleShot(0, this, &QWidget::close);
  });
  EnableOptions(false);
  ClearPages();

  // The read runs on a worker thread; this thread keeps the windows alive meanwhile and the
  // progress dialog polls the read's counters.
  TraceSession& session = *session_;
  FileSource& file = *source;
  std::exception_ptr failure;
  std::unique_ptr<QThread> worker(QThread::create([&] {
    try {
      result = ReadCheckedTrace(session, file);
    } catch (...) {
      failure = std::current_exception();
    }
  }));
  connect(worker.get(), &QThread::finished, progress_, &TProcessTraceFileForm::ReadFinished);
  QEventLoop waitForDialog;
  connect(progress_, &TProcessTraceFileForm::Closed, &waitForDialog, &QEventLoop::quit);
  progress_->BeginRead(QFileInfo(currentFileName_).fileName(), session.progress);
  worker->start();
  waitForDialog.exec();
  // Left early (the program is ending): stop the read and wait for it.
  while (!worker->wait(50)) session.progress.stopMark.store(true, std::memory_order_relaxed);
  worker.reset();

  if (failure) {
    currentFileName_.clear();
    SetCaption(QString());
    std::rethrow_exception(failure);
  }
  if (result.status != OpenStatus::Loaded) return Refuse(result.message);

  EnableOptions(true);
  recent_.Add(path);
  ShowRecentFiles();
  ShowPages();
  const int checked = CheckedBandwidthOption(session.info.TopologyCode, session.AnalysedLineSpeedMbps);
  for (int i = 0; i < 3; ++i) bandwidthActions_[size_t(i)]->setChecked(i == checked);
  centre_->setCurrentWidget(pages_);
  PageChanged();
}

void TMainForm::Refuse(const std::string& message) {
  Messages().Show(this, QString::fromLatin1(kOpenTraceTitle), Q(message), MessageIcon::Exclamation);
  currentFileName_.clear();
  EnableOptions(false);
  ClearPages();
  SetCaption(QString());
  centre_->setCurrentWidget(emptyPanel_);
}

void TMainForm::ClearPages() {
  for (TracePage* page : Pages()) page->ClearTrace();
  emit PagesCleared();
}

void TMainForm::ShowPages() {
  // In the order the pages are built after a read: the conversations, the charts and the
  // protocol table, the file summary, the DLC errors of the trace's medium.
  const TraceSession& session = *session_;
  clientServer_->ShowTrace(session);
  frameSizeChart_->ShowTrace(session);
  protocolChart_->ShowTrace(session);
  protocolTable_->ShowTrace(session);
  fileSummary_->SetLineSpeed(lineSpeedMbps_, duplexFactor_);
  fileSummary_->ShowTrace(session);
  dlcErrors_->ShowTrace(session);
  ShowStatusBar(true);
  emit PagesShown();
}

void TMainForm::SetCaption(const QString& suffix) {
  caption_ = Q(MainCaption(currentFileName_.toStdString(), suffix.toStdString()));
  setWindowTitle(caption_);
}

void TMainForm::EnableOptions(bool enable) {
  loaded_ = enable;
  const TraceFileInfo& info = session_->info;
  printAction_->setEnabled(enable);
  bandwidthMenu_->menuAction()->setEnabled(enable);
  fullDuplexAction_->setEnabled(enable);
  const auto options = BandwidthOptions(info.TopologyCode, info.FileBandwidthKnown, info.FileBandwidthBps);
  for (size_t i = 0; i < options.size(); ++i) {
    bandwidthActions_[i]->setText(Q(options[i].caption));
    bandwidthActions_[i]->setData(options[i].mbps);
    bandwidthActions_[i]->setVisible(options[i].visible);
  }
  bandwidthActions_[3]->setChecked(options[3].visible);
  ShowStatusBar(false);
  for (QAction* a : {toolboxAction_, stationAction_, networkAction_}) a->setEnabled(enable);
  copyAction_->setEnabled(false);
  selectAllAction_->setEnabled(false);
  SetCaption(enable && info.SlicedPacketsSeen ? Q(kSlicedPacketsSuffix) : QString());
}

void TMainForm::ShowStatusBar(bool loaded) {
  const std::array<QString, 3> texts = loaded ? fileSummary_->StatusPanels() : std::array<QString, 3>{};
  for (size_t i = 0; i < statusPanels_.size(); ++i) statusPanels_[i]->setText(texts[i]);
}

void TMainForm::SetBusy(bool busy) {
  busy_ = busy;
  for (QMenu* menu : {fileMenu_, editMenu_, optionsMenu_, helpMenu_}) {
    menu->menuAction()->setEnabled(!busy);
    menu->setEnabled(!busy);
  }
  openAction_->setEnabled(!busy);
  problemFinderAction_->setEnabled(!busy);
  // While a file is read the empty area says nothing.
  emptyPanel_->setText(busy ? QString() : kEmptyHint);
}

void TMainForm::ShowRecentFiles() {
  for (size_t i = 0; i < recentActions_.size(); ++i) {
    const std::string& entry = recent_.Entries[i];
    // An "&" of the path is shown as itself, not taken as a mnemonic.
    recentActions_[i]->setText(Q(RecentFileCaption(i, "")) + Q(entry).replace(QLatin1Char('&'), QStringLiteral("&&")));
    recentActions_[i]->setVisible(!entry.empty());
  }
}

// ---- pages, Edit menu and Tip Wizard -----------------------------------------------------

std::array<TracePage*, 6> TMainForm::Pages() const {
  return {fileSummary_, clientServer_, dlcErrors_, frameSizeChart_, protocolChart_, protocolTable_};
}

TracePage* TMainForm::CurrentPage() const {
  auto* scroll = qobject_cast<QScrollArea*>(pages_->currentWidget());
  return scroll ? qobject_cast<TracePage*>(scroll->widget()) : nullptr;
}

void TMainForm::SetCurrentPage(TracePage* page) {
  for (int i = 0; i < pages_->count(); ++i)
    if (auto* scroll = qobject_cast<QScrollArea*>(pages_->widget(i)); scroll && scroll->widget() == page)
      pages_->setCurrentIndex(i);
}

void TMainForm::PageChanged() {
  TracePage* page = CurrentPage();
  if (!page) return;
  const QString caption = page->CopyCaption();
  copyAction_->setText(caption.isEmpty() ? QStringLiteral("&Copy") : caption);
  copyAction_->setEnabled(loaded_ && page != fileSummary_);
  selectAllAction_->setEnabled(loaded_ && page->CanSelectAll());
  SetTips(page->Tips());
}

void TMainForm::SetTips(const QList<int>& tips) {
  if (!tipPanel_->isVisibleTo(this)) return;
  currentTips_ = tips;
  tipBox_->setPlainText(Q(korvane::TipWizardText(std::vector<int>(tips.begin(), tips.end()))));
}

void TMainForm::RestoreTips() { PageChanged(); }

QString TMainForm::TipWizardText() const { return tipBox_->toPlainText(); }

bool TMainForm::TipWizardVisible() const { return tipPanel_->isVisibleTo(this); }

void TMainForm::ShowTipWizard(bool show) {
  showTipsAction_->setChecked(show);
  tipPanel_->setVisible(show);
  if (show) RestoreTips();
}

std::array<QString, 3> TMainForm::StatusTexts() const {
  return {statusPanels_[0]->text(), statusPanels_[1]->text(), statusPanels_[2]->text()};
}

QStringList TMainForm::OpenDialogNameFilters() {
  QStringList filters;
  for (const FileTypeFilter& type : OpenDialogFileTypes()) {
    // The patterns go in brackets after the description, separated by blanks.
    QString description = Q(type.description);
    const QString shown = QStringLiteral(" (") + Q(type.patterns) + QLatin1Char(')');
    if (description.endsWith(shown)) description.chop(shown.size());
    QString patterns = Q(type.patterns);
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << description + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')');
  }
  return filters;
}

// ---- commands ---------------------------------------------------------------------------

void TMainForm::SetDefaultBandwidth(int option) {
  if (option < 0 || option > 2 || !loaded_) return;
  lineSpeedMbps_ = bandwidthActions_[size_t(option)]->data().toInt();
  bandwidthActions_[size_t(option)]->setChecked(true);
  ApplyLineSpeed();
}

void TMainForm::SetFullDuplex(bool on) {
  fullDuplexAction_->setChecked(on);
  duplexFactor_ = on ? 2 : 1;
  ApplyLineSpeed();
}

void TMainForm::ApplyLineSpeed() {
  if (loaded_) fileSummary_->SetLineSpeed(lineSpeedMbps_, duplexFactor_);
}

int TMainForm::RunDialog(QDialog& dialog) { return runDialog_(dialog); }

void TMainForm::ProblemFinderClick() {
  if (busy_) return;
  TProblemSettings dialog(problems_, this);
  SetTips(TProblemSettings::Tips());
  RunDialog(dialog);
  RestoreTips();
  if (const std::optional<ProblemFinderSettings> result = dialog.Result()) {
    problems_ = *result;
    if (loaded_) clientServer_->Rebuild();
  }
}

void TMainForm::ServerPortsClick() {
  serverPorts_->SetFileOpen(loaded_);
  if (RunDialog(*serverPorts_) == QDialog::Accepted) {
    ports_ = serverPorts_->Result();
    ports_.Save(store_);
  }
}

void TMainForm::ChartPropertiesClick() {
  frameSizeChart_->EditProperties([this](TChartPropertiesForm& form) { return RunDialog(form); });
}

void TMainForm::AboutClick() {
  TAboutBox about(this);
  RunDialog(about);
}

void TMainForm::HelpTopicsClick() {
  auto* help = findChild<THelpForm*>();
  if (!help) help = new THelpForm(this);
  help->show();
  help->raise();
}

void TMainForm::VisitWebSiteClick() { openUrl_(product::WebAddress()); }

void TMainForm::RequestWindow(void (TMainForm::*request)(), const QString& title) {
  if (isSignalConnected(QMetaMethod::fromSignal(request)))
    (this->*request)();
  else
    Messages().Show(this, title, QStringLiteral("This window comes with a later version of Korvane."),
                    MessageIcon::Information);
}

void TMainForm::ToolboxClick() {
  if (!loaded_) return;
  if (!TraceHasNetworkStations(*session_))
    Messages().Show(this, QStringLiteral("Korvane - Searvo ToolBox"), kNoNetworkLayerText, MessageIcon::Information);
  else
    RequestWindow(&TMainForm::ToolboxRequested, toolboxAction_->toolTip());
}

void TMainForm::StationClick() {
  if (loaded_) RequestWindow(&TMainForm::StationStatisticsRequested, stationAction_->toolTip());
}

void TMainForm::NetworkClick() {
  if (!loaded_) return;
  if (!TraceHasNetworkStations(*session_))
    Messages().Show(this, QStringLiteral("Korvane - Network Map"), kNoNetworkLayerText, MessageIcon::Information);
  else
    RequestWindow(&TMainForm::NetworkStatisticsRequested, networkAction_->toolTip());
}

void TMainForm::PrintClick() {
  if (!loaded_) return;
  const QPixmap snapshot = grab();
  QPrintDialog dialog(&printer_, this);
  if (RunDialog(dialog) != QDialog::Accepted) return;
  const QString header = Q(AnalyzerName(session_->info)) + QStringLiteral(" File ") + currentFileName_;
  PrintSnapshot(printer_, snapshot, printSetup_, header, logicalDpiX());
}

void TMainForm::PrinterSetupClick() {
  QPageSetupDialog dialog(&printer_, this);
  if (RunDialog(dialog) == QDialog::Accepted)
    printSetup_.Orientation = printer_.pageLayout().orientation() == QPageLayout::Landscape
                                  ? PageOrientation::Landscape
                                  : PageOrientation::Portrait;
}

// ---- window events ----------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event) {
  if (busy_) {
    // Stop the read first; the window closes once it has ended.
    closePending_ = true;
    session_->progress.stopMark.store(true, std::memory_order_relaxed);
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (!busy_ && event->mimeData()->hasUrls() && !event->mimeData()->urls().isEmpty() &&
      event->mimeData()->urls().first().isLocalFile())
    event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (busy_ || urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  // Once the drop has been answered: the read shows its own dialog.
  const QString path = urls.first().toLocalFile();
  QTimer::singleShot(0, this, [this, path] { OpenFile(path); });
}

}  // namespace korvane
