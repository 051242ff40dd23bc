// "Print Packet Visualizer": the toolbox's packet diagram over as many pages as it needs,
// with the title, the trace file line, the printed-on date and the page numbers; margins
// step by 0.05 inch within 0.05 .. 2.5 and "&Apply" lays the pages out again; "Pre&view"
// shows them; "&Print" sends the chosen range, asking first above 100 pages, while the
// status window lets the user stop after the page being printed.
#pragma once
#include <QDate>
#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "ui/reporting/DiagramPages.h"
#include "ui/reporting/PrintContext.h"
#include "ui/reporting/PrintSelectionForm.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace korvane {

class TPacketVisualizer;
class TPreviewForm;
class TPrintDestinationBox;

class TPrintSelectionForm2 : public QDialog {
  Q_OBJECT
 public:
  // fileLine gives the trace file line of the pages.
  TPrintSelectionForm2(PrintContext& context, std::function<QString()> fileLine, QWidget* parent = nullptr);
  ~TPrintSelectionForm2() override;

  // Shows the dialog for the diagram, modally; the diagram must outlive the call.
  int Run(const TPacketVisualizer& diagram);
  // What Run does before showing: the set-up's margins and the pages laid out.
  void Prepare(const TPacketVisualizer& diagram);

  int64_t PageCount() const { return pages_ ? pages_->Count() : 0; }
  // "&Apply": the margins into the set-up, the pages laid out again.
  void ApplyClick();
  // "&Print": the range first .. last. Returns whether it was printed in full (or up to a
  // Cancel); the dialog closes then, and stays open when the print failed or was declined.
  bool PrintClick();
  void PreviewClick();
  void PrinterSetupClick();
  // The date the footer says (today unless the tests set one).
  void SetToday(std::function<QDate()> today) { today_ = std::move(today); }

  QLineEdit* TitleEdit() const { return title_; }
  QCheckBox* IncludeFileNameCheckBox() const { return fileName_; }
  QCheckBox* IncludePrintedOnDateCheckBox() const { return printedOn_; }
  QCheckBox* IncludePageNumberCheckBox() const { return pageNumber_; }
  QSpinBox* PrintFirstPage() const { return first_; }
  QSpinBox* PrintLastPage() const { return last_; }
  QDoubleSpinBox* Margin(MarginSide side) const { return margins_[size_t(side)]; }
  QPushButton* ApplyButton() const { return apply_; }
  QPushButton* PrintButton() const { return print_; }
  QPushButton* PreviewButton() const { return preview_; }
  QLabel* PagesLabel() const { return pagesLabel_; }
  TPrintDestinationBox* Destination() const { return destination_; }
  TPreviewForm& Preview() const { return *previewForm_; }

 signals:
  void Shown();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Layout(bool keepRange);
  DiagramPageTexts Texts() const;
  void StoreMargins();

  PrintContext& context_;
  std::function<QString()> fileLine_;
  std::function<QDate()> today_;
  const TPacketVisualizer* diagram_ = nullptr;
  std::unique_ptr<DiagramPages> pages_;

  QLineEdit* title_ = nullptr;
  QCheckBox *fileName_ = nullptr, *printedOn_ = nullptr, *pageNumber_ = nullptr;
  std::array<QDoubleSpinBox*, 4> margins_{};
  QSpinBox *first_ = nullptr, *last_ = nullptr;
  QLabel* pagesLabel_ = nullptr;
  QPushButton *print_ = nullptr, *apply_ = nullptr, *preview_ = nullptr;
  TPrintDestinationBox* destination_ = nullptr;
  TPreviewForm* previewForm_ = nullptr;
};

}  // namespace korvane
