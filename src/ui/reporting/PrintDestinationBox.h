// The "Print To" box of the print dialogs: a printer that is set up on this computer, or
// "PDF file" with the file's name and a Browse button.
#pragma once
#include <QGroupBox>

#include "ui/reporting/PrintContext.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace korvane {

class TPrintDestinationBox : public QGroupBox {
  Q_OBJECT
 public:
  TPrintDestinationBox(PrintContext& context, QWidget* parent = nullptr);

  // Lists the printers set up now and shows the destination.
  void Load(const PrintDestination& destination);
  PrintDestination Value() const;

  QComboBox* PrinterBox() const { return printers_; }
  QLineEdit* FileEdit() const { return file_; }
  QPushButton* BrowseButton() const { return browse_; }

 private:
  void Browse();
  void EnableFile();

  PrintContext& context_;
  QComboBox* printers_ = nullptr;
  QLineEdit* file_ = nullptr;
  QPushButton* browse_ = nullptr;
};

}  // namespace korvane
