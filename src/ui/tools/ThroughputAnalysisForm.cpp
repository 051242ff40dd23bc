#include "ui/tools/ThroughputAnalysisForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/tools/AnalysisHalf.h"

namespace korvane {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }

HalfCaptions ThroughputCaptions() {
  HalfCaptions c;
  c.figuresGroup = QStringLiteral("Throughput (in KBytes/Second)");
  c.figures = {QStringLiteral("Peak"), QStringLiteral("Lowest"), QStringLiteral("Average"),
               QStringLiteral("Ave Contention")};
  c.figureHints = {QStringLiteral("Maximum of Sampling over selected packet range"),
                   QStringLiteral("Minimum of Sampling over selected packet range"),
                   QStringLiteral("Average of Sampling over selected packet range"), QString()};
  c.packets = {QStringLiteral("Duration"), QStringLiteral("Total "), QStringLiteral("Bytes"),
               QStringLiteral("Average Size (bytes)"), QStringLiteral("Average Payload (bytes)"),
               QStringLiteral("Protocol Overhead")};
  c.packetHints = {QStringLiteral("Duration of packets transferred"), QStringLiteral("Packets used to measure throughput"),
                   QStringLiteral("Total bytes transferred"), QStringLiteral("Average packet size including CRC"),
                   QStringLiteral("Network layer datagram payload"),
                   QStringLiteral("Overhead through network layer header")};
  return c;
}
}  // namespace

TThroughputAnalysisForm::TThroughputAnalysisForm(const TraceSession& session, const VisualizerAttributes& attributes,
                                                 SelectionSource selection, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), attributes_(attributes), selection_(std::move(selection)) {
  setObjectName(QStringLiteral("ThroughputAnalysisForm"));
  setWindowTitle(QStringLiteral("Throughput Analysis"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  upper_ = new TAnalysisHalf(ThroughputCaptions(), this);
  lower_ = new TAnalysisHalf(ThroughputCaptions(), this);
  layout->addWidget(upper_);
  layout->addSpacing(6);
  layout->addWidget(lower_);

  auto* bottom = new QHBoxLayout;
  kbits_ = new QCheckBox(QStringLiteral("Show Kbits/Second"), this);
  kbits_->setToolTip(QStringLiteral("Show throughput in KBits/Second"));
  acks_ = new QCheckBox(QStringLiteral("Include ACK Pkts"), this);
  acks_->setChecked(true);
  window_ = new QSpinBox(this);
  window_->setObjectName(QStringLiteral("MinimumPacketsEdit"));
  window_->setRange(4, 100);
  window_->setValue(8);
  window_->setToolTip(QStringLiteral("\"Sliding window\" for calculating throughput"));
  recalc_ = new QPushButton(QStringLiteral("Recalc"), this);
  recalc_->setDefault(true);
  recalc_->setToolTip(QStringLiteral("Recalculate Throughput with new sampling value"));
  bottom->addWidget(kbits_);
  bottom->addSpacing(12);
  bottom->addWidget(acks_);
  bottom->addStretch(1);
  bottom->addWidget(new QLabel(QStringLiteral("Packet Sampling"), this));
  bottom->addWidget(window_);
  bottom->addWidget(recalc_);
  layout->addLayout(bottom);

  connect(kbits_, &QCheckBox::toggled, this, [this] { Recalculate(); });
  connect(acks_, &QCheckBox::toggled, this, [this] { Recalculate(); });
  connect(window_, &QSpinBox::valueChanged, this, [this] { Recalculate(); });
  connect(recalc_, &QPushButton::clicked, this, [this] { Recalculate(); });
  resize(820, 640);
}

void TThroughputAnalysisForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Recalculate();
  emit Shown();
}

void TThroughputAnalysisForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit Closed();
}

void TThroughputAnalysisForm::FillHalf(TAnalysisHalf& half, const ThroughputHalf& f, uint32_t colour) {
  half.Clear(QStringLiteral("Notes"));
  half.SetFiguresCaption(Q(report_.groupCaption));
  if (!f.shown) return;
  half.SetLabel(Q(f.label), colour);
  half.SetMemo(Q(f.memo));
  if (f.hasResults) {
    half.SetFigures({Q(f.peak), Q(f.lowest), Q(f.average), Q(f.contention)});
    half.SetChart(&f.chart);
    half.SetCopyText(Q(f.copyText));
  }
  half.SetPackets({Q(f.duration), Q(f.total), Q(f.bytes), Q(f.averageSize), Q(f.averagePayload), Q(f.overhead)});
}

void TThroughputAnalysisForm::Recalculate() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ThroughputOptions options;
  options.sampleWindow = uint16_t(window_->value());
  options.includeAckPackets = acks_->isChecked();
  options.kbits = kbits_->isChecked();
  report_ = BuildThroughputReport(session_, selection_(), options);
  setWindowTitle(Q(report_.caption));
  FillHalf(*upper_, report_.upper, attributes_.SendColour);
  FillHalf(*lower_, report_.lower, attributes_.ReceiveColour);
  QApplication::restoreOverrideCursor();
}

}  // namespace korvane
