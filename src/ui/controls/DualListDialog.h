// The dual-list selection dialog: items move between a left and a right list, one at a
// time or all together, both lists kept sorted; OK keeps the choice, Cancel drops it.
// Each item carries an id, so that equal texts stay distinct.
#pragma once
#include <QDialog>
#include <QString>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace korvane {

class TDualListDialog : public QDialog {
  Q_OBJECT
 public:
  struct Item {
    QString text;
    int id = 0;
  };

  explicit TDualListDialog(QWidget* parent = nullptr);

  // Fills both lists (each sorted) under their captions.
  void SetLists(const QString& title, const QString& leftCaption, const std::vector<Item>& left,
                const QString& rightCaption, const std::vector<Item>& right);
  // The ids of the items in the right-hand list.
  std::vector<int> RightIds() const;
  std::vector<int> LeftIds() const;

  // The buttons' actions: the selected items (or all) to the other side.
  void MoveSelected(bool toRight);
  void MoveAll(bool toRight);

  QListWidget* LeftList() const { return left_; }
  QListWidget* RightList() const { return right_; }

 private:
  void EnableButtons();

  QLabel *leftCaption_ = nullptr, *rightCaption_ = nullptr;
  QListWidget *left_ = nullptr, *right_ = nullptr;
  QPushButton *include_ = nullptr, *includeAll_ = nullptr, *exclude_ = nullptr, *excludeAll_ = nullptr;
};

}  // namespace korvane
