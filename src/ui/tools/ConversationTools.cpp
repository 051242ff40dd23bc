#include "ui/tools/ConversationTools.h"

#include "reports/ConversationGrid.h"
#include "reports/TipWizard.h"
#include "ui/controls/WindowPlacer.h"
#include "ui/main/ClientServerPage.h"
#include "ui/main/MainForm.h"
#include "ui/problems/ProblemAnalysisForm.h"
#include "ui/tools/LatencyAnalysisForm.h"
#include "ui/tools/SeravoToolboxForm.h"
#include "ui/tools/ThroughputAnalysisForm.h"
#include "ui/tools/VisualizerAttributesDialog.h"
#include "ui/tools/WhatIfAnalysisForm.h"

namespace korvane {

namespace {
QList<int> Tips(const std::vector<int>& tips) { return QList<int>(tips.begin(), tips.end()); }

void ShowAndRaise(QWidget& window) {
  if (window.isMinimized()) window.showNormal();
  window.show();
  window.raise();
  window.activateWindow();
}
}  // namespace

ConversationTools::ConversationTools(TMainForm& main, KeyValueStore& store) : main_(main), store_(store) {
  runDialog_ = [](QDialog& dialog) { return dialog.exec(); };
  const TraceSession& session = main.Session();
  VisualizerAttributes& visualizer = main.Visualizer();
  // In the program's start-up order: attributes, latency, toolbox, problems, throughput, what-if.
  attributes_ = new TVisualizerAttributes(visualizer, &main);
  auto selection = [this] { return toolbox_->Selection(); };
  latency_ = new TLatencyAnalysisForm(session, visualizer, selection, &main);
  toolbox_ = new TSeravoToolboxForm(session, visualizer, main.ProblemFinder(), &main);
  problems_ = new TProblemAnalysisForm(session, main.ProblemFinder(), selection, &main);
  throughput_ = new TThroughputAnalysisForm(session, visualizer, selection, &main);
  whatIf_ = new TWhatIfAnalysisForm(&main);
  for (QWidget* w : Windows()) RestoreWindowPlacement(*w, store_);

  QObject::connect(&main, &TMainForm::ToolboxRequested, toolbox_, [this] { OpenToolbox(); });
  QObject::connect(&main, &TMainForm::PagesCleared, toolbox_, [this] {
    CloseAll();
    toolbox_->RequestRefill();
  });
  QObject::connect(&main, &TMainForm::PagesShown, toolbox_, [this] { toolbox_->RequestRefill(); });

  QObject::connect(toolbox_, &TSeravoToolboxForm::LatencyRequested, toolbox_, [this] { OpenLatency(); });
  QObject::connect(toolbox_, &TSeravoToolboxForm::ThroughputRequested, toolbox_, [this] { OpenThroughput(); });
  QObject::connect(toolbox_, &TSeravoToolboxForm::ProblemsRequested, toolbox_, [this] { OpenProblems(); });
  QObject::connect(toolbox_, &TSeravoToolboxForm::AttributesRequested, toolbox_, [this] { EditAttributes(); });
  // The open analysis windows follow the toolbox's selection and range.
  QObject::connect(toolbox_, &TSeravoToolboxForm::SelectionChanged, toolbox_, [this] {
    if (latency_->isVisible()) latency_->Recalculate();
    if (throughput_->isVisible()) throughput_->Recalculate();
    if (problems_->isVisible()) problems_->Recalculate();
  });
  QObject::connect(toolbox_, &TSeravoToolboxForm::Shown, toolbox_, [this] { main_.SetTips(Tips(tipset::Toolbox)); });
  QObject::connect(toolbox_, &TSeravoToolboxForm::Closed, toolbox_, [this] {
    for (QWidget* w : {static_cast<QWidget*>(latency_), static_cast<QWidget*>(throughput_),
                       static_cast<QWidget*>(problems_)})
      if (w->isVisible()) w->close();
    main_.RestoreTips();
  });
  QObject::connect(latency_, &TLatencyAnalysisForm::Shown, latency_,
                   [this] { main_.SetTips(Tips(tipset::LatencyAnalysis)); });
  QObject::connect(latency_, &TLatencyAnalysisForm::Closed, latency_, [this] {
    if (whatIf_->isVisible()) whatIf_->close();
    main_.RestoreTips();
  });
  QObject::connect(throughput_, &TThroughputAnalysisForm::Shown, throughput_,
                   [this] { main_.SetTips(Tips(tipset::ThroughputAnalysis)); });
  QObject::connect(throughput_, &TThroughputAnalysisForm::Closed, throughput_, [this] { main_.RestoreTips(); });
  QObject::connect(whatIf_, &TWhatIfAnalysisForm::Closed, whatIf_, [this] { main_.RestoreTips(); });
  QObject::connect(latency_, &TLatencyAnalysisForm::WhatIfRequested, whatIf_,
                   [this](const WhatIfStartValues& start, bool lower) {
                     const MeasurementSelection s = toolbox_->Selection();
                     toolbox_->SetReloadRequested(true);
                     whatIf_->LoadStart(start, lower, s.SourceText, s.DestinationText, s.AppText,
                                        main_.Session().info.TopologyCode);
                     toolbox_->SetReloadRequested(false);
                     ShowAndRaise(*whatIf_);
                     main_.SetTips(Tips(tipset::WhatIfAnalysis));
                   });
}

ConversationTools::~ConversationTools() {
  for (QWidget* w : Windows()) SaveWindowPlacement(*w, store_);
  for (QWidget* w : Windows()) delete w;
}

QList<QWidget*> ConversationTools::Windows() const {
  return {attributes_, latency_, toolbox_, problems_, throughput_, whatIf_};
}

void ConversationTools::OpenToolbox() {
  const TClientServerPage* page = main_.ClientServerPage();
  const GridRow* row = page && main_.CurrentPage() == page ? page->SelectedConversation() : nullptr;
  if (row && row->stream >= 0)
    toolbox_->ShowForStream(row->sourceStation, row->conversation, row->stream);
  else
    ShowAndRaise(*toolbox_);
}

void ConversationTools::OpenLatency() {
  if (latency_->isVisible()) latency_->Recalculate();
  ShowAndRaise(*latency_);
}

void ConversationTools::OpenThroughput() {
  if (throughput_->isVisible()) throughput_->Recalculate();
  ShowAndRaise(*throughput_);
}

void ConversationTools::OpenProblems() {
  if (!toolbox_->isVisible()) ShowAndRaise(*toolbox_);
  if (problems_->isVisible()) problems_->Recalculate();
  ShowAndRaise(*problems_);
}

void ConversationTools::EditAttributes() {
  attributes_->Load();
  if (runDialog_(*attributes_) == QDialog::Accepted) {
    toolbox_->AttributesChanged();
    if (latency_->isVisible()) latency_->Recalculate();
    if (throughput_->isVisible()) throughput_->Recalculate();
  }
}

void ConversationTools::CloseAll() {
  for (QWidget* w : {static_cast<QWidget*>(whatIf_), static_cast<QWidget*>(latency_),
                     static_cast<QWidget*>(throughput_), static_cast<QWidget*>(problems_),
                     static_cast<QWidget*>(toolbox_)})
    if (w->isVisible()) w->close();
}

}  // namespace korvane
