// NetXRay / Sniffer for Windows trace files: a 128-byte header, then fixed-size record
// headers each followed by the captured bytes, possibly in a buffer that wrapped.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/FormatTable.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr int64_t kHeaderSize = 128;
constexpr size_t kRecordSize = 28;
constexpr size_t kVersion2Extra = 12;
constexpr double kType2TicksPerMicro = 1.193181666;

class NetXRayReader final : public TraceReader {
 public:
  explicit NetXRayReader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    uint8_t h[kHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(h, kHeaderSize)) return false;
    bool version2 = std::memcmp(h + 4, "002.000", 7) >= 0;
    recordSize_ = kRecordSize + (version2 ? kVersion2Extra : 0);
    errorInFlags_ = h[6] >= '2';
    ethernet_ = info.TopologyCode == topology::Ethernet;
    ticksScaled_ = Le32(h + 48) == 2;
    frameCount_ = Le32(h + 16);
    excludesFcs_ = Le32(h + 68) != 0;

    double unixStart = double(Le32(h + 12));
    info.StartDateTime = DateTimeFromUnix(unixStart, 0);
    info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
    info.StartDateTime = DateTimeFromUnix(unixStart, info.TimeZoneBias);
    double local = unixStart - info.TimeZoneBias;
    double secondOfDay = local - std::floor(local / 86400.0) * 86400.0;
    info.StartTimeOfDay = int64_t(secondOfDay) * 1000000;
    startOffset_ = std::nearbyint(Micros(Le64(h + 52)) - double(info.StartTimeOfDay));

    auto first = int32_t(Le32(h + 24));
    if (first < 0) return false;
    start_ = first;
    firstStart_ = first;
    end_ = UsableEnd(Le32(h + 20));
    if (end_ < 0) end_ = UsableEnd(Le32(h + 28));
    if (end_ < 0) end_ = info.FileSize;
    wrappedEnd_ = WrappedEnd(Le32(h + 20));
    if (wrappedEnd_ < 0) wrappedEnd_ = WrappedEnd(Le32(h + 28));
    cursor_.Seek(start_);
    return true;
  }

  RecordResult Next() override {
    uint8_t record[kRecordSize + kVersion2Extra];
    if (!ReadRecordStart(cursor_, record, recordSize_)) return RecordResult::End;
    CapturedFrame& frame = ctx_.frame;
    uint32_t flags = Le32(record + 20);
    frame.Status = (flags & (1u << 23)) ? 0x2 : 0x1;
    if (ethernet_ && (errorInFlags_ ? (flags & 0x4) != 0 : (record[24] & 1) != 0)) frame.Status |= kCrcError;
    frame.TimeStamp = Micros(Le64(record)) - startOffset_;

    uint32_t wire = Le16(record + 8), captured = Le16(record + 10);
    uint32_t length = excludesFcs_ ? wire + 4 : wire;
    uint32_t stored = excludesFcs_ ? captured + 4 : wire;
    length = std::min(length, ctx_.info.MaxFrameLength);
    stored = std::min(stored, uint32_t(kMaxFrameLength));
    size_t keep = std::min<size_t>(captured, kMaxFrameLength);
    size_t got = cursor_.Read(frame.Data.data(), keep);
    cursor_.Skip(int64_t(captured) - int64_t(keep));
    if (got < keep) {
      MarkFrameCut();
      stored = uint32_t(got);
    }
    size_t clearTo = std::max(stored, length);
    if (clearTo > got) std::memset(frame.Data.data() + got, 0, clearTo - got);
    frame.FrameLength = uint16_t(length);
    frame.StoredLength = uint16_t(stored);
    if (ethernet_ && stored == length) WriteFrameCheckSequence(frame, ctx_.checkSequences);
    return RecordResult::Frame;
  }

  bool AfterFrame(bool analyserStopped) override {
    if (frameCount_ != 0 && ctx_.info.FrameCounter == int64_t(frameCount_)) return true;
    if (analyserStopped) return false;
    int64_t position = cursor_.Position();
    bool endOfFile = position >= end_ || position >= ctx_.info.FileSize;
    if (wrapped_ && position >= firstStart_) endOfFile = true;  // back where the read began
    if (endOfFile && start_ != kHeaderSize) {
      cursor_.Seek(kHeaderSize);
      start_ = kHeaderSize;
      wrapped_ = true;
      if (wrappedEnd_ > 0) end_ = wrappedEnd_;  // the newest data ends before the first record
      return false;
    }
    return endOfFile;
  }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  double Micros(uint64_t ticks) const {
    return ticksScaled_ ? double(ticks) / kType2TicksPerMicro : double(ticks);
  }

  // An end-of-data offset is usable when it lies after the first record and within the file.
  int64_t UsableEnd(uint32_t value) const {
    if (value == 0 || int64_t(value) <= start_ || int64_t(value) > ctx_.info.FileSize) return -1;
    return value;
  }

  // In a buffer that wrapped, the end-of-data offset lies between offset 128 and the first
  // record: the newest frames end there, and what follows it is left of older records.
  int64_t WrappedEnd(uint32_t value) const {
    if (int64_t(value) <= kHeaderSize || int64_t(value) > start_) return -1;
    return value;
  }

  Cursor cursor_;
  size_t recordSize_ = kRecordSize;
  bool errorInFlags_ = true;
  bool ethernet_ = false;
  bool ticksScaled_ = false;
  bool excludesFcs_ = false;
  bool wrapped_ = false;
  uint32_t frameCount_ = 0;
  double startOffset_ = 0;
  int64_t start_ = kHeaderSize;
  int64_t firstStart_ = kHeaderSize;
  int64_t end_ = 0;
  int64_t wrappedEnd_ = -1;
};

}  // namespace

namespace {

constexpr std::string_view kNetXRayMagic = "XCP";  // file signature at offset 0

ProbeVerdict ProbeNetXRay(const ProbeInput& in, TraceFileInfo&) {
  return SampleBeginsWith(in.h, kNetXRayMagic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

HeaderTopology NetXRayHeader(const HeaderInput& in, TraceFileInfo& info) {
  HeaderTopology t;
  uint8_t h[156] = {};
  if (in.source.ReadAt(0, h, sizeof h) < 128) return t;
  switch (Le32(h + 44)) {
    case 0: t.topology = topology::Ethernet; break;
    case 1: t.topology = topology::TokenRing; break;
    case 2: t.topology = topology::Fddi; break;
    case 3:
      t.topology = topology::Wan;
      info.WanEncapsulation = uint8_t(Le16(h + 84));
      break;
    default: break;
  }
  uint32_t speed = Le32(h + 60);
  if (speed > 1000000000u) t.bps = 10000000;
  else if (speed < 10000) t.bps = int64_t(speed) * 1000000;
  else t.bps = speed;
  return t;
}

std::unique_ptr<TraceReader> MakeNetXRayReader(ReaderContext& context) {
  return std::make_unique<NetXRayReader>(context);
}

}  // namespace

constinit const FormatEntry kNetXRayEntry{fmt_id::NetXRay, "NAI NetXRay/Sniffer Windows", {".cap"},
                                          ProbeNetXRay, NetXRayHeader, MakeNetXRayReader};

}  // namespace korvane
