#include "ui/controls/DualListDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvane {

namespace {

void Fill(QListWidget* list, const std::vector<TDualListDialog::Item>& items) {
  list->setSortingEnabled(false);
  list->clear();
  for (const auto& item : items) {
    auto* row = new QListWidgetItem(item.text, list);
    row->setData(Qt::UserRole, item.id);
  }
  list->setSortingEnabled(true);
  list->sortItems();
}

std::vector<int> Ids(const QListWidget* list) {
  std::vector<int> ids;
  ids.reserve(size_t(list->count()));
  for (int i = 0; i < list->count(); ++i) ids.push_back(list->item(i)->data(Qt::UserRole).toInt());
  return ids;
}

}  // namespace

TDualListDialog::TDualListDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("DualListDlg"));
  auto* grid = new QGridLayout(this);
  leftCaption_ = new QLabel(this);
  rightCaption_ = new QLabel(this);
  left_ = new QListWidget(this);
  right_ = new QListWidget(this);
  for (QListWidget* list : {left_, right_}) {
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setMinimumSize(220, 260);
    list->setUniformItemSizes(true);  // thousands of stations stay quick
  }
  leftCaption_->setBuddy(left_);
  rightCaption_->setBuddy(right_);

  auto button = [this](const QString& text, const QString& tip, auto action) {
    auto* b = new QPushButton(text, this);
    b->setToolTip(tip);
    b->setFixedWidth(40);
    connect(b, &QPushButton::clicked, this, action);
    return b;
  };
  include_ = button(QStringLiteral(">"), tr("Move the selected items to the right"), [this] { MoveSelected(true); });
  includeAll_ = button(QStringLiteral(">>"), tr("Move every item to the right"), [this] { MoveAll(true); });
  exclude_ = button(QStringLiteral("<"), tr("Move the selected items back to the left"), [this] { MoveSelected(false); });
  excludeAll_ = button(QStringLiteral("<<"), tr("Move every item back to the left"), [this] { MoveAll(false); });
  auto* buttons = new QVBoxLayout;
  buttons->addStretch();
  for (QPushButton* b : {include_, includeAll_, exclude_, excludeAll_}) buttons->addWidget(b);
  buttons->addStretch();

  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);

  grid->addWidget(leftCaption_, 0, 0);
  grid->addWidget(rightCaption_, 0, 2);
  grid->addWidget(left_, 1, 0);
  grid->addLayout(buttons, 1, 1);
  grid->addWidget(right_, 1, 2);
  grid->addWidget(box, 2, 0, 1, 3);

  connect(left_, &QListWidget::itemSelectionChanged, this, &TDualListDialog::EnableButtons);
  connect(right_, &QListWidget::itemSelectionChanged, this, &TDualListDialog::EnableButtons);
  connect(left_, &QListWidget::itemDoubleClicked, this, [this] { MoveSelected(true); });
  connect(right_, &QListWidget::itemDoubleClicked, this, [this] { MoveSelected(false); });
  EnableButtons();
}

void TDualListDialog::SetLists(const QString& title, const QString& leftCaption, const std::vector<Item>& left,
                               const QString& rightCaption, const std::vector<Item>& right) {
  setWindowTitle(title);
  leftCaption_->setText(leftCaption);
  rightCaption_->setText(rightCaption);
  Fill(left_, left);
  Fill(right_, right);
  EnableButtons();
}

std::vector<int> TDualListDialog::RightIds() const { return Ids(right_); }
std::vector<int> TDualListDialog::LeftIds() const { return Ids(left_); }

void TDualListDialog::MoveSelected(bool toRight) {
  QListWidget* from = toRight ? left_ : right_;
  QListWidget* to = toRight ? right_ : left_;
  to->setSortingEnabled(false);
  const QList<QListWidgetItem*> chosen = from->selectedItems();
  for (QListWidgetItem* item : chosen) to->addItem(from->takeItem(from->row(item)));
  to->setSortingEnabled(true);
  to->sortItems();
  EnableButtons();
}

void TDualListDialog::MoveAll(bool toRight) {
  QListWidget* from = toRight ? left_ : right_;
  QListWidget* to = toRight ? right_ : left_;
  to->setSortingEnabled(false);
  while (from->count() > 0) to->addItem(from->takeItem(from->count() - 1));
  to->setSortingEnabled(true);
  to->sortItems();
  EnableButtons();
}

void TDualListDialog::EnableButtons() {
  include_->setEnabled(!left_->selectedItems().isEmpty());
  includeAll_->setEnabled(left_->count() > 0);
  exclude_->setEnabled(!right_->selectedItems().isEmpty());
  excludeAll_->setEnabled(right_->count() > 0);
}

}  // namespace korvane
