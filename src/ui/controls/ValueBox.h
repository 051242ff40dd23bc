// Small display controls the pages share: a bevelled read-only text box and a percent gauge.
#pragma once
#include <QLabel>
#include <QProgressBar>

namespace korvane {

// A sunken box on the text background showing one value; right-aligned for numbers.
QLabel* MakeValueBox(QWidget* parent, Qt::Alignment alignment = Qt::AlignRight | Qt::AlignVCenter);

// A 0..100 gauge showing its percentage.
QProgressBar* MakeGauge(QWidget* parent);

}  // namespace korvane
