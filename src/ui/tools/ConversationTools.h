// The conversation tools of the main window: the toolbox with its packet diagram, the
// latency, throughput and what-if windows, the visualiser attributes dialog and the problem
// analysis summary. Made once, after the main window, in the program's start-up order;
// each window keeps its placement. The main window's Toolbox button and the client/server
// grid's pop-up open the toolbox on the selected conversation.
#pragma once
#include <QDialog>
#include <functional>

class QWidget;

namespace korvane {

class KeyValueStore;
class TLatencyAnalysisForm;
class TMainForm;
class TProblemAnalysisForm;
class TSeravoToolboxForm;
class TThroughputAnalysisForm;
class TVisualizerAttributes;
class TWhatIfAnalysisForm;

class ConversationTools {
 public:
  // The store must outlive this object; placements are saved when it is destroyed.
  ConversationTools(TMainForm& main, KeyValueStore& store);
  ~ConversationTools();
  ConversationTools(const ConversationTools&) = delete;
  ConversationTools& operator=(const ConversationTools&) = delete;

  // How the attributes dialog is run (exec() unless replaced: the tests answer it).
  void SetDialogRunner(std::function<int(QDialog&)> run) { runDialog_ = std::move(run); }

  // The toolbox on the client/server grid's selected row, or as it was when there is none.
  void OpenToolbox();
  void OpenLatency();
  void OpenThroughput();
  void OpenProblems();
  void EditAttributes();
  void CloseAll();

  TSeravoToolboxForm& Toolbox() const { return *toolbox_; }
  TLatencyAnalysisForm& Latency() const { return *latency_; }
  TThroughputAnalysisForm& Throughput() const { return *throughput_; }
  TWhatIfAnalysisForm& WhatIf() const { return *whatIf_; }
  TVisualizerAttributes& Attributes() const { return *attributes_; }
  TProblemAnalysisForm& Problems() const { return *problems_; }

 private:
  QList<QWidget*> Windows() const;

  TMainForm& main_;
  KeyValueStore& store_;
  std::function<int(QDialog&)> runDialog_;
  TVisualizerAttributes* attributes_ = nullptr;
  TLatencyAnalysisForm* latency_ = nullptr;
  TSeravoToolboxForm* toolbox_ = nullptr;
  TProblemAnalysisForm* problems_ = nullptr;
  TThroughputAnalysisForm* throughput_ = nullptr;
  TWhatIfAnalysisForm* whatIf_ = nullptr;
};

}  // namespace korvane
