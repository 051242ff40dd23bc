// Unexpected faults: every exception that escapes an event handler reaches the application's
// one handler, which shows the modal "Error Information" window. Its "&Exit" button ends the
// program; closing the window returns to it.
#pragma once
#include <QApplication>
#include <QDialog>
#include <QString>
#include <exception>
#include <functional>

class QLabel;
class QPushButton;

namespace korvane {

struct ErrorDetails {
  QString kind;      // the exception's type
  QString module;    // the program's file name
  quintptr address = 0;  // code address of the fault; 0 where the platform gives none
  QString message;
};

// The details of an exception caught by the handler.
ErrorDetails DescribeError(std::exception_ptr error);
// "Exception KIND in Module MODULE at ADDRESS." and the message with a full stop added when
// it has none.
QString ErrorFirstLine(const ErrorDetails& details);
QString ErrorSecondLine(const ErrorDetails& details);

class TErrorInformationForm : public QDialog {
  Q_OBJECT
 public:
  explicit TErrorInformationForm(const ErrorDetails& details, QWidget* parent = nullptr);
  // Whether the user chose "&Exit".
  bool ExitChosen() const { return exitChosen_; }
  QPushButton* ExitButton() const { return exit_; }
  QLabel* FirstLine() const { return first_; }
  QLabel* SecondLine() const { return second_; }

 private:
  QLabel* first_;
  QLabel* second_;
  QPushButton* exit_;
  bool exitChosen_ = false;
};

// The application object: routes every event through the fault handler.
class TKorvaneApplication : public QApplication {
  Q_OBJECT
 public:
  TKorvaneApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // What the handler does with a fault: by default it shows the Error Information window
  // and, when "&Exit" is chosen, ends the program.
  using Reporter = std::function<void(const ErrorDetails&)>;
  void SetReporter(Reporter reporter) { reporter_ = std::move(reporter); }
  void ReportError(std::exception_ptr error);

 private:
  Reporter reporter_;
};

}  // namespace korvane
