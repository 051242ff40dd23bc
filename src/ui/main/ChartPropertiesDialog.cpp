#include "ui/main/ChartPropertiesDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "reports/ChartSeries.h"

namespace korvane {

namespace {

QColor ToQColor(ColourRef c) { return QColor(ColourRed(c), ColourGreen(c), ColourBlue(c)); }
ColourRef ToColourRef(const QColor& c) { return MakeColourRef(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())); }

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QFrame* ColourPanel(QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setFrameShape(QFrame::Box);
  panel->setFixedSize(46, 22);
  panel->setAutoFillBackground(true);
  panel->setCursor(Qt::PointingHandCursor);
  return panel;
}

// Two exclusive choices in a titled box.
QGroupBox* ChoiceBox(const QString& title, QRadioButton* first, QRadioButton* second, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(first);
  layout->addWidget(second);
  auto* group = new QButtonGroup(box);
  group->addButton(first);
  group->addButton(second);
  return box;
}

}  // namespace

TChartPropertiesForm::TChartPropertiesForm(ChartProperties& properties, QWidget* parent)
    : QDialog(parent), properties_(properties) {
  setObjectName("ChartPropertiesForm");
  setWindowTitle("Chart Properties");
  pickColour = [](const QColor& current, QWidget* parent) -> std::optional<QColor> {
    QColor chosen = QColorDialog::getColor(current, parent);
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
  };

  pieButton = new QRadioButton(Text(ChartTypeName(ChartType::Pie)), this);
  barButton = new QRadioButton(Text(ChartTypeName(ChartType::Bar)), this);
  percentButton = new QRadioButton(Text(ChartUnitsName(ChartUnits::Percent)), this);
  packetsButton = new QRadioButton(Text(ChartUnitsName(ChartUnits::Packets)), this);
  QGroupBox* typeBox = ChoiceBox("Chart Type", pieButton, barButton, this);
  QGroupBox* unitsBox = ChoiceBox("Chart Units", percentButton, packetsButton, this);

  auto* background = new QGroupBox("Background", this);
  gradientBox = new QCheckBox("Show Gradient", background);
  topColourButton = new QPushButton("&Top Color...", background);
  bottomColourButton = new QPushButton("&Bottom Color...", background);
  topColourPanel = ColourPanel(background);
  bottomColourPanel = ColourPanel(background);
  topColourPanel->setToolTip("Top color of the gradient");
  bottomColourPanel->setToolTip("Bottom color of the gradient");
  auto* backgroundLayout = new QGridLayout(background);
  backgroundLayout->addWidget(gradientBox, 0, 0, 1, 2);
  backgroundLayout->addWidget(topColourPanel, 1, 0);
  backgroundLayout->addWidget(topColourButton, 1, 1);
  backgroundLayout->addWidget(bottomColourPanel, 2, 0);
  backgroundLayout->addWidget(bottomColourButton, 2, 1);

  auto* display = new QGroupBox("Display", this);
  titleBox = new QCheckBox("Show Title", display);
  legendBox = new QCheckBox("Show Legend", display);
  valuesBox = new QCheckBox("Show Values", display);
  view3DBox = new QCheckBox("Enable 3D", display);
  auto* displayLayout = new QVBoxLayout(display);
  for (QCheckBox* box : {titleBox, legendBox, valuesBox, view3DBox}) displayLayout->addWidget(box);

  okButton = new QPushButton("&OK", this);
  cancelButton = new QPushButton("&Cancel", this);
  applyButton = new QPushButton("&Apply", this);
  okButton->setDefault(true);

  auto* grid = new QGridLayout();
  grid->addWidget(typeBox, 0, 0);
  grid->addWidget(unitsBox, 0, 1);
  grid->addWidget(background, 1, 0);
  grid->addWidget(display, 1, 1);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  for (QPushButton* button : {okButton, cancelButton, applyButton}) buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  connect(okButton, &QPushButton::clicked, this, &TChartPropertiesForm::OkClicked);
  connect(cancelButton, &QPushButton::clicked, this, &TChartPropertiesForm::CancelClicked);
  connect(applyButton, &QPushButton::clicked, this, &TChartPropertiesForm::ApplyClicked);
  connect(topColourButton, &QPushButton::clicked, this, &TChartPropertiesForm::PickTopColour);
  connect(bottomColourButton, &QPushButton::clicked, this, &TChartPropertiesForm::PickBottomColour);
  for (QRadioButton* button : {pieButton, barButton, percentButton, packetsButton})
    connect(button, &QRadioButton::toggled, this, &TChartPropertiesForm::Refresh);
  for (QCheckBox* box : {gradientBox, titleBox, legendBox, valuesBox, view3DBox})
    connect(box, &QCheckBox::toggled, this, &TChartPropertiesForm::Refresh);
  topColourPanel->installEventFilter(this);
  bottomColourPanel->installEventFilter(this);
  Activate();
}

void TChartPropertiesForm::Activate() {
  remembered_ = properties_;
  SetValues(properties_);
}

ChartProperties TChartPropertiesForm::Values() const {
  ChartProperties values;
  values.Type = barButton->isChecked() ? ChartType::Bar : ChartType::Pie;
  values.Units = packetsButton->isChecked() ? ChartUnits::Packets : ChartUnits::Percent;
  values.ShowGradient = gradientBox->isChecked();
  values.ShowTitle = titleBox->isChecked();
  values.ShowLegend = legendBox->isChecked();
  values.ShowValues = valuesBox->isChecked();
  values.View3D = view3DBox->isChecked();
  values.TopColour = topColour_;
  values.BottomColour = bottomColour_;
  return values;
}

void TChartPropertiesForm::SetValues(const ChartProperties& values) {
  (values.Type == ChartType::Bar ? barButton : pieButton)->setChecked(true);
  (values.Units == ChartUnits::Packets ? packetsButton : percentButton)->setChecked(true);
  gradientBox->setChecked(values.ShowGradient);
  titleBox->setChecked(values.ShowTitle);
  legendBox->setChecked(values.ShowLegend);
  valuesBox->setChecked(values.ShowValues);
  view3DBox->setChecked(values.View3D);
  topColour_ = values.TopColour;
  bottomColour_ = values.BottomColour;
  Refresh();
}

bool TChartPropertiesForm::CanApply() const { return Values() != remembered_; }

void TChartPropertiesForm::Refresh() {
  const bool gradient = gradientBox->isChecked();
  for (QWidget* control : std::initializer_list<QWidget*>{topColourButton, bottomColourButton, topColourPanel,
                                                          bottomColourPanel})
    control->setEnabled(gradient);
  auto paint = [](QFrame* panel, ColourRef colour) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, ToQColor(colour));
    panel->setPalette(palette);
  };
  paint(topColourPanel, topColour_);
  paint(bottomColourPanel, bottomColour_);
  applyButton->setEnabled(CanApply());
}

void TChartPropertiesForm::OkClicked() {
  properties_ = Values();
  accept();
}

void TChartPropertiesForm::CancelClicked() {
  properties_ = remembered_;
  reject();
}

void TChartPropertiesForm::ApplyClicked() {
  properties_ = Values();
  done(Applied);
}

void TChartPropertiesForm::PickTopColour() { PickColour(topColour_); }
void TChartPropertiesForm::PickBottomColour() { PickColour(bottomColour_); }

void TChartPropertiesForm::PickColour(ColourRef& colour) {
  if (!gradientBox->isChecked()) return;
  if (std::optional<QColor> chosen = pickColour(ToQColor(colour), this)) {
    colour = ToColourRef(*chosen);
    Refresh();
  }
}

void TChartPropertiesForm::showEvent(QShowEvent* event) {
  Activate();
  QDialog::showEvent(event);
}

bool TChartPropertiesForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == topColourPanel) PickTopColour();
    else if (watched == bottomColourPanel) PickBottomColour();
  }
  return QDialog::eventFilter(watched, event);
}

void RunChartProperties(TChartPropertiesForm& form, const std::function<int(TChartPropertiesForm&)>& show,
                        const std::function<void()>& redraw) {
  for (;;) {
    form.Activate();
    const int result = show(form);
    if (result == QDialog::Rejected) return;
    redraw();
    if (result != TChartPropertiesForm::Applied) return;
  }
}

}  // namespace korvane
