#include "ui/main/ServerPortsDialog.h"

#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/controls/MessageSink.h"

namespace korvane {

namespace {

constexpr int kPortDigits = 5;
constexpr int kHighestPort = 65535;
constexpr char kPortsTitle[] = "User-defined Ports";

}  // namespace

TServerPortsDialog::TServerPortsDialog(const ServerPortSettings& stored, QWidget* parent)
    : QDialog(parent), stored_(stored) {
  setObjectName(QStringLiteral("ServerPorts"));
  setWindowTitle(QLatin1String(kPortsTitle));

  auto* outer = new QVBoxLayout(this);
  auto* explanation = new QLabel(QStringLiteral("This is where you can enter UDP/TCP server ports\n"
                                                "not pre-programmed into Korvane or override the\n"
                                                "names given to ports. Port numbers are in decimal."),
                                 this);
  explanation->setObjectName(QStringLiteral("ExplanationLabel"));
  outer->addWidget(explanation);

  auto* edits = new QGridLayout;
  auto* portLabel = new QLabel(QStringLiteral("Port"), this);
  auto* nameLabel = new QLabel(QStringLiteral("Name"), this);
  port_ = new QLineEdit(this);
  port_->setObjectName(QStringLiteral("PortEdit"));
  port_->setMaxLength(kPortDigits);
  // Typing takes digits only; a number above the highest port is refused on leaving the field.
  port_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), port_));
  port_->setFixedWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
  port_->installEventFilter(this);
  name_ = new QLineEdit(this);
  name_->setObjectName(QStringLiteral("NameEdit"));
  portLabel->setBuddy(port_);
  nameLabel->setBuddy(name_);
  edits->addWidget(portLabel, 0, 0);
  edits->addWidget(nameLabel, 0, 1);
  edits->addWidget(port_, 1, 0);
  edits->addWidget(name_, 1, 1);
  outer->addLayout(edits);

  auto* body = new QHBoxLayout;
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("PortList"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  body->addWidget(list_, 1);
  auto* buttons = new QVBoxLayout;
  add_ = new QPushButton(QStringLiteral("&Add"), this);
  add_->setObjectName(QStringLiteral("AddButton"));
  update_ = new QPushButton(QStringLiteral("&Update"), this);
  update_->setObjectName(QStringLiteral("UpdateButton"));
  delete_ = new QPushButton(QStringLiteral("&Delete"), this);
  delete_->setObjectName(QStringLiteral("DeleteButton"));
  auto* ok = new QPushButton(QStringLiteral("&OK"), this);
  ok->setObjectName(QStringLiteral("OkButton"));
  auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  for (QPushButton* b : {add_, update_, delete_}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  body->addLayout(buttons);
  outer->addLayout(body, 1);

  connect(port_, &QLineEdit::textChanged, this, &TServerPortsDialog::UpdateButtons);
  connect(name_, &QLineEdit::textChanged, this, &TServerPortsDialog::UpdateButtons);
  connect(list_, &QListWidget::itemSelectionChanged, this, &TServerPortsDialog::EntrySelected);
  connect(add_, &QPushButton::clicked, this, &TServerPortsDialog::AddClick);
  connect(update_, &QPushButton::clicked, this, &TServerPortsDialog::UpdateClick);
  connect(delete_, &QPushButton::clicked, this, &TServerPortsDialog::DeleteClick);
  connect(ok, &QPushButton::clicked, this, &TServerPortsDialog::OkClick);
  connect(cancel, &QPushButton::clicked, this, &TServerPortsDialog::CancelClick);

  Load();
  resize(420, 360);
}

bool TServerPortsDialog::IsPortNumber(const QString& text) {
  if (text.isEmpty() || text.size() > kPortDigits) return false;
  for (QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  return text.toInt() <= kHighestPort;
}

QStringList TServerPortsDialog::Entries() const {
  QStringList entries;
  for (int i = 0; i < list_->count(); ++i) entries << list_->item(i)->text();
  return entries;
}

void TServerPortsDialog::Load() {
  port_->clear();
  name_->clear();
  list_->clear();
  for (const std::string& entry : stored_.Entries)
    if (!entry.empty()) InsertSorted(QString::fromStdString(entry));
  UpdateButtons();
}

// The list keeps its entries in text order ("1000" before "21"), as a sorted list box does.
void TServerPortsDialog::InsertSorted(const QString& entry) {
  int at = 0;
  while (at < list_->count() && QString::compare(list_->item(at)->text(), entry, Qt::CaseInsensitive) <= 0) ++at;
  list_->insertItem(at, entry);
}

QString TServerPortsDialog::EditedEntry() const {
  return QString::fromStdString(ServerPortSettings::Entry(port_->text().toStdString(), name_->text().toStdString()));
}

void TServerPortsDialog::UpdateButtons() {
  const bool entered = !port_->text().isEmpty() && !name_->text().isEmpty() && IsPortNumber(port_->text());
  const bool selected = !list_->selectedItems().isEmpty();
  add_->setEnabled(entered);
  update_->setEnabled(entered && selected);
  delete_->setEnabled(selected);
}

void TServerPortsDialog::EntrySelected() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (!selected.isEmpty()) {
    const std::string entry = selected.front()->text().toStdString();
    port_->setText(QString::fromStdString(std::string(ServerPortSettings::EntryPort(entry))));
    name_->setText(QString::fromStdString(std::string(ServerPortSettings::EntryName(entry))));
  }
  UpdateButtons();
}

void TServerPortsDialog::AddClick() {
  if (!add_->isEnabled()) return;
  InsertSorted(EditedEntry());
  changed_ = true;
  UpdateButtons();
}

void TServerPortsDialog::UpdateClick() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (!update_->isEnabled() || selected.isEmpty()) return;
  const QString entry = EditedEntry();
  {
    const QSignalBlocker blocker(list_);
    delete list_->takeItem(list_->row(selected.front()));
    InsertSorted(entry);
    for (int i = 0; i < list_->count(); ++i)
      if (list_->item(i)->text() == entry) {
        list_->setCurrentRow(i);
        break;
      }
  }
  changed_ = true;
  UpdateButtons();
}

void TServerPortsDialog::DeleteClick() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  {
    const QSignalBlocker blocker(list_);
    delete list_->takeItem(list_->row(selected.front()));
    list_->clearSelection();
    list_->setCurrentRow(-1);
  }
  changed_ = true;
  UpdateButtons();
}

bool TServerPortsDialog::PortEditExit() {
  const QString text = port_->text();
  if (text.isEmpty() || IsPortNumber(text)) return true;
  Messages().Show(this, QStringLiteral("Error"), QStringLiteral("Invalid Port Number"), MessageIcon::Stop);
  return false;
}

void TServerPortsDialog::OkClick() {
  port_->clear();
  name_->clear();
  stored_.Entries.clear();
  for (const QString& entry : Entries()) stored_.Entries.push_back(entry.toStdString());
  accept();
}

void TServerPortsDialog::CancelClick() { reject(); }

void TServerPortsDialog::reject() {
  Load();
  // The stored list is back: nothing changed that a re-read would pick up.
  changed_ = false;
  QDialog::reject();
}

void TServerPortsDialog::showEvent(QShowEvent* event) {
  changed_ = false;
  QDialog::showEvent(event);
}

void TServerPortsDialog::done(int result) {
  if (changed_ && fileOpen_)
    Messages().Show(this, QLatin1String(kPortsTitle),
                    QStringLiteral("You must re-open the file for port changes to take affect."),
                    MessageIcon::Exclamation);
  QDialog::done(result);
}

bool TServerPortsDialog::eventFilter(QObject* watched, QEvent* event) {
  // Only a move to another control of the dialog leaves the edit; another window taking
  // the focus (the message box itself among them) does not.
  if (watched == port_ && event->type() == QEvent::FocusOut) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) PortEditExit();
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace korvane
