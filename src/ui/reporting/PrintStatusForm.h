// "Print Status": a small window that says "Printing..." and which page is going out, with
// "&Cancel", which stops the print after the page being printed.
#pragma once
#include <QDialog>
#include <cstdint>

class QLabel;
class QPushButton;

namespace korvane {

class TPrintStatusForm : public QDialog {
  Q_OBJECT
 public:
  explicit TPrintStatusForm(QWidget* parent = nullptr);

  // Shows the window for a new print; Cancel is forgotten.
  void Start(int64_t pages);
  // Before each page: shows its number and lets the window's events through.
  void SetPage(int64_t page);
  bool Cancelled() const { return cancelled_; }
  void Finish();

  QLabel* PageLabel() const { return pageLabel_; }
  QPushButton* CancelButton() const { return cancel_; }

 signals:
  // A page is about to be printed (the tests cancel here).
  void PageStarted(int64_t page);

 protected:
  void reject() override;

 private:
  QLabel* pageLabel_ = nullptr;
  QPushButton* cancel_ = nullptr;
  int64_t pages_ = 0;
  int64_t done_ = 0;
  bool cancelled_ = false;
};

}  // namespace korvane
