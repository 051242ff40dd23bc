#include "ui/reporting/PrintableTools.h"

#include "ui/main/MainForm.h"
#include "ui/problems/ProblemAnalysisForm.h"
#include "ui/reporting/PrintSelectionForm.h"
#include "ui/reporting/PrintSelectionForm2.h"
#include "ui/tools/ConversationTools.h"
#include "ui/tools/LatencyAnalysisForm.h"
#include "ui/tools/SeravoToolboxForm.h"
#include "ui/tools/ThroughputAnalysisForm.h"
#include "ui/tools/WhatIfAnalysisForm.h"

namespace korvane {

void JoinPrinting(TMainForm& main, ConversationTools& tools) {
  TPrintSelectionForm& selection = *main.PrintSelection();
  selection.SetWindow(PrintableWindow::PacketVisualizer, &tools.Toolbox());
  selection.SetWindow(PrintableWindow::LatencyAnalysis, &tools.Latency());
  selection.SetWindow(PrintableWindow::ThroughputAnalysis, &tools.Throughput());
  selection.SetWindow(PrintableWindow::ProblemAnalysis, &tools.Problems());
  selection.SetWindow(PrintableWindow::WhatIfAnalysis, &tools.WhatIf());
  TPrintSelectionForm2* diagram = main.PrintDiagram();
  tools.Toolbox().SetPrintRunner([diagram](TSeravoToolboxForm& box) { diagram->Run(*box.Visualizer()); });
}

}  // namespace korvane
