// Help > Help Topics: the program's help, one topic per page and command.
#pragma once
#include <QDialog>

class QTextBrowser;

namespace korvane {

class THelpForm : public QDialog {
  Q_OBJECT
 public:
  explicit THelpForm(QWidget* parent = nullptr);
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace korvane
