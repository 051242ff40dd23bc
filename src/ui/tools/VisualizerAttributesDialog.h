// "PacketVisualizer Display Attributes": the diagram's send, receive and diagnostic colours
// and its font, edited on a copy and taken over on OK.
#pragma once
#include <QDialog>
#include <QFont>
#include <functional>

#include "settings/VisualizerAttributes.h"

class QFrame;
class QLabel;

namespace korvane {

class TVisualizerAttributes : public QDialog {
  Q_OBJECT
 public:
  explicit TVisualizerAttributes(VisualizerAttributes& attributes, QWidget* parent = nullptr);

  // Activation: the swatches and the sample take the current settings.
  void Load();
  // "&OK": the settings take the swatches and the sample's font.
  void accept() override;

  void PickColour(int which);  // 0 send, 1 receive, 2 diagnostic
  void PickFont();
  QColor Swatch(int which) const;
  QLabel* Sample() const { return sample_; }

  // How the colour and font dialogs are run (the common dialogs unless replaced).
  void SetColourChooser(std::function<QColor(const QColor&)> choose) { chooseColour_ = std::move(choose); }
  void SetFontChooser(std::function<std::optional<QFont>(const QFont&)> choose) { chooseFont_ = std::move(choose); }

  // The font dialog's limits: sizes 5..14 points.
  static constexpr int kSmallestPoints = 5, kLargestPoints = 14;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SetSwatch(int which, const QColor& colour);

  VisualizerAttributes& attributes_;
  std::array<QFrame*, 3> swatches_{};
  std::array<QColor, 3> colours_;
  QLabel* sample_ = nullptr;
  QFont font_;
  std::function<QColor(const QColor&)> chooseColour_;
  std::function<std::optional<QFont>(const QFont&)> chooseFont_;
};

}  // namespace korvane
