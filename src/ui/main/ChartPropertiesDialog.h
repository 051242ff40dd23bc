// The chart properties dialog ("Chart Properties"): the form and units of both charts,
// the gradient background and its colours, title, legend, value marks and the 3D look.
// It works on the live ChartProperties: OK and Apply write the controls into them, Cancel
// puts back what they held when the dialog opened. Apply closes the dialog with its own
// result so that the charts are redrawn before it opens again.
#pragma once
#include <QColor>
#include <QDialog>
#include <functional>
#include <optional>

#include "settings/ChartProperties.h"

class QCheckBox;
class QFrame;
class QPushButton;
class QRadioButton;

namespace korvane {

class TChartPropertiesForm : public QDialog {
  Q_OBJECT
 public:
  // The result of a close by "&Apply" (next to QDialog::Accepted and QDialog::Rejected).
  static constexpr int Applied = 2;

  explicit TChartPropertiesForm(ChartProperties& properties, QWidget* parent = nullptr);

  // Remembers the live values and shows them in the controls; run on every opening.
  void Activate();
  // The values the controls hold, and putting values into them.
  ChartProperties Values() const;
  void SetValues(const ChartProperties& values);
  // "&Apply" is enabled while the controls differ from the values remembered on opening.
  bool CanApply() const;

  // The buttons.
  void OkClicked();
  void CancelClicked();
  void ApplyClicked();
  void PickTopColour();
  void PickBottomColour();

  // The colour dialog: gets the current colour, gives the chosen one or nothing when the
  // choice is cancelled. Tests put their own here.
  std::function<std::optional<QColor>(const QColor& current, QWidget* parent)> pickColour;

  // The controls, for the tests.
  QRadioButton *pieButton, *barButton, *percentButton, *packetsButton;
  QCheckBox *gradientBox, *titleBox, *legendBox, *valuesBox, *view3DBox;
  QPushButton *topColourButton, *bottomColourButton, *okButton, *cancelButton, *applyButton;
  QFrame *topColourPanel, *bottomColourPanel;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PickColour(ColourRef& colour);
  void Refresh();  // the colour panels, the colour controls' state and "&Apply"

  ChartProperties& properties_;
  ChartProperties remembered_;
  ColourRef topColour_ = 0, bottomColour_ = 0;
};

// Shows the dialog until it closes with OK or Cancel; after every close that is not Cancel
// `redraw` redraws the charts. `show` opens the dialog and returns its result (exec() in
// the program; tests answer for the user).
void RunChartProperties(TChartPropertiesForm& form, const std::function<int(TChartPropertiesForm&)>& show,
                        const std::function<void()>& redraw);

}  // namespace korvane
