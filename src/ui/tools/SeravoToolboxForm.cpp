#include "ui/tools/SeravoToolboxForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QSlider>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "measure/PacketDiagnostics.h"
#include "measure/PartnerStream.h"
#include "reports/ConversationGrid.h"
#include "reports/Selection.h"
#include "ui/tools/PacketVisualizer.h"

namespace korvane {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr std::array<uint16_t, 5> kTickSpacings = {0, 1, 10, 100, 1000};

// The Display Options items in their sorted order, and the switch each one sets.
struct DisplayOption {
  const char* text;
  bool VisualizerAttributes::*flag;
};
constexpr std::array<DisplayOption, 6> kDisplayOptions = {{
    {"Cumulative Bytes (separate)", &VisualizerAttributes::ShowCumulativeBytesSeparate},
    {"Cumulative Bytes (together)", &VisualizerAttributes::ShowCumulativeBytesTogether},
    {"Cumulative Time", &VisualizerAttributes::ShowCumulativeTime},
    {"Delta Time", &VisualizerAttributes::ShowDeltaTime},
    {"Packet Number", &VisualizerAttributes::ShowPacketNumber},
    {"Packet Size", &VisualizerAttributes::ShowPacketSize},
}};

QString TickText(uint16_t ms) {
  if (ms == 0) return QStringLiteral("Disabled");
  if (ms == 1) return QStringLiteral("1 millisecond");
  return QString::number(ms) + QStringLiteral(" milliseconds");
}
}  // namespace

TSeravoToolboxForm::TSeravoToolboxForm(const TraceSession& session, VisualizerAttributes& attributes,
                                       const ProblemFinderSettings& problems, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), attributes_(attributes), problems_(problems) {
  setObjectName(QStringLiteral("SeravoToolboxForm"));
  setWindowTitle(QStringLiteral("Seravo ToolBox (tm)"));
  runPrint_ = [](TSeravoToolboxForm& form) {
    QPrinter printer;
    QPrintDialog dialog(&printer, &form);
    if (dialog.exec() == QDialog::Accepted) form.PrintVisualizer(printer);
  };
  BuildControls();
  resize(1040, 680);
}

TSeravoToolboxForm::~TSeravoToolboxForm() = default;

void TSeravoToolboxForm::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);

  // The three choices of a stream, with the swap between source and destination.
  auto* choices = new QGridLayout;
  choices->setHorizontalSpacing(6);
  choices->setVerticalSpacing(1);
  auto box = [this](const QString& name, const QColor& colour) {
    auto* b = new QComboBox(this);
    b->setObjectName(name);
    b->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    b->setMinimumContentsLength(18);
    QPalette p = b->palette();
    p.setColor(QPalette::Text, colour);
    p.setColor(QPalette::ButtonText, colour);
    b->setPalette(p);
    return b;
  };
  sourceBox_ = box(QStringLiteral("SourceBox"), QColor(0, 0, 0xFF));
  targetBox_ = box(QStringLiteral("TargetBox"), QColor(0, 0x80, 0x80));
  appBox_ = box(QStringLiteral("AppBox"), QColor(Qt::black));
  appBox_->setMinimumContentsLength(28);
  choices->addWidget(new QLabel(QStringLiteral("Source"), this), 0, 0);
  choices->addWidget(new QLabel(QStringLiteral("Destination"), this), 0, 2);
  choices->addWidget(new QLabel(QStringLiteral("Protocol/App"), this), 0, 3);
  choices->addWidget(sourceBox_, 1, 0);
  auto* swapButton = new QToolButton(this);
  choices->addWidget(swapButton, 1, 1);
  choices->addWidget(targetBox_, 1, 2);
  choices->addWidget(appBox_, 1, 3);
  ipxByOui_ = new QCheckBox(QStringLiteral("IPX Lower by OUI"), this);
  ipxByOui_->setObjectName(QStringLiteral("IPXOUILower2"));
  ipxByOui_->setChecked(true);
  choices->addWidget(ipxByOui_, 1, 4);
  choices->setColumnStretch(3, 1);
  layout->addLayout(choices);

  // The tool bar and the Diagnostic list.
  auto* bar = new QHBoxLayout;
  toolBar_ = new QToolBar(this);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  auto action = [this](const QString& text, const QString& hint, auto slot) {
    QAction* a = toolBar_->addAction(text);
    a->setToolTip(hint);
    a->setStatusTip(hint);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  latencyAction_ = action(QStringLiteral("Latency"), QStringLiteral("Response Time/Latency Analysis"),
                          [this] { emit LatencyRequested(); });
  throughputAction_ = action(QStringLiteral("Throughput"), QStringLiteral("Throughput Analysis"),
                             [this] { emit ThroughputRequested(); });
  problemsAction_ = action(QStringLiteral("Diagnostics"), QStringLiteral("Diagnostics Summary"),
                           [this] { emit ProblemsRequested(); });
  swapAction_ = new QAction(QStringLiteral("\u21C4"), this);
  swapAction_->setToolTip(QStringLiteral("Swap Destination and Source Addresses"));
  connect(swapAction_, &QAction::triggered, this, [this] { Swap(); });
  swapButton->setDefaultAction(swapAction_);
  printAction_ = action(QStringLiteral("Print"), QStringLiteral("Print Packet Visualizer"),
                        [this] { if (runPrint_) runPrint_(*this); });
  attributesAction_ = action(QStringLiteral("Colors && Font"), QStringLiteral("Color and Font Properties"),
                             [this] { emit AttributesRequested(); });
  copyButton_ = new QToolButton(this);
  copyButton_->setText(QStringLiteral("Copy"));
  copyButton_->setObjectName(QStringLiteral("SpeedButton1"));
  copyButton_->setToolTip(QStringLiteral("Copy Visualizer to clipboard"));
  connect(copyButton_, &QToolButton::clicked, this, [this] { CopyVisualizer(); });
  toolBar_->addWidget(copyButton_);
  bar->addWidget(toolBar_);
  bar->addSpacing(12);
  bar->addWidget(new QLabel(QStringLiteral("Diagnostic"), this));
  diagnostics_ = new QComboBox(this);
  diagnostics_->setObjectName(QStringLiteral("PacketComments"));
  QPalette red = diagnostics_->palette();
  red.setColor(QPalette::Text, Qt::red);
  red.setColor(QPalette::ButtonText, Qt::red);
  diagnostics_->setPalette(red);
  diagnostics_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  diagnostics_->setMinimumContentsLength(30);
  bar->addWidget(diagnostics_, 1);
  layout->addLayout(bar);

  // The options on the left, the diagram on the right.
  auto* body = new QHBoxLayout;
  auto* side = new QVBoxLayout;
  auto* optionsBox = new QGroupBox(QStringLiteral("Display Options"), this);
  auto* optionsLayout = new QVBoxLayout(optionsBox);
  optionsLayout->setContentsMargins(4, 4, 4, 4);
  displayOptions_ = new QListWidget(optionsBox);
  displayOptions_->setObjectName(QStringLiteral("DisplayOptions"));
  for (const DisplayOption& o : kDisplayOptions) {
    auto* item = new QListWidgetItem(QString::fromLatin1(o.text), displayOptions_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  displayOptions_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  displayOptions_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  displayOptions_->setFixedHeight(std::max(displayOptions_->sizeHintForRow(0), fontMetrics().height() + 4) * 6 +
                                  2 * displayOptions_->frameWidth() + 4);
  connect(displayOptions_, &QListWidget::itemChanged, this, [this] {
    if (!filling_) ReadDisplayOptions();
  });
  optionsLayout->addWidget(displayOptions_);
  side->addWidget(optionsBox);

  auto* ticksBox = new QGroupBox(QStringLiteral("Ticks"), this);
  auto* ticksLayout = new QVBoxLayout(ticksBox);
  ticks_ = new QSlider(Qt::Horizontal, ticksBox);
  ticks_->setObjectName(QStringLiteral("PacketSpacingTrackBar"));
  ticks_->setRange(0, 4);
  ticks_->setValue(1);
  ticks_->setTickPosition(QSlider::TicksBelow);
  ticks_->setPageStep(1);
  ticksLabel_ = new QLabel(TickText(1), ticksBox);
  ticksLabel_->setAlignment(Qt::AlignCenter);
  ticksLayout->addWidget(ticks_);
  ticksLayout->addWidget(ticksLabel_);
  connect(ticks_, &QSlider::valueChanged, this, [this](int v) { SetTickPosition(v); });
  side->addWidget(ticksBox);

  auto* lengthBox = new QGroupBox(QStringLiteral("Length"), this);
  auto* lengthLayout = new QVBoxLayout(lengthBox);
  length_ = new QSlider(Qt::Horizontal, lengthBox);
  length_->setObjectName(QStringLiteral("PacketSizeTrackBar"));
  length_->setRange(1, 10);
  length_->setValue(4);
  length_->setPageStep(1);
  length_->setTickPosition(QSlider::TicksBelow);
  lengthLayout->addWidget(length_);
  connect(length_, &QSlider::valueChanged, this, [this](int v) { SetLengthPosition(v); });
  side->addWidget(lengthBox);

  auto* range = new QGroupBox(QStringLiteral("Thput/Latency Pkts"), this);
  range->setObjectName(QStringLiteral("GroupBox1"));
  range->setToolTip(QStringLiteral("Packet range for calculating throughput and latency"));
  auto* rangeLayout = new QGridLayout(range);
  from_ = new QSpinBox(range);
  from_->setObjectName(QStringLiteral("StartPacketSpinEdit"));
  to_ = new QSpinBox(range);
  to_->setObjectName(QStringLiteral("EndPacketSpinEdit"));
  for (QSpinBox* s : {from_, to_}) {
    s->setRange(1, 1);
    s->setGroupSeparatorShown(false);
    s->setAlignment(Qt::AlignRight);
  }
  rangeLayout->addWidget(new QLabel(QStringLiteral("from"), range), 0, 0);
  rangeLayout->addWidget(from_, 0, 1);
  rangeLayout->addWidget(new QLabel(QStringLiteral("to"), range), 1, 0);
  rangeLayout->addWidget(to_, 1, 1);
  connect(from_, &QSpinBox::valueChanged, this, [this](int v) {
    to_->setMinimum(v);
    if (!filling_) Changed(false);
  });
  connect(to_, &QSpinBox::valueChanged, this, [this](int v) {
    from_->setMaximum(v);
    if (!filling_) Changed(false);
  });
  side->addWidget(range);
  side->addStretch(1);
  auto* sidePanel = new QWidget(this);
  sidePanel->setLayout(side);
  side->setContentsMargins(0, 0, 0, 0);
  sidePanel->setFixedWidth(std::max(230, fontMetrics().horizontalAdvance(QStringLiteral("Cumulative Bytes (separate)")) + 70));
  body->addWidget(sidePanel);

  visualizer_ = new TPacketVisualizer(attributes_, this);
  body->addWidget(visualizer_, 1);
  layout->addLayout(body, 1);

  connect(sourceBox_, &QComboBox::currentIndexChanged, this, [this] { if (!filling_) SourceChanged(); });
  connect(targetBox_, &QComboBox::currentIndexChanged, this, [this] { if (!filling_) TargetChanged(); });
  connect(appBox_, &QComboBox::currentIndexChanged, this, [this] { if (!filling_) AppChanged(); });
  connect(diagnostics_, &QComboBox::activated, this, [this](int i) { SelectDiagnostic(i); });
  connect(ipxByOui_, &QCheckBox::toggled, this, [this] {
    if (filling_) return;
    const std::optional<StreamEntry> keep = current_;
    refill_ = true;
    if (keep) {
      ShowForStream(keep->sourceStation, keep->peer, keep->stream);
    } else {
      Refill();
    }
  });
}

void TSeravoToolboxForm::RequestRefill() {
  refill_ = true;
  reload_ = true;
  presetSource_.clear();
  presetDestination_.clear();
  presetApp_.clear();
  altSource_.clear();
  altDestination_.clear();
  presetStream_ = -1;
}

std::vector<const StreamEntry*> TSeravoToolboxForm::EntriesOf(int32_t station, const std::string* destination) const {
  std::vector<const StreamEntry*> out;
  for (const StreamEntry& e : entries_)
    if (e.sourceStation == station && (!destination || e.destination == *destination)) out.push_back(&e);
  return out;
}

int32_t TSeravoToolboxForm::CurrentSourceStation() const {
  const int i = sourceBox_->currentIndex();
  return i >= 0 && size_t(i) < sourceStations_.size() ? sourceStations_[size_t(i)] : -1;
}

// Steps from the first item to the wanted text (or the alternative form); the first item
// stays selected when neither is there.
static void SelectText(QComboBox& box, const std::string& wanted, const std::string& alternative, bool useAlternative) {
  const std::string& text = useAlternative && !alternative.empty() ? alternative : wanted;
  int index = box.count() > 0 ? 0 : -1;
  if (!text.empty()) {
    const int found = box.findText(Q(text), Qt::MatchExactly);
    if (found >= 0) index = found;
  }
  box.setCurrentIndex(index);
}

void TSeravoToolboxForm::FillSources(const std::string& wanted, const std::string& alternative) {
  sourceBox_->clear();
  sourceStations_.clear();
  for (const StreamEntry& e : entries_) {
    if (!sourceStations_.empty() && sourceStations_.back() == e.sourceStation) continue;
    if (std::find(sourceStations_.begin(), sourceStations_.end(), e.sourceStation) != sourceStations_.end()) continue;
    sourceStations_.push_back(e.sourceStation);
    sourceBox_->addItem(Q(e.source));
  }
  SelectText(*sourceBox_, wanted, alternative, ipxByOui_->isChecked());
}

void TSeravoToolboxForm::FillTargets(const std::string& wanted, const std::string& alternative) {
  targetBox_->clear();
  std::vector<int32_t> peers;
  for (const StreamEntry* e : EntriesOf(CurrentSourceStation(), nullptr)) {
    if (std::find(peers.begin(), peers.end(), e->peer) != peers.end()) continue;
    peers.push_back(e->peer);
    targetBox_->addItem(Q(e->destination));
  }
  SelectText(*targetBox_, wanted, alternative, ipxByOui_->isChecked());
}

void TSeravoToolboxForm::FillApps(int wantedIndex) {
  appBox_->clear();
  const std::string destination = targetBox_->currentText().toStdString();
  for (const StreamEntry* e : EntriesOf(CurrentSourceStation(), &destination)) appBox_->addItem(Q(e->app));
  appBox_->setCurrentIndex(appBox_->count() == 0 ? -1 : std::clamp(wantedIndex, 0, appBox_->count() - 1));
}

void TSeravoToolboxForm::TakeCurrent() {
  current_.reset();
  const std::string destination = targetBox_->currentText().toStdString();
  const auto streams = EntriesOf(CurrentSourceStation(), &destination);
  const int i = appBox_->currentIndex();
  if (i >= 0 && size_t(i) < streams.size()) current_ = *streams[size_t(i)];
}

void TSeravoToolboxForm::UpdateSwap() {
  swapAction_->setEnabled(
      current_ && !FindPartnerStream(session_.tables, current_->sourceStation, current_->peer, current_->stream).OneWay());
}

void TSeravoToolboxForm::Refill() {
  filling_ = true;
  entries_ = BuildStreamList(session_, {ipxByOui_->isChecked()});
  ipxByOui_->setVisible(TraceHasIpxStations(session_));
  const QString file = QFileInfo(Q(session_.info.CurrentFileName)).fileName();
  setWindowTitle(QStringLiteral("Seravo ToolBox (tm) - ") + file);
  if (presetStream_ >= 0) {
    // A stream handed over by its identity: its texts are the presets.
    for (const StreamEntry& e : entries_)
      if (e.stream == presetStream_) {
        presetSource_ = e.source;
        presetDestination_ = e.destination;
        presetApp_.clear();
        altSource_.clear();
        altDestination_.clear();
        break;
      }
  }
  FillSources(presetSource_, altSource_);
  int appIndex = 0;
  if (sourceBox_->count() > 0) {
    FillTargets(presetDestination_, altDestination_);
    const std::string destination = targetBox_->currentText().toStdString();
    const auto streams = EntriesOf(CurrentSourceStation(), &destination);
    for (size_t i = 0; i < streams.size(); ++i)
      if ((presetStream_ >= 0 && streams[i]->stream == presetStream_) ||
          (presetStream_ < 0 && !presetApp_.empty() && streams[i]->app == presetApp_)) {
        appIndex = int(i);
        break;
      }
    FillApps(appIndex);
  } else {
    targetBox_->clear();
    appBox_->clear();
  }
  presetSource_.clear();
  presetDestination_.clear();
  presetApp_.clear();
  altSource_.clear();
  altDestination_.clear();
  presetStream_ = -1;
  // The packet range: the whole trace.
  const int last = int(std::clamp<int64_t>(session_.info.FramesRead, 1, INT32_MAX));
  from_->setRange(1, last);
  to_->setRange(1, last);
  from_->setValue(1);
  to_->setValue(last);
  from_->setMaximum(last);
  to_->setMinimum(1);
  filling_ = false;
  refill_ = false;
  TakeCurrent();
  UpdateSwap();
  reload_ = true;
}

void TSeravoToolboxForm::ShowForStream(int32_t sourceStation, int32_t peer, int32_t stream) {
  (void)sourceStation;
  (void)peer;
  RequestRefill();
  presetStream_ = stream;
  if (isVisible()) Refill(), Redraw(), emit SelectionChanged();
  show();
  raise();
  activateWindow();
}

void TSeravoToolboxForm::ShowForPair(const AddressKey& source, const AddressKey& destination) {
  RequestRefill();
  const StreamEntry* found = nullptr;
  const int32_t station = session_.tables.NetStationTree.Find(source);
  for (const StreamEntry& e : BuildStreamList(session_, {ipxByOui_->isChecked()})) {
    if (e.sourceStation != station) continue;
    if (session_.tables.NetPeers[size_t(e.peer)].DestAddress == destination) {
      presetStream_ = e.stream;
      found = &e;
      break;
    }
    if (!found && presetSource_.empty()) presetSource_ = e.source;
  }
  if (found) presetSource_.clear();
  if (isVisible()) Refill(), Redraw(), emit SelectionChanged();
  show();
  raise();
  activateWindow();
}

void TSeravoToolboxForm::ShowForTexts(const std::string& source, const std::string& destination,
                                      const std::string& app, const std::string& alternativeSource,
                                      const std::string& alternativeDestination) {
  RequestRefill();
  presetSource_ = source;
  presetDestination_ = destination;
  presetApp_ = app;
  altSource_ = alternativeSource;
  altDestination_ = alternativeDestination;
  if (isVisible()) Refill(), Redraw(), emit SelectionChanged();
  show();
  raise();
  activateWindow();
}

void TSeravoToolboxForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  ShowDisplayOptions();
  if (refill_) {
    Refill();
    Redraw();
    emit SelectionChanged();
  }
  emit Shown();
}

void TSeravoToolboxForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit Closed();
}

void TSeravoToolboxForm::ShowDisplayOptions() {
  filling_ = true;
  for (int i = 0; i < displayOptions_->count(); ++i)
    displayOptions_->item(i)->setCheckState(attributes_.*kDisplayOptions[size_t(i)].flag ? Qt::Checked : Qt::Unchecked);
  filling_ = false;
}

void TSeravoToolboxForm::ReadDisplayOptions() {
  for (int i = 0; i < displayOptions_->count(); ++i)
    attributes_.*kDisplayOptions[size_t(i)].flag = displayOptions_->item(i)->checkState() == Qt::Checked;
  Redraw();
}

void TSeravoToolboxForm::SourceChanged() {
  filling_ = true;
  FillTargets({}, {});
  FillApps(0);
  filling_ = false;
  TakeCurrent();
  UpdateSwap();
  Changed(true);
}

void TSeravoToolboxForm::TargetChanged() {
  filling_ = true;
  FillApps(0);
  filling_ = false;
  TakeCurrent();
  UpdateSwap();
  Changed(true);
}

void TSeravoToolboxForm::AppChanged() {
  TakeCurrent();
  UpdateSwap();
  Changed(true);
}

void TSeravoToolboxForm::Changed(bool toTop) {
  reload_ = true;
  Redraw();
  if (toTop) visualizer_->ScrollToLine(0);
  emit SelectionChanged();
}

void TSeravoToolboxForm::Swap() {
  if (!current_) return;
  // The partner's conversation back, and in it the stream that answers this one (the one
  // rule every tool pairs streams by); its first stream when none answers.
  const PartnerLookup partner =
      FindPartnerStream(session_.tables, current_->sourceStation, current_->peer, current_->stream);
  if (partner.OneWay()) return;
  const StreamEntry* target = nullptr;
  for (const StreamEntry& e : entries_) {
    if (e.peer != partner.ReturnConversation) continue;
    if (!target) target = &e;
    if (e.stream == partner.Stream) {
      target = &e;
      break;
    }
  }
  if (!target) return;
  const StreamEntry next = *target;
  filling_ = true;
  const auto station = std::find(sourceStations_.begin(), sourceStations_.end(), next.sourceStation);
  sourceBox_->setCurrentIndex(int(station - sourceStations_.begin()));
  FillTargets(next.destination, {});
  FillApps(next.streamIndex);
  filling_ = false;
  TakeCurrent();
  UpdateSwap();
  Changed(true);
}

MeasurementSelection TSeravoToolboxForm::Selection() const {
  if (!current_) return {};
  return PrepareSelection(session_, *current_, from_->value(), to_->value());
}

void TSeravoToolboxForm::SetTickPosition(int position) {
  position = std::clamp(position, 0, 4);
  if (ticks_->value() != position) return ticks_->setValue(position);  // comes back here
  tickSpacingMs_ = kTickSpacings[size_t(position)];
  ticksLabel_->setText(TickText(tickSpacingMs_));
  Changed(true);
}

void TSeravoToolboxForm::SetLengthPosition(int position) {
  position = std::clamp(position, 1, 10);
  if (length_->value() != position) return length_->setValue(position);
  lengthPosition_ = uint16_t(position);
  Redraw();
}

void TSeravoToolboxForm::SetRange(int64_t from, int64_t to) {
  to_->setValue(int(to));
  from_->setValue(int(from));
}

void TSeravoToolboxForm::AttributesChanged() {
  visualizer_->AttributesChanged();
  Redraw();
}

void TSeravoToolboxForm::Redraw() {
  if (refill_) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  VisualiserDrawing drawing;
  VisualiserOptions options;
  options.Columns = {attributes_.ShowCumulativeBytesTogether, attributes_.ShowCumulativeBytesSeparate,
                     attributes_.ShowCumulativeTime, attributes_.ShowDeltaTime, attributes_.ShowPacketSize,
                     attributes_.ShowPacketNumber};
  options.TickSpacingMs = tickSpacingMs_;
  options.LengthPosition = lengthPosition_;
  options.Addresses.ipxLowerByOui = ipxByOui_->isChecked();
  if (current_) {
    const MeasurementSelection selection = Selection();
    const PacketDiagnosticsResult judged = DiagnosePackets(session_, selection, problems_);
    drawing = DrawVisualiser(session_, judged, options);
  } else {
    drawing.Columns = VisualiserColumnInfos(options.Columns);
  }
  const bool rebuild = reload_;
  if (rebuild) {
    diagnostics_->clear();
    for (const DiagnosticEntry& e : drawing.Entries) diagnostics_->addItem(Q(e.Text));
    diagnostics_->setCurrentIndex(diagnostics_->count() > 0 ? 0 : -1);
  }
  SetTroubleLight(!drawing.Entries.empty());
  visualizer_->SetDrawing(std::move(drawing), tickSpacingMs_, false);
  reload_ = false;
  QApplication::restoreOverrideCursor();
}

// The trouble light: the Diagnostics button turns red while the drawn packets hold findings,
// so a glance at the tool bar tells whether the summary has anything to say.
void TSeravoToolboxForm::SetTroubleLight(bool on) {
  troubleLight_ = on;
  QWidget* button = toolBar_->widgetForAction(problemsAction_);
  if (!button) return;
  button->setStyleSheet(on ? QStringLiteral("color: white; background: #c00000; font-weight: bold;") : QString());
  problemsAction_->setToolTip(on ? QStringLiteral("Diagnostics Summary (problems found)")
                                 : QStringLiteral("Diagnostics Summary"));
}

void TSeravoToolboxForm::SelectDiagnostic(int index) {
  const auto& entries = visualizer_->Drawing().Entries;
  if (index < 0 || size_t(index) >= entries.size()) return;
  if (diagnostics_->currentIndex() != index) diagnostics_->setCurrentIndex(index);
  visualizer_->ScrollToLine(entries[size_t(index)].Line);
}

void TSeravoToolboxForm::CopyVisualizer() {
  QApplication::clipboard()->setImage(visualizer_->CopyPicture());
}

void TSeravoToolboxForm::PrintVisualizer(QPrinter& printer) {
  QPainter painter;
  if (!painter.begin(&printer)) return;
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  // The diagram is laid out at the screen's resolution and scaled onto the page.
  const double scale = double(printer.resolution()) / double(std::max(1, logicalDpiY()));
  const QSize size(int(page.width() / scale), int(page.height() / scale));
  const int64_t pages = visualizer_->PageCount(size);
  for (int64_t n = 0; n < pages; ++n) {
    if (n > 0) printer.newPage();
    painter.save();
    painter.scale(scale, scale);
    visualizer_->PrintPage(painter, size, n);
    painter.restore();
  }
  painter.end();
}

}  // namespace korvane
