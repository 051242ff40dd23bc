// What the Station and Network windows share: the "Peer Map" page (identification,
// destination and key groups, the density bar, the paint box and its pop-up menu, the
// station selection) and the "Statistics" page (the sortable table with its column order,
// the highlighted row and the text copy), the placement, and the rebuild after a new trace.
// Each window says what differs: its captions, its layout, its rows and its menu.
#pragma once
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reports/PeerMap.h"

class QAbstractTableModel;
class QAction;
class QButtonGroup;
class QCheckBox;
class QDialog;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;
class QTableView;
class QToolButton;

namespace korvane {

class KeyValueStore;
class TPeerMapView;
class TStatsTableModel;
struct TraceSession;

class TStatisticsWindow : public QWidget {
  Q_OBJECT
 public:
  struct Texts {
    const char* objectName;      // the window's name for its placement
    const char* captionPrefix;   // "Station - "
    const char* columnSection;   // section of the column-order file
    const char* modeGroup;       // the identification or protocol group's title
    std::array<const char*, 3> modes;
    const char* mapOuiBox;       // "Show OUI", "Show IPX OUI"
    const char* tableOuiBox;     // "Show OUI", "Show IPX Node by OUI"
  };

  // The session must outlive the window; its tables are read only while no trace is read
  // (the main window closes this window first). Placement is kept in `settings`, the
  // column order in the INI file at columnOrderFile (not kept when empty).
  // A table row: its station (tree node) and its cells in column order.
  struct Row {
    int32_t station = -1;
    std::vector<std::string> cells;
  };

  TStatisticsWindow(const Texts& texts, const TraceSession& session, KeyValueStore& settings,
                    std::string columnOrderFile, QWidget* parent);
  ~TStatisticsWindow() override;

  // The tables are about to change: the window closes and rebuilds when next shown.
  void TraceClosing();
  // The main window's button: shows the window (restored when minimised), rebuilt first
  // after a new trace.
  void ShowWindow();

  // ---- what the window shows, for the tests ----
  QTabWidget* Pages() const { return pages_; }
  QWidget* MapPage() const { return mapPage_; }
  QWidget* StatisticsPage() const { return statsPage_; }
  TPeerMapView* Map() const { return map_; }
  QTableView* Grid() const { return grid_; }
  QSlider* DensityBar() const { return density_; }
  QRadioButton* ModeButton(int i) const { return modeButtons_[size_t(i)]; }
  QRadioButton* DestinationButton(int i) const { return destButtons_[size_t(i)]; }
  QCheckBox* KeyBox(int i) const { return keyBoxes_[size_t(i)]; }
  QGroupBox* KeyGroup() const { return keyGroup_; }
  QPushButton* OnButton() const { return onButton_; }
  QPushButton* OffButton() const { return offButton_; }
  QPushButton* InvButton() const { return invButton_; }
  QPushButton* SelectStationsButton() const { return selectButton_; }
  QCheckBox* MapSmartNames() const { return mapSmart_; }
  QCheckBox* MapOui() const { return mapOui_; }
  QCheckBox* TableSmartNames() const { return tableSmart_; }
  QCheckBox* TableOui() const { return tableOui_; }
  QMenu* MapMenu() const { return menu_; }
  QAction* StatisticsAction() const { return statisticsAction_; }
  int Mode() const;
  MapDestinations Destinations() const;
  MapKeyStates KeyStates() const { return keyStates_[size_t(Mode())]; }
  // The highlighted row (0-based), or none.
  std::optional<int> HighlightedRow() const;
  // The table's column order as shown: one-based column numbers.
  std::vector<int> ColumnOrder() const;
  // The cell texts of a row in the table's own column numbering.
  std::vector<std::string> RowCells(int row) const;
  int RowCount() const;

  // ---- the handlers ----
  // A click on the map at a point of the paint box: selects the sender under it and opens
  // the pop-up menu beside its label (popup = false: the menu is only prepared).
  bool ClickMap(QPointF at, bool popup = true);
  void Statistics1Click();
  void SortAscendingBtnClick();
  void SortDescendingBtnClick();
  void SortOn(int column, bool ascending);
  // The selected cells (or the whole table when nothing is selected) as text.
  QString SelectionText() const;
  void CopytoClipBoardBtnClick();
  void SpeedButton1Click();  // the map as a picture
  void SelStnBtnClick();
  // Runs a modal dialog (exec() unless a test replaces it).
  void SetDialogRunner(std::function<int(QDialog&)> run) { runDialog_ = std::move(run); }

 signals:
  void Rebuilt();
  void Hidden();

 protected:
  // ---- what each window gives ----
  virtual std::vector<Row> BuildRows(bool smartNames, bool oui) const = 0;
  virtual bool TextColumn(int column) const = 0;
  virtual int BytesColumn() const = 0;  // "Snd+Rcv Bytes"
  virtual PeerMapLayout LayoutMap(double width, double height, const MapTextMetrics& metrics) const = 0;
  virtual MapKeySet KeysOf(int mode) const = 0;
  virtual std::vector<std::string> Headings() const = 0;
  // The senders for "&Select Stations...": tree nodes with their display names.
  virtual std::vector<std::pair<int32_t, std::string>> Senders() const = 0;
  virtual size_t NodeCount() const = 0;
  // Before the menu opens for a sender: the window's own items.
  virtual void PrepareMenu(int32_t station) {}
  // After a new trace: the window's own defaults.
  virtual void Activated() {}

  const TraceSession& session_;
  const Texts texts_;
  QMenu* menu_ = nullptr;
  std::vector<bool> selected_;   // per tree node: shown on the map
  std::optional<int32_t> clickedStation_;

  // Helpers for the windows.
  // The end of a window's construction: its keys and its column order.
  void Initialise();
  // The protocol or identification changed (after the keys were shown).
  virtual void ModeChanged() {}
  int DensityPosition() const;
  void UpdateStnGrid();
  TPeerMapView* map_ = nullptr;
  void SetMode(int mode);
  void SetModeCaption(int mode, const QString& caption);
  void RefreshMap();
  bool MapNames(bool& smartNames, bool& oui) const;
  int RunDialog(QDialog& dialog);

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMapPage();
  void BuildStatisticsPage();
  void Rebuild();
  void ShowKeys();
  void KeyClick(int key);
  void SetAllKeys(int how);  // 0 on, 1 off, 2 invert
  void LaidOut();
  void SenderClicked(size_t label, QPoint menuAt);
  void OpenMenuFor(size_t label, bool popup);
  void RestorePlacement();
  void SavePlacement();
  void LoadColumnOrder();
  void ApplyColumnOrder(const std::vector<int>& order);
  void ResetModel();
  void SaveColumnOrder();

  KeyValueStore& settings_;
  std::string columnOrderFile_;
  bool newData_ = true;
  bool placementRestored_ = false;
  std::array<MapKeyStates, 3> keyStates_{kAllKeysOn, kAllKeysOn, kAllKeysOn};
  std::vector<Row> rows_;
  std::optional<int32_t> highlightedStation_;
  bool lastSortAscending_ = false;
  std::function<int(QDialog&)> runDialog_;

  QTabWidget* pages_ = nullptr;
  QWidget *mapPage_ = nullptr, *statsPage_ = nullptr;
  QSlider* density_ = nullptr;
  QLabel* densityLabel_ = nullptr;
  QButtonGroup *modeGroup_ = nullptr, *destGroup_ = nullptr;
  std::array<QRadioButton*, 3> modeButtons_{};
  std::array<QRadioButton*, 3> destButtons_{};
  QGroupBox* keyGroup_ = nullptr;
  std::array<QCheckBox*, kMapKeyCount> keyBoxes_{};
  QPushButton *onButton_ = nullptr, *offButton_ = nullptr, *invButton_ = nullptr, *selectButton_ = nullptr;
  QCheckBox *mapSmart_ = nullptr, *mapOui_ = nullptr, *tableSmart_ = nullptr, *tableOui_ = nullptr;
  QToolButton* copyMap_ = nullptr;
 public:
  QToolButton* CopyMapButton() const { return copyMap_; }

 private:
  QAction* statisticsAction_ = nullptr;
  QTableView* grid_ = nullptr;
  TStatsTableModel* model_ = nullptr;
  QLabel* summary_ = nullptr;
};

}  // namespace korvane
