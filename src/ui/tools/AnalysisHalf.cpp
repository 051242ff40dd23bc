#include "ui/tools/AnalysisHalf.h"

#include <QApplication>
#include <QClipboard>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/controls/ValueBox.h"
#include "ui/tools/PacketVisualizer.h"

namespace korvane {

namespace {
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
}  // namespace

QImage DrawAnalysisChart(const AnalysisChart& chart) {
  QImage image(132, 116, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  QFont font = QApplication::font();
  font.setPixelSize(9);
  p.setFont(font);
  const int axisX = 34, baseY = 100, top = baseY - kChartFullScalePixels;
  p.setPen(QColor(0xC0, 0xC0, 0xC0));
  p.drawLine(axisX, baseY - kChartGridSpacingPixels, 128, baseY - kChartGridSpacingPixels);
  p.drawLine(axisX, top, 128, top);
  p.setPen(Qt::black);
  p.drawLine(axisX, top - 2, axisX, baseY);
  p.drawLine(axisX, baseY, 128, baseY);
  const QRect labels(0, 0, axisX - 3, 10);
  p.drawText(labels.translated(0, baseY - 5), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0"));
  p.drawText(labels.translated(0, baseY - kChartGridSpacingPixels - 5), Qt::AlignRight | Qt::AlignVCenter,
             Q(chart.halfLabel).trimmed());
  p.drawText(labels.translated(0, top - 5), Qt::AlignRight | Qt::AlignVCenter, Q(chart.topLabel).trimmed());
  for (size_t i = 0; i < 4; ++i) {
    const int x = axisX + 8 + int(i) * kChartLabelSpacingPixels;
    const int h = chart.barHeights[i];
    if (h > 0) p.fillRect(QRect(x, baseY - h, 16, h), ColourFromValue(AnalysisChart::Colours[i]));
    p.drawText(QRect(x - 4, baseY + 2, 24, 12), Qt::AlignCenter, Q(AnalysisChart::Labels[i]));
  }
  return image;
}

TAnalysisHalf::TAnalysisHalf(const HalfCaptions& captions, QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  label_ = new QLabel(this);
  label_->setAutoFillBackground(true);
  QFont bold = label_->font();
  bold.setBold(true);
  label_->setFont(bold);
  label_->setContentsMargins(6, 3, 6, 3);
  layout->addWidget(label_);
  memo_ = new QPlainTextEdit(this);
  memo_->setReadOnly(true);
  memo_->setFixedHeight(memo_->fontMetrics().lineSpacing() * 3 + 12);
  layout->addWidget(memo_);

  auto* row = new QHBoxLayout;
  figuresGroup_ = new QGroupBox(captions.figuresGroup, this);
  auto* fl = new QGridLayout(figuresGroup_);
  auto* form = new QFormLayout;
  form->setLabelAlignment(Qt::AlignRight);
  for (size_t i = 0; i < 4; ++i) {
    figures_[i] = MakeValueBox(figuresGroup_);
    figures_[i]->setMinimumWidth(110);
    figures_[i]->setToolTip(captions.figureHints[i]);
    form->addRow(captions.figures[i], figures_[i]);
  }
  fl->addLayout(form, 0, 0);
  chart_ = new QLabel(figuresGroup_);
  chart_->setFixedSize(132, 116);
  chart_->setFrameShape(QFrame::NoFrame);
  fl->addWidget(chart_, 0, 1, 2, 1);
  auto* buttons = new QHBoxLayout;
  copyData_ = new QToolButton(figuresGroup_);
  copyData_->setText(QStringLiteral("Copy Data"));
  copyData_->setToolTip(QStringLiteral("Copy data to clipboard"));
  copyGraphic_ = new QToolButton(figuresGroup_);
  copyGraphic_->setText(QStringLiteral("Copy Graphic"));
  copyGraphic_->setToolTip(QStringLiteral("Copy graphic to clipboard"));
  buttons->addWidget(copyData_);
  buttons->addWidget(copyGraphic_);
  buttons->addStretch(1);
  fl->addLayout(buttons, 1, 0);
  connect(copyData_, &QToolButton::clicked, this, [this] {
    QApplication::clipboard()->clear();
    QApplication::clipboard()->setText(copyText_);
  });
  connect(copyGraphic_, &QToolButton::clicked, this, [this] { QApplication::clipboard()->setImage(picture_); });
  row->addWidget(figuresGroup_, 3);

  auto* packetsGroup = new QGroupBox(QStringLiteral("Packets"), this);
  auto* pv = new QVBoxLayout(packetsGroup);
  auto* pf = new QFormLayout;
  pf->setLabelAlignment(Qt::AlignRight);
  for (size_t i = 0; i < 6; ++i) {
    if (captions.packets[i].isEmpty()) continue;
    packets_[i] = MakeValueBox(packetsGroup);
    packets_[i]->setMinimumWidth(100);
    packets_[i]->setToolTip(captions.packetHints[i]);
    pf->addRow(captions.packets[i], packets_[i]);
  }
  pv->addLayout(pf);
  buttonRow_ = new QWidget(packetsGroup);
  auto* bl = new QHBoxLayout(buttonRow_);
  bl->setContentsMargins(0, 0, 0, 0);
  pv->addWidget(buttonRow_);
  buttonRow_->hide();
  row->addWidget(packetsGroup, 2);
  layout->addLayout(row);
  Clear(QString());
}

void TAnalysisHalf::AddButton(QWidget* button) {
  button->setParent(buttonRow_);
  buttonRow_->layout()->addWidget(button);
  buttonRow_->show();
}

void TAnalysisHalf::Clear(const QString& memo) {
  label_->clear();
  label_->setAutoFillBackground(false);
  memo_->setPlainText(memo);
  for (QLabel* f : figures_) f->clear();
  for (QLabel* p : packets_)
    if (p) p->clear();
  SetChart(nullptr);
  copyText_.clear();
}

void TAnalysisHalf::SetLabel(const QString& text, uint32_t colour) {
  label_->setText(text);
  label_->setAutoFillBackground(!text.isEmpty());
  QPalette p = label_->palette();
  p.setColor(QPalette::Window, ColourFromValue(colour));
  p.setColor(QPalette::WindowText, Qt::white);
  label_->setPalette(p);
}

void TAnalysisHalf::SetMemo(const QString& text) { memo_->setPlainText(text); }

void TAnalysisHalf::SetFigures(const std::array<QString, 4>& texts) {
  for (size_t i = 0; i < 4; ++i) figures_[i]->setText(texts[i].trimmed());
}

void TAnalysisHalf::SetPackets(const std::array<QString, 6>& texts) {
  for (size_t i = 0; i < 6; ++i)
    if (packets_[i]) packets_[i]->setText(texts[i].trimmed());
}

void TAnalysisHalf::SetChart(const AnalysisChart* chart) {
  if (chart) {
    picture_ = DrawAnalysisChart(*chart);
    chart_->setPixmap(QPixmap::fromImage(picture_));
  } else {
    picture_ = QImage();
    chart_->clear();
  }
  copyData_->setEnabled(chart != nullptr);
  copyGraphic_->setEnabled(chart != nullptr);
}

void TAnalysisHalf::SetFiguresCaption(const QString& caption) { figuresGroup_->setTitle(caption); }

}  // namespace korvane
