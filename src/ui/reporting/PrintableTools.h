// The conversation tools join printing: their windows get their boxes in the print
// selection, and the toolbox's print button opens the packet diagram's print dialog.
#pragma once

namespace korvane {

class ConversationTools;
class TMainForm;

void JoinPrinting(TMainForm& main, ConversationTools& tools);

}  // namespace korvane
