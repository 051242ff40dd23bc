// LANWatch dump files: a 16-byte header (20 bytes from version 4 on), then 12-byte record
// headers each followed by the stored bytes. Time stamps are PC timer readings: the BIOS
// tick count since midnight and the 8253 counter within the tick.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/FormatTable.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr size_t kFileHeaderSize = 16;
constexpr size_t kVersion4Extra = 4;
constexpr size_t kRecordHeaderSize = 12;
constexpr double kMicrosPerTick = 54925.41649846272;    // one BIOS tick, 65536 counts
constexpr double kMicrosPerCount = 0.83809534452;       // one count of the 1.19318 MHz timer
constexpr uint8_t kNoFrame = 0x80;                      // record byte 11
constexpr uint8_t kAlignmentFlag = 0x80, kCrcFlag = 0x02;  // record byte 10

class LanWatchReader final : public TraceReader {
 public:
  explicit LanWatchReader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    uint8_t h[kFileHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(h, kFileHeaderSize)) return false;
    if (std::memcmp(h, "PKTDMP", 6) != 0) return false;
    if (h[6] >= 4) cursor_.Skip(kVersion4Extra);
    ethernet_ = info.TopologyCode == topology::Ethernet;
    return true;
  }

  RecordResult Next() override {
    uint8_t r[kRecordHeaderSize];
    if (!ReadRecordStart(cursor_, r, kRecordHeaderSize)) return RecordResult::End;
    if (r[11] & kNoFrame) return RecordResult::Skipped;
    const uint32_t wire = Le16(r), included = Le16(r + 2);
    if (included > kMaxFrameLength) return RecordResult::End;
    CapturedFrame& frame = ctx_.frame;
    const size_t got = cursor_.Read(frame.Data.data(), included);
    const bool cut = got < included;
    // A record of no bytes on the wire and none stored is no frame: zero bytes after the
    // data (or a sparse file) end the read rather than becoming frames at time 0.
    if (wire == 0 && included == 0) return RecordResult::End;
    if (cut) MarkFrameCut();

    frame.Status = 0;
    if (ethernet_) {
      if (r[10] & kAlignmentFlag) frame.Status |= kAlignmentError;
      if (r[10] & kCrcFlag) frame.Status |= kCrcError;
    }
    const double ticks = double(uint32_t(Le16(r + 6)) << 16 | Le16(r + 4));
    double micros = ticks * kMicrosPerTick + double(Le16(r + 8)) * kMicrosPerCount;
    micros -= std::floor(micros / kMicrosPerDay) * kMicrosPerDay;
    frame.TimeStamp = micros;

    uint32_t stored = uint32_t(got), length = wire;
    const bool whole = !cut && stored == length;
    if (ethernet_) {
      length += 4;
      // The check sequence is room made at the end of the frame; a sliced record never
      // reached that end, so its stored part stays what the file holds.
      if (whole) stored += 4;
    }
    length = std::min(length, ctx_.info.MaxFrameLength);
    stored = std::min<uint32_t>(stored, kMaxFrameLength);
    const size_t clearTo = std::max<size_t>(stored, length);
    if (clearTo > got) std::memset(frame.Data.data() + got, 0, clearTo - got);
    frame.FrameLength = uint16_t(length);
    frame.StoredLength = uint16_t(stored);
    if (ethernet_ && whole) WriteFrameCheckSequence(frame, ctx_.checkSequences);
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override { return cursor_.Position() >= ctx_.info.FileSize; }

  int64_t Position() const override { return std::min(cursor_.Position(), cursor_.Size()); }

 private:
  Cursor cursor_;
  bool ethernet_ = true;
};

}  // namespace

namespace {

constexpr std::string_view kLanWatchMagic = "PKTDMP";  // file signature at offset 0

ProbeVerdict ProbeLanWatch(const ProbeInput& in, TraceFileInfo&) {
  return SampleBeginsWith(in.h, kLanWatchMagic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

// The high byte of the 16-bit value at offset 12 names the network.
HeaderTopology LanWatchHeader(const HeaderInput& in, TraceFileInfo&) {
  HeaderTopology t;
  if (in.h[13] <= 1) t.topology = topology::Ethernet;
  else if (in.h[13] == 3) t.topology = topology::TokenRing;
  return t;
}

std::unique_ptr<TraceReader> MakeLanWatchReader(ReaderContext& context) {
  return std::make_unique<LanWatchReader>(context);
}

}  // namespace

constinit const FormatEntry kLanWatchEntry{fmt_id::LanWatch, "Precision Guesswork LANWatch", {".dmp"},
                                           ProbeLanWatch, LanWatchHeader, MakeLanWatchReader};

}  // namespace korvane
