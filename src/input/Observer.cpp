// NI Observer buffer files: a 113-byte header whose text names the file version, then
// records of a 44-byte header and the captured bytes, each pointing at the next.
#include <algorithm>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/FormatTable.h"

namespace korvane {

namespace {

constexpr int64_t kHeaderSize = 113;
constexpr size_t kVersionTextSize = 32;
constexpr int64_t kRecordHeaderSize = 44;
constexpr uint64_t kMinimumEthernetFrame = 64;

// The digit right after the first "=" of the version text. Design note: a text without
// "=", or with something other than a digit after it, is taken as the oldest layout (0).
int VersionDigit(const uint8_t* header) {
  for (size_t i = 0; i < kVersionTextSize; ++i) {
    if (header[i] != '=') continue;
    const uint8_t c = header[i + 1];
    return c >= '0' && c <= '9' ? c - '0' : 0;
  }
  return 0;
}

class ObserverReader final : public TraceReader {
 public:
  explicit ObserverReader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    uint8_t h[kHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(h, kHeaderSize)) return false;
    version_ = VersionDigit(h);
    ethernet_ = info.TopologyCode == topology::Ethernet;
    next_ = kHeaderSize;
    return true;
  }

  RecordResult Next() override {
    if (ended_) return RecordResult::End;
    const int64_t at = next_;
    uint8_t r[kRecordHeaderSize];
    cursor_.Seek(at);
    if (!ReadRecordStart(cursor_, r, kRecordHeaderSize)) return End();
    const uint32_t nextOffset = Le32(r + 12);
    const uint64_t wire = Le32(r + 28);
    const uint32_t flags = Le32(r + 32);
    const uint32_t millis = Le32(r + 36);
    const uint64_t captured = Le32(r + 40);

    CapturedFrame& frame = ctx_.frame;
    TraceFileInfo& info = ctx_.info;
    const size_t keep = size_t(std::min<uint64_t>(captured, kMaxFrameLength));
    const size_t got = cursor_.Read(frame.Data.data(), keep);

    frame.Status = 0;
    if (flags & 0x2) frame.Status |= kCrcError;
    if (flags & 0x1) frame.Status |= kAlignmentError;
    frame.TimeStamp = double(millis) * 1000.0;

    uint64_t length = 0, stored = 0;
    Lengths(wire, captured, length, stored);
    // Design note: the 64-byte minimum restores the padding of short Ethernet frames; Token
    // Ring has no minimum frame size, so its short frames keep their length.
    if (ethernet_ && length < kMinimumEthernetFrame && (frame.Status & kCrcError) == 0)
      length = stored = kMinimumEthernetFrame;
    // Design note: a record that claims more captured bytes than the frame had on the wire
    // stores no more than the frame.
    stored = std::min(stored, length);
    // A record cut short by the end of the file keeps the bytes that are there.
    if (got < keep) {
      MarkFrameCut();
      stored = std::min<uint64_t>(stored, got);
    }
    if (length > stored) info.SlicedPacketsSeen = true;
    length = std::min<uint64_t>(length, info.MaxFrameLength);
    stored = std::min<uint64_t>(stored, kMaxFrameLength);
    ClearOutside(got, size_t(std::max(stored, length)));
    frame.FrameLength = uint16_t(length);
    frame.StoredLength = uint16_t(stored);
    if (ethernet_) WriteFrameCheckSequence(frame, ctx_.checkSequences);

    // The chain ends at a zero offset or one outside the file. Design note: an offset
    // that does not lead past this record's own header (backwards, to itself, into
    // itself) marks a damaged chain and ends it too, so every record moves forward.
    if (nextOffset == 0 || int64_t(nextOffset) >= info.FileSize || int64_t(nextOffset) < at + kRecordHeaderSize)
      endOfFile_ = true;
    else
      next_ = nextOffset;
    return RecordResult::Frame;
  }

  bool AfterFrame(bool analyserStopped) override {
    if (analyserStopped) return false;
    if (endOfFile_) ended_ = true;
    return endOfFile_;
  }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  RecordResult End() {
    ended_ = true;
    return RecordResult::End;
  }

  // The lengths by file version and topology. Up to version 3 only the captured length
  // counts; from version 4 the wire length is kept; from version 6 both lengths include
  // the check sequence.
  void Lengths(uint64_t wire, uint64_t captured, uint64_t& length, uint64_t& stored) const {
    const bool tokenRing = !ethernet_;
    if (version_ < 4) {
      length = stored = tokenRing ? captured : captured + 4;
    } else if (wire != captured) {
      if (tokenRing) {
        length = stored = captured;
      } else {
        length = version_ < 6 ? wire + 4 : wire;
        stored = captured;
      }
    } else if ((tokenRing && wire != 0) || version_ >= 6) {
      length = wire;
      stored = captured;
    } else {
      length = wire + 4;
      stored = captured + 4;
    }
  }

  void ClearOutside(size_t got, size_t frameEnd) {
    uint8_t* data = ctx_.frame.Data.data();
    if (got < frameEnd) std::memset(data + got, 0, frameEnd - got);
    else if (got > frameEnd) std::memset(data + frameEnd, 0, got - frameEnd);
  }

  Cursor cursor_;
  int version_ = 0;
  bool ethernet_ = true;
  bool endOfFile_ = false;
  bool ended_ = false;
  int64_t next_ = kHeaderSize;
};

}  // namespace

namespace {

constexpr std::string_view kObserverMagic = "Observer";  // anywhere in the first 200 bytes

ProbeVerdict ProbeObserver(const ProbeInput& in, TraceFileInfo&) {
  return SampleHas(in.h, kObserverMagic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

// The 32-bit media type at offset 133.
HeaderTopology ObserverHeader(const HeaderInput& in, TraceFileInfo&) {
  HeaderTopology t;
  switch (Le32(in.h + 133)) {
    case 0: t.topology = topology::Ethernet; break;
    case 1: t.topology = topology::TokenRing; break;
    case 2: t.topology = topology::Fddi; break;
    default: break;
  }
  return t;
}

std::unique_ptr<TraceReader> MakeObserverReader(ReaderContext& context) {
  return std::make_unique<ObserverReader>(context);
}

}  // namespace

constinit const FormatEntry kObserverEntry{fmt_id::Observer, "NI Observer", {".bfr"},
                                           ProbeObserver, ObserverHeader, MakeObserverReader};

}  // namespace korvane
