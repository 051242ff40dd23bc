// TTC FireBerd 500 (76-byte header) and NetLens/Spider (26-byte header) captures: after
// the header, records of a 10-byte header and the frame bytes.
#include <algorithm>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/Readers.h"

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
      if (got == length) WriteFrameCheckSequence(frame);
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

std::unique_ptr<TraceReader> MakeTtcReader(ReaderContext& context) {
  return std::make_unique<TtcReader>(context);
}

}  // namespace korvane
