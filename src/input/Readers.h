// Factories of the reader families, one per source file.
#pragma once
#include <memory>

#include "input/ReadLoop.h"

namespace korvane {

std::unique_ptr<TraceReader> MakeSnifferDosReader(ReaderContext& context);
std::unique_ptr<TraceReader> MakeNetXRayReader(ReaderContext& context);

}  // namespace korvane
