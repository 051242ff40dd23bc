#include "ui/reporting/PrintDestinationBox.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>

namespace korvane {

namespace {
const QString kPdfItem = QStringLiteral("PDF file");
}

TPrintDestinationBox::TPrintDestinationBox(PrintContext& context, QWidget* parent)
    : QGroupBox(QStringLiteral("Print To"), parent), context_(context) {
  auto* grid = new QGridLayout(this);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);
  printers_ = new QComboBox(this);
  printers_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  file_ = new QLineEdit(this);
  file_->setMinimumWidth(file_->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 34);
  browse_ = new QPushButton(QStringLiteral("&Browse..."), this);
  auto* printerLabel = new QLabel(QStringLiteral("P&rinter:"), this);
  printerLabel->setBuddy(printers_);
  auto* fileLabel = new QLabel(QStringLiteral("&File:"), this);
  fileLabel->setBuddy(file_);
  grid->addWidget(printerLabel, 0, 0);
  grid->addWidget(printers_, 0, 1, 1, 2, Qt::AlignLeft);
  grid->addWidget(fileLabel, 1, 0);
  grid->addWidget(file_, 1, 1);
  grid->addWidget(browse_, 1, 2);
  grid->setColumnStretch(1, 1);
  connect(printers_, &QComboBox::currentIndexChanged, this, [this] { EnableFile(); });
  connect(browse_, &QPushButton::clicked, this, [this] { Browse(); });
}

void TPrintDestinationBox::Load(const PrintDestination& destination) {
  printers_->clear();
  for (const QString& name : QPrinterInfo::availablePrinterNames()) printers_->addItem(name, name);
  // A printer chosen earlier that has gone stays named, and the print says so.
  if (!destination.ToPdf() && printers_->findData(destination.printer) < 0)
    printers_->addItem(destination.printer, destination.printer);
  printers_->addItem(kPdfItem, QString());
  printers_->setCurrentIndex(destination.ToPdf() ? printers_->count() - 1 : printers_->findData(destination.printer));
  file_->setText(destination.pdfFile);
  EnableFile();
}

PrintDestination TPrintDestinationBox::Value() const {
  return {printers_->currentData().toString(), file_->text().trimmed()};
}

void TPrintDestinationBox::EnableFile() {
  const bool pdf = printers_->currentData().toString().isEmpty();
  file_->setEnabled(pdf);
  browse_->setEnabled(pdf);
}

void TPrintDestinationBox::Browse() {
  QFileDialog dialog(this, QStringLiteral("Print to PDF File"), QFileInfo(file_->text()).absolutePath());
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QStringLiteral("PDF files (*.pdf)"));
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.selectFile(QFileInfo(file_->text()).fileName());
  if (context_.RunDialog(dialog) == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    file_->setText(dialog.selectedFiles().first());
}

}  // namespace korvane
