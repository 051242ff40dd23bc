#include "ui/reporting/PrintContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include "ui/controls/MessageSink.h"
#include "ui/reporting/PrintStatusForm.h"

namespace korvane {

namespace {
const QString kTitle = QStringLiteral("Print");

QPageLayout::Orientation LayoutOrientation(PageOrientation orientation) {
  return orientation == PageOrientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}
}  // namespace

PrintDestination PrintDestination::Default() {
  PrintDestination d;
  d.printer = QPrinterInfo::defaultPrinterName();
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
  d.pdfFile = QDir(folder).filePath(QStringLiteral("Korvane.pdf"));
  return d;
}

PrintContext::PrintContext(PrintSetup& setup, std::function<int(QDialog&)> runDialog, QWidget* owner)
    : setup_(setup), runDialog_(std::move(runDialog)), destination_(PrintDestination::Default()),
      printer_(QPrinter::HighResolution) {
  status_ = new TPrintStatusForm(owner);
}

PrintContext::~PrintContext() = default;

QPrinter& PrintContext::Printer() {
  printer_.setPageOrientation(LayoutOrientation(setup_.Orientation));
  return printer_;
}

QSizeF PrintContext::PaperInches() { return Printer().pageLayout().fullRect(QPageLayout::Inch).size(); }

bool PrintContext::PrinterSetup(QWidget* parent) {
  QPrinter& printer = Printer();
  if (!destination_.ToPdf()) printer.setPrinterName(destination_.printer);
  QPageSetupDialog dialog(&printer, parent);
  if (RunDialog(dialog) != QDialog::Accepted) return false;
  setup_.Orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? PageOrientation::Landscape
                                                                                      : PageOrientation::Portrait;
  return true;
}

PrintJob::PrintJob(PrintContext& context, const QString& documentName, QWidget* parent)
    : context_(context), printer_(context.Printer()), parent_(parent) {
  const PrintDestination& to = context.Destination();
  // The paper and orientation stay what the set-up chose, whichever device takes them.
  const QPageLayout layout = printer_.pageLayout();
  if (to.ToPdf()) {
    target_ = to.pdfFile;
    if (to.pdfFile.trimmed().isEmpty()) {
      Fail(QStringLiteral("Choose the PDF file to print to."));
      return;
    }
    printer_.setOutputFormat(QPrinter::PdfFormat);
    printer_.setOutputFileName(to.pdfFile);
  } else {
    target_ = to.printer;
    if (QPrinterInfo::printerInfo(to.printer).isNull()) {
      Fail(QStringLiteral("The printer \"%1\" is not set up on this computer. Choose another printer, or "
                          "\"PDF file\" to print to a file.")
               .arg(to.printer));
      return;
    }
    printer_.setOutputFormat(QPrinter::NativeFormat);
    printer_.setOutputFileName(QString());
    printer_.setPrinterName(to.printer);
  }
  printer_.setPageLayout(layout);
  printer_.setDocName(documentName);
  printer_.setFullPage(true);
  painter_ = std::make_unique<QPainter>();
  if (painter_->begin(&printer_)) {
    started_ = true;
    return;
  }
  if (to.ToPdf()) {
    // Why the file cannot be written, without touching a file that is there.
    QFile probe(to.pdfFile);
    const QString reason = probe.open(QIODevice::Append) ? QStringLiteral("it could not be opened as a PDF document")
                                                         : probe.errorString();
    Fail(QStringLiteral("The PDF file \"%1\" cannot be written: %2.\n\nNothing was printed.").arg(to.pdfFile, reason));
  } else {
    Fail(QStringLiteral("The printer \"%1\" could not start the print.\n\nNothing was printed.").arg(to.printer));
  }
}

PrintJob::~PrintJob() {
  if (started_ && !finished_ && painter_->isActive()) painter_->end();
}

QSizeF PrintJob::PaperPixels() const { return printer_.pageLayout().fullRectPixels(printer_.resolution()).size(); }

bool PrintJob::NewPage() {
  if (!started_ || finished_) return false;
  if (printer_.newPage()) return true;
  finished_ = true;
  painter_->end();
  Fail(QStringLiteral("The print to \"%1\" failed before its end; it is not complete.").arg(target_));
  return false;
}

bool PrintJob::Finish() {
  if (!started_ || finished_) return false;
  finished_ = true;
  const bool ended = painter_->end();
  bool written = ended && printer_.printerState() != QPrinter::Error;
  if (written && printer_.outputFormat() == QPrinter::PdfFormat) written = QFileInfo(target_).size() > 0;
  if (!written)
    Fail(printer_.outputFormat() == QPrinter::PdfFormat
             ? QStringLiteral("The PDF file \"%1\" could not be written in full.").arg(target_)
             : QStringLiteral("The printer \"%1\" reported an error; the print did not complete.").arg(target_));
  return written;
}

void PrintJob::Fail(const QString& text) { Messages().Show(parent_, kTitle, text, MessageIcon::Exclamation); }

}  // namespace korvane
