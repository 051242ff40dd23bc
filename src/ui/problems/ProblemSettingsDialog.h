// "Korvane ProblemFinder(tm) Settings": the 30 checks of the problem finder with their
// thresholds. The dialog edits a copy; the caller applies Result() when it closes with OK:
//
//   TProblemSettings dialog(live, this);
//   if (dialog.exec() == QDialog::Accepted) live = *dialog.Result();
#pragma once
#include <QDialog>
#include <QList>
#include <optional>

#include "settings/ProblemFinderSettings.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QWidget;

namespace korvane {

class TProblemSettings : public QDialog {
  Q_OBJECT
 public:
  explicit TProblemSettings(const ProblemFinderSettings& live, QWidget* parent = nullptr);

  // The copy as edited so far.
  const ProblemFinderSettings& WorkingCopy() const { return copy_; }
  // The settings to apply: the copy once OK closed the dialog, nothing otherwise.
  std::optional<ProblemFinderSettings> Result() const;
  // The Tip Wizard's tips while the dialog is active.
  static QList<int> Tips() { return {43, 44}; }

  int CurrentItem() const;
  void SelectItem(int item);

 public slots:
  void RestoreDefaultClick();
  void RestoreAllDefaultsClick();
  void EnableAllClick();
  void DisableAllClick();
  void OkClick();
  void CancelClick();

 protected:
  void done(int result) override;  // OK, Cancel, Escape and the close box all end here

 private:
  void BuildControls();
  void ShowItem(int item);   // the four texts and the item's threshold control
  void ShowChecks();         // the check marks from the copy
  void ShowSensitivityWord(int value);
  int CurrentThreshold() const;  // ProblemThreshold index of the selected item, -1 = none

  ProblemFinderSettings copy_;
  bool accepted_ = false;

  QListWidget* list_ = nullptr;
  QLineEdit* title_ = nullptr;
  QPlainTextEdit* description_ = nullptr;
  QPlainTextEdit* causes_ = nullptr;
  QPlainTextEdit* remedy_ = nullptr;
  QStackedWidget* thresholdPanels_ = nullptr;
  QWidget* noThreshold_ = nullptr;
  QWidget* valuePanel_ = nullptr;
  QSpinBox* value_ = nullptr;
  QLabel* unit_ = nullptr;
  QWidget* sliderPanel_ = nullptr;
  QSlider* slider_ = nullptr;
  QLabel* sensitivityWord_ = nullptr;
  QPushButton* restoreDefault_ = nullptr;
};

}  // namespace korvane
