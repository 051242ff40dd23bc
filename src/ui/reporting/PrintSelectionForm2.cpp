#include "ui/reporting/PrintSelectionForm2.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <climits>

#include "reports/PrintLayout.h"
#include "ui/controls/MessageSink.h"
#include "ui/reporting/PreviewForm.h"
#include "ui/reporting/PrintDestinationBox.h"
#include "ui/reporting/PrintStatusForm.h"
#include "ui/tools/PacketVisualizer.h"

namespace korvane {

namespace {
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

double& SetupMargin(PrintSetup& setup, size_t side) {
  switch (side) {
    case kLeftMargin: return setup.LeftMargin;
    case kRightMargin: return setup.RightMargin;
    case kTopMargin: return setup.TopMargin;
    default: return setup.BottomMargin;
  }
}
}  // namespace

TPrintSelectionForm2::TPrintSelectionForm2(PrintContext& context, std::function<QString()> fileLine, QWidget* parent)
    : QDialog(parent), context_(context), fileLine_(std::move(fileLine)) {
  setObjectName(QStringLiteral("PrintSelectionForm2"));
  setWindowTitle(QStringLiteral("Print Packet Visualizer"));
  today_ = [] { return QDate::currentDate(); };
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(8);

  auto* header = new QGroupBox(QStringLiteral("Header and Footer"), this);
  auto* headerLayout = new QGridLayout(header);
  auto* titleLabel = new QLabel(QStringLiteral("&Title:"), header);
  title_ = new QLineEdit(Q(kDiagramDefaultTitle), header);
  titleLabel->setBuddy(title_);
  fileName_ = new QCheckBox(QStringLiteral("Include Trace File Name"), header);
  printedOn_ = new QCheckBox(QStringLiteral("Include Printed On Date"), header);
  pageNumber_ = new QCheckBox(QStringLiteral("Include Page Number"), header);
  for (QCheckBox* box : {fileName_, printedOn_, pageNumber_}) box->setChecked(true);
  headerLayout->addWidget(titleLabel, 0, 0);
  headerLayout->addWidget(title_, 0, 1, 1, 2);
  headerLayout->addWidget(fileName_, 1, 1);
  headerLayout->addWidget(printedOn_, 2, 1);
  headerLayout->addWidget(pageNumber_, 3, 1);
  headerLayout->setColumnStretch(2, 1);
  layout->addWidget(header);

  auto* middle = new QHBoxLayout;
  middle->setSpacing(10);
  auto* margins = new QGroupBox(QStringLiteral("Margins"), this);
  auto* marginGrid = new QGridLayout(margins);
  const std::array<QString, 4> sides = {QStringLiteral("&Left:"), QStringLiteral("&Right:"), QStringLiteral("T&op:"),
                                        QStringLiteral("&Bottom:")};
  for (size_t s = 0; s < margins_.size(); ++s) {
    margins_[s] = MakeMarginBox(margins, margin_limits::kDiagramStep, margin_limits::kDiagramLowest,
                                margin_limits::kDiagramHighest, 2);
    auto* label = new QLabel(sides[s], margins);
    label->setBuddy(margins_[s]);
    marginGrid->addWidget(label, int(s / 2), int(s % 2) * 2, Qt::AlignRight);
    marginGrid->addWidget(margins_[s], int(s / 2), int(s % 2) * 2 + 1);
    connect(margins_[s], &QDoubleSpinBox::valueChanged, this, [this] { apply_->setEnabled(true); });
  }
  middle->addWidget(margins);
  auto* range = new QGroupBox(QStringLiteral("Pages"), this);
  auto* rangeLayout = new QGridLayout(range);
  first_ = new QSpinBox(range);
  last_ = new QSpinBox(range);
  first_->setObjectName(QStringLiteral("PrintFirstPage"));
  last_->setObjectName(QStringLiteral("PrintLastPage"));
  for (QSpinBox* box : {first_, last_}) {
    box->setRange(1, 1);
    box->setAlignment(Qt::AlignRight);
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 24);
  }
  // Each end bounds the other.
  connect(first_, &QSpinBox::valueChanged, this, [this](int v) { last_->setMinimum(v); });
  connect(last_, &QSpinBox::valueChanged, this, [this](int v) { first_->setMaximum(v); });
  auto* from = new QLabel(QStringLiteral("Print Pages"), range);
  from->setBuddy(first_);
  rangeLayout->addWidget(from, 0, 0);
  rangeLayout->addWidget(first_, 0, 1);
  rangeLayout->addWidget(new QLabel(QStringLiteral("to"), range), 0, 2);
  rangeLayout->addWidget(last_, 0, 3);
  pagesLabel_ = new QLabel(range);
  rangeLayout->addWidget(pagesLabel_, 1, 0, 1, 4);
  rangeLayout->setRowStretch(2, 1);
  middle->addWidget(range, 1);
  layout->addLayout(middle);

  destination_ = new TPrintDestinationBox(context_, this);
  layout->addWidget(destination_);

  auto* buttons = new QHBoxLayout;
  auto* setup = new QPushButton(QStringLiteral("Printer &Setup..."), this);
  connect(setup, &QPushButton::clicked, this, [this] { PrinterSetupClick(); });
  buttons->addWidget(setup);
  buttons->addStretch();
  print_ = new QPushButton(QStringLiteral("&Print"), this);
  print_->setDefault(true);
  apply_ = new QPushButton(QStringLiteral("&Apply"), this);
  preview_ = new QPushButton(QStringLiteral("Pre&view"), this);
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  connect(print_, &QPushButton::clicked, this, [this] { PrintClick(); });
  connect(apply_, &QPushButton::clicked, this, [this] { ApplyClick(); });
  connect(preview_, &QPushButton::clicked, this, [this] { PreviewClick(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  for (QPushButton* b : {print_, apply_, preview_, cancel}) buttons->addWidget(b);
  layout->addLayout(buttons);

  previewForm_ = new TPreviewForm(this);
}

TPrintSelectionForm2::~TPrintSelectionForm2() = default;

void TPrintSelectionForm2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  emit Shown();
}

int TPrintSelectionForm2::Run(const TPacketVisualizer& diagram) {
  Prepare(diagram);
  const int result = context_.RunDialog(*this);
  previewForm_->SetPages(nullptr);
  pages_.reset();
  diagram_ = nullptr;
  return result;
}

void TPrintSelectionForm2::Prepare(const TPacketVisualizer& diagram) {
  diagram_ = &diagram;
  PrintSetup shown = context_.Setup();
  for (size_t s = 0; s < margins_.size(); ++s) {
    const QSignalBlocker quiet(margins_[s]);
    margins_[s]->setValue(SetupMargin(shown, s));
  }
  apply_->setEnabled(false);
  destination_->Load(context_.Destination());
  Layout(false);
}

void TPrintSelectionForm2::StoreMargins() {
  for (size_t s = 0; s < margins_.size(); ++s) SetupMargin(context_.Setup(), s) = margins_[s]->value();
  apply_->setEnabled(false);
}

DiagramPageTexts TPrintSelectionForm2::Texts() const {
  DiagramPageTexts t;
  t.title = title_->text();
  t.fileLine = fileLine_ ? fileLine_() : QString();
  const QDate today = today_();
  t.printedOn = Q(PrintedOnText(today.year(), today.month(), today.day()));
  t.withFileLine = fileName_->isChecked();
  t.withPrintedOn = printedOn_->isChecked();
  t.withPageNumber = pageNumber_->isChecked();
  return t;
}

void TPrintSelectionForm2::Layout(bool keepRange) {
  if (!diagram_) return;
  // The margins as the boxes hold them: within this dialog's limits.
  PrintSetup setup = context_.Setup();
  for (size_t s = 0; s < margins_.size(); ++s) SetupMargin(setup, s) = margins_[s]->value();
  pages_ = std::make_unique<DiagramPages>(*diagram_, setup, context_.PaperInches(), Texts());
  const int count = int(std::min<int64_t>(pages_->Count(), INT_MAX));
  const int first = keepRange ? std::min(first_->value(), count) : 1;
  const int last = keepRange ? std::min(last_->value(), count) : count;
  const QSignalBlocker quietFirst(first_), quietLast(last_);
  first_->setRange(1, last);
  last_->setRange(first, count);
  first_->setValue(first);
  last_->setValue(last);
  pagesLabel_->setText(count == 1 ? QStringLiteral("The diagram fills 1 page.")
                                  : QStringLiteral("The diagram fills %L1 pages.").arg(count));
}

void TPrintSelectionForm2::ApplyClick() {
  StoreMargins();
  Layout(false);
}

void TPrintSelectionForm2::PrinterSetupClick() {
  context_.Destination() = destination_->Value();
  StoreMargins();
  context_.PrinterSetup(this);
  Layout(false);
}

void TPrintSelectionForm2::PreviewClick() {
  if (!diagram_) return;
  if (apply_->isEnabled()) ApplyClick();
  Layout(true);
  previewForm_->SetPages(pages_.get(), first_->value());
  context_.RunDialog(*previewForm_);
}

bool TPrintSelectionForm2::PrintClick() {
  if (!diagram_) return false;
  if (apply_->isEnabled()) ApplyClick();
  Layout(true);
  context_.Destination() = destination_->Value();
  const int64_t first = first_->value(), last = last_->value();
  const int64_t count = last - first + 1;
  if (count < 1) return false;
  if (count > kPagesPrintedWithoutAsking &&
      Messages().Show(this, QStringLiteral("Print"), Q(LongPrintQuestion(count)), MessageIcon::Question,
                      MessageButtons::OkCancel) != MessageAnswer::Ok)
    return false;
  PrintJob job(context_, title_->text(), this);
  if (!job.Started()) return false;
  TPrintStatusForm& status = context_.Status();
  status.Start(count);
  bool ok = true;
  for (int64_t page = first; page <= last; ++page) {
    if (page > first && !(ok = job.NewPage())) break;
    status.SetPage(page);
    pages_->Paint(job.Painter(), job.Dpi(), page);
    if (status.Cancelled()) break;
  }
  if (ok) ok = job.Finish();
  status.Finish();
  if (ok) accept();
  return ok;
}

}  // namespace korvane
