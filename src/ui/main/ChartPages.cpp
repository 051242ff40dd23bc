#include "ui/main/ChartPages.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "analysis/TraceSession.h"
#include "reports/ChartSeries.h"
#include "ui/controls/ChartAdapter.h"
#include "ui/main/ChartPropertiesDialog.h"

namespace korvane {

namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

TChartPage::TChartPage(ChartProperties& properties, QWidget* parent) : TracePage(parent), properties_(properties) {
  chart_ = new ChartAdapter(this);
  copyButton_ = new QToolButton(this);
  copyButton_->setText("Copy");
  copyButton_->setToolTip("Copy graphic to clipboard");
  copyButton_->setEnabled(false);
  controls_ = new QHBoxLayout();
  controls_->addStretch();
  controls_->addWidget(copyButton_, 0, Qt::AlignBottom);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(controls_);
  layout->addWidget(chart_, 1);

  popup_ = new QMenu(this);
  popup_->addAction("Chart &Properties...", this, qOverload<>(&TChartPage::EditProperties));
  connect(chart_, &ChartAdapter::ContextMenuRequested, this, [this](const QPoint& at) { popup_->popup(at); });
  connect(copyButton_, &QToolButton::clicked, this, &TChartPage::Copy);
  chart_->Apply(properties_);
  chart_->hide();
}

void TChartPage::ClearTrace() {
  chart_->SetSeries(chart_->Title(), {});
  chart_->hide();
  copyButton_->setEnabled(false);
}

void TChartPage::Copy() {
  if (copyButton_->isEnabled()) chart_->CopyPicture();
}

void TChartPage::ShowSeries(const QString& title, std::vector<ChartPoint> points) {
  chart_->SetSeries(title, std::move(points));
  chart_->show();
  copyButton_->setEnabled(true);
}

TChartPropertiesForm& TChartPage::PropertiesForm() {
  if (!form_) form_ = new TChartPropertiesForm(properties_, this);
  return *form_;
}

void TChartPage::ApplyProperties() { chart_->Apply(properties_); }

void TChartPage::EditProperties() {
  EditProperties([](TChartPropertiesForm& form) { return form.exec(); });
}

void TChartPage::EditProperties(const std::function<int(TChartPropertiesForm&)>& show) {
  RunChartProperties(PropertiesForm(), show, [this] {
    ApplyProperties();
    emit PropertiesChanged();
  });
}

void ShareChartProperties(TChartPage& first, TChartPage& second) {
  QObject::connect(&first, &TChartPage::PropertiesChanged, &second, &TChartPage::ApplyProperties);
  QObject::connect(&second, &TChartPage::PropertiesChanged, &first, &TChartPage::ApplyProperties);
}

// ---- Frame Size Chart -------------------------------------------------------------------

TFrameSizeChartPage::TFrameSizeChartPage(ChartProperties& properties, QWidget* parent)
    : TChartPage(properties, parent) {
  setObjectName("FrameSizeChartPage");
  Chart().SetTitle(Text(FrameSizeChartTitle()));
}

void TFrameSizeChartPage::ShowTrace(const TraceSession& session) {
  ShowSeries(Text(FrameSizeChartTitle()), FrameSizeSeries(session.tables, session.info.TopologyCode));
}

// ---- Protocol Chart ---------------------------------------------------------------------

TProtocolChartPage::TProtocolChartPage(ChartProperties& properties, QWidget* parent) : TChartPage(properties, parent) {
  setObjectName("ProtocolChartPage");
  auto* box = new QGroupBox("Packet Class", this);
  auto* row = new QHBoxLayout(box);
  auto* group = new QButtonGroup(box);
  for (int c = 0; c < 3; ++c) {
    classButtons_[c] = new QRadioButton(Text(PacketClassName(PacketClass(c))), box);
    row->addWidget(classButtons_[c]);
    group->addButton(classButtons_[c], c);
  }
  classButtons_[int(class_)]->setChecked(true);
  connect(group, &QButtonGroup::idToggled, this, [this](int id, bool on) {
    if (on) SetClass(PacketClass(id));
  });
  Controls().insertWidget(0, box);
  Chart().SetTitle(QString::fromStdString(ProtocolChartTitle(class_)));
}

void TProtocolChartPage::ShowTrace(const TraceSession& session) {
  tables_ = &session.tables;
  Redraw();
}

void TProtocolChartPage::ClearTrace() {
  tables_ = nullptr;
  TChartPage::ClearTrace();
}

void TProtocolChartPage::SetClass(PacketClass packetClass) {
  QRadioButton* button = classButtons_[int(packetClass)];
  if (!button->isChecked()) {
    button->setChecked(true);  // comes back here through the button group
    return;
  }
  class_ = packetClass;
  if (tables_) Redraw();
  else Chart().SetTitle(QString::fromStdString(ProtocolChartTitle(class_)));
}

void TProtocolChartPage::Redraw() {
  ShowSeries(QString::fromStdString(ProtocolChartTitle(class_)), ProtocolSeries(*tables_, class_));
}

}  // namespace korvane
