#include "ui/reporting/PrintStatusForm.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

TPrintStatusForm::TPrintStatusForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PrintStatusForm"));
  setWindowTitle(QStringLiteral("Print Status"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 14);
  layout->setSpacing(8);
  auto* text = new QLabel(QStringLiteral("Printing..."), this);
  QFont bold = text->font();
  bold.setBold(true);
  text->setFont(bold);
  text->setAlignment(Qt::AlignCenter);
  layout->addWidget(text);
  pageLabel_ = new QLabel(this);
  pageLabel_->setAlignment(Qt::AlignCenter);
  pageLabel_->setMinimumWidth(pageLabel_->fontMetrics().horizontalAdvance(QStringLiteral("Page 000000 (000000 of 000000)")) + 20);
  layout->addWidget(pageLabel_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
  connect(cancel_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
  buttons->addWidget(cancel_);
  buttons->addStretch();
  layout->addLayout(buttons);
  setWindowModality(Qt::ApplicationModal);
}

void TPrintStatusForm::Start(int64_t pages) {
  pages_ = pages;
  done_ = 0;
  cancelled_ = false;
  pageLabel_->clear();
  show();
  raise();
  QCoreApplication::processEvents();
}

void TPrintStatusForm::SetPage(int64_t page) {
  ++done_;
  pageLabel_->setText(pages_ > 1 ? QStringLiteral("Page %1 (%2 of %3)").arg(page).arg(done_).arg(pages_)
                                 : QStringLiteral("Page %1").arg(page));
  emit PageStarted(page);
  QCoreApplication::processEvents();
}

void TPrintStatusForm::Finish() { hide(); }

// Escape or closing the window cancels like the button.
void TPrintStatusForm::reject() { cancelled_ = true; }

}  // namespace korvane
