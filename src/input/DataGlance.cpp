// IBM DataGLANce captures: a 512-byte header, then frames in 128-byte blocks. A frame's
// first block holds its header and first 88 bytes; continuation blocks carry 88 more
// bytes each from their offset 40.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/FormatTable.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr size_t kHeaderSize = 512;
constexpr size_t kBlockSize = 128;
constexpr size_t kBlockDataOffset = 40;
constexpr size_t kBlockData = 88;
constexpr uint8_t kPcTimerFlag = 0x20;
constexpr double kPcTimerMicros = 0.83809534452;  // one tick of the PC timer
constexpr uint64_t kCoarseTickLimit = 2700000;     // one day of 32-ms ticks
constexpr double kCoarseTickMicros = 32000;

class DataGlanceReader final : public TraceReader {
 public:
  explicit DataGlanceReader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    uint8_t h[kHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(h, kHeaderSize)) return false;
    ethernet_ = info.TopologyCode == topology::Ethernet;
    const int64_t start = Le32(h + 144);
    info.StartDateTime = DateTimeFromUnix(double(start), 0);
    info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
    info.StartDateTime = DateTimeFromUnix(double(start), info.TimeZoneBias);
    const int64_t local = start - info.TimeZoneBias;
    const int64_t secondOfDay = ((local % 86400) + 86400) % 86400;
    info.StartTimeOfDay = secondOfDay * 1000000;
    startMicros_ = double(info.StartTimeOfDay);
    return true;
  }

  RecordResult Next() override {
    uint8_t block[kBlockSize];
    if (!ReadRecordStart(cursor_, block, kBlockSize)) return RecordResult::End;
    if (block[0] == 0) return RecordResult::Skipped;  // an empty block
    CapturedFrame& frame = ctx_.frame;
    TraceFileInfo& info = ctx_.info;

    const uint32_t stored = Le16(block + 2);
    uint32_t storedPresent = stored;
    std::memcpy(frame.Data.data(), block + kBlockDataOffset, kBlockData);
    size_t filled = kBlockData;
    const uint32_t continuations = (stored + 1) / kBlockData;
    for (uint32_t k = 1; k <= continuations; ++k) {
      uint8_t more[kBlockSize];
      const size_t got = cursor_.Read(more, kBlockSize);
      const size_t at = size_t(k) * kBlockData;
      const size_t carried = got > kBlockDataOffset ? std::min(got - kBlockDataOffset, kBlockData) : 0;
      if (at + 1 < info.MaxFrameLength - 89) {
        std::memcpy(frame.Data.data() + at, more + kBlockDataOffset, carried);
        filled = at + carried;
      }
      if (got < kBlockSize) {
        // The file ends inside the frame: it keeps the bytes that are there.
        MarkFrameCut();
        storedPresent = std::min<uint32_t>(stored, uint32_t(filled));
        break;
      }
    }

    frame.Status = 0;
    if (ethernet_) {
      if (block[1] & 0x02) frame.Status |= kCrcError;
      if (block[1] & 0x04) frame.Status |= kAlignmentError;
    }
    frame.TimeStamp = TimeStamp(block);
    const uint32_t length = std::min<uint32_t>(Le16(block + 4), info.MaxFrameLength);
    const uint32_t storedKept = std::min<uint32_t>(storedPresent, kMaxFrameLength);
    frame.StoredLength = uint16_t(storedKept);
    frame.FrameLength = uint16_t(length);
    if (length > storedKept) info.SlicedPacketsSeen = true;
    // The tail of the last block is padding: zero it, and what lies up to the frame
    // length, rather than leave bytes of an earlier frame there.
    const size_t valid = std::min<size_t>(filled, storedKept);
    const size_t clearTo = std::max<size_t>(filled, length);
    if (clearTo > valid) std::memset(frame.Data.data() + valid, 0, clearTo - valid);
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override { return cursor_.Position() >= ctx_.info.FileSize; }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  double TimeStamp(const uint8_t* block) const {
    const uint64_t a = Le16(block + 6), b = Le16(block + 8), c = Le16(block + 10);
    const uint64_t ticks = ((a << 16) + c) * 65536 + b;
    if (block[0] & kPcTimerFlag) return startMicros_ + std::nearbyint(double(ticks) * kPcTimerMicros);
    if (ethernet_) {
      if (ticks <= kCoarseTickLimit) return startMicros_ + double(ticks) * kCoarseTickMicros;
      return startMicros_ + double(ticks) * kPcTimerMicros;
    }
    // Token Ring adapters stamp seconds (C:B) and hundredths of a second (A).
    const uint64_t seconds = (c << 16) + b;
    return double(seconds % 86400) * 1000000.0 + double(a) * 10000.0;
  }

  Cursor cursor_;
  bool ethernet_ = false;
  double startMicros_ = 0;
};

}  // namespace

namespace {

// A guess: no signature, only the media byte, the flag byte after it and the file name.
constexpr size_t kMediaByte = 130;  // 1 FDDI, 2 Token Ring, 3 Ethernet
constexpr size_t kFlagByte = 131;   // its low three bits are 0, 1, 4 or 5
constexpr std::string_view kDataGlanceName = ".DGC";

ProbeVerdict ProbeDataGlance(const ProbeInput& in, TraceFileInfo&) {
  const uint8_t media = in.h[kMediaByte], flags = in.h[kFlagByte] & 7;
  const bool bytes = media >= 1 && media <= 3 && (flags == 0 || flags == 1 || flags == 4 || flags == 5);
  return bytes && NameHas(in.upperName, kDataGlanceName) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

HeaderTopology DataGlanceHeader(const HeaderInput& in, TraceFileInfo&) {
  HeaderTopology t;
  if (in.h[kMediaByte] == 1) t.topology = topology::Fddi;
  else if (in.h[kMediaByte] == 2) t.topology = topology::TokenRing;
  else if (in.h[kMediaByte] == 3) t.topology = topology::Ethernet;
  return t;
}

std::unique_ptr<TraceReader> MakeDataGlanceReader(ReaderContext& context) {
  return std::make_unique<DataGlanceReader>(context);
}

}  // namespace

constinit const FormatEntry kDataGlanceEntry{fmt_id::DataGlance, "IBM DataGLANce", {".dgc"},
                                             ProbeDataGlance, DataGlanceHeader, MakeDataGlanceReader};

}  // namespace korvane
