// Recognising a trace's format from its first bytes and its name, and the header step
// that learns its topology, line speed and comment.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "input/ByteSource.h"
#include "input/FormatTable.h"
#include "input/TraceTypes.h"

namespace korvane {

inline constexpr int64_t kMinimumTraceSize = 40;

struct DetectResult {
  TraceFormat format = fmt_id::NotRecognised;
  bool couldNotOpen = false;
  bool tooSmall = false;
};

// Sets SampleTrace, SnifferCompressed, PcapSwapped and PcapExtended of info.
DetectResult DetectTraceFormat(const std::string& path, TraceFileInfo& info);
DetectResult DetectTraceFormat(ByteSource& source, std::string_view path, TraceFileInfo& info);

struct HeaderResult {
  uint8_t topology = topology::Undetermined;
  int64_t bandwidthBps = 0;
  bool unreadable = false;
};

// Fills Comment, WanEncapsulation, FileBandwidthKnown and FileBandwidthBps of info.
HeaderResult ReadTraceHeader(TraceFormat format, const std::string& path, TraceFileInfo& info);
HeaderResult ReadTraceHeader(TraceFormat format, ByteSource& source, std::string_view path,
                             TraceFileInfo& info);

std::string UpperCased(std::string_view text);

}  // namespace korvane
