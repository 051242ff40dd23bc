// "Print": a snapshot of each chosen window on a page of its own. The eight windows have
// a check box each, enabled only while the window is on screen; the margins step by 0.1
// inch within 0 .. 2.0; the picture is printed at its size on the screen ("Print
// Proportional") or as large as the margins allow ("Print To Fit"), under a header line that
// names the trace. On a printer every window is its own job, titled "Output from Korvane";
// to a PDF file the pages go into one document.
#pragma once
#include <QDialog>
#include <QPointer>
#include <array>
#include <functional>

#include "ui/reporting/PrintContext.h"

class QCheckBox;
class QDoubleSpinBox;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace korvane {

class TPrintDestinationBox;

// The windows that can be printed, in the dialog's order.
enum class PrintableWindow {
  MainWindow,
  StationStatistics,
  NetworkStatistics,
  PacketVisualizer,
  LatencyAnalysis,
  ThroughputAnalysis,
  ProblemAnalysis,
  WhatIfAnalysis,
};
inline constexpr size_t kPrintableWindowCount = 8;

enum MarginSide { kLeftMargin, kRightMargin, kTopMargin, kBottomMargin };

class TPrintSelectionForm : public QDialog {
  Q_OBJECT
 public:
  // header gives the line printed above each picture.
  TPrintSelectionForm(PrintContext& context, std::function<QString()> header, QWidget* parent = nullptr);

  // The window behind a box: a window made later joins with one call.
  void SetWindow(PrintableWindow which, QWidget* window);
  QWidget* Window(PrintableWindow which) const { return windows_[size_t(which)]; }

  // On activation: the set-up's margins and options, the boxes of the windows on screen.
  void Prepare();
  // "&OK": prints every checked window in the list's order. Returns whether all of it was
  // printed; the dialog closes then and stays open when anything failed.
  bool OkClick();
  void PrinterSetupClick();

  QCheckBox* Box(PrintableWindow which) const { return boxes_[size_t(which)]; }
  QToolButton* ShowButton(PrintableWindow which) const { return showButtons_[size_t(which)]; }
  QDoubleSpinBox* Margin(MarginSide side) const { return margins_[size_t(side)]; }
  QRadioButton* ProportionalButton() const { return proportional_; }
  QRadioButton* ToFitButton() const { return toFit_; }
  QCheckBox* HeaderBox() const { return header_; }
  QPushButton* OkButton() const { return ok_; }
  TPrintDestinationBox* Destination() const { return destination_; }

 private:
  static bool OnScreen(const QWidget* window);
  void EnableOk();
  void StoreSetup();
  void PrintPicture(PrintJob& job, const QPixmap& picture, double screenDpi, const QString& header);

  PrintContext& context_;
  std::function<QString()> headerText_;
  std::array<QPointer<QWidget>, kPrintableWindowCount> windows_{};
  std::array<QCheckBox*, kPrintableWindowCount> boxes_{};
  std::array<QToolButton*, kPrintableWindowCount> showButtons_{};
  std::array<QDoubleSpinBox*, 4> margins_{};
  QRadioButton *proportional_ = nullptr, *toFit_ = nullptr;
  QCheckBox* header_ = nullptr;
  QPushButton* ok_ = nullptr;
  TPrintDestinationBox* destination_ = nullptr;
};

// A margin box as the print dialogs show it: inches with an inch sign, stepped by `step`
// within lowest .. highest.
QDoubleSpinBox* MakeMarginBox(QWidget* parent, double step, double lowest, double highest, int decimals);

}  // namespace korvane
