#include "ui/tools/WhatIfAnalysisForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace korvane {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
constexpr std::array<int, kWhatIfColumns> kColumnWidths = {67, 118, 98, 93, 63, 103};
}  // namespace

TWhatIfAnalysisForm::TWhatIfAnalysisForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("WhatIfAnalysisForm"));
  setWindowTitle(QStringLiteral("Load & Response Time Analysis for"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  title_ = new QLabel(this);
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  layout->addWidget(title_);

  auto* fields = new QGroupBox(this);
  auto* g = new QGridLayout(fields);
  auto spin = [&](Field f, const WhatIfRange& range) {
    auto* s = new QSpinBox(fields);
    s->setRange(range.Min, range.Max);
    s->setAlignment(Qt::AlignRight);
    s->setMinimumWidth(80);
    spins_[size_t(f)] = s;
    connect(s, &QSpinBox::valueChanged, this, [this, f](int v) { FieldChanged(f, v); });
    return s;
  };
  auto row = [&](int r, int c, const QString& label, Field f, const WhatIfRange& range, const QString& hint = {}) {
    auto* l = new QLabel(label, fields);
    g->addWidget(l, r, c);
    QSpinBox* s = spin(f, range);
    s->setToolTip(hint);
    g->addWidget(s, r, c + 1);
  };
  row(0, 0, QStringLiteral("Ave Send Packet Size"), AveSend, kWhatIfEthernetSizes);
  row(1, 0, QStringLiteral("Ave Receive Packet Size"), AveRcv, kWhatIfEthernetSizes);
  row(2, 0, QStringLiteral("Latency (ms)"), Latency, kWhatIfTimes);
  row(3, 0, QStringLiteral("Contention (ms)"), Contention, kWhatIfTimes);
  auto* ratio = new QHBoxLayout;
  ratio->addWidget(new QLabel(QStringLiteral("Packet Send"), fields));
  ratio->addWidget(spin(SendRatio, kWhatIfRatios));
  ratio->addWidget(new QLabel(QStringLiteral("to"), fields));
  ratio->addWidget(spin(RcvRatio, kWhatIfRatios));
  ratio->addWidget(new QLabel(QStringLiteral("Receive Ratio"), fields));
  g->addLayout(ratio, 0, 2, 1, 2);
  row(1, 2, QStringLiteral("Simultaneous Users"), Users, kWhatIfUsers);
  row(2, 2, QStringLiteral("Packets Per Transaction"), PktsTrans, kWhatIfPacketsPerTransaction);
  row(3, 2, QStringLiteral("Client Processing (ms)"), Client, kWhatIfTimes,
      QStringLiteral("Addtional Client Processing Time"));
  row(4, 2, QStringLiteral("Host Processing (ms)"), Host, kWhatIfTimes, QStringLiteral("Additional Host Processing Time"));
  fullDuplex_ = new QCheckBox(QStringLiteral("Full Duplex"), fields);
  fullDuplex_->setChecked(true);
  g->addWidget(fullDuplex_, 4, 0);
  restore_ = new QPushButton(QStringLiteral("&Restore Original Values"), fields);
  g->addWidget(restore_, 4, 1);
  copy_ = new QToolButton(fields);
  copy_->setText(QStringLiteral("Copy"));
  copy_->setToolTip(QStringLiteral("Copy selected portion of table to clipboard"));
  g->addWidget(copy_, 5, 0);
  layout->addWidget(fields);

  grid_ = new QTableWidget(this);
  grid_->setColumnCount(kWhatIfColumns);
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setDefaultSectionSize(16);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  QStringList headings;
  for (std::string_view h : WhatIfHeadings()) headings << Q(h);
  grid_->setHorizontalHeaderLabels(headings);
  grid_->horizontalHeader()->setStyleSheet(
      QStringLiteral("QHeaderView::section { background-color: #008080; color: white; padding: 2px; }"));
  int width = 0;
  for (int c = 0; c < kWhatIfColumns; ++c) {
    grid_->setColumnWidth(c, kColumnWidths[size_t(c)] + 10);
    width += kColumnWidths[size_t(c)] + 10;
  }
  QPalette p = grid_->palette();
  p.setColor(QPalette::Highlight, QColor(0, 0, 0x80));
  p.setColor(QPalette::HighlightedText, Qt::white);
  grid_->setPalette(p);
  grid_->horizontalHeader()->setStretchLastSection(true);
  grid_->setMinimumWidth(width + 24);
  layout->addWidget(grid_, 1);

  connect(fullDuplex_, &QCheckBox::toggled, this, [this](bool on) {
    inputs_.FullDuplex = on;
    Fill();
  });
  connect(restore_, &QPushButton::clicked, this, [this] { RestoreOriginal(); });
  connect(copy_, &QToolButton::clicked, this, [this] { CopySelection(); });
  resize(width + 60, 720);
  Fill();
}

void TWhatIfAnalysisForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit Closed();
}

void TWhatIfAnalysisForm::LoadStart(const WhatIfStartValues& start, bool lowerHalf, const std::string& source,
                                    const std::string& destination, const std::string& app, uint8_t topologyCode) {
  start_ = start;
  lower_ = lowerHalf;
  source_ = source;
  destination_ = destination;
  app_ = app;
  topology_ = topologyCode;
  RestoreOriginal();
}

void TWhatIfAnalysisForm::RestoreOriginal() {
  loading_ = true;
  const WhatIfRange sizes = WhatIfSizeRange(topology_);
  spins_[AveSend]->setRange(sizes.Min, sizes.Max);
  spins_[AveRcv]->setRange(sizes.Min, sizes.Max);
  setWindowTitle(Q(WhatIfCaption(app_)));
  title_->setText(Q(WhatIfTitle(source_, destination_, lower_)));
  QPalette p = title_->palette();
  p.setColor(QPalette::WindowText, lower_ ? QColor(0, 0x80, 0x80) : QColor(0, 0, 0xFF));
  title_->setPalette(p);
  const bool duplex = fullDuplex_->isChecked();
  inputs_ = LoadWhatIfInputs(start_, topology_);
  inputs_.FullDuplex = duplex;
  ShowInputs();
  loading_ = false;
  Fill();
}

void TWhatIfAnalysisForm::ShowInputs() {
  const bool was = loading_;
  loading_ = true;
  const std::array<int, FieldCount> values = {inputs_.AveSend,   inputs_.AveRcv,   inputs_.Latency, inputs_.Contention,
                                              inputs_.SendRatio, inputs_.RcvRatio, inputs_.Users,   inputs_.PktsTrans,
                                              inputs_.Client,    inputs_.Host};
  spins_[PktsTrans]->setMinimum(kWhatIfPacketsPerTransaction.Min);
  for (size_t i = 0; i < values.size(); ++i) spins_[i]->setValue(values[i]);
  spins_[PktsTrans]->setMinimum(std::max(kWhatIfPacketsPerTransaction.Min, inputs_.SendRatio + inputs_.RcvRatio));
  loading_ = was;
}

void TWhatIfAnalysisForm::FieldChanged(Field field, int value) {
  if (loading_) return;
  switch (field) {
    case AveSend: inputs_.AveSend = value; break;
    case AveRcv: inputs_.AveRcv = value; break;
    case Latency: inputs_.Latency = value; break;
    case Contention: inputs_.Contention = value; break;
    case SendRatio: ChangeSendRatio(inputs_, value); break;
    case RcvRatio: ChangeRcvRatio(inputs_, value); break;
    case Users: inputs_.Users = value; break;
    case PktsTrans: ChangePktsTrans(inputs_, value); break;
    case Client: inputs_.Client = value; break;
    case Host: inputs_.Host = value; break;
    case FieldCount: break;
  }
  ShowInputs();
  Fill();
}

void TWhatIfAnalysisForm::Fill() {
  if (loading_) return;
  WhatIfInputs inputs = inputs_;
  ClampWhatIfInputs(inputs, topology_);
  rows_ = BuildWhatIfTable(inputs);
  grid_->setRowCount(int(rows_.size()));
  QFont courier(QStringLiteral("Courier"));
  courier.setStyleHint(QFont::TypeWriter);
  courier.setPointSize(10);
  for (int r = 0; r < int(rows_.size()); ++r) {
    // Grid row r + 1 counts from the heading row: odd rows white, even rows aqua.
    const QColor back = (r + 1) % 2 == 1 ? QColor(Qt::white) : QColor(0, 0xFF, 0xFF);
    for (int c = 0; c < kWhatIfColumns; ++c) {
      auto* item = new QTableWidgetItem(Q(rows_[size_t(r)].cells[size_t(c)]).trimmed());
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      item->setFont(courier);
      item->setBackground(c == 0 ? QColor(0xF0, 0xF0, 0xF0) : back);
      item->setForeground(Qt::black);
      grid_->setItem(r, c, item);
    }
  }
}

QString TWhatIfAnalysisForm::CopySelection() {
  const QList<QTableWidgetSelectionRange> ranges = grid_->selectedRanges();
  WhatIfSelection s;
  if (ranges.isEmpty()) {
    s.top = 1;
    s.bottom = int(rows_.size());
  } else {
    const QTableWidgetSelectionRange& r = ranges.front();
    s = {r.leftColumn(), r.topRow() + 1, r.rightColumn(), r.bottomRow() + 1};
  }
  const QString text = Q(WhatIfCopyText(rows_, s));
  QApplication::clipboard()->setText(text);
  return text;
}

}  // namespace korvane
