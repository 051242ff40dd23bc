// Fuzz target: the frame analyser alone, fed a few frames the way a reader hands them
// over (FrameInput.h tells how the input becomes frames), then the file summary, or every
// report that walks the tables when the selector byte asks. Several frames per input let
// the conversation chains, the stream index and the IP identification cache be walked.
// The session is made once and reused.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "FrameInput.h"
#include "FuzzSupport.h"
#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/ReadLoop.h"

namespace {

namespace in = korvane::fuzz::frame_input;

class FrameFeeder {
 public:
  explicit FrameFeeder(korvane::TraceSession& session) : session_(session) {}

  // Hands one frame to the analyser; false when the analyser asks to stop.
  bool Feed(const uint8_t* p, size_t n) {
    using namespace korvane;
    if (n == 0) return true;
    const uint8_t flags = *p++;
    --n;
    int64_t explicitLength = -1;
    if ((flags & in::kLength) && n >= 2) {
      explicitLength = Be16(p);
      p += 2;
      n -= 2;
    }
    double step = 1000;
    if ((flags & in::kStep) && n >= 4) {
      step = double(int32_t(Be32(p)));
      p += 4;
      n -= 4;
    }
    time_ += step;
    if ((flags & in::kStamp) && n >= 8) {
      time_ = double(int64_t(uint64_t(Be32(p)) << 32 | Be32(p + 4)));
      p += 8;
      n -= 8;
    }

    CapturedFrame& frame = *session_.frame;
    const bool ethernet = session_.info.TopologyCode == topology::Ethernet;
    const size_t stored = std::min<size_t>(n, kMaxFrameLength);
    std::memcpy(frame.Data.data(), p, stored);
    // The bytes an earlier frame of this run left beyond this one read as zeros.
    if (written_ > stored) std::fill(frame.Data.begin() + long(stored), frame.Data.begin() + long(written_), 0);
    written_ = std::max(written_, std::min<size_t>(stored + 4, kMaxFrameLength));  // with a check sequence
    frame.Status = uint16_t((flags & in::kDirection) | ((flags & in::kCrc) ? kCrcError : 0) |
                            ((flags & in::kAlignment) ? kAlignmentError : 0));
    frame.TimeStamp = time_;
    if (explicitLength >= 0) {
      frame.FrameLength = uint16_t(std::min<int64_t>(explicitLength, kMaxFrameLength));
      frame.StoredLength = uint16_t(stored);
    } else {
      const size_t withFcs = std::min<size_t>(stored + (ethernet ? 4 : 0), kMaxFrameLength);
      frame.FrameLength = frame.StoredLength = uint16_t(withFcs);
      if (ethernet) WriteFrameCheckSequence(frame);
    }
    return session_.analyser.FeedFrame(session_.info.FrameCounter) == 0;
  }

 private:
  korvane::TraceSession& session_;
  size_t written_ = 0;  // frame bytes this run may have written beyond zeros (the FreshSession buffer)
  double time_ = 9.5 * 3600 * 1e6;  // 09:30
};

korvane::fuzz::RunCounts& Topologies() {
  static korvane::fuzz::RunCounts counts("topology", {"Ethernet", "TokenRing"});
  return counts;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvane::fuzz::FixTimeZone();
  korvane::fuzz::Session();
  Topologies();
  std::atexit([] { Topologies().Print(); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvane;
  if (size < 1) return 0;
  Topologies().Count(data[0] & 1);
  TraceSession& session = fuzz::FreshSession();
  TraceFileInfo& info = session.info;
  info.CurrentFileName = "/nonexistent/frames.cap";
  info.DetectedFormat = fmt_id::SnifferDos;
  info.TopologyCode = (data[0] & 1) ? topology::TokenRing : topology::Ethernet;
  info.LineSpeedMbps = in::kLineSpeeds[(data[0] >> 1) & 3];

  session.analyser.BeginTrace(false);
  FrameFeeder feeder(session);
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  for (size_t at = 0; at <= rest.size();) {
    size_t end = rest.find(in::kSeparator, at);
    if (end == std::string_view::npos) end = rest.size();
    if (!feeder.Feed(data + 1 + at, end - at)) break;
    at = end + in::kSeparator.size();
  }
  info.FramesRead = info.FrameCounter;
  session.analyser.EndTrace(true);
  session.AnalysedLineSpeedMbps = info.LineSpeedMbps;
  session.DurationText = DurationText(session.tables.TraceElapsed);
  if (data[0] & (in::kWalkReports | in::kDumpTables))
    fuzz::WalkReports(session, data[0] & in::kDumpTables);
  else
    FileSummaryText(BuildFileSummary(session, {}));
  return 0;
}
