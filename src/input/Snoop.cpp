// Sun snoop files and the snoop-based files of Shomiti Surveyor: a 16-byte header, then
// records of a 24-byte header and the captured bytes. Shomiti records end with a 16-byte
// trailer carrying the receive status, and hold the frame check sequence themselves.
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
constexpr size_t kRecordHeaderSize = 24;
constexpr size_t kTrailerSize = 16;
constexpr uint8_t kTrailerCrcError = 0x02;  // trailer byte 3
constexpr uint32_t kEthernetMinimum = 60;   // without check sequence

class SnoopReader final : public TraceReader {
 public:
  SnoopReader(ReaderContext& context, bool shomiti)
      : TraceReader(context), cursor_(context.source), shomiti_(shomiti) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    uint8_t h[kFileHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(h, kFileHeaderSize)) return false;
    if (std::memcmp(h, "snoop\0\0\0", 8) != 0) return false;
    ethernet_ = info.TopologyCode == topology::Ethernet;
    first_ = true;
    return true;
  }

  RecordResult Next() override {
    const int64_t at = cursor_.Position();
    uint8_t r[kRecordHeaderSize];
    if (!ReadRecordStart(cursor_, r, kRecordHeaderSize)) return RecordResult::End;
    const uint32_t wire = Be32(r), included = Be32(r + 4), recordLength = Be32(r + 8);
    const uint32_t seconds = Be32(r + 16), micros = Be32(r + 20);
    // A record too short for its own header (and trailer), or holding more captured
    // bytes than it has room for, cannot be used: the read ends before it.
    const uint32_t overhead = uint32_t(kRecordHeaderSize + (shomiti_ ? kTrailerSize : 0));
    if (recordLength < overhead || included > recordLength - overhead) return RecordResult::End;

    TraceFileInfo& info = ctx_.info;
    CapturedFrame& frame = ctx_.frame;
    if (first_) {
      first_ = false;
      info.StartDateTime = DateTimeFromUnix(double(seconds), 0);
      info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
      info.StartDateTime = DateTimeFromUnix(double(seconds), info.TimeZoneBias);
      info.StartTimeOfDay = SecondOfDay(seconds) * 1000000;
    }
    frame.Status = 0;
    const size_t keep = std::min<size_t>(included, kMaxFrameLength);
    const size_t got = cursor_.Read(frame.Data.data(), keep);
    const bool cut = got < keep;
    if (cut) MarkFrameCut();
    if (shomiti_) {
      uint8_t trailer[kTrailerSize];
      cursor_.Seek(at + int64_t(recordLength) - int64_t(kTrailerSize));
      if (cursor_.ReadExact(trailer, kTrailerSize) && (trailer[3] & kTrailerCrcError) != 0)
        frame.Status |= kCrcError;
    }
    cursor_.Seek(at + int64_t(recordLength));
    frame.TimeStamp = double(SecondOfDay(seconds) * 1000000) + double(micros);

    uint32_t stored = included, length = wire;
    if (ethernet_) {
      if (shomiti_ && length < kEthernetMinimum + 4) length = kEthernetMinimum + 4;
      if (stored == length) {
        if (stored < kEthernetMinimum) stored = length = kEthernetMinimum;
        if (!shomiti_) {
          stored += 4;
          length += 4;
        }
      } else if (!shomiti_) {
        length += 4;
      }
    }
    if (cut) stored = uint32_t(got);
    const bool whole = stored == length;
    length = std::min(length, info.MaxFrameLength);
    stored = std::min<uint32_t>(stored, kMaxFrameLength);
    const size_t clearTo = std::max<size_t>(stored, length);
    if (clearTo > got) std::memset(frame.Data.data() + got, 0, clearTo - got);
    frame.FrameLength = uint16_t(length);
    frame.StoredLength = uint16_t(stored);
    // Only a frame held whole gets a check sequence: for a sliced frame the 4 bytes at
    // its end were never captured, so nothing is written past what the file stored.
    if (ethernet_ && !shomiti_ && whole) WriteFrameCheckSequence(frame, ctx_.checkSequences);
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override { return cursor_.Position() >= ctx_.info.FileSize; }

  int64_t Position() const override { return std::min(cursor_.Position(), cursor_.Size()); }

 private:
  int64_t SecondOfDay(uint32_t unixSeconds) const {
    const int64_t local = int64_t(unixSeconds) - ctx_.info.TimeZoneBias;
    const int64_t r = local % 86400;
    return r < 0 ? r + 86400 : r;
  }

  Cursor cursor_;
  bool shomiti_;
  bool ethernet_ = true;
  bool first_ = true;
};

}  // namespace

namespace {

constexpr std::string_view kSnoopMagic = "snoop";  // file signature at offset 0
// Shomiti records carry a 16-byte trailer: more than this many bytes between the first
// record's captured and total lengths mark a Shomiti file.
constexpr int64_t kShomitiPadding = 27;

ProbeVerdict ProbeShomiti(const ProbeInput& in, TraceFileInfo&) {
  if (!SampleBeginsWith(in.h, kSnoopMagic)) return ProbeVerdict::Miss;
  uint8_t record[kRecordHeaderSize] = {};
  in.source.ReadAt(kFileHeaderSize, record, kRecordHeaderSize);
  const int64_t difference = int64_t(Be32(record + 8)) - int64_t(Be32(record + 4));
  return difference > kShomitiPadding ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

ProbeVerdict ProbeSnoop(const ProbeInput& in, TraceFileInfo&) {
  return SampleBeginsWith(in.h, kSnoopMagic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

// The low byte of the big-endian link type at offset 12.
HeaderTopology SnoopHeader(const HeaderInput& in, TraceFileInfo&) {
  switch (in.h[15]) {
    case 0: case 4: return {topology::Ethernet, 10000000};
    case 2: return {topology::TokenRing, 0};
    case 8: return {topology::Fddi, 0};
    case 10: return {topology::Ethernet, 100000000};
    default: return {};
  }
}

std::unique_ptr<TraceReader> MakeSnoopReader(ReaderContext& context) {
  return std::make_unique<SnoopReader>(context, context.info.DetectedFormat == fmt_id::Shomiti);
}

}  // namespace

constinit const FormatEntry kShomitiEntry{fmt_id::Shomiti, "Shomiti Surveyor/OEM", {".cap"},
                                          ProbeShomiti, SnoopHeader, MakeSnoopReader};
constinit const FormatEntry kSnoopEntry{fmt_id::Snoop, "Sun Snoop", {".snoop", {}, {}, {}, ".cap"},
                                        ProbeSnoop, SnoopHeader, MakeSnoopReader};

}  // namespace korvane
