#include "ui/reporting/PrintSelectionForm.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

#include "reports/PrintLayout.h"
#include "ui/controls/MessageSink.h"
#include "ui/reporting/PrintDestinationBox.h"
#include "ui/reporting/PrintStatusForm.h"

namespace korvane {

namespace {
constexpr std::array<const char*, kPrintableWindowCount> kCaptions = {
    "Main Window",         "Station Statistics", "Network Statistics", "Packet Visualizer",
    "Latency Analysis",    "Throughput Analysis", "Problem Analysis",  "What-If Analysis"};
constexpr std::array<const char*, 4> kSideCaptions = {"&Left:", "&Right:", "&Top:", "&Bottom:"};

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

double* SetupMargin(PrintSetup& setup, MarginSide side) {
  switch (side) {
    case kLeftMargin: return &setup.LeftMargin;
    case kRightMargin: return &setup.RightMargin;
    case kTopMargin: return &setup.TopMargin;
    case kBottomMargin: break;
  }
  return &setup.BottomMargin;
}
}  // namespace

QDoubleSpinBox* MakeMarginBox(QWidget* parent, double step, double lowest, double highest, int decimals) {
  auto* box = new QDoubleSpinBox(parent);
  box->setDecimals(decimals);
  box->setSingleStep(step);
  box->setRange(lowest, highest);
  box->setSuffix(QStringLiteral("\""));
  box->setAlignment(Qt::AlignRight);
  box->setKeyboardTracking(false);
  return box;
}

TPrintSelectionForm::TPrintSelectionForm(PrintContext& context, std::function<QString()> header, QWidget* parent)
    : QDialog(parent), context_(context), headerText_(std::move(header)) {
  setObjectName(QStringLiteral("PrintSelectionForm"));
  setWindowTitle(QStringLiteral("Print"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(8);
  auto* top = new QHBoxLayout;
  top->setSpacing(10);
  layout->addLayout(top);

  auto* windows = new QGroupBox(QStringLiteral("Windows to Print"), this);
  auto* grid = new QGridLayout(windows);
  grid->setVerticalSpacing(2);
  for (size_t i = 0; i < kPrintableWindowCount; ++i) {
    boxes_[i] = new QCheckBox(QString::fromLatin1(kCaptions[i]), windows);
    showButtons_[i] = new QToolButton(windows);
    showButtons_[i]->setText(QStringLiteral("Show"));
    showButtons_[i]->setToolTip(QStringLiteral("Bring the %1 window to the front").arg(kCaptions[i]));
    connect(boxes_[i], &QCheckBox::toggled, this, [this] { EnableOk(); });
    connect(showButtons_[i], &QToolButton::clicked, this, [this, i] {
      if (QWidget* w = windows_[i]) {
        w->raise();
        raise();
      }
    });
    grid->addWidget(boxes_[i], int(i), 0);
    grid->addWidget(showButtons_[i], int(i), 1);
  }
  grid->setColumnStretch(0, 1);
  top->addWidget(windows, 1);

  auto* right = new QVBoxLayout;
  right->setSpacing(8);
  auto* margins = new QGroupBox(QStringLiteral("Margins"), this);
  auto* form = new QFormLayout(margins);
  form->setLabelAlignment(Qt::AlignRight);
  for (size_t s = 0; s < margins_.size(); ++s) {
    margins_[s] = MakeMarginBox(margins, margin_limits::kSnapshotStep, margin_limits::kSnapshotLowest,
                                margin_limits::kSnapshotHighest, 1);
    form->addRow(QString::fromLatin1(kSideCaptions[s]), margins_[s]);
  }
  right->addWidget(margins);
  auto* output = new QGroupBox(QStringLiteral("Output"), this);
  auto* outputLayout = new QVBoxLayout(output);
  proportional_ = new QRadioButton(QStringLiteral("Print Proportional"), output);
  toFit_ = new QRadioButton(QStringLiteral("Print To Fit"), output);
  outputLayout->addWidget(proportional_);
  outputLayout->addWidget(toFit_);
  right->addWidget(output);
  header_ = new QCheckBox(QStringLiteral("Print Header"), this);
  right->addWidget(header_);
  right->addStretch();
  top->addLayout(right);

  destination_ = new TPrintDestinationBox(context_, this);
  layout->addWidget(destination_);

  auto* buttons = new QHBoxLayout;
  auto* setup = new QPushButton(QStringLiteral("Printer &Setup..."), this);
  connect(setup, &QPushButton::clicked, this, [this] { PrinterSetupClick(); });
  buttons->addWidget(setup);
  buttons->addStretch();
  ok_ = new QPushButton(QStringLiteral("&OK"), this);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, [this] { OkClick(); });
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
}

void TPrintSelectionForm::SetWindow(PrintableWindow which, QWidget* window) { windows_[size_t(which)] = window; }

bool TPrintSelectionForm::OnScreen(const QWidget* window) {
  return window && window->isVisible() && !window->isMinimized();
}

void TPrintSelectionForm::Prepare() {
  const PrintSetup& setup = context_.Setup();
  PrintSetup shown = setup;
  for (size_t s = 0; s < margins_.size(); ++s) margins_[s]->setValue(*SetupMargin(shown, MarginSide(s)));
  (setup.Scaling == PrintScaling::Proportional ? proportional_ : toFit_)->setChecked(true);
  header_->setChecked(setup.PrintHeader);
  for (size_t i = 0; i < kPrintableWindowCount; ++i) {
    const bool on = OnScreen(windows_[i]);
    boxes_[i]->setEnabled(on);
    showButtons_[i]->setEnabled(on);
  }
  destination_->Load(context_.Destination());
  EnableOk();
}

void TPrintSelectionForm::EnableOk() {
  bool any = false;
  for (const QCheckBox* box : boxes_) any = any || (box->isEnabled() && box->isChecked());
  ok_->setEnabled(any);
}

void TPrintSelectionForm::StoreSetup() {
  PrintSetup& setup = context_.Setup();
  for (size_t s = 0; s < margins_.size(); ++s) *SetupMargin(setup, MarginSide(s)) = margins_[s]->value();
  setup.Scaling = proportional_->isChecked() ? PrintScaling::Proportional : PrintScaling::ToFit;
  setup.PrintHeader = header_->isChecked();
  context_.Destination() = destination_->Value();
}

void TPrintSelectionForm::PrinterSetupClick() {
  StoreSetup();
  context_.PrinterSetup(this);
}

void TPrintSelectionForm::PrintPicture(PrintJob& job, const QPixmap& picture, double screenDpi, const QString& header) {
  const QSizeF paper = job.PaperPixels();
  const QSizeF image = picture.deviceIndependentSize();
  const SnapshotPlacement at = PlaceSnapshot(image.width(), image.height(), screenDpi, job.Dpi(), paper.width(),
                                             paper.height(), context_.Setup());
  QPainter& painter = job.Painter();
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(QRectF(at.image.x, at.image.y, at.image.width, at.image.height), picture,
                     QRectF(QPointF(0, 0), picture.size()));
  if (context_.Setup().PrintHeader) {
    painter.setFont(QFont(QStringLiteral("Arial"), 10));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(at.headerX, at.headerTop, paper.width() - at.headerX, paper.height() - at.headerTop),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, header);
  }
  painter.restore();
}

bool TPrintSelectionForm::OkClick() {
  StoreSetup();
  struct Chosen {
    QPixmap picture;
    double dpi;
  };
  std::vector<Chosen> chosen;
  for (size_t i = 0; i < kPrintableWindowCount; ++i)
    if (boxes_[i]->isEnabled() && boxes_[i]->isChecked() && OnScreen(windows_[i]))
      chosen.push_back({windows_[i]->grab(), double(windows_[i]->logicalDpiX())});
  if (chosen.empty()) return false;
  // Margins that leave no room on the paper print nothing.
  const QSizeF paper = context_.PaperInches();
  const SnapshotPlacement room = PlaceSnapshot(1, 1, 1, 1, paper.width(), paper.height(), context_.Setup());
  if (!room.roomy) {
    Messages().Show(this, QStringLiteral("Print"),
                    QStringLiteral("The margins leave no room on the page. Make them smaller."),
                    MessageIcon::Exclamation);
    return false;
  }
  const QString header = headerText_ ? headerText_() : QString();
  const QString title = Q(kSnapshotJobTitle);
  TPrintStatusForm& status = context_.Status();
  status.Start(int64_t(chosen.size()));
  bool ok = true;
  const bool oneDocument = context_.Destination().ToPdf();
  std::unique_ptr<PrintJob> job;
  for (size_t n = 0; n < chosen.size() && ok && !status.Cancelled(); ++n) {
    status.SetPage(int64_t(n + 1));
    if (!job) {
      job = std::make_unique<PrintJob>(context_, title, this);
      ok = job->Started();
      if (!ok) break;
    } else if (oneDocument) {
      ok = job->NewPage();
    }
    if (ok) PrintPicture(*job, chosen[n].picture, chosen[n].dpi, header);
    if (ok && !oneDocument) {
      ok = job->Finish();
      job.reset();
    }
  }
  if (job && ok) ok = job->Finish();
  status.Finish();
  if (ok) accept();
  return ok;
}

}  // namespace korvane
