// The reading loop: resets the reader state, lets the format's reader hand every frame
// to the analyser, and publishes progress that a front end may poll from another thread.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

#include "input/ByteSource.h"
#include "input/TraceTypes.h"

namespace korvane {

// Counters a front end polls while a trace is read, and the stop mark it may set. The
// read loop writes them with relaxed stores; they are advisory, never synchronising.
struct ReadProgress {
  // The first two are written by the analysing thread, the position by the reading one:
  // each on a cache line of its own, as the two may be different threads.
  std::atomic<int64_t> frames{0};          // frames analysed so far
  std::atomic<double> elapsedMicros{0.0};  // capture time covered so far
  alignas(64) std::atomic<int64_t> position{0};  // file offset reached by the reader
  alignas(64) std::atomic<int64_t> fileSize{0};
  std::atomic<bool> stopMark{false};       // set by the front end to stop the read
  std::atomic<bool> stopped{false};        // the read ended on the stop mark before the end
  std::atomic<bool> cutShort{false};       // the file ended inside a record or failed to read
  std::atomic<bool> finished{false};       // written last: the two above are final then

  void Reset() {
    frames = 0;
    elapsedMicros = 0.0;
    position = 0;
    fileSize = 0;
    stopMark = false;
    stopped = false;
    cutShort = false;
    finished = false;
  }
  int Percent() const;
};

// The analyser as the readers see it.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // Before the first frame of a read (resets the tables for a full read).
  virtual void BeginTrace(bool firstFrameOnly) = 0;
  // Once per frame, numbered from 1 by the read loop. A non-zero result ends the read.
  virtual uint8_t AnalyseFrame(CapturedFrame& frame, int64_t frameNumber) = 0;
  // After the last frame: closes the last interval; fullRead runs the end-of-file pass.
  virtual void EndTrace(bool fullRead) = 0;
  // True when the sink may be handed its frames on another thread than the reader's, in
  // frame buffers of the loop's own: the loop may then read ahead on a second core.
  virtual bool TakesFramesFromAnotherThread() const { return false; }
  // A sink whose work on a frame divides into a first half that reads the frame's bytes
  // into a record of this many bytes (DecodeInto) and a second that works from that record
  // alone (AccountRecord, returning what AnalyseFrame would): the loop may then run the
  // first half on the reading thread. 0 when the work does not divide (the default). Asked
  // after BeginTrace; the halves see the frames in order, each half on one thread.
  virtual size_t SplitRecordBytes() const { return 0; }
  virtual void DecodeInto(const CapturedFrame& frame, void* record) {}
  virtual uint8_t AccountRecord(const void* record, int64_t frameNumber) { return 0; }
  // False when the sink never looks at the check sequence that readers write for Ethernet
  // files which store none: the readers then leave it zero rather than compute it.
  virtual bool ReadsCheckSequences() const { return true; }
};

// Everything a reader works on during one read.
struct ReaderContext {
  ByteSource& source;
  TraceFileInfo& info;
  CapturedFrame& frame;
  bool checkSequences = true;  // compute the check sequences the file does not store
};

enum class RecordResult { Frame, Skipped, End };

// One reader per format family. Initialise reads and checks the file header and leaves
// the reader at the first record; Next reads one record and fills the frame. Every call
// of Next moves forward in the file or ends.
class TraceReader {
 public:
  explicit TraceReader(ReaderContext& context) : ctx_(context) {}
  virtual ~TraceReader() = default;
  virtual bool Initialise() = 0;
  virtual RecordResult Next() = 0;
  // Called after the analyser has seen a frame; true ends the read (end of file).
  virtual bool AfterFrame(bool analyserStopped) { return false; }
  virtual int64_t Position() const = 0;

 protected:
  // The file ends inside the record being read: what it holds of the record is kept,
  // and the read is reported as cut short rather than whole.
  void MarkCutShort() { ctx_.info.CutShort = true; }
  // The file ends inside the frame's bytes: the frame is analysed with the bytes present,
  // which are all its StoredLength claims, and counts as sliced.
  void MarkFrameCut() {
    MarkCutShort();
    ctx_.info.SlicedPacketsSeen = true;
  }
  // Reads the first bytes of a record: none left is the clean end of the data, some but
  // not all a record cut short. True when all n bytes were there.
  bool ReadRecordStart(Cursor& cursor, uint8_t* dst, size_t n) {
    const size_t got = cursor.Read(dst, n);
    if (got != 0 && got < n) MarkCutShort();
    return got == n;
  }
  // Reads a further part of a record whose start was there: any shortfall is a cut.
  bool ReadRecordPart(Cursor& cursor, uint8_t* dst, size_t n) {
    const bool whole = cursor.ReadExact(dst, n);
    if (!whole) MarkCutShort();
    return whole;
  }

  ReaderContext& ctx_;
};

// The reader for a format, or null when the format has none.
std::unique_ptr<TraceReader> MakeTraceReader(TraceFormat format, ReaderContext& context);

struct ReadOutcome {
  bool tablesReady = false;  // false only when the reader refused the file while initialising
  bool stopped = false;      // the user stopped the read: FILE PARTIALLY READ
  bool cutShort = false;     // the file's data ended early (TraceFileInfo::CutAtFrame)
};

// Whether the records are read on a second thread while the sink analyses those before
// (only into a sink that takes its frames from another thread, and never for a probe).
// - Never: in turn, on the calling thread.
// - Always: whole frames ahead, through a ring of frame buffers. Not dependable on a
//   virtual machine: the analyser then reads every frame's bytes from the other core's
//   cache, and a cache line's trip between two virtual cores costs about 100 ns or about
//   400 ns as the host places them, from one minute to the next (korvane-machine-bench).
// - Decoded: the sink's first half (SplitRecordBytes) runs on the reading thread, beside
//   the reader, and hands the second half a compact record per frame, in order; frames
//   whose sink does not divide its work are read in turn.
// - Automatic: Decoded where there are two cores or more, in turn otherwise.
enum class ReadAhead { Automatic, Never, Always, Decoded };

// Reads the whole trace (or, in probe mode, its first frame) into the sink. The caller
// has set CurrentFileName, DetectedFormat, TopologyCode and LineSpeedMbps. The read loop
// alone counts the frames, takes the stop mark and publishes the progress.
ReadOutcome ReadTraceFile(ByteSource& source, TraceFileInfo& info, CapturedFrame& frame,
                          FrameSink& sink, ReadProgress& progress, bool firstFrameOnly,
                          ReadAhead readAhead = ReadAhead::Automatic);

// Probe read used by the header step of formats whose topology shows only in a frame.
// Returns the topology the reader found, or `known` when it found none.
uint8_t ProbeFirstFrame(TraceFormat format, uint8_t known, ByteSource& source, std::string_view path,
                        TraceFileInfo& info);

// The capture-time duration text the progress display keeps: "00:00:00" below one second.
std::string DurationText(double elapsedMicros);

}  // namespace korvane
