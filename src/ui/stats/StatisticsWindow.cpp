#include "ui/stats/StatisticsWindow.h"

#include "ui/controls/WindowPlacer.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include "analysis/TraceSession.h"
#include "reports/StationStats.h"
#include "settings/IniFileStore.h"
#include "settings/WindowPlacement.h"
#include "ui/controls/DualListDialog.h"
#include "ui/stats/PeerMapView.h"

namespace korvane {

namespace {
QString Q(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

// The statistics table: rows as the window built them, one of them highlighted in yellow.
class TStatsTableModel final : public QAbstractTableModel {
 public:
  TStatsTableModel(QObject* parent, std::function<bool(int)> textColumn)
      : QAbstractTableModel(parent), textColumn_(std::move(textColumn)) {}

  void SetHeadings(const std::vector<std::string>& headings) {
    headings_.clear();
    for (const auto& h : headings) headings_.push_back(Q(h));
  }
  void Reset(const std::vector<TStatisticsWindow::Row>* rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
  }
  void Reordered() {
    emit layoutAboutToBeChanged();
    emit layoutChanged();
  }
  void SetHighlighted(int row) {
    const int previous = highlighted_;
    highlighted_ = row;
    for (int r : {previous, row})
      if (r >= 0 && r < rowCount()) emit dataChanged(index(r, 0), index(r, columnCount() - 1));
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() || !rows_ ? 0 : int(rows_->size());
  }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(headings_.size()); }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || !rows_) return {};
    const auto& row = (*rows_)[size_t(index.row())];
    switch (role) {
      case Qt::DisplayRole:
        return size_t(index.column()) < row.cells.size() ? Q(row.cells[size_t(index.column())]) : QString();
      case Qt::TextAlignmentRole:
        return int((textColumn_(index.column()) ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
      case Qt::BackgroundRole:
        if (index.row() == highlighted_) return QColor(Qt::yellow);
        return {};
      case Qt::ForegroundRole:
        if (index.row() == highlighted_) return QColor(Qt::black);
        return {};
      default: return {};
    }
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < int(headings_.size()))
      return headings_[size_t(section)];
    return QAbstractTableModel::headerData(section, orientation, role);
  }

 private:
  std::function<bool(int)> textColumn_;
  std::vector<QString> headings_;
  const std::vector<TStatisticsWindow::Row>* rows_ = nullptr;
  int highlighted_ = -1;
};

TStatisticsWindow::TStatisticsWindow(const Texts& texts, const TraceSession& session, KeyValueStore& settings,
                                     std::string columnOrderFile, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), texts_(texts), settings_(settings),
      columnOrderFile_(std::move(columnOrderFile)) {
  setObjectName(QString::fromLatin1(texts.objectName));
  setMinimumSize(300, 250);
  resize(1040, 660);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);
  pages_ = new QTabWidget(this);
  outer->addWidget(pages_);
  BuildMapPage();
  BuildStatisticsPage();
  connect(pages_, &QTabWidget::currentChanged, this, [this] {
    if (pages_->currentWidget() == mapPage_) RefreshMap();
  });
  runDialog_ = [](QDialog& dialog) { return dialog.exec(); };
}

void TStatisticsWindow::Initialise() {
  ShowKeys();
  LoadColumnOrder();
}

int TStatisticsWindow::DensityPosition() const { return density_->value(); }



TStatisticsWindow::~TStatisticsWindow() {
  SaveColumnOrder();
  if (placementRestored_) SavePlacement();
}

// ---- building the pages ----------------------------------------------------------------

void TStatisticsWindow::BuildMapPage() {
  mapPage_ = new QWidget(pages_);
  auto* row = new QHBoxLayout(mapPage_);
  row->setContentsMargins(4, 4, 4, 4);

  auto* controls = new QWidget(mapPage_);
  controls->setFixedWidth(178);
  auto* column = new QVBoxLayout(controls);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);

  auto radioGroup = [&](const QString& title, const std::array<const char*, 3>& captions, QButtonGroup*& group,
                        std::array<QRadioButton*, 3>& buttons, const char* name) {
    auto* box = new QGroupBox(title, controls);
    box->setObjectName(QString::fromLatin1(name));
    auto* l = new QVBoxLayout(box);
    l->setContentsMargins(6, 2, 6, 4);
    l->setSpacing(0);
    group = new QButtonGroup(box);
    for (int i = 0; i < 3; ++i) {
      buttons[size_t(i)] = new QRadioButton(QString::fromLatin1(captions[size_t(i)]), box);
      group->addButton(buttons[size_t(i)], i);
      l->addWidget(buttons[size_t(i)]);
    }
    column->addWidget(box);
  };
  radioGroup(QString::fromLatin1(texts_.modeGroup), texts_.modes, modeGroup_, modeButtons_, "IDRadioGroup");
  radioGroup(tr("Destination"), {"All", "Broadcast", "Non-Broadcast"}, destGroup_, destButtons_,
             "DestinationRadioGroup");
  modeButtons_[1]->setChecked(true);
  destButtons_[0]->setChecked(true);
  connect(modeGroup_, &QButtonGroup::idClicked, this, [this](int id) { SetMode(id); });
  connect(destGroup_, &QButtonGroup::idClicked, this, [this] {
    map_->SetHighlighted(std::nullopt);
    RefreshMap();
  });

  keyGroup_ = new QGroupBox(tr("Key"), controls);
  auto* keys = new QVBoxLayout(keyGroup_);
  keys->setContentsMargins(6, 2, 6, 4);
  keys->setSpacing(1);
  for (int k = 0; k < kMapKeyCount; ++k) {
    auto* box = new QCheckBox(keyGroup_);
    box->setObjectName(QStringLiteral("Key%1").arg(k + 1));
    box->setAutoFillBackground(true);
    keys->addWidget(box);
    keyBoxes_[size_t(k)] = box;
    connect(box, &QCheckBox::clicked, this, [this, k] { KeyClick(k); });
  }
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(2);
  onButton_ = new QPushButton(tr("On"), keyGroup_);
  offButton_ = new QPushButton(tr("Off"), keyGroup_);
  invButton_ = new QPushButton(tr("Inv"), keyGroup_);
  int how = 0;
  for (QPushButton* b : {onButton_, offButton_, invButton_}) {
    b->setMinimumWidth(30);
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, how] { SetAllKeys(how); });
    ++how;
  }
  keys->addLayout(buttons);
  column->addWidget(keyGroup_);

  selectButton_ = new QPushButton(tr("&Select Stations..."), controls);
  connect(selectButton_, &QPushButton::clicked, this, &TStatisticsWindow::SelStnBtnClick);
  column->addWidget(selectButton_);

  auto* names = new QGroupBox(tr("Names"), controls);
  auto* nl = new QVBoxLayout(names);
  nl->setContentsMargins(6, 2, 6, 4);
  nl->setSpacing(0);
  mapSmart_ = new QCheckBox(tr("SmartNames"), names);
  mapOui_ = new QCheckBox(QString::fromLatin1(texts_.mapOuiBox), names);
  for (QCheckBox* b : {mapSmart_, mapOui_}) {
    b->setChecked(true);
    nl->addWidget(b);
    connect(b, &QCheckBox::clicked, this, [this] { RefreshMap(); });
  }
  column->addWidget(names);

  copyMap_ = new QToolButton(controls);
  copyMap_->setText(tr("Copy Map"));
  copyMap_->setToolTip(tr("Copy the peer map to the clipboard as a picture"));
  copyMap_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  connect(copyMap_, &QToolButton::clicked, this, &TStatisticsWindow::SpeedButton1Click);
  column->addWidget(copyMap_);
  column->addStretch();
  row->addWidget(controls);

  map_ = new TPeerMapView(mapPage_);
  map_->SetLayoutMaker([this](double w, double h, const MapTextMetrics& m) {
    return newData_ || !isVisible() ? PeerMapLayout{} : LayoutMap(w, h, m);
  });
  connect(map_, &TPeerMapView::LaidOut, this, &TStatisticsWindow::LaidOut);
  connect(map_, &TPeerMapView::SenderClicked, this, &TStatisticsWindow::SenderClicked);
  row->addWidget(map_, 1);

  auto* densityColumn = new QVBoxLayout;
  densityLabel_ = new QLabel(tr("Density"), mapPage_);
  densityLabel_->setAlignment(Qt::AlignHCenter);
  density_ = new QSlider(Qt::Vertical, mapPage_);
  density_->setObjectName(QStringLiteral("MapDensity"));
  density_->setRange(1, kDensityMaximum);
  density_->setValue(kDensityMaximum);
  density_->setTickPosition(QSlider::TicksBothSides);
  density_->setToolTip(tr("Fewer stations (down) or more (up)"));
  connect(density_, &QSlider::valueChanged, this, [this] { RefreshMap(); });
  densityColumn->addWidget(densityLabel_);
  densityColumn->addWidget(density_, 1, Qt::AlignHCenter);
  row->addLayout(densityColumn);
  density_->hide();
  densityLabel_->hide();

  menu_ = new QMenu(this);
  statisticsAction_ = menu_->addAction(tr("&Statistics"), this, &TStatisticsWindow::Statistics1Click);
  pages_->addTab(mapPage_, tr("Peer Map"));
}

void TStatisticsWindow::BuildStatisticsPage() {
  statsPage_ = new QWidget(pages_);
  auto* column = new QVBoxLayout(statsPage_);
  column->setContentsMargins(4, 4, 4, 4);
  auto* bar = new QHBoxLayout;
  auto* up = new QPushButton(tr("Sort &Ascending"), statsPage_);
  auto* down = new QPushButton(tr("Sort &Descending"), statsPage_);
  auto* copy = new QPushButton(tr("&Copy"), statsPage_);
  copy->setToolTip(tr("Copy the selected cells (or the whole table) as text"));
  connect(up, &QPushButton::clicked, this, &TStatisticsWindow::SortAscendingBtnClick);
  connect(down, &QPushButton::clicked, this, &TStatisticsWindow::SortDescendingBtnClick);
  connect(copy, &QPushButton::clicked, this, &TStatisticsWindow::CopytoClipBoardBtnClick);
  tableSmart_ = new QCheckBox(tr("SmartNames"), statsPage_);
  tableOui_ = new QCheckBox(QString::fromLatin1(texts_.tableOuiBox), statsPage_);
  for (QCheckBox* b : {tableSmart_, tableOui_}) {
    b->setChecked(true);
    connect(b, &QCheckBox::clicked, this, [this] { UpdateStnGrid(); });
  }
  summary_ = new QLabel(statsPage_);
  for (QWidget* w : std::initializer_list<QWidget*>{up, down, copy, tableSmart_, tableOui_}) bar->addWidget(w);
  bar->addStretch();
  bar->addWidget(summary_);
  column->addLayout(bar);

  grid_ = new QTableView(statsPage_);
  grid_->setObjectName(QStringLiteral("StnGrid"));
  model_ = new TStatsTableModel(this, [this](int c) { return TextColumn(c); });
  grid_->setModel(model_);
  grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  grid_->setWordWrap(false);
  grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 4);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->verticalHeader()->hide();
  grid_->horizontalHeader()->setSectionsMovable(true);
  grid_->horizontalHeader()->setHighlightSections(false);
  connect(grid_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    SortOn(index.column(), !lastSortAscending_);
  });
  connect(grid_->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int logical) {
    grid_->setCurrentIndex(model_->index(std::max(grid_->currentIndex().row(), 0), logical));
    SortOn(logical, !lastSortAscending_);
  });
  grid_->installEventFilter(this);  // Ctrl+C: the selection as text
  column->addWidget(grid_, 1);
  pages_->addTab(statsPage_, tr("Statistics"));
}

// ---- showing, rebuilding ---------------------------------------------------------------

void TStatisticsWindow::TraceClosing() {
  newData_ = true;
  hide();
  rows_.clear();
  ResetModel();
  map_->Relayout();
}

void TStatisticsWindow::ShowWindow() {
  if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  if (newData_) Rebuild();
}

void TStatisticsWindow::Rebuild() {
  setWindowTitle(QString::fromLatin1(texts_.captionPrefix) + QString::fromStdString(session_.info.CurrentFileName)
                                                                  .section(QLatin1Char('/'), -1));
  newData_ = false;
  keyStates_.fill(kAllKeysOn);
  selected_.assign(NodeCount(), true);
  highlightedStation_.reset();
  clickedStation_.reset();
  destButtons_[0]->setChecked(true);
  const bool vendors = session_.vendors.Count() > 0;
  mapOui_->setEnabled(vendors);
  tableOui_->setEnabled(vendors);
  model_->SetHeadings(Headings());
  modeButtons_[1]->setChecked(true);
  Activated();
  UpdateStnGrid();
  SetMode(modeGroup_->checkedId());
  emit Rebuilt();
}

void TStatisticsWindow::UpdateStnGrid() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  rows_ = BuildRows(tableSmart_->isChecked(), tableOui_->isChecked() && tableOui_->isEnabled());
  ResetModel();
  model_->SetHighlighted(-1);
  if (highlightedStation_) {
    for (size_t r = 0; r < rows_.size(); ++r)
      if (rows_[r].station == *highlightedStation_) model_->SetHighlighted(int(r));
  }
  grid_->resizeColumnsToContents();
  const int bytes = BytesColumn();  // widened to fit its text and 4 pixels more
  if (bytes >= 0) grid_->setColumnWidth(bytes, grid_->columnWidth(bytes) + 4);
  summary_->setText(tr("%n station(s)", nullptr, int(rows_.size())));
  QGuiApplication::restoreOverrideCursor();
}

void TStatisticsWindow::showEvent(QShowEvent* event) {
  if (!placementRestored_) RestorePlacement();
  QWidget::showEvent(event);
}

void TStatisticsWindow::hideEvent(QHideEvent* event) {
  if (placementRestored_) SavePlacement();
  QWidget::hideEvent(event);
  emit Hidden();
}

void TStatisticsWindow::closeEvent(QCloseEvent* event) {
  SaveColumnOrder();
  QWidget::closeEvent(event);
}

void TStatisticsWindow::RestorePlacement() {
  placementRestored_ = true;
  RestoreWindowPlacement(*this, settings_);
}

void TStatisticsWindow::SavePlacement() { SaveWindowPlacement(*this, settings_); }

void TStatisticsWindow::LoadColumnOrder() {
  IniFileStore file;
  if (!columnOrderFile_.empty()) file.Load(columnOrderFile_);
  const int columns = int(Headings().size());
  model_->SetHeadings(Headings());
  model_->Reset(&rows_);
  ApplyColumnOrder(ReadColumnOrder(file, texts_.columnSection, columns));
}

void TStatisticsWindow::ApplyColumnOrder(const std::vector<int>& order) {
  QHeaderView* header = grid_->horizontalHeader();
  for (int visual = 0; visual < int(order.size()) && visual < header->count(); ++visual)
    header->moveSection(header->visualIndex(order[size_t(visual)] - 1), visual);
}

void TStatisticsWindow::ResetModel() {
  // A reset may forget moved columns: they are put back where the user left them.
  const std::vector<int> order = ColumnOrder();
  model_->Reset(&rows_);
  ApplyColumnOrder(order);
}

void TStatisticsWindow::SaveColumnOrder() {
  if (columnOrderFile_.empty()) return;
  IniFileStore file;
  file.Load(columnOrderFile_);  // other windows' orders stay
  WriteColumnOrder(file, texts_.columnSection, ColumnOrder());
  file.Save(columnOrderFile_);
}

std::vector<int> TStatisticsWindow::ColumnOrder() const {
  std::vector<int> order;
  const QHeaderView* header = grid_->horizontalHeader();
  for (int visual = 0; visual < header->count(); ++visual) order.push_back(header->logicalIndex(visual) + 1);
  return order;
}

// ---- the map ---------------------------------------------------------------------------

int TStatisticsWindow::Mode() const { return std::max(modeGroup_->checkedId(), 0); }

MapDestinations TStatisticsWindow::Destinations() const {
  return MapDestinations(std::max(destGroup_->checkedId(), 0));
}

void TStatisticsWindow::SetMode(int mode) {
  if (modeGroup_->checkedId() != mode) modeButtons_[size_t(mode)]->setChecked(true);
  ShowKeys();
  ModeChanged();
  map_->SetHighlighted(std::nullopt);
  RefreshMap();
}

void TStatisticsWindow::SetModeCaption(int mode, const QString& caption) { modeButtons_[size_t(mode)]->setText(caption); }

bool TStatisticsWindow::MapNames(bool& smartNames, bool& oui) const {
  smartNames = mapSmart_->isChecked();
  oui = mapOui_->isChecked() && mapOui_->isEnabled();
  return true;
}

void TStatisticsWindow::ShowKeys() {
  const int mode = Mode();
  const MapKeySet keys = KeysOf(mode);
  keyGroup_->setVisible(keys.groupHeight > 0);
  for (int k = 0; k < kMapKeyCount; ++k) {
    QCheckBox* box = keyBoxes_[size_t(k)];
    if (size_t(k) >= keys.keys.size()) {
      box->hide();
      continue;
    }
    const MapKey& key = keys.keys[size_t(k)];
    box->setText(Q(key.caption));
    const QColor colour = map_->ColourOf(key.colour);
    box->setStyleSheet(QStringLiteral("QCheckBox { background-color: %1; color: %2; padding: 1px 3px; }")
                           .arg(colour.name(), key.whiteText ? QStringLiteral("white") : QStringLiteral("black")));
    box->setChecked(keyStates_[size_t(mode)][size_t(k)]);
    box->show();
  }
  // The group takes the height of the keys it shows now, not of the mode before.
  keyGroup_->layout()->activate();
  keyGroup_->parentWidget()->layout()->activate();
}

void TStatisticsWindow::KeyClick(int key) {
  keyStates_[size_t(Mode())][size_t(key)] = keyBoxes_[size_t(key)]->isChecked();
  RefreshMap();
}

void TStatisticsWindow::SetAllKeys(int how) {
  MapKeyStates& states = keyStates_[size_t(Mode())];
  for (bool& s : states) s = how == 0 ? true : how == 1 ? false : !s;
  ShowKeys();
  RefreshMap();
}

void TStatisticsWindow::RefreshMap() {
  if (newData_) return;
  map_->Relayout();
}

void TStatisticsWindow::LaidOut() {
  const bool shown = map_->Layout().densityBarShown;
  density_->setVisible(shown);
  densityLabel_->setVisible(shown);
}

bool TStatisticsWindow::ClickMap(QPointF at, bool popup) {
  const std::optional<size_t> hit = map_->Layout().SenderLabelAt(at.x(), at.y());
  if (!hit) return false;
  OpenMenuFor(*hit, popup);
  return true;
}

void TStatisticsWindow::SenderClicked(size_t label, QPoint) { OpenMenuFor(label, true); }

void TStatisticsWindow::OpenMenuFor(size_t label, bool popup) {
  map_->SetHighlighted(label);
  const MapRect& r = map_->Layout().labels[label].rect;
  const QPoint menuAt = map_->mapToGlobal(QPoint(int(r.left + r.width) + 2, int(r.top + r.height)));
  clickedStation_ = map_->Layout().labels[label].station;
  bool hasRow = false;
  for (const Row& row : rows_) hasRow = hasRow || row.station == *clickedStation_;
  statisticsAction_->setEnabled(hasRow);
  PrepareMenu(*clickedStation_);
  if (popup) menu_->popup(menuAt);
}

void TStatisticsWindow::Statistics1Click() {
  if (!clickedStation_) return;
  for (size_t r = 0; r < rows_.size(); ++r) {
    if (rows_[r].station != *clickedStation_) continue;
    highlightedStation_ = clickedStation_;
    model_->SetHighlighted(int(r));
    pages_->setCurrentWidget(statsPage_);
    grid_->scrollTo(model_->index(int(r), 0), QAbstractItemView::PositionAtCenter);
    return;
  }
}

std::optional<int> TStatisticsWindow::HighlightedRow() const {
  if (!highlightedStation_) return std::nullopt;
  for (size_t r = 0; r < rows_.size(); ++r)
    if (rows_[r].station == *highlightedStation_) return int(r);
  return std::nullopt;
}

void TStatisticsWindow::SelStnBtnClick() {
  TDualListDialog dialog(this);
  std::vector<TDualListDialog::Item> off, on;
  for (const auto& [node, name] : Senders())
    ((size_t(node) < selected_.size() && !selected_[size_t(node)]) ? off : on).push_back({Q(name), int(node)});
  dialog.SetLists(tr("Select Stations"), tr("Not on the map:"), off, tr("On the map:"), on);
  if (RunDialog(dialog) != QDialog::Accepted) return;
  for (int id : dialog.LeftIds())
    if (size_t(id) < selected_.size()) selected_[size_t(id)] = false;
  for (int id : dialog.RightIds())
    if (size_t(id) < selected_.size()) selected_[size_t(id)] = true;
  map_->SetHighlighted(std::nullopt);
  RefreshMap();
}

int TStatisticsWindow::RunDialog(QDialog& dialog) { return runDialog_(dialog); }

void TStatisticsWindow::SpeedButton1Click() { QApplication::clipboard()->setImage(map_->Picture()); }

// ---- the table -------------------------------------------------------------------------

bool TStatisticsWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_ && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier)) {
      if (event->type() == QEvent::KeyPress) CopytoClipBoardBtnClick();
      event->accept();
      return event->type() == QEvent::KeyPress;
    }
  }
  return QWidget::eventFilter(watched, event);
}

int TStatisticsWindow::RowCount() const { return int(rows_.size()); }

std::vector<std::string> TStatisticsWindow::RowCells(int row) const { return rows_.at(size_t(row)).cells; }

void TStatisticsWindow::SortOn(int column, bool ascending) {
  if (column < 0 || column >= model_->columnCount()) return;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  stats_text::SortRows(rows_, size_t(column), TextColumn(column), ascending);
  lastSortAscending_ = ascending;
  model_->Reordered();
  model_->SetHighlighted(HighlightedRow().value_or(-1));
  grid_->horizontalHeader()->setSortIndicatorShown(true);
  grid_->horizontalHeader()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  QGuiApplication::restoreOverrideCursor();
}

void TStatisticsWindow::SortAscendingBtnClick() { SortOn(std::max(grid_->currentIndex().column(), 0), true); }
void TStatisticsWindow::SortDescendingBtnClick() { SortOn(std::max(grid_->currentIndex().column(), 0), false); }

QString TStatisticsWindow::SelectionText() const {
  const std::vector<int> order = ColumnOrder();
  int left = 0, top = 0, right = int(order.size()) - 1, bottom = int(rows_.size()) - 1;
  const QModelIndexList chosen = grid_->selectionModel() ? grid_->selectionModel()->selectedIndexes() : QModelIndexList{};
  if (!chosen.isEmpty()) {
    const QHeaderView* header = grid_->horizontalHeader();
    left = right = header->visualIndex(chosen.first().column());
    top = bottom = chosen.first().row();
    for (const QModelIndex& i : chosen) {
      left = std::min(left, header->visualIndex(i.column()));
      right = std::max(right, header->visualIndex(i.column()));
      top = std::min(top, i.row());
      bottom = std::max(bottom, i.row());
    }
  }
  return Q(GridSelectionText(rows_, order, left, top, right, bottom));
}

void TStatisticsWindow::CopytoClipBoardBtnClick() { QApplication::clipboard()->setText(SelectionText()); }

}  // namespace korvane
