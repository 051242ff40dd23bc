#include "input/ReadLoop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "input/FormatTable.h"
#include "input/TimeConv.h"

namespace korvane {

int ReadProgress::Percent() const {
  int64_t size = fileSize.load(std::memory_order_relaxed);
  if (size <= 0) return 0;
  double pct = double(position.load(std::memory_order_relaxed)) / double(size) * 100.0;
  return int(std::clamp(std::nearbyint(pct), 0.0, 100.0));
}

std::unique_ptr<TraceReader> MakeTraceReader(TraceFormat format, ReaderContext& context) {
  const FormatEntry* entry = FindFormatEntry(format);
  return entry && entry->factory ? entry->factory(context) : nullptr;
}

namespace {
void ResetReaderFields(ByteSource& source, TraceFileInfo& info, CapturedFrame& frame) {
  info.StopRequested = false;
  info.CutShort = false;
  info.CutAtFrame = 0;
  info.FirstFrameOnly = false;
  info.SlicedPacketsSeen = false;
  info.StartDateTime = FileLastWriteDateTime(info.CurrentFileName);
  info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
  info.FramesRead = 0;
  info.FrameCounter = 0;
  info.FilePosition = 0;
  info.MaxFrameLength = kMaxFrameLength;
  frame.Data.fill(0);
  frame.TimeStamp = 0;
  frame.FrameLength = frame.StoredLength = frame.Status = 0;
  info.FileSize = source.Size();
}

// After the reader has ended: a failed read, or a file now shorter than when the read
// began, means the data ended early, whatever the reader made of it. The size shown is
// then the size that was read.
void NoteEarlyEnd(ByteSource& source, TraceFileInfo& info) {
  const int64_t now = source.CurrentSize();
  if (!source.Failed() && now >= info.FileSize) return;
  if (now < info.FileSize) info.FileSize = now;
  if (!info.CutShort) {
    info.CutShort = true;
    info.CutAtFrame = info.FrameCounter + 1;
  }
}
}  // namespace

ReadOutcome ReadTraceFile(ByteSource& source, TraceFileInfo& info, CapturedFrame& frame,
                          FrameSink& sink, ReadProgress& progress, bool firstFrameOnly) {
  ResetReaderFields(source, info, frame);
  progress.Reset();
  progress.fileSize.store(info.FileSize, std::memory_order_relaxed);
  sink.BeginTrace(firstFrameOnly);
  info.FirstFrameOnly = firstFrameOnly;

  ReadOutcome outcome{true, false};
  ReaderContext context{source, info, frame};
  if (auto reader = MakeTraceReader(info.DetectedFormat, context)) {
    if (!reader->Initialise()) {
      outcome.tablesReady = false;
    } else {
      for (;;) {
        RecordResult record = reader->Next();
        info.FilePosition = reader->Position();
        progress.position.store(info.FilePosition, std::memory_order_relaxed);
        if (info.CutShort && info.CutAtFrame == 0) info.CutAtFrame = info.FrameCounter + 1;
        if (record == RecordResult::End) break;
        if (record == RecordResult::Skipped) {
          if (progress.stopMark.load(std::memory_order_relaxed)) {
            info.StopRequested = true;
            break;
          }
          continue;
        }
        uint8_t result = sink.AnalyseFrame(info.FrameCounter);
        bool endOfFile = reader->AfterFrame(result != 0);
        // A stop that comes with the last frame stopped nothing: the file was read whole.
        if (info.StopRequested && (endOfFile || reader->Position() >= info.FileSize)) info.StopRequested = false;
        if (info.StopRequested || result != 0 || endOfFile || firstFrameOnly) break;
      }
      if (!firstFrameOnly && !info.StopRequested) NoteEarlyEnd(source, info);
    }
    info.FramesRead = info.FrameCounter;
  }
  outcome.stopped = info.StopRequested;
  outcome.cutShort = info.CutShort;
  progress.stopped.store(outcome.stopped, std::memory_order_relaxed);
  progress.cutShort.store(outcome.cutShort, std::memory_order_relaxed);
  sink.EndTrace(!firstFrameOnly && outcome.tablesReady);
  progress.finished.store(true, std::memory_order_release);
  return outcome;
}

namespace {
class ProbeSink final : public FrameSink {
 public:
  void BeginTrace(bool) override {}
  uint8_t AnalyseFrame(int64_t& frameCounter) override {
    ++frameCounter;
    return 1;
  }
  void EndTrace(bool) override {}
};
}  // namespace

uint8_t ProbeFirstFrame(TraceFormat format, uint8_t known, ByteSource& source, std::string_view path,
                        TraceFileInfo& info) {
  TraceFileInfo probe = info;
  probe.CurrentFileName = std::string(path);
  probe.DetectedFormat = format;
  probe.TopologyCode = known;
  auto frame = std::make_unique<CapturedFrame>();
  ProbeSink sink;
  ReadProgress progress;
  ReadOutcome outcome = ReadTraceFile(source, probe, *frame, sink, progress, true);
  info.ReaderRejected = info.ReaderRejected || probe.ReaderRejected;
  return outcome.tablesReady ? probe.TopologyCode : known;
}

std::string DurationText(double elapsedMicros) {
  double seconds = std::nearbyint(elapsedMicros / 1000000.0);
  if (!(seconds >= 1)) return "00:00:00";
  auto total = int64_t(seconds);
  char text[48];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(total / 3600),
                static_cast<long long>(total / 60 % 60), static_cast<long long>(total % 60));
  return text;
}

}  // namespace korvane
