// TTC FireBerd 500 (76-byte header) and NetLens/Spider (26-byte header) captures: after
// the header, records of a 10-byte header and the frame bytes.
#include <algorithm>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/FormatTable.h"

namespace korvane {

namespace {

constexpr size_t kFireBerdHeaderSize = 76;
constexpr size_t kNetLensHeaderSize = 26;
constexpr size_t kRecordHeaderSize = 10;
constexpr uint32_t kStoredLimit = 1514;  // the capture keeps at most this much of a frame

class TtcReader final : public TraceReader {
 public:
  explicit TtcReader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    const bool fireBerd = info.DetectedFormat == fmt_id::FireBerd;
    const size_t headerSize = fireBerd ? kFireBerdHeaderSize : kNetLensHeaderSize;
    uint8_t h[kFireBerdHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(h, headerSize)) return false;
    frameCount_ = Le32(h + (fireBerd ? 72 : 22));
    ethernet_ = info.TopologyCode == topology::Ethernet;
    return true;
  }

  RecordResult Next() override {
    uint8_t r[kRecordHeaderSize];
    if (!ReadRecordStart(cursor_, r, kRecordHeaderSize)) return RecordResult::End;
    CapturedFrame& frame = ctx_.frame;
    TraceFileInfo& info = ctx_.info;
    const uint32_t length = Le16(r);
    if (length > kMaxFrameLength) return RecordResult::End;
    const size_t got = cursor_.Read(frame.Data.data(), length);
    if (got < length) {
      if (got == 0) {
        MarkCutShort();
        return RecordResult::End;
      }
      MarkFrameCut();
    }

    uint32_t stored, wire;
    if (length > kStoredLimit) {
      stored = kStoredLimit;
      wire = length;
      info.SlicedPacketsSeen = true;
    } else {
      stored = wire = length + (ethernet_ ? 4 : 0);
    }
    if (got < length) stored = uint32_t(got);
    wire = std::min(wire, info.MaxFrameLength);
    // The room made for the check sequence must not show the previous frame's bytes.
    if (wire > got) std::memset(frame.Data.data() + got, 0, wire - got);
    frame.StoredLength = uint16_t(stored);
    frame.FrameLength = uint16_t(wire);
    frame.Status = 0;
    if (ethernet_) {
      const uint16_t flags = Le16(r + 2);
      if (flags & 0x0800) frame.Status |= kCrcError;
      if (flags & 0x0400) frame.Status |= kAlignmentError;
      if (got == length) WriteFrameCheckSequence(frame, ctx_.checkSequences);
    }
    frame.TimeStamp = double(Le32(r + 6)) * 1000.0;
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override {
    if (ctx_.info.FrameCounter == int64_t(frameCount_)) return true;
    return cursor_.Position() >= ctx_.info.FileSize;
  }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  Cursor cursor_;
  uint32_t frameCount_ = 0;
  bool ethernet_ = false;
};

}  // namespace

namespace {

constexpr std::string_view kFireBerdMagic = "ProbeApps";  // anywhere in the first 200 bytes
// NetLens is a guess: a "D" at offset 0, a plausible frame count at 22, and the name.
constexpr uint8_t kNetLensLead = 'D';
constexpr size_t kNetLensCountOffset = 22;
constexpr int32_t kNetLensCountLimit = 100000;  // counts at or above it are not NetLens
constexpr std::string_view kNetLensEthernetName = ".S04";
constexpr std::string_view kNetLensTokenRingName = ".T04";

ProbeVerdict ProbeNetLens(const ProbeInput& in, TraceFileInfo&) {
  const bool named = NameHas(in.upperName, kNetLensEthernetName) || NameHas(in.upperName, kNetLensTokenRingName);
  const bool bytes = in.h[0] == kNetLensLead && int32_t(Le32(in.h.data() + kNetLensCountOffset)) < kNetLensCountLimit;
  return named && bytes ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

ProbeVerdict ProbeFireBerd(const ProbeInput& in, TraceFileInfo&) {
  return SampleHas(in.h, kFireBerdMagic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

HeaderTopology NetLensHeader(const HeaderInput& in, TraceFileInfo&) {
  HeaderTopology t;
  if (NameHas(in.upperName, kNetLensEthernetName)) t.topology = topology::Ethernet;
  else if (NameHas(in.upperName, kNetLensTokenRingName)) t.topology = topology::TokenRing;
  return t;
}

// The first frame's leading bytes tell Ethernet from Token Ring.
HeaderTopology FireBerdHeader(const HeaderInput& in, TraceFileInfo&) {
  HeaderTopology t;
  uint8_t record[kRecordHeaderSize];
  if (in.source.ReadAt(kFireBerdHeaderSize, record, kRecordHeaderSize) != kRecordHeaderSize) return t;
  uint8_t first[3] = {};
  size_t length = std::min<size_t>(Le16(record), 3);
  in.source.ReadAt(kFireBerdHeaderSize + kRecordHeaderSize, first, length);
  if ((first[0] & 0x10) == 0 || first[0] == 0xFF ||
      (first[0] == 0x10 && first[1] == 0x00 && (first[2] == 0x5A || first[2] == 0x5D || first[2] == 0xE0)))
    t.topology = topology::Ethernet;
  else
    t.topology = topology::TokenRing;
  return t;
}

std::unique_ptr<TraceReader> MakeTtcReader(ReaderContext& context) {
  return std::make_unique<TtcReader>(context);
}

}  // namespace

constinit const FormatEntry kNetLensEntry{fmt_id::NetLens, "TTC NetLens/Spider", {".t04"},
                                          ProbeNetLens, NetLensHeader, MakeTtcReader};
constinit const FormatEntry kFireBerdEntry{fmt_id::FireBerd, "TTC FireBerd 500", {".pkt"},
                                           ProbeFireBerd, FireBerdHeader, MakeTtcReader};

}  // namespace korvane
