#include "ui/reporting/PreviewForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "ui/reporting/DiagramPages.h"

namespace korvane {

namespace {
constexpr double kStep = 0.2, kLeast = 0.2, kMost = 2.0;
constexpr int kFitBorder = 40;   // around the whole page at Zoom to Fit
constexpr int kPageBorder = 20;  // around a zoomed page
}  // namespace

TPreviewForm::TPreviewForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PreviewForm"));
  setWindowTitle(QStringLiteral("Print Preview"));
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(6, 4, 6, 4);
  bar->setSpacing(3);
  const std::array<QString, 5> captions = {QStringLiteral("Zoom to Fit"), QStringLiteral("Page Width"),
                                           QStringLiteral("100%"), QStringLiteral("Zoom In"),
                                           QStringLiteral("Zoom Out")};
  const std::array<void (TPreviewForm::*)(), 5> actions = {&TPreviewForm::ZoomToFit, &TPreviewForm::PageWidth,
                                                           &TPreviewForm::ActualSize, &TPreviewForm::ZoomIn,
                                                           &TPreviewForm::ZoomOut};
  for (size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i] = new QToolButton(this);
    buttons_[i]->setText(captions[i]);
    buttons_[i]->setToolTip(captions[i]);
    buttons_[i]->setAutoRaise(true);
    connect(buttons_[i], &QToolButton::clicked, this, actions[i]);
    bar->addWidget(buttons_[i]);
  }
  bar->addSpacing(12);
  back_ = new QToolButton(this);
  back_->setArrowType(Qt::LeftArrow);
  back_->setToolTip(QStringLiteral("Previous Page"));
  connect(back_, &QToolButton::clicked, this, &TPreviewForm::PreviousPage);
  forward_ = new QToolButton(this);
  forward_->setArrowType(Qt::RightArrow);
  forward_->setToolTip(QStringLiteral("Next Page"));
  connect(forward_, &QToolButton::clicked, this, &TPreviewForm::NextPage);
  pageLabel_ = new QLabel(this);
  pageLabel_->setMinimumWidth(pageLabel_->fontMetrics().horizontalAdvance(QStringLiteral("Page 00000 of 00000")));
  pageLabel_->setAlignment(Qt::AlignCenter);
  bar->addWidget(back_);
  bar->addWidget(pageLabel_);
  bar->addWidget(forward_);
  bar->addStretch();
  close_ = new QPushButton(QStringLiteral("&Close"), this);
  close_->setToolTip(QStringLiteral("Close Preview"));
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  bar->addWidget(close_);
  layout->addLayout(bar);

  area_ = new QScrollArea(this);
  area_->setAlignment(Qt::AlignCenter);
  area_->setBackgroundRole(QPalette::Dark);
  paper_ = new QLabel;
  paper_->setAlignment(Qt::AlignCenter);
  paper_->setContentsMargins(kPageBorder, kPageBorder, kPageBorder, kPageBorder);
  area_->setWidget(paper_);
  layout->addWidget(area_, 1);
  resize(720, 820);
}

void TPreviewForm::SetPages(const DiagramPages* pages, int64_t page) {
  pages_ = pages;
  page_ = pages ? std::clamp<int64_t>(page, 1, pages->Count()) : 1;
  SetZoom(mode_, zoom_);
}

QSizeF TPreviewForm::PaperPixels() const {
  if (!pages_) return {1, 1};
  return pages_->PaperInches() * pages_->ScreenDpi();
}

void TPreviewForm::ZoomToFit() { SetZoom(ZoomMode::Fit, zoom_); }
void TPreviewForm::PageWidth() { SetZoom(ZoomMode::PageWidth, zoom_); }
void TPreviewForm::ActualSize() { SetZoom(ZoomMode::Fixed, 1.0); }

void TPreviewForm::ZoomIn() {
  const double next = (std::floor(zoom_ / kStep + 1e-6) + 1) * kStep;
  SetZoom(ZoomMode::Fixed, std::min(kMost, next));
}

void TPreviewForm::ZoomOut() {
  const double next = (std::ceil(zoom_ / kStep - 1e-6) - 1) * kStep;
  SetZoom(ZoomMode::Fixed, std::max(kLeast, next));
}

void TPreviewForm::NextPage() {
  if (pages_ && page_ < pages_->Count()) {
    ++page_;
    Render();
  }
}

void TPreviewForm::PreviousPage() {
  if (page_ > 1) {
    --page_;
    Render();
  }
}

void TPreviewForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (mode_ != ZoomMode::Fixed) SetZoom(mode_, zoom_);
}

void TPreviewForm::SetZoom(ZoomMode mode, double zoom) {
  mode_ = mode;
  const QSizeF paper = PaperPixels();
  const QSize view = area_->viewport()->size();
  if (mode == ZoomMode::Fit)
    zoom = std::min((view.width() - kFitBorder) / paper.width(), (view.height() - kFitBorder) / paper.height());
  else if (mode == ZoomMode::PageWidth)
    zoom = (view.width() - 2 * kPageBorder - area_->verticalScrollBar()->sizeHint().width()) / paper.width();
  zoom_ = std::max(0.05, zoom);
  Render();
}

void TPreviewForm::Render() {
  const int64_t count = pages_ ? pages_->Count() : 0;
  pageLabel_->setText(pages_ ? QStringLiteral("Page %1 of %2").arg(page_).arg(count) : QString());
  back_->setEnabled(page_ > 1);
  forward_->setEnabled(page_ < count);
  buttons_[3]->setEnabled(zoom_ < kMost - 1e-6);
  buttons_[4]->setEnabled(zoom_ > kLeast + 1e-6);
  if (!pages_) return;
  const double dpi = pages_->ScreenDpi() * zoom_;
  const QSizeF paper = pages_->PaperInches() * dpi;
  image_ = QImage(std::max(1, int(std::lround(paper.width()))), std::max(1, int(std::lround(paper.height()))),
                  QImage::Format_RGB32);
  // Fonts in points come out at the zoomed size.
  image_.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
  image_.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
  image_.fill(Qt::white);
  {
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    pages_->Paint(painter, dpi, page_);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    painter.drawRect(image_.rect().adjusted(0, 0, -1, -1));
  }
  paper_->setPixmap(QPixmap::fromImage(image_));
  paper_->adjustSize();
}

}  // namespace korvane
