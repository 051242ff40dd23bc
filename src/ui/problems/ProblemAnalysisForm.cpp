#include "ui/problems/ProblemAnalysisForm.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace korvane {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
}  // namespace

TProblemAnalysisForm::TProblemAnalysisForm(const TraceSession& session, const ProblemFinderSettings& settings,
                                           SelectionSource selection, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), settings_(settings), selection_(std::move(selection)) {
  setObjectName(QStringLiteral("ProblemAnalysisForm"));
  setWindowTitle(QStringLiteral("Problem Analysis Summary"));
  auto* layout = new QVBoxLayout(this);
  auto* labels = new QGridLayout;
  const std::array<QString, 3> captions = {QStringLiteral("Source:"), QStringLiteral("Destination:"),
                                           QStringLiteral("Protocol/App:")};
  const std::array<QColor, 3> colours = {QColor(0, 0, 0xFF), QColor(0, 0x80, 0x80), QColor(Qt::black)};
  for (int i = 0; i < 3; ++i) {
    labels->addWidget(new QLabel(captions[size_t(i)], this), i, 0, Qt::AlignRight);
    values_[size_t(i)] = new QLabel(this);
    QFont bold = values_[size_t(i)]->font();
    bold.setBold(true);
    values_[size_t(i)]->setFont(bold);
    QPalette p = values_[size_t(i)]->palette();
    p.setColor(QPalette::WindowText, colours[size_t(i)]);
    values_[size_t(i)]->setPalette(p);
    values_[size_t(i)]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labels->addWidget(values_[size_t(i)], i, 1);
  }
  labels->setColumnStretch(1, 1);
  layout->addLayout(labels);
  for (size_t i = 0; i < 2; ++i) {
    auto* group = new QGroupBox(Q(ProblemSummaryHeadings()[i]), this);
    auto* gl = new QVBoxLayout(group);
    boxes_[i] = new QPlainTextEdit(group);
    boxes_[i]->setReadOnly(true);
    gl->addWidget(boxes_[i]);
    layout->addWidget(group, 1);
  }
  resize(560, 480);
}

void TProblemAnalysisForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Recalculate();
  emit Shown();
}

void TProblemAnalysisForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit Closed();
}

void TProblemAnalysisForm::Recalculate() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  summary_ = AnalyseProblems(session_, selection_(), settings_);
  QApplication::restoreOverrideCursor();
  for (size_t i = 0; i < 3; ++i) values_[i]->setText(Q(summary_.Labels[i].second));
  for (size_t i = 0; i < 2; ++i) {
    QStringList lines;
    for (const std::string& l : summary_.Boxes[i]) lines << Q(l);
    boxes_[i]->setPlainText(lines.join(QLatin1Char('\n')));
  }
}

}  // namespace korvane
