#include "ui/controls/ValueBox.h"

namespace korvane {

QLabel* MakeValueBox(QWidget* parent, Qt::Alignment alignment) {
  auto* box = new QLabel(parent);
  box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  box->setAutoFillBackground(true);
  box->setBackgroundRole(QPalette::Base);
  box->setAlignment(alignment);
  box->setMargin(2);
  box->setTextInteractionFlags(Qt::TextSelectableByMouse);
  box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000,000,000")) + 8);
  return box;
}

QProgressBar* MakeGauge(QWidget* parent) {
  auto* gauge = new QProgressBar(parent);
  gauge->setRange(0, 100);
  gauge->setValue(0);
  gauge->setFormat(QStringLiteral("%p%"));
  gauge->setAlignment(Qt::AlignCenter);
  gauge->setMinimumWidth(gauge->fontMetrics().horizontalAdvance(QStringLiteral("100%")) * 2);
  return gauge;
}

}  // namespace korvane
