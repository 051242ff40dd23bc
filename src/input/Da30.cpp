// DA-30 capture files: a 78-byte header that points at an interface block and at the
// first record; records of whole 32-bit words, each an 8-byte header (the second word is
// the record's length in words) and a body holding flags, a time stamp in 32 us units,
// the frame length and the frame.
#include <algorithm>
#include <cstring>

#include "input/Endian.h"
#include "input/FormatTable.h"

namespace korvane {

namespace {

constexpr int64_t kHeaderSize = 78;
constexpr int64_t kTooLongBody = 32797;
constexpr size_t kDescriptorSize = 28;

class Da30Reader final : public TraceReader {
 public:
  explicit Da30Reader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    ethernet_ = info.TopologyCode == topology::Ethernet;
    uint8_t header[kHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(header, kHeaderSize)) return false;
    // The interface block (16 bytes, then 152 more on Ethernet or 112 on Token Ring)
    // only names the medium, which the header step has already taken from it.
    const int64_t first = Le32(header + 30);
    if (first < kHeaderSize) return false;  // records never start inside the header
    cursor_.Seek(first);
    return true;
  }

  RecordResult Next() override {
    const int64_t start = cursor_.Position();
    uint8_t header[8];
    if (!ReadRecordStart(cursor_, header, 8)) return RecordResult::End;
    const int64_t words = Le32(header + 4);
    if (words == 0) return RecordResult::End;  // the end record
    const int64_t body = words * 4 - 8;
    // A length shorter than its own header or descriptor cannot be a frame record.
    if (body < int64_t(kDescriptorSize) || body >= kTooLongBody) return RecordResult::End;
    uint8_t descriptor[kDescriptorSize];
    if (!ReadRecordPart(cursor_, descriptor, kDescriptorSize)) return RecordResult::End;

    CapturedFrame& frame = ctx_.frame;
    frame.Status = 0;
    const uint32_t flags = Le32(descriptor + 8);
    if (ethernet_ && (flags & 0x08) != 0 && (flags & 0x10) == 0) frame.Status = kCrcError;

    int64_t stamp = int32_t(Le32(descriptor + 16));
    // The stamp counts 32 us units as an unsigned time of day; read as signed it turns
    // negative late in the day and is brought back by adding 2^32 - 1, one unit short.
    if (stamp < 0) stamp += 4294967295LL;
    frame.TimeStamp = double(stamp) * 32.0;

    const uint32_t length = Le32(descriptor + 24);
    // Design note: the stored part is what the record really holds (its body after the
    // descriptor), so a frame length beyond the record is a sliced frame, not a copy of
    // whatever followed the record.
    const size_t want = size_t(std::min<int64_t>({int64_t(length), body - int64_t(kDescriptorSize),
                                                  int64_t(kMaxFrameLength)}));
    const size_t got = cursor_.Read(frame.Data.data(), want);
    if (got < want) MarkFrameCut();
    frame.FrameLength = uint16_t(std::min(length, ctx_.info.MaxFrameLength));
    frame.StoredLength = uint16_t(got);
    if (frame.FrameLength > got) std::memset(frame.Data.data() + got, 0, frame.FrameLength - got);
    cursor_.Seek(start + words * 4);
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override { return cursor_.Position() >= ctx_.info.FileSize; }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  Cursor cursor_;
  bool ethernet_ = false;
};

}  // namespace

namespace {

constexpr std::string_view kDa30Magic = "EXRS";  // file signature at offset 0

ProbeVerdict ProbeDa30(const ProbeInput& in, TraceFileInfo&) {
  return SampleBeginsWith(in.h, kDa30Magic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

// The 32-bit value at offset 22 points at a block whose 16-bit kind at 4 is the network.
HeaderTopology Da30Header(const HeaderInput& in, TraceFileInfo&) {
  HeaderTopology t;
  uint8_t h[78];
  if (in.source.ReadAt(0, h, 78) != 78) return t;
  uint8_t block[16];
  if (in.source.ReadAt(Le32(h + 22), block, 16) != 16) return t;
  uint16_t kind = Le16(block + 4);
  if (kind == 30) t.topology = topology::TokenRing;
  else if (kind == 40) t.topology = topology::Ethernet;
  return t;
}

std::unique_ptr<TraceReader> MakeDa30Reader(ReaderContext& context) {
  return std::make_unique<Da30Reader>(context);
}

}  // namespace

constinit const FormatEntry kDa30Entry{fmt_id::Da30, "WWG DA-30", {".an1"},
                                       ProbeDa30, Da30Header, MakeDa30Reader};

}  // namespace korvane
