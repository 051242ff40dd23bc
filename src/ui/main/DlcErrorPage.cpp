#include "ui/main/DlcErrorPage.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "analysis/TraceSession.h"
#include "input/TraceTypes.h"
#include "ui/main/RingMapView.h"

namespace korvane {

namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
QString Text(const std::string& text) { return QString::fromStdString(text); }

QLineEdit* Field(QWidget* parent, int width, Qt::Alignment alignment = Qt::AlignRight) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(true);
  field->setFocusPolicy(Qt::NoFocus);
  field->setAlignment(alignment | Qt::AlignVCenter);
  if (width > 0) field->setFixedWidth(width);
  return field;
}

QLabel* Caption(std::string_view text, std::string_view hint, QWidget* parent) {
  auto* label = new QLabel(Text(text), parent);
  if (!hint.empty()) label->setToolTip(Text(hint));
  return label;
}

// A column heading.
QLabel* Heading(std::string_view text, std::string_view hint, QWidget* parent) {
  QLabel* heading = Caption(text, hint, parent);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  return heading;
}

QPlainTextEdit* NotesBox(QWidget* parent) {
  auto* notes = new QPlainTextEdit(parent);
  notes->setReadOnly(true);
  notes->setObjectName("NotesMemo");
  return notes;
}

void ShowLines(QPlainTextEdit& box, const std::vector<std::string>& lines) {
  QStringList text;
  for (const std::string& line : lines) text << Text(line);
  box.setPlainText(text.join('\n'));
}

// Two exclusive choices in a titled box, the first checked.
QGroupBox* ChoiceBox(const QString& title, QRadioButton*& first, const QString& firstText, QRadioButton*& second,
                     const QString& secondText, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(box);
  first = new QRadioButton(firstText, box);
  second = new QRadioButton(secondText, box);
  layout->addWidget(first);
  layout->addWidget(second);
  auto* group = new QButtonGroup(box);
  group->addButton(first);
  group->addButton(second);
  first->setChecked(true);
  return box;
}

constexpr int kCountWidth = 90;
constexpr int kSoftErrorLabelWidth = 120;

}  // namespace

TDlcErrorPage::TDlcErrorPage(QWidget* parent) : TracePage(parent) {
  setObjectName("DlcErrorPage");
  showByOui_ = new QCheckBox("Show Station by OUI", this);
  showByOui_->setChecked(true);
  copyButton_ = new QPushButton("Copy", this);
  copyButton_->setToolTip("Copy data to clipboard");
  auto* top = new QHBoxLayout();
  top->addWidget(showByOui_);
  top->addStretch();
  top->addWidget(copyButton_);

  panels_ = new QStackedWidget(this);
  emptyPanel_ = new QWidget(panels_);
  {
    // The panels' fixed texts (labels, hints, boxes) come with the summaries of no trace.
    const TraceSession none;
    ethernetPanel_ = BuildEthernetPanel(BuildEthernetErrors(none));
    tokenRingPanel_ = BuildTokenRingPanel(BuildTokenRingErrors(none));
  }
  panels_->addWidget(emptyPanel_);
  panels_->addWidget(ethernetPanel_);
  panels_->addWidget(tokenRingPanel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(panels_, 1);

  connect(showByOui_, &QCheckBox::toggled, this, &TDlcErrorPage::Rebuild);
  connect(copyButton_, &QPushButton::clicked, this, &TDlcErrorPage::Copy);
  connect(tokenRingTabs_, &QTabWidget::currentChanged, this, &TDlcErrorPage::UpdateCopyButton);
  ClearTrace();
}

QWidget* TDlcErrorPage::BuildEthernetPanel(const EthernetErrors& blank) {
  auto* panel = new QWidget(this);
  panel->setObjectName("EthernetPanel");

  auto* summary = new QGroupBox(Text(kFrameErrorSummaryCaption), panel);
  auto* summaryLayout = new QGridLayout(summary);
  for (size_t i = 0; i < frameErrorFields_.size(); ++i) {
    const FrameErrorItem& item = blank.frameErrors[i];
    frameErrorFields_[i] = Field(summary, kCountWidth);
    frameErrorFields_[i]->setToolTip(Text(item.hint));
    summaryLayout->addWidget(Caption(item.label, item.hint, summary), int(i), 0);
    summaryLayout->addWidget(frameErrorFields_[i], int(i), 1);
  }
  summaryLayout->setRowStretch(int(frameErrorFields_.size()), 1);

  auto* collisions = new QGroupBox(Text(kCollisionAnalysisCaption), panel);
  auto* grid = new QGridLayout(collisions);
  for (size_t c = 0; c < CollisionHeadings().size(); ++c) {
    grid->addWidget(Heading(CollisionHeadings()[c], {}, collisions), 0, int(c), c == 0 ? Qt::AlignLeft : Qt::AlignCenter);
  }
  for (size_t r = 0; r < collisionRows_.size(); ++r) {
    CollisionControls& row = collisionRows_[r];
    row.source = Field(collisions, 0, Qt::AlignLeft);
    row.source->setMinimumWidth(170);
    row.transmits = Field(collisions, kCountWidth);
    row.retransmits = Field(collisions, kCountWidth);
    row.gauge = new QProgressBar(collisions);
    row.gauge->setRange(0, 100);
    row.gauge->setFormat("%p%");
    row.gauge->setAlignment(Qt::AlignCenter);
    row.gauge->setMinimumWidth(140);
    grid->addWidget(row.source, int(r) + 1, 0);
    grid->addWidget(row.transmits, int(r) + 1, 1);
    grid->addWidget(row.retransmits, int(r) + 1, 2);
    grid->addWidget(row.gauge, int(r) + 1, 3);
  }
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(3, 1);

  ethernetNotes_ = NotesBox(panel);
  auto* layout = new QGridLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(summary, 0, 0);
  layout->addWidget(collisions, 0, 1);
  layout->addWidget(ethernetNotes_, 1, 0, 1, 2);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(1, 1);
  return panel;
}

QWidget* TDlcErrorPage::BuildTokenRingPanel(const TokenRingErrors& blank) {
  auto* panel = new QWidget(this);
  panel->setObjectName("TokenRingPanel");
  tokenRingTabs_ = new QTabWidget(panel);
  tokenRingTabs_->addTab(BuildRingMapTab(), "Ring Map Diagnostic");
  tokenRingTabs_->addTab(BuildSoftErrorTab(blank), "Soft Error Summary");
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tokenRingTabs_);
  return panel;
}

QWidget* TDlcErrorPage::BuildRingMapTab() {
  auto* tab = new QWidget(this);
  ringMap_ = new RingMapView(tab);
  auto* below = new QLabel(Text(RingMapPanelText()), tab);
  below->setAlignment(Qt::AlignCenter);

  QGroupBox* idBy = ChoiceBox("ID Station by", ringPollButton_, "Ring Poll", stationErrorsButton_, "Station Errors",
                              tab);
  QGroupBox* faultDomain = ChoiceBox(Text(SoftErrorBoxes()[0].caption), burstButton_, Text(FaultDomainChoices()[0]),
                                     lineButton_, Text(FaultDomainChoices()[1]), tab);
  faultDomain->setToolTip(Text(SoftErrorBoxes()[0].hint));
  copyGraphicButton_ = new QToolButton(tab);
  copyGraphicButton_->setText("Copy");
  copyGraphicButton_->setToolTip("Copy graphic to clipboard");

  auto* side = new QVBoxLayout();
  side->addWidget(idBy);
  side->addWidget(faultDomain);
  side->addStretch();
  side->addWidget(copyGraphicButton_, 0, Qt::AlignRight);
  auto* mapColumn = new QVBoxLayout();
  mapColumn->addWidget(ringMap_, 1);
  mapColumn->addWidget(below);
  auto* layout = new QHBoxLayout(tab);
  layout->addLayout(mapColumn, 1);
  layout->addLayout(side);

  connect(stationErrorsButton_, &QRadioButton::toggled, this, [this](bool on) {
    ringMap_->SetIdStationBy(on ? RingMapView::IdStationBy::StationErrors : RingMapView::IdStationBy::RingPoll);
  });
  connect(lineButton_, &QRadioButton::toggled, this, [this](bool on) {
    ringMap_->SetFaultDomain(on ? RingMapView::FaultDomainKind::Line : RingMapView::FaultDomainKind::Burst);
  });
  connect(copyGraphicButton_, &QToolButton::clicked, this,
          [this] { QApplication::clipboard()->setImage(ringMap_->Picture()); });
  return tab;
}

QWidget* TDlcErrorPage::BuildSoftErrorTab(const TokenRingErrors& blank) {
  auto* tab = new QWidget(this);
  auto* layout = new QVBoxLayout(tab);
  const auto& rows = blank.rows;
  bool first = true;
  for (const SoftErrorBoxText& boxText : SoftErrorBoxes()) {
    auto* box = new QGroupBox(Text(boxText.caption), tab);
    box->setToolTip(Text(boxText.hint));
    auto* grid = new QGridLayout(box);
    grid->setColumnMinimumWidth(0, kSoftErrorLabelWidth);
    grid->setColumnStretch(3, 1);
    int line = 0;
    if (first) {
      // The column headings, once, above the first box's rows.
      for (size_t c = 0; c < SoftErrorColumnHints().size(); ++c) {
        const LabelHint& column = SoftErrorColumnHints()[c];
        grid->addWidget(Heading(column.label, column.hint, box), line, int(c) + 1,
                        c < 2 ? Qt::AlignCenter : Qt::AlignLeft);
      }
      ++line;
      first = false;
    }
    for (size_t r = 0; r < rows.size(); ++r) {
      if (rows[r].box != boxText.box) continue;
      SoftErrorControls& controls = softErrorRows_[r];
      controls.label = Caption(rows[r].label, rows[r].hint, box);
      controls.total = Field(box, kCountWidth);
      controls.stations = Field(box, kCountWidth);
      controls.entries = new QComboBox(box);
      controls.entries->setMinimumWidth(260);
      controls.entries->setToolTip(Text(SoftErrorColumnHints()[2].hint));
      grid->addWidget(controls.label, line, 0);
      grid->addWidget(controls.total, line, 1);
      grid->addWidget(controls.stations, line, 2);
      grid->addWidget(controls.entries, line, 3);
      ++line;
    }
    layout->addWidget(box);
  }
  auto* notesBox = new QGroupBox("Notes", tab);
  auto* notesLayout = new QVBoxLayout(notesBox);
  tokenRingNotes_ = NotesBox(notesBox);
  notesLayout->addWidget(tokenRingNotes_);
  layout->addWidget(notesBox, 1);
  return tab;
}

void TDlcErrorPage::ShowTrace(const TraceSession& session) {
  session_ = &session;
  Rebuild();
}

void TDlcErrorPage::ClearTrace() {
  session_ = nullptr;
  Rebuild();
}

void TDlcErrorPage::Rebuild() {
  ethernet_.reset();
  tokenRing_.reset();
  if (!session_) {
    panels_->setCurrentWidget(emptyPanel_);
    ringMap_->SetRing({});
    UpdateCopyButton();
    return;
  }
  DlcErrorOptions options;
  options.showStationByOui = showByOui_->isChecked();
  if (session_->info.TopologyCode == topology::TokenRing) {
    tokenRing_ = BuildTokenRingErrors(*session_, options);
    FillTokenRing(*tokenRing_);
    panels_->setCurrentWidget(tokenRingPanel_);
  } else {
    ethernet_ = BuildEthernetErrors(*session_, options);
    FillEthernet(*ethernet_);
    panels_->setCurrentWidget(ethernetPanel_);
  }
  UpdateCopyButton();
}

void TDlcErrorPage::FillEthernet(const EthernetErrors& errors) {
  for (size_t i = 0; i < frameErrorFields_.size(); ++i) {
    frameErrorFields_[i]->setText(Text(errors.frameErrors[i].count));
  }
  for (size_t r = 0; r < collisionRows_.size(); ++r) {
    const CollisionRow& row = errors.collisions[r];
    const CollisionControls& controls = collisionRows_[r];
    controls.source->setText(Text(row.source));
    controls.transmits->setText(Text(row.transmitsText));
    controls.retransmits->setText(Text(row.retransmitsText));
    controls.gauge->setValue(std::clamp(row.percent, 0, 100));
    controls.gauge->setTextVisible(row.filled);
  }
  ShowLines(*ethernetNotes_, errors.notes);
}

void TDlcErrorPage::FillTokenRing(const TokenRingErrors& errors) {
  for (size_t r = 0; r < errors.rows.size(); ++r) {
    const SoftErrorRow& row = errors.rows[r];
    const SoftErrorControls& controls = softErrorRows_[r];
    controls.total->setText(Text(row.total));
    controls.stations->setText(QString::number(row.stations));
    controls.entries->clear();
    for (const std::string& entry : row.entries) controls.entries->addItem(Text(entry));
    controls.entries->setEnabled(!row.entries.empty());
  }
  ShowLines(*tokenRingNotes_, errors.notes);
  ringMap_->SetRing(errors.ring);
}

void TDlcErrorPage::UpdateCopyButton() {
  copyButton_->setEnabled(session_ != nullptr);
  copyButton_->setVisible(!ShowsTokenRing() || tokenRingTabs_->currentIndex() == 1);
}

bool TDlcErrorPage::ShowsEthernet() const { return ethernet_.has_value(); }
bool TDlcErrorPage::ShowsTokenRing() const { return tokenRing_.has_value(); }

QString TDlcErrorPage::CopyText() const {
  if (ethernet_) return Text(EthernetErrorsCopyText(*ethernet_));
  if (tokenRing_) return Text(SoftErrorSummaryCopyText(*tokenRing_));
  return {};
}

void TDlcErrorPage::Copy() {
  if (session_) QApplication::clipboard()->setText(CopyText());
}

QList<int> TDlcErrorPage::Tips() const {
  if (ShowsTokenRing()) return {32};
  return {13, 32};
}

}  // namespace korvane
