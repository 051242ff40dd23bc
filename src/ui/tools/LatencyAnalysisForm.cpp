#include "ui/tools/LatencyAnalysisForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/tools/AnalysisHalf.h"

namespace korvane {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }

HalfCaptions LatencyCaptions() {
  HalfCaptions c;
  c.figuresGroup = QStringLiteral("Response Time/Latency (in milliseconds)");
  c.figures = {QStringLiteral("Best"), QStringLiteral("Worst"), QStringLiteral("Average "),
               QStringLiteral("Average Contention")};
  c.figureHints = {QStringLiteral("Minimum delay of any packet pair"), QStringLiteral("Maximum delay of any packet pair"),
                   QStringLiteral("Average of all pair"),
                   QStringLiteral("Difference between min & ave round trip delay")};
  c.packets = {QStringLiteral("Duration"), QStringLiteral("Total "), QStringLiteral("Send-to-Receive Ratio"),
               QStringLiteral("Average Send Size"), QStringLiteral("Average Receive Size"), QString()};
  c.packetHints = {QStringLiteral("Duration of conversation"), QStringLiteral("Packets used to measure latency"),
                   QString(), QString(), QString(), QString()};
  return c;
}

const QString kWhatIf = QStringLiteral("\"What If\"");
}  // namespace

TLatencyAnalysisForm::TLatencyAnalysisForm(const TraceSession& session, const VisualizerAttributes& attributes,
                                           SelectionSource selection, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), attributes_(attributes), selection_(std::move(selection)) {
  setObjectName(QStringLiteral("LatencyAnalysisForm"));
  setWindowTitle(QStringLiteral("Response Time/Latency Analysis"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  auto whatIfButton = [this] {
    auto* b = new QPushButton(kWhatIf + QStringLiteral(" Analysis"), this);
    b->setToolTip(QStringLiteral("Perform ") + kWhatIf + QStringLiteral(" load & response time analysis"));
    return b;
  };
  upper_ = new TAnalysisHalf(LatencyCaptions(), this);
  lower_ = new TAnalysisHalf(LatencyCaptions(), this);
  whatIf_ = whatIfButton();
  whatIf2_ = whatIfButton();
  upper_->AddButton(whatIf_);
  lower_->AddButton(whatIf2_);
  layout->addWidget(upper_);
  layout->addSpacing(6);
  layout->addWidget(lower_);

  auto* bottom = new QHBoxLayout;
  auto* group = new QGroupBox(QStringLiteral("Measure Latency Using"), this);
  auto* gl = new QHBoxLayout(group);
  how_ = new QButtonGroup(this);
  const QStringList items = {QStringLiteral("All Command/Response Packets"),
                             QStringLiteral("Only Command/Small Response Packets"),
                             QStringLiteral("Only Command/Large Response Packets")};
  for (int i = 0; i < items.size(); ++i) {
    auto* r = new QRadioButton(items[i], group);
    how_->addButton(r, i);
    gl->addWidget(r);
  }
  how_->button(0)->setChecked(true);
  bottom->addWidget(group, 1);
  localMedia_ = new QCheckBox(QStringLiteral("Include Local Media Transmission Time"), this);
  localMedia_->setToolTip(QStringLiteral("Add in transmission time on local media"));
  localMedia_->setChecked(true);
  bottom->addWidget(localMedia_);
  layout->addLayout(bottom);

  connect(how_, &QButtonGroup::idClicked, this, [this] { Recalculate(); });
  connect(localMedia_, &QCheckBox::toggled, this, [this] { Recalculate(); });
  connect(whatIf_, &QPushButton::clicked, this, [this] { emit WhatIfRequested(report_.upper.kept, false); });
  connect(whatIf2_, &QPushButton::clicked, this, [this] { emit WhatIfRequested(report_.lower.kept, true); });
  resize(820, 640);
}

void TLatencyAnalysisForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Recalculate();
  emit Shown();
}

void TLatencyAnalysisForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit Closed();
}

void TLatencyAnalysisForm::FillHalf(TAnalysisHalf& half, const LatencyHalf& f, uint32_t colour) {
  half.Clear(QString());
  if (!f.shown) return;
  half.SetLabel(Q(f.label), colour);
  half.SetMemo(Q(f.memo));
  if (f.hasResults) {
    half.SetFigures({Q(f.best), Q(f.worst), Q(f.average), Q(f.contention)});
    half.SetChart(&f.chart);
    half.SetCopyText(Q(f.copyText));
  }
  half.SetPackets({Q(f.duration), Q(f.total), Q(f.ratio), Q(f.averageSendSize), Q(f.averageReceiveSize), QString()});
}

void TLatencyAnalysisForm::Recalculate() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  LatencyOptions options;
  options.responses = ResponseFilter(std::max(0, how_->checkedId()));
  options.includeLocalMediaTime = localMedia_->isChecked();
  report_ = BuildLatencyReport(session_, selection_(), options);
  setWindowTitle(Q(report_.caption));
  FillHalf(*upper_, report_.upper, attributes_.SendColour);
  FillHalf(*lower_, report_.lower, attributes_.ReceiveColour);
  whatIf_->setEnabled(report_.upper.hasResults);
  whatIf2_->setEnabled(report_.lower.hasResults);
  QApplication::restoreOverrideCursor();
}

}  // namespace korvane
