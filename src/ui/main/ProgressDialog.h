// The dialog shown while a trace is read: the frames analysed so far, the capture time they
// cover, the share of the file read, and a button that stops the read. It polls the read's
// progress counters every 100 ms and closes by itself a moment after the read has ended.
#pragma once
#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace korvane {

struct ReadProgress;

class TProcessTraceFileForm : public QDialog {
  Q_OBJECT
 public:
  explicit TProcessTraceFileForm(QWidget* parent = nullptr);

  // How long the dialog stays after the end of the read (1500 ms).
  void SetCloseDelay(int milliseconds) { closeDelay_ = milliseconds; }

  // Shows the dialog for a new read of the named file, polling progress until Closed.
  void BeginRead(const QString& fileName, ReadProgress& progress);
  // The read has ended (stopped or not); the dialog closes after the close delay.
  void ReadFinished();
  // The duration text the dialog showed last.
  QString DurationText() const;

  QLabel* PercentLabel() const { return pctComplete_; }
  QLineEdit* FrameCountBox() const { return frameCount_; }
  QLineEdit* DurationBox() const { return duration_; }
  QProgressBar* ProgressBar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }
  bool Reading() const { return progress_ != nullptr && !finished_; }

 signals:
  // The dialog has closed at the end of a read.
  void Closed();
  // The program's title while the main window is minimised ("Reading [NN% Complete]"),
  // or the product name while it is not.
  void TitleChanged(const QString& title);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void CancelButtonClick();
  void ShowProgressTimerTimer();
  void SetStopMark();
  void End();

  QLineEdit* frameCount_;
  QLineEdit* duration_;
  QLabel* pctComplete_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  QTimer* timer_;

  ReadProgress* progress_ = nullptr;
  bool stopMark_ = false;
  bool finished_ = false;
  bool closedByUser_ = false;
  int closeCountdown_ = 0;
  int closeDelay_ = 1500;
};

}  // namespace korvane
