// EtherPeek and TokenPeek packet files, versions 6 and 7: a 50-byte header, then packet
// headers each followed by the stored bytes padded to an even count. Time stamps are
// local time counted from 1904-01-01; frames after the first are placed by their
// difference from the previous packet.
#include <algorithm>
#include <cstring>

#include "input/Endian.h"
#include "input/FormatTable.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr size_t kFileHeaderSize = 50;
constexpr size_t kVersion6HeaderSize = 26;
constexpr size_t kVersion7HeaderSize = 16;
constexpr int64_t kSecondsPerDay = 86400;
constexpr uint8_t kFlagCrcError = 0x02;
constexpr uint8_t kFlagAlignmentError = 0x04;

struct PacketHeader {
  uint32_t length = 0;
  uint32_t slice = 0;
  uint8_t flags = 0;
  uint64_t stamp = 0;
};

class EtherPeekReader final : public TraceReader {
 public:
  explicit EtherPeekReader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    uint8_t h[kFileHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(h, kFileHeaderSize)) return false;
    version_ = h[0];
    if (version_ != 6 && version_ != 7) return false;
    headerSize_ = version_ == 7 ? kVersion7HeaderSize : kVersion6HeaderSize;
    packetCount_ = Be32(h + 6);
    captureDate_ = Be32(h + 10);
    first_ = true;
    return true;
  }

  RecordResult Next() override {
    const int64_t at = cursor_.Position();
    PacketHeader p;
    if (!ReadHeader(p)) return RecordResult::End;
    CapturedFrame& frame = ctx_.frame;
    frame.Status = 0;
    if (p.flags & kFlagCrcError) frame.Status |= kCrcError;
    if (p.flags & kFlagAlignmentError) frame.Status |= kAlignmentError;

    if (first_) {
      first_ = false;
      uint64_t startStamp = p.stamp;
      if (version_ == 7) startStamp = ReadAheadStart(at, p);
      timeStamp_ = StartFrom(startStamp);
      // When the start came from the next packet, the stale first stamp is not used as
      // the base of the next difference either: the second frame lands on the first.
      previousStamp_ = startStamp;
    } else {
      // A signed difference: a stamp earlier than its predecessor moves the frame back
      // rather than wrapping.
      const int64_t difference = int64_t(p.stamp - previousStamp_);
      timeStamp_ += double(difference) * MicrosPerUnit();
      previousStamp_ = p.stamp;
    }
    frame.TimeStamp = timeStamp_;

    const size_t keep = std::min<size_t>(p.slice, kMaxFrameLength);
    const size_t got = cursor_.Read(frame.Data.data(), keep);
    if (got < keep) MarkFrameCut();
    // The rest of an over-long slice and the padding byte of an odd slice.
    cursor_.Seek(at + int64_t(headerSize_) + int64_t(p.slice) + int64_t(p.slice & 1));

    const uint32_t length = std::min(p.length, ctx_.info.MaxFrameLength);
    const size_t clearTo = std::max<size_t>(length, keep);
    if (clearTo > got) std::memset(frame.Data.data() + got, 0, clearTo - got);
    frame.FrameLength = uint16_t(length);
    frame.StoredLength = uint16_t(got);
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override { return ctx_.info.FrameCounter == int64_t(packetCount_); }

  int64_t Position() const override { return std::min(cursor_.Position(), cursor_.Size()); }

 private:
  // Reads the packet header at the cursor and moves past it.
  bool ReadHeader(PacketHeader& p) {
    uint8_t h[kVersion6HeaderSize];
    if (!ReadRecordStart(cursor_, h, headerSize_)) return false;
    if (version_ == 7) {
      p.length = Be16(h + 2);
      p.slice = Be16(h + 4);
      p.flags = h[6];
      p.stamp = (uint64_t(Be32(h + 8)) << 32) | Be32(h + 12);
    } else {
      p.length = Be16(h);
      p.slice = Be16(h + 2);
      p.flags = h[4];
      p.stamp = Be32(h + 6);
    }
    if (p.slice == 0) p.slice = p.length;
    return true;
  }

  // Version 7 capture hardware may give the first packet a stale stamp: when the next
  // packet lies before it or more than a day after it, the start comes from the next one.
  uint64_t ReadAheadStart(int64_t at, const PacketHeader& first) {
    if (packetCount_ == 1) return first.stamp;
    const int64_t nextAt = at + int64_t(headerSize_) + int64_t(first.slice) + int64_t(first.slice & 1);
    const int64_t resume = cursor_.Position();
    cursor_.Seek(nextAt);
    PacketHeader next;
    const bool found = ReadHeader(next);
    cursor_.Seek(resume);  // back after the first header
    if (!found) return first.stamp;
    if (next.stamp < first.stamp || next.stamp - first.stamp > uint64_t(kSecondsPerDay) * 1000000u)
      return next.stamp;
    return first.stamp;
  }

  // Version 6 stamps count milliseconds; their differences are scaled to microseconds so
  // that frames keep their real spacing.
  double MicrosPerUnit() const { return version_ == 7 ? 1.0 : 1000.0; }

  // Sets the start date and time of the trace from a packet stamp and returns the
  // frame's time stamp.
  double StartFrom(uint64_t stamp) {
    TraceFileInfo& info = ctx_.info;
    int64_t seconds, micros;
    if (version_ == 7) {
      seconds = int64_t(stamp / 1000000u);
      micros = int64_t(stamp % 1000000u);
    } else {
      // Version 6 stamps count milliseconds from the capture date of the file header
      // (seconds since 1904). A header without a date leaves the stamp counted from
      // 1904 itself; using the header date when present gives the real time of day.
      seconds = int64_t(captureDate_) + int64_t(stamp / 1000u);
      micros = int64_t(stamp % 1000u) * 1000;
    }
    const int64_t days = seconds / kSecondsPerDay;
    const int64_t secondOfDay = seconds % kSecondsPerDay;
    const CivilDate date = CivilFromDays(DaysFromCivil(1904, 1, 1) + days);
    info.StartDateTime = EncodeDateTime(date.year, date.month, date.day, int(secondOfDay / 3600),
                                        int(secondOfDay / 60 % 60), double(secondOfDay % 60));
    info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
    info.StartTimeOfDay = secondOfDay * 1000000;
    return double(secondOfDay * 1000000 + micros);
  }

  Cursor cursor_;
  uint8_t version_ = 7;
  size_t headerSize_ = kVersion7HeaderSize;
  uint32_t packetCount_ = 0;
  uint32_t captureDate_ = 0;
  bool first_ = true;
  uint64_t previousStamp_ = 0;
  double timeStamp_ = 0;
};

}  // namespace

namespace {

// A guess: the file has no signature, only a version byte at offset 0 and its names.
constexpr uint8_t kEtherPeekVersion6 = 6;
constexpr uint8_t kEtherPeekVersion7 = 7;
constexpr std::string_view kEthernetName = ".PKT";
constexpr std::string_view kTokenRingName = ".TPC";

ProbeVerdict ProbeEtherPeek(const ProbeInput& in, TraceFileInfo&) {
  const bool named = NameHas(in.upperName, kEthernetName) || NameHas(in.upperName, kTokenRingName);
  const bool version = in.h[0] == kEtherPeekVersion6 || in.h[0] == kEtherPeekVersion7;
  return named && version ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

HeaderTopology EtherPeekHeader(const HeaderInput& in, TraceFileInfo&) {
  return {NameHas(in.upperName, kEthernetName) ? topology::Ethernet : topology::TokenRing, 0};
}

std::unique_ptr<TraceReader> MakeEtherPeekReader(ReaderContext& context) {
  return std::make_unique<EtherPeekReader>(context);
}

}  // namespace

constinit const FormatEntry kEtherPeekEntry{fmt_id::EtherPeek, "AG EtherPeek/TokenPeek",
                                            {".pkt", ".tpc", ".tpc", ".tpc"},
                                            ProbeEtherPeek, EtherPeekHeader, MakeEtherPeekReader};

}  // namespace korvane
