#include "ui/problems/ProblemSettingsDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace korvane {

namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QPlainTextEdit* ReadOnlyBox(QWidget* parent, const char* name, int lines) {
  auto* box = new QPlainTextEdit(parent);
  box->setObjectName(QLatin1String(name));
  box->setReadOnly(true);
  box->setTabChangesFocus(true);
  box->setFixedHeight(lines * box->fontMetrics().lineSpacing() + 2 * box->frameWidth() +
                      2 * int(box->document()->documentMargin()) + 2);
  return box;
}

QLabel* Heading(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

}  // namespace

TProblemSettings::TProblemSettings(const ProblemFinderSettings& live, QWidget* parent) : QDialog(parent), copy_(live) {
  setObjectName(QStringLiteral("ProblemSettings"));
  setWindowTitle(QStringLiteral("Korvane ProblemFinder(tm) Settings"));
  BuildControls();
  ShowChecks();
  SelectItem(0);
}

void TProblemSettings::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  auto* body = new QHBoxLayout;
  outer->addLayout(body, 1);

  // The check list: one line per check, its check mark the check's enable flag.
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("SettingsList"));
  int widest = 0;
  for (const ProblemItemInfo& item : ProblemItems()) {
    auto* line = new QListWidgetItem(Text(item.caption), list_);
    line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    widest = std::max(widest, list_->fontMetrics().horizontalAdvance(line->text()));
  }
  list_->setMinimumWidth(widest + 60);
  // Every check in view at once.
  list_->setMinimumHeight(kProblemCheckCount * list_->sizeHintForRow(0) + 2 * list_->frameWidth() + 4);
  body->addWidget(list_);

  auto* details = new QVBoxLayout;
  body->addLayout(details, 1);
  title_ = new QLineEdit(this);
  title_->setObjectName(QStringLiteral("TitleBox"));
  title_->setReadOnly(true);
  QFont titleFont = title_->font();
  titleFont.setBold(true);
  title_->setFont(titleFont);
  details->addWidget(title_);
  description_ = ReadOnlyBox(this, "DescriptionBox", 4);
  causes_ = ReadOnlyBox(this, "CausesBox", 4);
  remedy_ = ReadOnlyBox(this, "RemedyBox", 5);
  details->addWidget(Heading(QStringLiteral("Description"), this));
  details->addWidget(description_);
  details->addWidget(Heading(QStringLiteral("Likely Causes"), this));
  details->addWidget(causes_);
  details->addWidget(Heading(QStringLiteral("Remedy"), this));
  details->addWidget(remedy_);

  // The threshold: a number with its unit, or a three-step sensitivity.
  // The threshold control in one place: a number with its unit, a three-step sensitivity,
  // or nothing; the dialog keeps its size whichever item is selected.
  thresholdPanels_ = new QStackedWidget(this);
  valuePanel_ = new QWidget(thresholdPanels_);
  valuePanel_->setObjectName(QStringLiteral("ValuePanel"));
  auto* valueRow = new QHBoxLayout(valuePanel_);
  valueRow->setContentsMargins(0, 0, 0, 0);
  auto* valueLabel = new QLabel(QStringLiteral("Value:"), valuePanel_);
  value_ = new QSpinBox(valuePanel_);
  value_->setObjectName(QStringLiteral("ValueSpinBox"));
  value_->setMinimumWidth(value_->fontMetrics().horizontalAdvance(QStringLiteral("65535")) + 50);
  valueLabel->setBuddy(value_);
  unit_ = new QLabel(valuePanel_);
  unit_->setObjectName(QStringLiteral("UnitLabel"));
  valueRow->addWidget(valueLabel);
  valueRow->addWidget(value_);
  valueRow->addWidget(unit_);
  valueRow->addStretch(1);
  thresholdPanels_->addWidget(valuePanel_);

  sliderPanel_ = new QWidget(thresholdPanels_);
  sliderPanel_->setObjectName(QStringLiteral("SensitivityPanel"));
  auto* sliderGrid = new QGridLayout(sliderPanel_);
  sliderGrid->setContentsMargins(0, 0, 0, 0);
  sliderGrid->addWidget(Heading(QStringLiteral("Sensitivity"), sliderPanel_), 0, 0, 1, 2);
  slider_ = new QSlider(Qt::Horizontal, sliderPanel_);
  slider_->setObjectName(QStringLiteral("SensitivitySlider"));
  slider_->setRange(1, 3);
  slider_->setPageStep(1);
  slider_->setTickPosition(QSlider::TicksBelow);
  slider_->setTickInterval(1);
  slider_->setFixedWidth(160);
  sensitivityWord_ = new QLabel(sliderPanel_);
  sensitivityWord_->setObjectName(QStringLiteral("SensitivityWord"));
  sensitivityWord_->setMinimumWidth(sensitivityWord_->fontMetrics().horizontalAdvance(QStringLiteral("Medium")) + 8);
  sliderGrid->addWidget(slider_, 1, 0);
  sliderGrid->addWidget(sensitivityWord_, 1, 1);
  sliderGrid->setColumnStretch(2, 1);
  thresholdPanels_->addWidget(sliderPanel_);
  noThreshold_ = new QWidget(thresholdPanels_);
  thresholdPanels_->addWidget(noThreshold_);
  details->addWidget(thresholdPanels_);
  details->addStretch(1);


  auto* buttons = new QHBoxLayout;
  restoreDefault_ = new QPushButton(QStringLiteral("&Restore Default"), this);
  restoreDefault_->setObjectName(QStringLiteral("RestoreDefaultButton"));
  auto* restoreAll = new QPushButton(QStringLiteral("Restore &All Defaults"), this);
  restoreAll->setObjectName(QStringLiteral("RestoreAllButton"));
  auto* enableAll = new QPushButton(QStringLiteral("&Enable All"), this);
  enableAll->setObjectName(QStringLiteral("EnableAllButton"));
  auto* disableAll = new QPushButton(QStringLiteral("&Disable All"), this);
  disableAll->setObjectName(QStringLiteral("DisableAllButton"));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OkButton"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  for (QPushButton* b : {restoreDefault_, restoreAll, enableAll, disableAll}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  outer->addLayout(buttons);

  connect(list_, &QListWidget::currentRowChanged, this, &TProblemSettings::ShowItem);
  connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* line) {
    copy_.Enabled[size_t(list_->row(line))] = line->checkState() == Qt::Checked;
  });
  connect(value_, &QSpinBox::valueChanged, this, [this](int value) {
    if (const int t = CurrentThreshold(); t >= 0) copy_.SetThreshold(ProblemThreshold(t), value);
  });
  connect(slider_, &QSlider::valueChanged, this, [this](int value) {
    if (const int t = CurrentThreshold(); t >= 0) copy_.SetThreshold(ProblemThreshold(t), value);
    ShowSensitivityWord(value);
  });
  connect(restoreDefault_, &QPushButton::clicked, this, &TProblemSettings::RestoreDefaultClick);
  connect(restoreAll, &QPushButton::clicked, this, &TProblemSettings::RestoreAllDefaultsClick);
  connect(enableAll, &QPushButton::clicked, this, &TProblemSettings::EnableAllClick);
  connect(disableAll, &QPushButton::clicked, this, &TProblemSettings::DisableAllClick);
  connect(ok, &QPushButton::clicked, this, &TProblemSettings::OkClick);
  connect(cancel, &QPushButton::clicked, this, &TProblemSettings::CancelClick);
  resize(sizeHint().expandedTo(QSize(860, 0)));
}

std::optional<ProblemFinderSettings> TProblemSettings::Result() const {
  if (!accepted_) return std::nullopt;
  return copy_;
}

int TProblemSettings::CurrentItem() const { return list_->currentRow(); }

void TProblemSettings::SelectItem(int item) {
  if (item < 0 || item >= kProblemCheckCount) return;
  list_->setCurrentRow(item);
  ShowItem(item);
}

int TProblemSettings::CurrentThreshold() const {
  const int item = list_->currentRow();
  return item < 0 || item >= kProblemCheckCount ? -1 : ProblemItems()[size_t(item)].threshold;
}

void TProblemSettings::ShowItem(int item) {
  if (item < 0 || item >= kProblemCheckCount) return;
  const ProblemItemInfo& info = ProblemItems()[size_t(item)];
  title_->setText(Text(info.title));
  title_->setCursorPosition(0);
  description_->setPlainText(Text(info.description));
  causes_->setPlainText(Text(info.causes));
  remedy_->setPlainText(Text(info.remedy));
  const int t = info.threshold;
  const ThresholdInfo* threshold = t >= 0 ? &ProblemThresholds()[size_t(t)] : nullptr;
  thresholdPanels_->setCurrentWidget(!threshold ? noThreshold_ : threshold->slider ? sliderPanel_ : valuePanel_);
  restoreDefault_->setEnabled(threshold != nullptr);
  if (!threshold) return;
  const int value = copy_.Threshold(ProblemThreshold(t));
  if (threshold->slider) {
    const QSignalBlocker blocker(slider_);
    slider_->setValue(value);
    ShowSensitivityWord(value);
  } else {
    const QSignalBlocker blocker(value_);
    value_->setRange(threshold->minimum, threshold->maximum);
    value_->setValue(value);
    unit_->setText(Text(threshold->unit));
  }
}

void TProblemSettings::ShowChecks() {
  const QSignalBlocker blocker(list_);
  for (int i = 0; i < kProblemCheckCount; ++i)
    list_->item(i)->setCheckState(copy_.Enabled[size_t(i)] ? Qt::Checked : Qt::Unchecked);
}

void TProblemSettings::ShowSensitivityWord(int value) {
  sensitivityWord_->setText(Text(SensitivityWord(uint16_t(value))));
}

void TProblemSettings::RestoreDefaultClick() {
  const int t = CurrentThreshold();
  if (t < 0) return;
  copy_.RestoreDefault(ProblemThreshold(t));
  ShowItem(list_->currentRow());
}

void TProblemSettings::RestoreAllDefaultsClick() {
  copy_.RestoreAllDefaults();
  ShowChecks();
  ShowItem(list_->currentRow());
}

void TProblemSettings::EnableAllClick() {
  copy_.EnableAll(true);
  ShowChecks();
}

void TProblemSettings::DisableAllClick() {
  copy_.EnableAll(false);
  ShowChecks();
}

void TProblemSettings::OkClick() { accept(); }
void TProblemSettings::CancelClick() { reject(); }

void TProblemSettings::done(int result) {
  accepted_ = result == QDialog::Accepted;
  QDialog::done(result);
}

}  // namespace korvane
