#include "input/ReadLoop.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "input/FormatTable.h"
#include "input/MapPages.h"
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

namespace {
// The bytes a frame is read at: up to the larger of its two lengths.
size_t FrameExtent(const CapturedFrame& frame) {
  return std::min<size_t>(std::max(frame.StoredLength, frame.FrameLength), kMaxFrameLength);
}

// Zeroes the frame's buffer from the frame's end up to kHeaderReach. Readers write a
// record's bytes, and sometimes its padding, into a buffer that held longer frames before.
void ClearPastFrameEnd(CapturedFrame& frame) {
  const size_t end = FrameExtent(frame);
  if (end < kHeaderReach) std::memset(frame.Data.data() + end, 0, kHeaderReach - end);
}

// Reads records into `frame` until the data ends, a stop or a refusal, handing every
// frame to `deliver` (false ends the read). Owns the frame counter, the stop request and
// the reader's position; runs on whichever thread reads.
template <class Deliver>
void ReadRecords(TraceReader& reader, TraceFileInfo& info, CapturedFrame& frame, ReadProgress& progress,
                 bool firstFrameOnly, Deliver&& deliver) {
  for (;;) {
    const RecordResult record = reader.Next();
    info.FilePosition = reader.Position();
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
    const int64_t number = ++info.FrameCounter;
    ClearPastFrameEnd(frame);
    const bool accepted = deliver(number);
    const bool endOfFile = reader.AfterFrame(!accepted);
    if (progress.stopMark.load(std::memory_order_relaxed)) info.StopRequested = true;
    // A stop that comes with the last frame stopped nothing: the file was read whole.
    if (info.StopRequested && (endOfFile || reader.Position() >= info.FileSize)) info.StopRequested = false;
    // A cyclic LANalyzer buffer holds this many frames since its start.
    const bool cyclicEnd = info.DetectedFormat == fmt_id::LanAnalyzer && info.CyclicStopFrame != 0 &&
                           number == info.CyclicStopFrame;
    if (info.StopRequested || !accepted || cyclicEnd || endOfFile || firstFrameOnly) break;
  }
}

// A count one thread publishes and the other waits on until it reaches a mark. The
// waiting side spins a little, then sleeps; the publishing side wakes it only once the
// count has reached the mark it sleeps for, so a busy pipeline makes no system calls and
// a waiting side is woken once per batch, not once per step.
class SharedCount {
 public:
  void Store(uint64_t value) {
    value_.store(value, std::memory_order_seq_cst);
    const uint64_t mark = mark_.load(std::memory_order_seq_cst);
    if (mark != 0 && value >= mark) {
      mark_.store(0, std::memory_order_relaxed);
      wake_.fetch_add(1, std::memory_order_seq_cst);
      wake_.notify_one();
    }
  }
  // Waits until the count is at least `mark` (a count with the end bit is past every
  // mark), and returns it.
  uint64_t WaitFor(uint64_t mark) {
    for (int spin = 0; spin < kSpins; ++spin) {
      const uint64_t now = value_.load(std::memory_order_acquire);
      if (now >= mark) return now;
      Relax();
    }
    for (;;) {
      const uint32_t ticket = wake_.load(std::memory_order_seq_cst);
      mark_.store(mark, std::memory_order_seq_cst);
      const uint64_t now = value_.load(std::memory_order_seq_cst);
      if (now >= mark) {
        mark_.store(0, std::memory_order_relaxed);
        return now;
      }
      wake_.wait(ticket, std::memory_order_seq_cst);
    }
  }

 private:
  static constexpr int kSpins = 256;
  static void Relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  alignas(64) std::atomic<uint64_t> value_{0};
  std::atomic<uint64_t> mark_{0};  // what the sleeping side waits for; 0 when none sleeps
  std::atomic<uint32_t> wake_{0};
};

// Fixed-size slots on their way from the reading thread to the analysing one: a ring with
// one writer and one reader. Each side makes its progress known in steps, and at once
// before it waits, so that the two seldom touch the same line.
//
// A staged ring has the writer fill a step's slots in a block of its own and copy the
// block into the ring whole. The ring's lines were last read by the other core, and
// taking one back costs a round trip between the cores (0.1-1 us here): written field
// by field, amid the decoding, those round trips came one after another and held up the
// writer (a fifth of the reading thread's time for 128-byte records); one copy of 4 KiB
// asks for all of a step's lines at once. A 4 M-frame `summary` took 1.72-1.90 s against
// 1.81-2.25 s, `conversations` 1.99-2.43 s against 2.20-2.78 s (six alternating runs each);
// in an hour when the host ran both virtual cores on one physical core (a round trip of
// 0.9-1 us), 1.96-2.20 s against 1.86-2.08 s: the copy is then no help.
class SlotRing {
 public:
  static constexpr uint64_t kEndBit = uint64_t(1) << 63;

  SlotRing(uint64_t slots, size_t slotBytes, uint64_t step, bool staged = false)
      : slots_(slots), step_(step), slotBytes_(slotBytes), storage_(new std::byte[slots * slotBytes + 64]),
        base_(Aligned(storage_.get())), numbers_(slots) {
    MapPagesNow(storage_.get(), slots * slotBytes + 64);
    if (staged) {
      stagingStorage_.reset(new std::byte[step * slotBytes + 64]);
      staging_ = Aligned(stagingStorage_.get());
    }
  }

  // Writer: the next free slot, waiting for one; null once the reader has quit. A staged
  // ring waits at the start of a step until the whole step's slots are free.
  std::byte* Reserve() {
    const uint64_t wanted = staging_ ? (written_ % step_ == 0 ? step_ : 0) : 1;
    if (written_ + wanted - freedSeen_ > slots_) {
      // Full: go on once half the ring is free again, not slot by slot.
      Publish(written_, published_, shown_);
      freedSeen_ = freed_.WaitFor(written_ + wanted - slots_ / 2);
      if (freedSeen_ & kEndBit) return nullptr;
    }
    if (quit_.load(std::memory_order_relaxed)) return nullptr;
    return staging_ ? staging_ + written_ % step_ * slotBytes_ : Slot(written_);
  }
  // Writer: the slot reserved last now holds frame `number`.
  void Commit(int64_t number) {
    numbers_[written_ % slots_] = number;
    if (++written_ % step_ == 0) {
      if (staging_) std::memcpy(Slot(written_ - step_), staging_, step_ * slotBytes_);
      Publish(written_, published_, shown_);
    }
  }
  // Writer: no more slots.
  void Close() {
    if (const uint64_t held = written_ % step_; staging_ && held != 0)
      std::memcpy(Slot(written_ - held), staging_, held * slotBytes_);
    shown_.Store(written_ | kEndBit);
  }

  // Reader: the next slot, waiting for it; null once the writer has closed and all is taken.
  std::byte* Take(int64_t& number) {
    while (taken_ == shownSeen_) {
      if (closed_) return nullptr;
      Publish(taken_, freedPublished_, freed_);
      const uint64_t now = shown_.WaitFor(taken_ + 1);
      shownSeen_ = now & ~kEndBit;
      closed_ = (now & kEndBit) != 0;
    }
    number = numbers_[taken_ % slots_];
    return Slot(taken_);
  }
  // Reader: the slot last taken is done with.
  void Release() {
    if (++taken_ % step_ == 0) Publish(taken_, freedPublished_, freed_);
  }
  // Reader: takes no more slots; the writer's next Reserve fails.
  void Quit() {
    quit_.store(true, std::memory_order_relaxed);
    freed_.Store(taken_ | kEndBit);
  }

  uint64_t Slots() const { return slots_; }
  std::byte* Slot(uint64_t count) { return base_ + count % slots_ * slotBytes_; }

 private:
  static std::byte* Aligned(std::byte* p) { return p + (64 - reinterpret_cast<uintptr_t>(p) % 64) % 64; }
  static void Publish(uint64_t count, uint64_t& published, SharedCount& shared) {
    if (count == published) return;
    published = count;
    shared.Store(count);
  }

  const uint64_t slots_, step_;
  const size_t slotBytes_;
  std::unique_ptr<std::byte[]> storage_;
  std::byte* base_;  // the first slot, on a cache line's start
  std::vector<int64_t> numbers_;
  std::unique_ptr<std::byte[]> stagingStorage_;
  std::byte* staging_ = nullptr;  // a staged ring's block of one step, on a cache line's start
  // Slots written (the writer's own count, then the count shown to the reader, with
  // kEndBit once closed) and slots freed (the reader's, then the count shown to the writer).
  alignas(64) uint64_t written_ = 0, published_ = 0, freedSeen_ = 0;
  SharedCount shown_;
  alignas(64) uint64_t taken_ = 0, shownSeen_ = 0, freedPublished_ = 0;
  bool closed_ = false;
  SharedCount freed_;
  std::atomic<bool> quit_{false};
};

// Whole frames through the ring: 128 frame buffers. Slots a whole number of cache lines
// apart plus one more line, so that the starts of the frames (the headers both threads
// read) fall into different cache sets instead of all into the few that a 32-KiB stride
// allows.
constexpr size_t kFrameSlotBytes = (sizeof(CapturedFrame) + 63) / 64 * 64 + 64;
static_assert(std::is_trivially_destructible_v<CapturedFrame>);

// Decoded records through the ring: 4,096 of them, half a MiB, read by the analysing side
// in order so that the hardware fetches them ahead. (A quarter of that made 0.80 s of a
// 4 M-frame summary against 0.76 s, ten runs each, alternating.)
constexpr uint64_t kRecordSlots = 4096, kRecordStep = 32;
static_assert(kRecordSlots % kRecordStep == 0, "a staged step's slots lie together");

enum class AheadMode { InTurn, Frames, Decoded };

AheadMode ChooseAhead(ReadAhead mode, const FrameSink& sink, bool firstFrameOnly) {
  if (firstFrameOnly || !sink.TakesFramesFromAnotherThread() || mode == ReadAhead::Never) return AheadMode::InTurn;
  if (mode == ReadAhead::Always) return AheadMode::Frames;
  if (sink.SplitRecordBytes() == 0) return AheadMode::InTurn;
  if (mode == ReadAhead::Automatic && std::thread::hardware_concurrency() < 2) return AheadMode::InTurn;
  return AheadMode::Decoded;
}

// The reader on a thread of its own, the sink on the calling one: `put` hands the frame
// just read to the ring (false once the sink has quit), `take` gives the sink a slot.
// Returns the frames the sink analysed, or -1 when no thread could be started (nothing
// was read then).
template <class Put, class Take>
int64_t ReadAheadThrough(SlotRing& ring, TraceReader& reader, TraceFileInfo& info, CapturedFrame& frame,
                         ReadProgress& progress, Put&& put, Take&& take) {
  std::exception_ptr readerFailure;
  std::thread reading;
  try {
    reading = std::thread([&] {
      try {
        ReadRecords(reader, info, frame, progress, false, put);
      } catch (...) {
        readerFailure = std::current_exception();
      }
      ring.Close();
    });
  } catch (const std::system_error&) {
    return -1;
  }
  int64_t analysed = 0;
  try {
    int64_t number = 0;
    while (std::byte* next = ring.Take(number)) {
      const uint8_t result = take(next, number);
      analysed = number;
      ring.Release();
      if ((analysed & 0xFF) == 0) progress.frames.store(analysed, std::memory_order_relaxed);
      if (result != 0) {
        ring.Quit();
        break;
      }
    }
  } catch (...) {
    ring.Quit();
    reading.join();
    throw;
  }
  reading.join();
  if (readerFailure) std::rethrow_exception(readerFailure);
  return analysed;
}

int64_t ReadFramesAhead(TraceReader& reader, TraceFileInfo& info, CapturedFrame& frame, FrameSink& sink,
                        ReadProgress& progress) {
  SlotRing ring(128, kFrameSlotBytes, 16);
  for (uint64_t i = 0; i < ring.Slots(); ++i) ::new (ring.Slot(i)) CapturedFrame;
  auto slotFrame = [](std::byte* slot) { return std::launder(reinterpret_cast<CapturedFrame*>(slot)); };
  auto put = [&](int64_t number) {
    std::byte* slot = ring.Reserve();
    if (!slot) return false;
    CapturedFrame& copy = *slotFrame(slot);
    copy.TimeStamp = frame.TimeStamp;
    copy.FrameLength = frame.FrameLength;
    copy.StoredLength = frame.StoredLength;
    copy.Status = frame.Status;
    // Everything the frame may be read at: its bytes, or its wire length when the record
    // kept fewer (the analyser reads a header's fields where the wire had them), and the
    // zeros after a short frame.
    std::memcpy(copy.Data.data(), frame.Data.data(), std::max(FrameExtent(frame), kHeaderReach));
    ring.Commit(number);
    return true;
  };
  return ReadAheadThrough(ring, reader, info, frame, progress, put,
                          [&](std::byte* slot, int64_t number) { return sink.AnalyseFrame(*slotFrame(slot), number); });
}

// The sink's first half on the reading thread, into records the second half takes in turn.
int64_t ReadDecodedAhead(TraceReader& reader, TraceFileInfo& info, CapturedFrame& frame, FrameSink& sink,
                         ReadProgress& progress) {
  SlotRing ring(kRecordSlots, (sink.SplitRecordBytes() + 63) / 64 * 64, kRecordStep, true);
  auto put = [&](int64_t number) {
    std::byte* slot = ring.Reserve();
    if (!slot) return false;
    sink.DecodeInto(frame, slot);
    ring.Commit(number);
    return true;
  };
  return ReadAheadThrough(ring, reader, info, frame, progress, put,
                          [&](std::byte* slot, int64_t number) { return sink.AccountRecord(slot, number); });
}
}  // namespace

ReadOutcome ReadTraceFile(ByteSource& source, TraceFileInfo& info, CapturedFrame& frame,
                          FrameSink& sink, ReadProgress& progress, bool firstFrameOnly, ReadAhead readAhead) {
  ResetReaderFields(source, info, frame);
  progress.Reset();
  progress.fileSize.store(info.FileSize, std::memory_order_relaxed);
  sink.BeginTrace(firstFrameOnly);
  info.FirstFrameOnly = firstFrameOnly;

  ReadOutcome outcome{true, false};
  ReaderContext context{source, info, frame, sink.ReadsCheckSequences()};
  if (auto reader = MakeTraceReader(info.DetectedFormat, context)) {
    if (!reader->Initialise()) {
      outcome.tablesReady = false;
    } else {
      int64_t analysedAhead = -1;
      switch (ChooseAhead(readAhead, sink, firstFrameOnly)) {
        case AheadMode::Frames: analysedAhead = ReadFramesAhead(*reader, info, frame, sink, progress); break;
        case AheadMode::Decoded: analysedAhead = ReadDecodedAhead(*reader, info, frame, sink, progress); break;
        case AheadMode::InTurn: break;
      }
      if (analysedAhead >= 0) {
        // Frames the reader had passed on when the sink ended the read are not counted.
        info.FrameCounter = analysedAhead;
      } else {
        ReadRecords(*reader, info, frame, progress, firstFrameOnly, [&](int64_t number) {
          const uint8_t result = sink.AnalyseFrame(frame, number);
          progress.frames.store(number, std::memory_order_relaxed);
          return result == 0;
        });
      }
      progress.frames.store(info.FrameCounter, std::memory_order_relaxed);
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
  uint8_t AnalyseFrame(CapturedFrame&, int64_t) override { return 1; }
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
