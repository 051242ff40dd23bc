// What the print windows share for the whole run: the page set-up, the printer that holds
// the paper size and orientation, where the pages go (a printer that is set up, or a PDF
// file), the status window, and how dialogs are run. PrintJob puts pages on that target;
// a print that cannot start or fails is said in a message box titled "Print" and is never
// taken for done.
#pragma once
#include <QPrinter>
#include <QString>
#include <functional>
#include <memory>

#include "settings/PrintSetup.h"

class QDialog;
class QPainter;
class QWidget;

namespace korvane {

class TPrintStatusForm;

// Where the pages go: a printer by name, or a PDF file when no printer is named.
struct PrintDestination {
  QString printer;
  QString pdfFile;
  bool ToPdf() const { return printer.isEmpty(); }
  // The default printer where one is set up, else a PDF file in the documents folder.
  static PrintDestination Default();
};

class PrintContext {
 public:
  // The set-up must outlive the context; the status window is made over owner.
  PrintContext(PrintSetup& setup, std::function<int(QDialog&)> runDialog, QWidget* owner);
  ~PrintContext();
  PrintContext(const PrintContext&) = delete;
  PrintContext& operator=(const PrintContext&) = delete;

  PrintSetup& Setup() { return setup_; }
  PrintDestination& Destination() { return destination_; }
  TPrintStatusForm& Status() { return *status_; }
  // The printer with the paper size and the set-up's orientation.
  QPrinter& Printer();
  // The paper's width and height in inches, in the set-up's orientation.
  QSizeF PaperInches();
  int RunDialog(QDialog& dialog) { return runDialog_(dialog); }
  // "Printer &Setup...": the platform's page set-up dialog; the orientation chosen there
  // goes into the page set-up. Returns whether it was accepted.
  bool PrinterSetup(QWidget* parent);

 private:
  PrintSetup& setup_;
  std::function<int(QDialog&)> runDialog_;
  PrintDestination destination_;
  QPrinter printer_;
  TPrintStatusForm* status_ = nullptr;
};

// One document on the context's destination. The constructor opens it; when it cannot,
// the reason has been shown and Started() is false.
class PrintJob {
 public:
  PrintJob(PrintContext& context, const QString& documentName, QWidget* parent);
  ~PrintJob();
  PrintJob(const PrintJob&) = delete;
  PrintJob& operator=(const PrintJob&) = delete;

  bool Started() const { return started_; }
  QPainter& Painter() { return *painter_; }
  QPrinter& Device() { return printer_; }
  // Dots per inch of the device; the painter's origin is the paper's top-left corner.
  double Dpi() const { return printer_.resolution(); }
  QSizeF PaperPixels() const;
  bool NewPage();
  // Closes the document. A failure is shown; returns whether every page was written.
  bool Finish();

 private:
  void Fail(const QString& text);

  PrintContext& context_;
  QPrinter& printer_;
  QWidget* parent_;
  QString target_;  // the printer's name or the file, for the messages
  std::unique_ptr<QPainter> painter_;
  bool started_ = false;
  bool finished_ = false;
};

}  // namespace korvane
