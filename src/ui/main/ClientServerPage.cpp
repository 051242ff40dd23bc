#include "ui/main/ClientServerPage.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace korvane {

namespace {

constexpr int kProgressStepMs = 200;  // the "Analyzing..." count follows every second 100 ms tick
const QColor kMarkedCell(255, 255, 0);
const QColor kRowColour(255, 255, 255);

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// Numbers sit at the right of their cells, texts and marks where a reader expects them.
Qt::Alignment CellAlignment(int column) {
  if (column < ConversationGridModel::kMarkColumns) return Qt::AlignCenter;
  if (GridColumnSortsAsText(column)) return Qt::AlignLeft | Qt::AlignVCenter;
  return Qt::AlignRight | Qt::AlignVCenter;
}

// Draws a mark cell as a check mark instead of its text.
class MarkDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem background(option);
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
    if (!index.data(ConversationGridModel::kMarkRole).toBool()) return;
    const QRectF box = QRectF(option.rect).adjusted(1, 1, -1, -1);
    const qreal side = std::min({box.width(), box.height(), 14.0});
    const QRectF tick(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    QPainterPath path;
    path.moveTo(tick.left() + side * 0.12, tick.top() + side * 0.55);
    path.lineTo(tick.left() + side * 0.40, tick.top() + side * 0.82);
    path.lineTo(tick.left() + side * 0.90, tick.top() + side * 0.18);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(QPen(selected ? option.palette.highlightedText().color() : QColor(0, 0, 0), side / 6.0,
                         Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->drawPath(path);
    painter->restore();
  }
};

// The wait cursor for the life of the object.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// Keeps the windows painted while the grid fills; the user's input waits until it is done.
void ProcessPaintEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

QString InitialCountText() { return QStringLiteral("0 Conversations Analyzed."); }

}  // namespace

// The small "Analyzing..." window: "Conversations:", the count of the rows filled so far,
// and a bar over the trace's conversations.
struct TClientServerPage::AnalyzingWindow {
  QLabel* count = nullptr;
  QProgressBar* bar = nullptr;

  AnalyzingWindow(QDialog& window, int conversations) {
    window.setObjectName(QStringLiteral("AnalyzingForm"));
    window.setWindowTitle(QStringLiteral("Analyzing..."));
    auto* label = new QLabel(QStringLiteral("Conversations:"), &window);
    label->setObjectName(QStringLiteral("AnalyzingLabel"));
    count = new QLabel(QStringLiteral("0"), &window);
    count->setObjectName(QStringLiteral("AnalyzingCount"));
    count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont countFont = count->font();
    countFont.setBold(true);
    count->setFont(countFont);
    bar = new QProgressBar(&window);
    bar->setObjectName(QStringLiteral("AnalyzingBar"));
    bar->setRange(0, std::max(1, conversations));
    bar->setValue(0);
    bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(&window);
    auto* line = new QHBoxLayout;
    line->addWidget(label);
    line->addWidget(count, 1);
    layout->addLayout(line);
    layout->addWidget(bar);
    window.setMinimumWidth(280);
    window.adjustSize();
    window.setFixedSize(window.sizeHint().expandedTo(QSize(280, 0)));
  }
  void Show(size_t rows) {
    count->setText(QString::number(rows));
    bar->setValue(std::min(bar->maximum(), int(std::min<size_t>(rows, size_t(INT32_MAX)))));
  }
};

// ---------------------------------------------------------------------------------------
// ConversationGridModel

void ConversationGridModel::SetGrid(const ConversationGrid* grid) {
  beginResetModel();
  grid_ = grid;
  endResetModel();
}

void ConversationGridModel::Reset() {
  beginResetModel();
  endResetModel();
}

void ConversationGridModel::NamesChanged() {
  if (rowCount() > 0) emit dataChanged(index(0, 9), index(rowCount() - 1, 10), {Qt::DisplayRole});
}

int ConversationGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !grid_ ? 0 : int(grid_->rows.size());
}

int ConversationGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kGridShownColumns;
}

QVariant ConversationGridModel::data(const QModelIndex& index, int role) const {
  if (!grid_ || !index.isValid() || index.row() >= rowCount()) return {};
  const GridRow& row = grid_->rows[size_t(index.row())];
  const int column = index.column();
  const std::string_view cell = row.cells[size_t(column)];
  switch (role) {
    case Qt::DisplayRole:
      return column < kMarkColumns ? QString() : Text(cell);
    case kMarkRole:
      return column < kMarkColumns && !cell.empty();
    case Qt::TextAlignmentRole:
      return int(CellAlignment(column));
    case Qt::BackgroundRole:
      if ((column == 17 && row.MarkedA()) || (column == 15 && row.MarkedB())) return kMarkedCell;
      return kRowColour;
    case Qt::ForegroundRole:
      return QColor(0, 0, 0);
    default:
      return {};
  }
}

QVariant ConversationGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kGridShownColumns) return {};
  if (role == Qt::DisplayRole)
    return Text(grid_ ? grid_->headings[size_t(section)] : ConversationGridHeadings(PacketsBytes::Both)[size_t(section)]);
  if (role == Qt::ToolTipRole) return Text(GridSortEntries()[size_t(section)]);
  return {};
}

// ---------------------------------------------------------------------------------------
// TClientServerPage

TClientServerPage::TClientServerPage(ProblemFinderSettings& settings, QWidget* parent)
    : TracePage(parent), settings_(settings) {
  setObjectName(QStringLiteral("ClientServerPage"));
  BuildControls();
  ResetGrid();
}

TClientServerPage::~TClientServerPage() = default;

void TClientServerPage::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  stack_ = new QStackedWidget(this);
  outer->addWidget(stack_);

  // The grid panel: controls, grid, totals.
  auto* panel = new QWidget(stack_);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(6);

  auto* controls = new QHBoxLayout;
  controls->setSpacing(6);
  auto* sortLabel = new QLabel(QStringLiteral("Sort by"), panel);
  sortBy_ = new QComboBox(panel);
  sortBy_->setObjectName(QStringLiteral("Top10ComboBox"));
  for (std::string_view entry : GridSortEntries()) sortBy_->addItem(Text(entry));
  sortBy_->setMaxVisibleItems(kGridShownColumns);
  sortBy_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  sortLabel->setBuddy(sortBy_);
  controls->addWidget(sortLabel);
  controls->addWidget(sortBy_);

  direction_ = new QButtonGroup(panel);
  direction_->setExclusive(true);
  int id = 0;
  for (const char* caption : {"Ascending", "Descending"}) {
    auto* button = new QToolButton(panel);
    button->setObjectName(QStringLiteral("%1Button").arg(QLatin1String(caption)));
    button->setText(QLatin1String(caption));
    button->setCheckable(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    direction_->addButton(button, id++);
    controls->addWidget(button);
  }
  direction_->button(1)->setChecked(true);
  controls->addSpacing(12);

  auto* packetsLabel = new QLabel(QStringLiteral("Packets && Bytes"), panel);
  packetsBytes_ = new QComboBox(panel);
  packetsBytes_->setObjectName(QStringLiteral("PacketsBytesComboBox"));
  for (std::string_view entry : PacketsBytesEntries()) packetsBytes_->addItem(Text(entry));
  packetsBytes_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  packetsLabel->setBuddy(packetsBytes_);
  controls->addWidget(packetsLabel);
  controls->addWidget(packetsBytes_);
  controls->addSpacing(12);

  smartNames_ = new QCheckBox(QStringLiteral("SmartNames"), panel);
  smartNames_->setObjectName(QStringLiteral("SmartNamesCheckBox"));
  smartNames_->setChecked(true);
  ipxByOui_ = new QCheckBox(QStringLiteral("Show IPX Node by OUI"), panel);
  ipxByOui_->setObjectName(QStringLiteral("IpxByOuiCheckBox"));
  ipxByOui_->setChecked(true);
  // The name boxes and the count on a second line, so that neither row gets squeezed.
  auto* names = new QHBoxLayout;
  names->setSpacing(12);
  names->addWidget(smartNames_);
  names->addWidget(ipxByOui_);
  names->addStretch(1);
  countLabel_ = new QLabel(panel);
  countLabel_->setObjectName(QStringLiteral("CountLabel"));
  QFont countFont = countLabel_->font();
  countFont.setBold(true);
  countLabel_->setFont(countFont);
  countLabel_->setText(InitialCountText());
  names->addWidget(countLabel_);

  controls->addStretch(1);
  auto* copy = new QToolButton(panel);
  copy->setObjectName(QStringLiteral("CopyButton"));
  copy->setText(QStringLiteral("Copy"));
  copy->setIcon(QIcon::fromTheme(QStringLiteral("edit-copy")));
  copy->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  copy->setToolTip(QStringLiteral("Copy the selected cells to the clipboard"));
  controls->addWidget(copy);
  layout->addLayout(controls);
  layout->addLayout(names);

  model_ = new ConversationGridModel(this);
  model_->SetGrid(&grid_);
  view_ = new QTableView(panel);
  view_->setObjectName(QStringLiteral("ServerGrid"));
  view_->setModel(model_);
  view_->setItemDelegate(new QStyledItemDelegate(view_));
  auto* marks = new MarkDelegate(view_);
  for (int c = 0; c < ConversationGridModel::kMarkColumns; ++c) view_->setItemDelegateForColumn(c, marks);
  view_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectItems);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setWordWrap(false);
  view_->setTextElideMode(Qt::ElideNone);
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
  view_->horizontalHeader()->setSectionsClickable(true);
  view_->horizontalHeader()->setHighlightSections(false);
  view_->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  QPalette palette = view_->palette();
  palette.setColor(QPalette::Base, kRowColour);
  palette.setColor(QPalette::Text, Qt::black);
  view_->setPalette(palette);
  layout->addWidget(view_, 1);

  auto* totals = new QHBoxLayout;
  totals->setSpacing(6);
  const QFontMetrics metrics(font());
  for (int b = 0; b < 3; ++b) {
    auto* box = new QPlainTextEdit(panel);
    box->setObjectName(QStringLiteral("TotalsBox%1").arg(b + 1));
    box->setReadOnly(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setFixedHeight(4 * metrics.lineSpacing() + 2 * int(box->document()->documentMargin()) + 2 * box->frameWidth() + 4);
    boxes_[b] = box;
    totals->addWidget(box, 1);
  }
  layout->addLayout(totals);
  stack_->addWidget(panel);

  // The no-traffic note fills the page instead of the grid panel.
  auto* note = new QLabel(Text(kNoIpTrafficText), stack_);
  note->setObjectName(QStringLiteral("NoIpLabel"));
  note->setAlignment(Qt::AlignCenter);
  QFont noteFont = note->font();
  noteFont.setPointSizeF(noteFont.pointSizeF() * 1.3);
  note->setFont(noteFont);
  stack_->addWidget(note);

  connect(sortBy_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) Sort();
  });
  connect(direction_, &QButtonGroup::idClicked, this, [this] { Sort(); });
  connect(packetsBytes_, &QComboBox::currentIndexChanged, this, &TClientServerPage::Rebuild);
  connect(smartNames_, &QCheckBox::toggled, this, &TClientServerPage::NamesChanged);
  connect(ipxByOui_, &QCheckBox::toggled, this, &TClientServerPage::NamesChanged);
  connect(copy, &QToolButton::clicked, this, &TClientServerPage::Copy);
  connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { SortByColumn(index.column()); });
  connect(view_->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, &TClientServerPage::SortByColumn);
  connect(view_, &QTableView::customContextMenuRequested, this, &TClientServerPage::ShowPopup);
}

ConversationGridOptions TClientServerPage::Options() const {
  ConversationGridOptions options;
  options.packetsBytes = PacketsBytes(std::max(0, packetsBytes_->currentIndex()));
  options.smartNames = smartNames_->isChecked();
  options.ipxByOui = ipxByOui_->isChecked();
  return options;
}

int TClientServerPage::SortColumn() const { return sortBy_->currentIndex(); }
bool TClientServerPage::SortAscending() const { return direction_->checkedId() == 0; }

void TClientServerPage::ResetGrid() {
  grid_ = ConversationGrid{};
  grid_.headings = ConversationGridHeadings(Options().packetsBytes);
  model_->Reset();
  view_->clearSelection();
  view_->setCurrentIndex({});
  FitColumns();
}

void TClientServerPage::ShowTrace(const TraceSession& session) {
  session_ = &session;
  ipxByOui_->setVisible(TraceHasIpxStations(session));
  {
    const QSignalBlocker blocker(sortBy_);
    sortBy_->setCurrentIndex(-1);
  }
  Rebuild();
}

void TClientServerPage::ClearTrace() {
  session_ = nullptr;
  {
    const QSignalBlocker blocker(sortBy_);
    sortBy_->setCurrentIndex(-1);
  }
  ResetGrid();
  stack_->setCurrentIndex(0);
  countLabel_->setText(InitialCountText());
  for (QPlainTextEdit* box : boxes_) box->clear();
}

void TClientServerPage::Rebuild() {
  if (!session_ || rebuilding_) return;
  if (!TraceHasNetworkStations(*session_)) {
    ResetGrid();
    grid_.noIpTraffic = true;
    stack_->setCurrentIndex(1);
    return;
  }
  rebuilding_ = true;
  const auto done = qScopeGuard([this] { rebuilding_ = false; });
  const int remembered = view_->currentIndex().isValid() ? view_->currentIndex().row() : -1;
  stack_->setCurrentIndex(0);
  ResetGrid();
  {
    const BusyCursor busy;
    QDialog progress(window(), Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    AnalyzingWindow analyzing(progress, int(std::min<size_t>(session_->tables.NetPeers.size(), INT32_MAX)));
    progress.show();
    ProcessPaintEvents();
    Fill(analyzing);
    progress.close();
  }
  FitColumns();
  ShowTotals();
  Sort();
  if (remembered >= 0 && !grid_.rows.empty()) SelectRow(std::min(remembered, int(grid_.rows.size()) - 1));
}

void TClientServerPage::Fill(AnalyzingWindow& analyzing) {
  QElapsedTimer sinceShown;
  sinceShown.start();
  ConversationGrid built = BuildConversationGrid(*session_, settings_, Options(), [&](size_t rowsFilled) {
    if (sinceShown.elapsed() >= kProgressStepMs) {
      analyzing.Show(rowsFilled);
      ProcessPaintEvents();
      sinceShown.restart();
    }
    return true;
  });
  grid_ = std::move(built);
  model_->Reset();
  countLabel_->setText(Text(grid_.countLabel));
  analyzing.count->setText(QString::number(grid_.rows.size()));
  analyzing.bar->setValue(analyzing.bar->maximum());
}

void TClientServerPage::ShowTotals() {
  for (int b = 0; b < 3; ++b) {
    QStringList lines;
    for (const std::string& line : grid_.boxes[size_t(b)]) lines << Text(line);
    boxes_[b]->setPlainText(lines.join(QLatin1Char('\n')));
  }
}

void TClientServerPage::FitColumns() {
  view_->resizeColumnsToContents();
  const int markWidth = view_->fontMetrics().height() + 6;
  for (int c = 0; c < ConversationGridModel::kMarkColumns; ++c)
    view_->setColumnWidth(c, std::max(markWidth, view_->horizontalHeader()->sectionSizeHint(c)));
}

void TClientServerPage::Sort() {
  const int column = SortColumn();
  if (column < 0) return;
  SortConversationGrid(grid_, column, SortAscending());
  model_->Reset();
}

void TClientServerPage::SortByColumn(int column) {
  if (column < 0 || column >= kGridShownColumns) return;
  {
    const QSignalBlocker blocker(sortBy_);
    sortBy_->setCurrentIndex(column);
  }
  Sort();
}

void TClientServerPage::NamesChanged() {
  if (!session_ || grid_.rows.empty()) return;
  UpdateGridNames(*session_, grid_, Options());
  model_->NamesChanged();
  for (int c : {9, 10}) view_->resizeColumnToContents(c);
}

void TClientServerPage::SelectRow(int row) {
  const QModelIndex at = model_->index(row, 0);
  view_->setCurrentIndex(at);
  view_->selectRow(row);
  view_->scrollTo(at);
}

const GridRow* TClientServerPage::SelectedConversation() const {
  const QModelIndex current = view_->currentIndex();
  if (!current.isValid() || current.row() >= int(grid_.rows.size())) return nullptr;
  return &grid_.rows[size_t(current.row())];
}

void TClientServerPage::Copy() {
  const QItemSelection selection = view_->selectionModel()->selection();
  if (selection.isEmpty()) return;
  int left = kGridShownColumns, top = int(grid_.rows.size()), right = -1, bottom = -1;
  for (const QItemSelectionRange& range : selection) {
    left = std::min(left, range.left());
    top = std::min(top, range.top());
    right = std::max(right, range.right());
    bottom = std::max(bottom, range.bottom());
  }
  const std::string text = ConversationGridSelectionText(grid_, left, top, right, bottom);
  if (!text.empty()) QApplication::clipboard()->setText(QString::fromStdString(text));
}

void TClientServerPage::SelectAll() { view_->selectAll(); }

std::unique_ptr<QMenu> TClientServerPage::PopupMenu(const QModelIndex& at) {
  auto menu = std::make_unique<QMenu>(this);
  menu->setObjectName(QStringLiteral("ServerGridPopup"));
  menu->addAction(QStringLiteral("&Seravo ToolBox"), this, &TClientServerPage::OpenToolbox);
  if (at.isValid() && (at.column() == 6 || at.column() == 7) && at.row() < int(grid_.rows.size())) {
    const std::string_view hardware = grid_.rows[size_t(at.row())].cells[at.column() == 6 ? 20 : 21];
    QString caption = QStringLiteral("DLC Source is ") + Text(hardware);
    menu->addSeparator();
    menu->addAction(caption.replace(QLatin1Char('&'), QStringLiteral("&&")));
  }
  return menu;
}

void TClientServerPage::ShowPopup(const QPoint& position) {
  const QModelIndex at = view_->indexAt(position);
  if (!at.isValid()) return;
  // The row clicked is the row the menu speaks of.
  if (!view_->selectionModel()->isSelected(at))
    view_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
  else
    view_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
  std::unique_ptr<QMenu> menu = PopupMenu(at);
  menu->exec(view_->viewport()->mapToGlobal(position));
}

}  // namespace korvane
