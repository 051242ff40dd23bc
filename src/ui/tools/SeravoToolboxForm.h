// "Seravo ToolBox (tm)": the user picks a source station, one of its partners and one
// stream between them, and the packet diagram shows that stream and its answer packet by
// packet. The tool bar opens the latency, throughput and problem windows for the chosen
// stream and packet range, which take their selection from here (Selection()).
#pragma once
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/TraceSession.h"
#include "reports/StreamList.h"
#include "reports/VisualiserLines.h"
#include "settings/ProblemFinderSettings.h"
#include "settings/VisualizerAttributes.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPrinter;
class QSlider;
class QSpinBox;
class QToolBar;
class QToolButton;

namespace korvane {

class TPacketVisualizer;

class TSeravoToolboxForm : public QWidget {
  Q_OBJECT
 public:
  TSeravoToolboxForm(const TraceSession& session, VisualizerAttributes& attributes,
                     const ProblemFinderSettings& problems, QWidget* parent = nullptr);
  ~TSeravoToolboxForm() override;

  // ---- entry points ----
  // A new trace has been analysed: the lists are filled again on the next showing.
  void RequestRefill();
  // Shows the toolbox on one stream (NetStationTree node, NetPeers and Streams indexes),
  // as the client/server expert's row hands it over.
  void ShowForStream(int32_t sourceStation, int32_t peer, int32_t stream);
  // Shows the toolbox on the conversation from one station to another (the statistics
  // windows' pop-up): its first stream. A station pair that never talked selects the
  // source (or the first station) and its first partner.
  void ShowForPair(const AddressKey& source, const AddressKey& destination);
  // Shows the toolbox with wanted texts (the alternative forms are the IPX addresses with
  // the node shown by vendor): each box takes its text when it holds it.
  void ShowForTexts(const std::string& source, const std::string& destination, const std::string& app,
                    const std::string& alternativeSource = {}, const std::string& alternativeDestination = {});

  // ---- what the other windows read ----
  bool HasSelection() const { return current_.has_value(); }
  // The measurement selection of the chosen stream and range (forward and reverse items,
  // the three texts, StartFrame/EndFrame).
  MeasurementSelection Selection() const;
  const StreamEntry* CurrentEntry() const { return current_ ? &*current_ : nullptr; }
  // Set by every change of the selection, range or ticks; the what-if window loads its
  // start values while it is set. Cleared after a redraw.
  bool ReloadRequested() const { return reload_; }
  void SetReloadRequested(bool on) { reload_ = on; }

  // ---- actions (the tool bar's, and for the tests) ----
  void Swap();
  void CopyVisualizer();
  void PrintVisualizer(QPrinter& printer);
  void SelectDiagnostic(int index);
  void SetTickPosition(int position);    // 0..4
  void SetLengthPosition(int position);  // 1..10
  void SetRange(int64_t from, int64_t to);
  void ReadDisplayOptions();             // the check marks into the column switches
  void AttributesChanged();              // after the attributes dialog: font, colours
  void Redraw();

  // ---- controls ----
  QComboBox* SourceBox() const { return sourceBox_; }
  QComboBox* TargetBox() const { return targetBox_; }
  QComboBox* AppBox() const { return appBox_; }
  QComboBox* DiagnosticBox() const { return diagnostics_; }
  QListWidget* DisplayOptions() const { return displayOptions_; }
  QSlider* TicksBar() const { return ticks_; }
  QLabel* TicksLabel() const { return ticksLabel_; }
  QSlider* LengthBar() const { return length_; }
  QSpinBox* FromSpin() const { return from_; }
  QSpinBox* ToSpin() const { return to_; }
  QCheckBox* IpxLowerByOui() const { return ipxByOui_; }
  QToolBar* ToolBar() const { return toolBar_; }
  QAction* LatencyAction() const { return latencyAction_; }
  QAction* ThroughputAction() const { return throughputAction_; }
  QAction* ProblemsAction() const { return problemsAction_; }
  // Lit while the drawn packets hold diagnostics.
  bool TroubleLight() const { return troubleLight_; }
  QAction* SwapAction() const { return swapAction_; }
  QAction* PrintAction() const { return printAction_; }
  QAction* AttributesAction() const { return attributesAction_; }
  QToolButton* CopyButton() const { return copyButton_; }
  TPacketVisualizer* Visualizer() const { return visualizer_; }
  uint16_t TickSpacingMs() const { return tickSpacingMs_; }
  uint16_t LengthPosition() const { return lengthPosition_; }

  // How the print button gets its printer (a print dialog unless replaced).
  void SetPrintRunner(std::function<void(TSeravoToolboxForm&)> run) { runPrint_ = std::move(run); }

 signals:
  void LatencyRequested();
  void ThroughputRequested();
  void ProblemsRequested();
  void AttributesRequested();
  void Shown();
  void Closed();
  void SelectionChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  void Refill();
  void FillSources(const std::string& wanted, const std::string& alternative);
  void FillTargets(const std::string& wanted, const std::string& alternative);
  void FillApps(int wantedIndex);
  void SourceChanged();
  void TargetChanged();
  void AppChanged();
  void TakeCurrent();
  void UpdateSwap();
  void Changed(bool toTop);
  void ShowDisplayOptions();
  std::vector<const StreamEntry*> EntriesOf(int32_t sourceStation, const std::string* destination) const;
  int32_t CurrentSourceStation() const;

  const TraceSession& session_;
  VisualizerAttributes& attributes_;
  const ProblemFinderSettings& problems_;
  std::vector<StreamEntry> entries_;
  std::vector<int32_t> sourceStations_;  // station of each SourceBox item
  std::optional<StreamEntry> current_;
  bool refill_ = true;
  bool reload_ = true;
  bool troubleLight_ = false;
  void SetTroubleLight(bool on);
  bool filling_ = false;
  uint16_t tickSpacingMs_ = 1;
  uint16_t lengthPosition_ = 4;
  std::string presetSource_, presetDestination_, presetApp_, altSource_, altDestination_;
  int presetStream_ = -1;
  std::function<void(TSeravoToolboxForm&)> runPrint_;

  QComboBox *sourceBox_ = nullptr, *targetBox_ = nullptr, *appBox_ = nullptr, *diagnostics_ = nullptr;
  QListWidget* displayOptions_ = nullptr;
  QSlider *ticks_ = nullptr, *length_ = nullptr;
  QLabel* ticksLabel_ = nullptr;
  QSpinBox *from_ = nullptr, *to_ = nullptr;
  QCheckBox* ipxByOui_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QAction *latencyAction_ = nullptr, *throughputAction_ = nullptr, *problemsAction_ = nullptr, *swapAction_ = nullptr,
          *printAction_ = nullptr, *attributesAction_ = nullptr;
  QToolButton* copyButton_ = nullptr;
  TPacketVisualizer* visualizer_ = nullptr;
};

}  // namespace korvane
