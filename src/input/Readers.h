// Factories of the reader families, one per source file.
#pragma once
#include <memory>

#include "input/ReadLoop.h"

namespace korvane {

std::unique_ptr<TraceReader> MakeSnifferDosReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeNetXRayReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeEtherPeekReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeSnoopReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeLanWatchReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeHpReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeDataGlanceReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeTtcReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeDigitechReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeNetMonReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeObserverReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeLanAnalyzerReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeDa30Reader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeDominoReader(ReaderContext& context);

}  // namespace korvane
