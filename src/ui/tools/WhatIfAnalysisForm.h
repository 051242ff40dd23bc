// "Load & Response Time Analysis for ...": one measured direction of the latency window
// carried over to 20 link speeds, with the user's own sizes, ratio, users and processing
// times; half or full duplex.
#pragma once
#include <QWidget>
#include <array>
#include <string>

#include "measure/WhatIf.h"
#include "reports/WhatIfTable.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QToolButton;

namespace korvane {

class TWhatIfAnalysisForm : public QWidget {
  Q_OBJECT
 public:
  explicit TWhatIfAnalysisForm(QWidget* parent = nullptr);

  // The start values of one latency half, with the texts of the selection and the
  // trace's interface (which sets the size ranges). Fills the fields and the table.
  void LoadStart(const WhatIfStartValues& start, bool lowerHalf, const std::string& source,
                 const std::string& destination, const std::string& app, uint8_t topologyCode);
  // "&Restore Original Values".
  void RestoreOriginal();
  // The selected rectangle of the table as text (and on the clipboard).
  QString CopySelection();

  WhatIfInputs Inputs() const { return inputs_; }
  const std::vector<WhatIfTableRow>& Rows() const { return rows_; }
  QTableWidget* Grid() const { return grid_; }
  QLabel* Title() const { return title_; }
  QCheckBox* FullDuplex() const { return fullDuplex_; }
  enum Field { AveSend, AveRcv, Latency, Contention, SendRatio, RcvRatio, Users, PktsTrans, Client, Host, FieldCount };
  QSpinBox* Spin(Field f) const { return spins_[size_t(f)]; }
  QPushButton* RestoreButton() const { return restore_; }
  QToolButton* CopyButton() const { return copy_; }

 signals:
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FieldChanged(Field field, int value);
  void ShowInputs();
  void Fill();

  WhatIfStartValues start_;
  bool lower_ = false;
  std::string source_, destination_, app_;
  uint8_t topology_ = 0;
  WhatIfInputs inputs_;
  std::vector<WhatIfTableRow> rows_;
  bool loading_ = false;

  std::array<QSpinBox*, FieldCount> spins_{};
  QCheckBox* fullDuplex_ = nullptr;
  QLabel* title_ = nullptr;
  QTableWidget* grid_ = nullptr;
  QPushButton* restore_ = nullptr;
  QToolButton* copy_ = nullptr;
};

}  // namespace korvane
