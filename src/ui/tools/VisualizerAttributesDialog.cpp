#include "ui/tools/VisualizerAttributesDialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/tools/PacketVisualizer.h"

namespace korvane {

TVisualizerAttributes::TVisualizerAttributes(VisualizerAttributes& attributes, QWidget* parent)
    : QDialog(parent), attributes_(attributes) {
  setObjectName(QStringLiteral("VisualizerAttributes"));
  setWindowTitle(QStringLiteral("PacketVisualizer Display Attributes"));
  chooseColour_ = [this](const QColor& initial) { return QColorDialog::getColor(initial, this); };
  chooseFont_ = [this](const QFont& initial) -> std::optional<QFont> {
    QFontDialog dialog(initial, this);
    dialog.setOptions(QFontDialog::ScalableFonts);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedFont();
  };
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const std::array<QString, 3> captions = {QStringLiteral("&Send Packet Color"), QStringLiteral("&Receive Packet Color"),
                                           QStringLiteral("&Diagnostic Color")};
  for (int i = 0; i < 3; ++i) {
    auto* button = new QPushButton(captions[size_t(i)], this);
    swatches_[size_t(i)] = new QFrame(this);
    swatches_[size_t(i)]->setFrameShape(QFrame::Box);
    swatches_[size_t(i)]->setFixedSize(60, 22);
    swatches_[size_t(i)]->setAutoFillBackground(true);
    grid->addWidget(button, i, 0);
    grid->addWidget(swatches_[size_t(i)], i, 1);
    connect(button, &QPushButton::clicked, this, [this, i] { PickColour(i); });
  }
  auto* fontButton = new QPushButton(QStringLiteral("&Font"), this);
  connect(fontButton, &QPushButton::clicked, this, [this] { PickFont(); });
  grid->addWidget(fontButton, 3, 0);
  sample_ = new QLabel(QStringLiteral("Sample"), this);
  sample_->setFrameShape(QFrame::Panel);
  sample_->setFrameShadow(QFrame::Sunken);
  sample_->setAlignment(Qt::AlignCenter);
  sample_->setMinimumSize(160, 40);
  grid->addWidget(sample_, 3, 1);
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  Load();
}

void TVisualizerAttributes::showEvent(QShowEvent* event) {
  Load();
  QDialog::showEvent(event);
}

void TVisualizerAttributes::Load() {
  SetSwatch(0, ColourFromValue(attributes_.SendColour));
  SetSwatch(1, ColourFromValue(attributes_.ReceiveColour));
  SetSwatch(2, ColourFromValue(attributes_.DiagnosticColour));
  font_ = FontFromRecord(attributes_.Font);
  sample_->setFont(font_);
}

void TVisualizerAttributes::SetSwatch(int which, const QColor& colour) {
  colours_[size_t(which)] = colour;
  QPalette p = swatches_[size_t(which)]->palette();
  p.setColor(QPalette::Window, colour);
  swatches_[size_t(which)]->setPalette(p);
}

QColor TVisualizerAttributes::Swatch(int which) const { return colours_[size_t(which)]; }

void TVisualizerAttributes::PickColour(int which) {
  const QColor chosen = chooseColour_(colours_[size_t(which)]);
  if (chosen.isValid()) SetSwatch(which, chosen);
}

void TVisualizerAttributes::PickFont() {
  std::optional<QFont> chosen = chooseFont_(font_);
  if (!chosen) return;
  // Sizes are kept within what the diagram's lines are laid out for.
  const int points = chosen->pointSize() > 0 ? chosen->pointSize() : font_.pointSize();
  chosen->setPointSize(std::clamp(points, kSmallestPoints, kLargestPoints));
  font_ = *chosen;
  sample_->setFont(font_);
}

void TVisualizerAttributes::accept() {
  attributes_.SendColour = ValueFromColour(colours_[0]);
  attributes_.ReceiveColour = ValueFromColour(colours_[1]);
  attributes_.DiagnosticColour = ValueFromColour(colours_[2]);
  attributes_.Font = RecordFromFont(font_, attributes_.Font);
  QDialog::accept();
}

}  // namespace korvane
