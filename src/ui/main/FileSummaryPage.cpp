#include "ui/main/FileSummaryPage.h"

#include <QButtonGroup>
#include <algorithm>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/controls/ValueBox.h"

namespace korvane {

namespace {
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QLabel* Heading(std::string_view text, QWidget* parent, Qt::Alignment alignment = Qt::AlignCenter) {
  auto* label = new QLabel(Q(text), parent);
  label->setAlignment(alignment | Qt::AlignBottom);
  return label;
}

void SetGauge(QProgressBar* gauge, int percent) { gauge->setValue(std::clamp(percent, 0, 100)); }
}  // namespace

TFileSummaryPage::TFileSummaryPage(QWidget* parent) : TracePage(parent) {
  setObjectName(QStringLiteral("FileSummaryPage"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(BuildUtilisationBox(), 0, 0);
  grid->addWidget(BuildAttributesBox(), 0, 1);
  grid->addWidget(BuildStatisticsBox(), 1, 0);
  grid->addWidget(BuildEncapsulationBox(), 1, 1);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  grid->setRowStretch(2, 1);
  ClearTrace();
}

QGroupBox* TFileSummaryPage::BuildUtilisationBox() {
  namespace h = summary_heading;
  utilisationBox_ = new QGroupBox(this);
  auto* grid = new QGridLayout(utilisationBox_);
  allFrames_ = new QRadioButton(QStringLiteral("All Frames"), utilisationBox_);
  broadcastOnly_ = new QRadioButton(QStringLiteral("Broadcast Only"), utilisationBox_);
  allFrames_->setChecked(true);
  auto* choice = new QButtonGroup(utilisationBox_);
  choice->addButton(allFrames_);
  choice->addButton(broadcastOnly_);
  auto* choiceRow = new QHBoxLayout;
  choiceRow->addWidget(allFrames_);
  choiceRow->addWidget(broadcastOnly_);
  choiceRow->addStretch(1);
  grid->addLayout(choiceRow, 0, 0, 1, 3);
  grid->addWidget(Heading(h::Average, utilisationBox_), 1, 1);
  grid->addWidget(Heading(h::Peak, utilisationBox_), 1, 2);
  auto row = [&](int r, std::string_view label, QLabel*& average, QLabel*& peak, const char* name) {
    grid->addWidget(new QLabel(Q(label), utilisationBox_), r, 0);
    average = MakeValueBox(utilisationBox_);
    peak = MakeValueBox(utilisationBox_);
    average->setObjectName(QStringLiteral("Average") + QLatin1String(name));
    peak->setObjectName(QStringLiteral("Peak") + QLatin1String(name));
    grid->addWidget(average, r, 1);
    grid->addWidget(peak, r, 2);
  };
  row(2, h::Bandwidth, averageBandwidth_, peakBandwidth_, "Bandwidth");
  row(3, h::BytesPerSecond, averageBytes_, peakBytes_, "BytesPerSecond");
  row(4, h::FramesPerSecond, averageFrames_, peakFrames_, "FramesPerSecond");
  // Shown only when utilisation exceeds 100%: the line is faster than the speed chosen.
  utilisationNote_ = new QLabel(utilisationBox_);
  utilisationNote_->setObjectName(QStringLiteral("UtilisationNote"));
  utilisationNote_->setWordWrap(true);
  // The note wraps to the box's width instead of widening the box.
  utilisationNote_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
  QPalette notePalette = utilisationNote_->palette();
  notePalette.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
  utilisationNote_->setPalette(notePalette);
  utilisationNote_->setVisible(false);
  grid->addWidget(utilisationNote_, 5, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  connect(choice, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool checked) {
    if (!checked) return;
    options_.broadcastOnly = broadcastOnly_->isChecked();
    Rebuild();
  });
  return utilisationBox_;
}

QGroupBox* TFileSummaryPage::BuildAttributesBox() {
  auto* box = new QGroupBox(Q(summary_heading::FileAttributes), this);
  auto* grid = new QGridLayout(box);
  for (size_t i = 0; i < attributes_.size(); ++i) {
    auto* label = attributeLabels_[i] = new QLabel(box);
    attributes_[i] = MakeValueBox(box, Qt::AlignLeft | Qt::AlignVCenter);
    attributes_[i]->setObjectName(QStringLiteral("Attribute%1").arg(i));
    grid->addWidget(label, int(i), 0);
    grid->addWidget(attributes_[i], int(i), 1);
  }
  // The comment may run long: it wraps inside its box.
  attributes_.back()->setWordWrap(true);
  attributes_.back()->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  grid->setColumnStretch(1, 1);
  return box;
}

QGroupBox* TFileSummaryPage::BuildStatisticsBox() {
  namespace h = summary_heading;
  auto* box = new QGroupBox(Q(h::FrameStatistics), this);
  auto* grid = new QGridLayout(box);
  grid->addWidget(Heading(h::Frames, box), 0, 1);
  grid->addWidget(Heading(h::Bytes, box), 0, 3);
  grid->addWidget(Heading(h::AverageSize, box), 0, 5);
  grid->addWidget(Heading(h::Largest, box), 0, 6);
  for (size_t i = 0; i < statistics_.size(); ++i) {
    const int r = int(i) + 1;
    StatisticsRow& row = statistics_[i];
    row.label = new QLabel(box);
    row.frames = MakeValueBox(box);
    row.bytes = MakeValueBox(box);
    row.framesGauge = MakeGauge(box);
    row.bytesGauge = MakeGauge(box);
    row.averageSize = MakeValueBox(box);
    row.largest = MakeValueBox(box);
    row.frames->setObjectName(QStringLiteral("Frames%1").arg(i));
    row.bytes->setObjectName(QStringLiteral("Bytes%1").arg(i));
    row.framesGauge->setObjectName(QStringLiteral("FramesGauge%1").arg(i));
    row.bytesGauge->setObjectName(QStringLiteral("BytesGauge%1").arg(i));
    row.averageSize->setObjectName(QStringLiteral("AverageSize%1").arg(i));
    row.largest->setObjectName(QStringLiteral("Largest%1").arg(i));
    grid->addWidget(row.label, r, 0);
    grid->addWidget(row.frames, r, 1);
    grid->addWidget(row.framesGauge, r, 2);
    grid->addWidget(row.bytes, r, 3);
    grid->addWidget(row.bytesGauge, r, 4);
    grid->addWidget(row.averageSize, r, 5);
    grid->addWidget(row.largest, r, 6);
  }
  // The total row has counts only.
  StatisticsRow& total = statistics_.back();
  for (QWidget* w : {static_cast<QWidget*>(total.framesGauge), static_cast<QWidget*>(total.bytesGauge),
                     static_cast<QWidget*>(total.averageSize), static_cast<QWidget*>(total.largest)}) {
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
    w->hide();
  }
  for (int c : {1, 3, 5, 6}) grid->setColumnStretch(c, 1);
  return box;
}

QGroupBox* TFileSummaryPage::BuildEncapsulationBox() {
  auto* box = new QGroupBox(Q(summary_heading::Encapsulations), this);
  auto* grid = new QGridLayout(box);
  for (size_t i = 0; i < encapsulations_.size(); ++i) {
    EncapsulationRowWidgets& row = encapsulations_[i];
    row.label = new QLabel(box);
    row.count = MakeValueBox(box);
    row.gauge = MakeGauge(box);
    row.label->setObjectName(QStringLiteral("EncapsulationLabel%1").arg(i));
    row.count->setObjectName(QStringLiteral("Encapsulation%1").arg(i));
    row.gauge->setObjectName(QStringLiteral("EncapsulationGauge%1").arg(i));
    QSizePolicy policy = row.gauge->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    row.gauge->setSizePolicy(policy);
    grid->addWidget(row.label, int(i), 0);
    grid->addWidget(row.count, int(i), 1);
    grid->addWidget(row.gauge, int(i), 2);
  }
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(2, 1);
  return box;
}

void TFileSummaryPage::ShowTrace(const TraceSession& session) {
  session_ = &session;
  Rebuild();
}

void TFileSummaryPage::ClearTrace() {
  session_ = nullptr;
  summary_ = FileSummary();
  utilisationBox_->setTitle(QString());
  utilisationNote_->clear();
  utilisationNote_->setVisible(false);
  for (QLabel* box : {averageBandwidth_, peakBandwidth_, averageBytes_, peakBytes_, averageFrames_, peakFrames_})
    box->clear();
  for (QLabel* box : attributes_) box->clear();
  for (StatisticsRow& row : statistics_) {
    for (QLabel* box : {row.frames, row.bytes, row.averageSize, row.largest}) box->clear();
    row.framesGauge->setValue(0);
    row.bytesGauge->setValue(0);
  }
  for (EncapsulationRowWidgets& row : encapsulations_) {
    row.count->clear();
    row.gauge->setValue(0);
  }
}

void TFileSummaryPage::SetLineSpeed(int32_t lineSpeedMbps, int32_t duplexFactor) {
  options_.lineSpeedMbps = lineSpeedMbps;
  options_.duplexFactor = duplexFactor;
  Rebuild();
}

void TFileSummaryPage::Rebuild() {
  if (!session_) return;
  summary_ = BuildFileSummary(*session_, options_);
  ShowSummary();
}

void TFileSummaryPage::ShowSummary() {
  const FileSummary& s = summary_;
  utilisationBox_->setTitle(Q(s.utilisationCaption));
  averageBandwidth_->setText(Q(s.averageBandwidth));
  peakBandwidth_->setText(Q(s.peakBandwidth));
  averageBytes_->setText(Q(s.averageBytesPerSecond));
  peakBytes_->setText(Q(s.peakBytesPerSecond));
  averageFrames_->setText(Q(s.averageFramesPerSecond));
  peakFrames_->setText(Q(s.peakFramesPerSecond));
  utilisationNote_->setText(Q(s.utilisationNote));
  utilisationNote_->setVisible(!s.utilisationNote.empty());

  for (size_t i = 0; i < attributes_.size() && i < s.attributes.size(); ++i) {
    attributeLabels_[i]->setText(Q(s.attributes[i].first));
    attributes_[i]->setText(Q(s.attributes[i].second));
  }
  for (size_t i = 0; i < statistics_.size(); ++i) {
    const FrameStatisticsRow& r = s.frameStatistics[i];
    StatisticsRow& row = statistics_[i];
    row.label->setText(Q(r.label));
    row.frames->setText(Q(r.frames));
    row.bytes->setText(Q(r.bytes));
    row.averageSize->setText(Q(r.averageSize));
    row.largest->setText(Q(r.largest));
    SetGauge(row.framesGauge, r.framesPercent);
    SetGauge(row.bytesGauge, r.bytesPercent);
  }
  for (size_t i = 0; i < encapsulations_.size(); ++i) {
    const EncapsulationRow& r = s.encapsulations[i];
    EncapsulationRowWidgets& row = encapsulations_[i];
    row.label->setText(Q(r.label));
    row.label->setToolTip(Q(r.hint));
    row.label->setVisible(!r.label.empty());
    row.count->setText(Q(r.count));
    row.count->setToolTip(Q(r.hint));
    SetGauge(row.gauge, r.percent);
    row.gauge->setVisible(r.gaugeVisible);
  }
}

std::array<QString, 3> TFileSummaryPage::StatusPanels() const {
  std::array<QString, 3> panels;
  if (session_)
    for (size_t i = 0; i < panels.size(); ++i) panels[i] = Q(summary_.statusPanels[i]);
  return panels;
}

}  // namespace korvane
