// Helpers shared by the engine tests: reading a trace held in memory, frame by frame.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/TraceSession.h"
#include "input/ByteSource.h"
#include "input/Detect.h"
#include "input/ReadLoop.h"
#include "reports/OpenTrace.h"
#include "scenario/Scenario.h"

namespace korvane::test {

struct SeenFrame {
  double timeStamp;
  uint16_t frameLength;
  uint16_t storedLength;
  uint16_t status;
  std::vector<uint8_t> data;  // Data[0 .. min(stored, frame) - 1]
};

// Records every frame as the reader hands it over.
class RecordingSink final : public FrameSink {
 public:
  explicit RecordingSink(const CapturedFrame& frame) : frame_(frame) {}
  void BeginTrace(bool) override { frames.clear(); }
  uint8_t AnalyseFrame(CapturedFrame&, int64_t) override {
    size_t n = std::min(frame_.StoredLength, frame_.FrameLength);
    frames.push_back({frame_.TimeStamp, frame_.FrameLength, frame_.StoredLength, frame_.Status,
                      std::vector<uint8_t>(frame_.Data.begin(), frame_.Data.begin() + long(n))});
    return stopAfter > 0 && int64_t(frames.size()) >= stopAfter ? 1 : 0;
  }
  void EndTrace(bool) override {}
  std::vector<SeenFrame> frames;
  int64_t stopAfter = 0;

 private:
  const CapturedFrame& frame_;
};

struct ReadBack {
  TraceFileInfo info;
  std::vector<SeenFrame> frames;
  bool tablesReady = false;
  bool refused = false;
  std::string message;
};

// Detects, checks and reads a trace held in memory under the given name.
inline ReadBack ReadFrames(const std::vector<uint8_t>& bytes, const std::string& name) {
  ReadBack out;
  MemorySource source(bytes);
  TraceSession session;
  OpenResult checked = CheckTrace(session, name, source);
  if (checked.status != OpenStatus::Loaded) {
    out.refused = true;
    out.message = checked.message;
    out.info = session.info;
    return out;
  }
  RecordingSink sink(*session.frame);
  ReadOutcome outcome = ReadTraceFile(source, session.info, *session.frame, sink, session.progress, false);
  out.tablesReady = outcome.tablesReady;
  out.info = session.info;
  out.frames = std::move(sink.frames);
  return out;
}

// Opens and fully analyses a trace held in memory.
inline std::unique_ptr<TraceSession> Analyse(const std::vector<uint8_t>& bytes, const std::string& name,
                                             OpenResult* result = nullptr) {
  auto session = std::make_unique<TraceSession>();
  MemorySource source(bytes);
  OpenResult r = OpenTrace(*session, name, &source);
  if (result) *result = r;
  return session;
}

// Frames numbered by their bytes: frame i holds (baseSize + i) bytes of value i (an
// individual destination in front), spaced spacingUs apart from firstUs on.
std::vector<tools::ScenarioFrame> NumberedFrames(size_t count, double spacingUs, size_t baseSize, double firstUs = 0);

// The independent peer: editcap and tshark, and the pcap files tshark writes back.
bool HavePeer();
int Shell(const std::string& command);  // exit status of a shell command
std::vector<uint8_t> Slurp(const std::string& path);
struct PcapRecord {
  int64_t epochMicros;
  uint32_t wireLength;
  std::vector<uint8_t> bytes;
};
std::vector<PcapRecord> ParsePcap(const std::vector<uint8_t>& file);

// Sets TZ for the life of the object.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();

 private:
  std::string previous_;
  bool had_ = false;
};

}  // namespace korvane::test
