// The page preview of the packet diagram's print: one page as an image of the paper, with
// "Zoom to Fit" (the whole page less a 40-pixel border), "Page Width", "100%" (the paper at
// the screen's pixels per inch), "Zoom In" and "Zoom Out" (the next multiple of 20 % within
// 20 % .. 200 %), the page back and forward buttons and "&Close".
#pragma once
#include <QDialog>
#include <QImage>
#include <array>
#include <cstdint>

class QLabel;
class QScrollArea;
class QToolButton;
class QPushButton;

namespace korvane {

class DiagramPages;

class TPreviewForm : public QDialog {
  Q_OBJECT
 public:
  enum class ZoomMode { Fit, PageWidth, Fixed };

  explicit TPreviewForm(QWidget* parent = nullptr);

  // The pages to show, from page (1-based); they must outlive the preview's showing.
  void SetPages(const DiagramPages* pages, int64_t page = 1);

  void ZoomToFit();
  void PageWidth();
  void ActualSize();
  void ZoomIn();
  void ZoomOut();
  void NextPage();
  void PreviousPage();

  double Zoom() const { return zoom_; }
  ZoomMode Mode() const { return mode_; }
  int64_t Page() const { return page_; }
  // The page as it is shown now.
  const QImage& PageImage() const { return image_; }

  QToolButton* Button(int index) const { return buttons_[size_t(index)]; }  // in the tool bar's order
  QToolButton* BackButton() const { return back_; }
  QToolButton* ForwardButton() const { return forward_; }
  QLabel* PageLabel() const { return pageLabel_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void SetZoom(ZoomMode mode, double zoom);
  void Render();
  QSizeF PaperPixels() const;  // the paper at 100 %

  const DiagramPages* pages_ = nullptr;
  int64_t page_ = 1;
  double zoom_ = 1.0;
  ZoomMode mode_ = ZoomMode::Fit;
  QImage image_;
  QScrollArea* area_ = nullptr;
  QLabel* paper_ = nullptr;
  QLabel* pageLabel_ = nullptr;
  std::array<QToolButton*, 5> buttons_{};
  QToolButton *back_ = nullptr, *forward_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace korvane
