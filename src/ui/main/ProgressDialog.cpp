#include "ui/main/ProgressDialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "input/ReadLoop.h"
#include "reports/Formatters.h"

namespace korvane {

namespace {
constexpr int kTimerInterval = 100;
const QString kProductName = QStringLiteral("Korvane");
const QString kOkCaption = QStringLiteral("&OK");

QLineEdit* NumberBox(const QString& text, QWidget* parent) {
  auto* box = new QLineEdit(text, parent);
  box->setReadOnly(true);
  box->setAlignment(Qt::AlignRight);
  box->setFocusPolicy(Qt::NoFocus);
  return box;
}

QString PercentCompleteText(int percent) { return QString::number(percent) + QStringLiteral("% Complete"); }
}  // namespace

TProcessTraceFileForm::TProcessTraceFileForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("ProcessTraceFileForm"));
  auto* label1 = new QLabel(QStringLiteral("Reading Packet:"), this);
  frameCount_ = NumberBox(QStringLiteral("0"), this);
  auto* durationLabel = new QLabel(QStringLiteral("Trace Duration:"), this);
  duration_ = NumberBox(QStringLiteral("<00:00:01"), this);
  pctComplete_ = new QLabel(PercentCompleteText(0), this);
  pctComplete_->setAlignment(Qt::AlignCenter);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setTextVisible(false);
  cancel_ = new QPushButton(QStringLiteral("&Stop"), this);
  cancel_->setToolTip(QStringLiteral("Stop read operation"));
  cancel_->setDefault(true);
  timer_ = new QTimer(this);
  timer_->setInterval(kTimerInterval);

  auto* grid = new QGridLayout(this);
  grid->addWidget(label1, 0, 0);
  grid->addWidget(frameCount_, 0, 1);
  grid->addWidget(durationLabel, 1, 0);
  grid->addWidget(duration_, 1, 1);
  grid->addWidget(pctComplete_, 2, 0, 1, 2);
  grid->addWidget(bar_, 3, 0, 1, 2);
  grid->addWidget(cancel_, 4, 0, 1, 2, Qt::AlignHCenter);
  grid->setColumnStretch(1, 1);
  frameCount_->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000,000,000,000")));
  grid->setSizeConstraint(QLayout::SetFixedSize);

  connect(cancel_, &QPushButton::clicked, this, &TProcessTraceFileForm::CancelButtonClick);
  connect(timer_, &QTimer::timeout, this, &TProcessTraceFileForm::ShowProgressTimerTimer);
}

void TProcessTraceFileForm::BeginRead(const QString& fileName, ReadProgress& progress) {
  progress_ = &progress;
  stopMark_ = false;
  finished_ = false;
  closedByUser_ = false;
  closeCountdown_ = 0;
  setWindowTitle(QStringLiteral("Reading Trace File - ") + fileName);
  frameCount_->setText(QStringLiteral("0"));
  duration_->setText(QStringLiteral("00:00:00"));
  pctComplete_->setText(QStringLiteral("%0 Complete"));
  bar_->setValue(0);
  cancel_->setText(QStringLiteral("&Stop"));
  setCursor(Qt::WaitCursor);
  bar_->setCursor(Qt::WaitCursor);
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  show();
  raise();
  timer_->start();
}

void TProcessTraceFileForm::ReadFinished() {
  finished_ = true;
  closeCountdown_ = 0;
  unsetCursor();
  bar_->unsetCursor();
  if (closedByUser_) End();
}

QString TProcessTraceFileForm::DurationText() const { return duration_->text(); }

void TProcessTraceFileForm::SetStopMark() {
  stopMark_ = true;
  if (progress_) progress_->stopMark.store(true, std::memory_order_relaxed);
}

void TProcessTraceFileForm::CancelButtonClick() {
  if (cancel_->text() != kOkCaption) {
    SetStopMark();
    cancel_->setText(kOkCaption);
  } else if (finished_) {
    End();
  }
}

void TProcessTraceFileForm::reject() { CancelButtonClick(); }

void TProcessTraceFileForm::closeEvent(QCloseEvent* event) {
  if (progress_) {
    SetStopMark();
    closedByUser_ = true;
    if (finished_) End();
  }
  event->accept();
}

void TProcessTraceFileForm::ShowProgressTimerTimer() {
  if (!progress_) return;
  // The read resets its counters when it starts: a stop asked for before then still holds.
  if (stopMark_) progress_->stopMark.store(true, std::memory_order_relaxed);
  frameCount_->setText(QString::fromStdString(CountText(progress_->frames.load(std::memory_order_relaxed))));
  const std::string duration = korvane::DurationText(progress_->elapsedMicros.load(std::memory_order_relaxed));
  if (duration != "00:00:00") duration_->setText(QString::fromStdString(duration));
  const bool minimised = parentWidget() && parentWidget()->window()->isMinimized();
  if (finished_) {
    // What the read itself says: a stop pressed after the last frame stopped nothing, and a
    // file that ended inside a record was not read whole either.
    if (progress_->stopped.load(std::memory_order_acquire) || progress_->cutShort.load(std::memory_order_acquire)) {
      pctComplete_->setText(QStringLiteral("FILE PARTIALLY READ"));
      emit TitleChanged(kProductName);
    } else {
      cancel_->setText(kOkCaption);
      pctComplete_->setText(PercentCompleteText(100));
      bar_->setValue(100);
      emit TitleChanged(minimised ? QStringLiteral(" Reading File [100%]") : kProductName);
    }
    closeCountdown_ += kTimerInterval;
    if (closeCountdown_ >= closeDelay_) End();
    return;
  }
  if (progress_->fileSize.load(std::memory_order_relaxed) > 0) {
    const int percent = progress_->Percent();
    pctComplete_->setText(PercentCompleteText(percent));
    bar_->setValue(percent);
    emit TitleChanged(minimised ? QStringLiteral("Reading [") + PercentCompleteText(percent) + QLatin1Char(']')
                                : kProductName);
  }
}

void TProcessTraceFileForm::End() {
  timer_->stop();
  unsetCursor();
  bar_->unsetCursor();
  progress_ = nullptr;
  hide();
  emit Closed();
}

}  // namespace korvane
