// HP Internet Advisor traces of the DOS era: a 128-byte header, then tagged records.
// Each record starts with a 4-character tag and its size in 32-bit words (header
// included); frame records carry a 24-byte frame header and the padded frame bytes.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/FormatTable.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kRecordHeaderSize = 8;
constexpr size_t kFrameHeaderSize = 24;
constexpr int64_t kGroupBodySize = 16 + 4;

bool TagIs(const uint8_t* tag, const char* text) { return std::memcmp(tag, text, 4) == 0; }

class HpReader final : public TraceReader {
 public:
  explicit HpReader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    uint8_t h[kHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(h, kHeaderSize)) return false;
    ethernet_ = info.TopologyCode == topology::Ethernet;
    double start = double(Le32(h + 12));
    info.StartDateTime = DateTimeFromUnix(start, 0);
    info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
    info.StartDateTime = DateTimeFromUnix(start, info.TimeZoneBias);
    info.StartTimeOfDay = SecondOfDay(int64_t(Le32(h + 12))) * 1000000;
    return true;
  }

  RecordResult Next() override {
    const int64_t at = cursor_.Position();
    uint8_t header[kRecordHeaderSize];
    if (!ReadRecordStart(cursor_, header, kRecordHeaderSize)) return RecordResult::End;
    const int64_t fileSize = ctx_.info.FileSize;
    if (TagIs(header, "FR30") || TagIs(header, "FR50")) return Frame();
    int64_t end;
    if (TagIs(header, "GRP0")) {
      end = cursor_.Position() + kGroupBodySize;
    } else {
      // Design note: the size counts from the start of the record, so anything below
      // the record header itself (a zero size, above all) cannot be a record. Reading
      // stops there rather than stepping in place.
      int64_t bytes = int64_t(Le32(header + 4)) * 4;
      if (bytes < int64_t(kRecordHeaderSize)) return RecordResult::End;
      end = at + bytes;
    }
    if (end > fileSize) {
      MarkCutShort();
      return RecordResult::End;
    }
    cursor_.Seek(end);
    return RecordResult::Skipped;
  }

  bool AfterFrame(bool) override { return cursor_.Position() >= ctx_.info.FileSize; }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  int64_t SecondOfDay(int64_t unixSeconds) const {
    int64_t local = unixSeconds - ctx_.info.TimeZoneBias;
    return ((local % 86400) + 86400) % 86400;
  }

  RecordResult Frame() {
    uint8_t fh[kFrameHeaderSize];
    if (!ReadRecordPart(cursor_, fh, kFrameHeaderSize)) return RecordResult::End;
    CapturedFrame& frame = ctx_.frame;
    TraceFileInfo& info = ctx_.info;
    const uint64_t stored = Le32(fh + 12);
    const uint64_t padded = (stored + 7) & ~uint64_t(3);
    if (padded > kMaxFrameLength) return RecordResult::End;
    // A file cut inside the data still hands over the frame, with the bytes present.
    const size_t got = cursor_.Read(frame.Data.data(), size_t(padded));

    frame.Status = 0;
    if (ethernet_ && fh[11] > 7) frame.Status |= kCrcError;
    const int64_t seconds = Le32(fh + 16);
    const uint32_t nanos = Le32(fh + 20);
    frame.TimeStamp = double(SecondOfDay(seconds)) * 1000000.0 + double(nanos / 1000);
    uint32_t length = std::min<uint32_t>(Le16(fh + 8), info.MaxFrameLength);
    if (got < stored) MarkFrameCut();
    frame.StoredLength = uint16_t(std::min<uint64_t>(stored, got));
    frame.FrameLength = uint16_t(length);
    if (length > stored) info.SlicedPacketsSeen = true;
    // Padding and anything the file did not deliver carry no content: zero, not stale.
    size_t valid = std::min<size_t>(got, size_t(stored));
    size_t clearTo = std::max<size_t>(got, length);
    if (clearTo > valid) std::memset(frame.Data.data() + valid, 0, clearTo - valid);
    return RecordResult::Frame;
  }

  Cursor cursor_;
  bool ethernet_ = false;
};

}  // namespace

namespace {

constexpr std::string_view kHpMagic = "HPDATA0";  // anywhere in the first 200 bytes

ProbeVerdict ProbeHp(const ProbeInput& in, TraceFileInfo&) {
  return SampleHas(in.h, kHpMagic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

// The 32-bit interface code at offset 24.
HeaderTopology HpHeader(const HeaderInput& in, TraceFileInfo&) {
  switch (Le32(in.h + 24)) {
    case 1: case 2: case 5: case 8: return {topology::Ethernet, 10000000};
    case 3: return {topology::TokenRing, 4000000};
    case 4: return {topology::TokenRing, 16000000};
    case 7: return {topology::Ethernet, 100000000};
    default: return {};
  }
}

std::unique_ptr<TraceReader> MakeHpReader(ReaderContext& context) {
  return std::make_unique<HpReader>(context);
}

}  // namespace

constinit const FormatEntry kHpPreWin95Entry{fmt_id::HpPreWin95, "HP Internet Advisor (pre-Win95)",
                                             {".eth", ".trn", ".trn", ".trn"},
                                             ProbeHp, HpHeader, MakeHpReader};

}  // namespace korvane
