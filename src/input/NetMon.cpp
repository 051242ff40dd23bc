// Microsoft Network Monitor traces, version 1 ("RTSS") and version 2 ("GMBU"): a 128-byte
// header, the frames, and after them a table with the file offset of every frame.
#include <algorithm>
#include <cstring>
#include <vector>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/FormatTable.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr int64_t kHeaderSize = 128;
constexpr size_t kVersion1FrameHeader = 8;   // milliseconds, 16-bit lengths
constexpr size_t kVersion2FrameHeader = 16;  // microseconds, 32-bit lengths

// Version 2.1 and later files follow every frame with a trailer that grows with the minor
// version (network type; process index; universal time stamp and zone index).
int64_t TrailerSize(bool version2, uint8_t minor) {
  if (!version2 || minor == 0) return 0;
  if (minor == 1) return 2;
  if (minor == 2) return 6;
  return 15;
}

bool ValidStart(uint16_t month, uint16_t day, uint16_t hour, uint16_t minute, uint16_t second, uint16_t ms) {
  return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 && minute < 60 && second < 60 &&
         ms < 1000;
}

class NetMonReader final : public TraceReader {
 public:
  explicit NetMonReader(ReaderContext& context)
      : TraceReader(context), cursor_(context.source), table_(context.source, 4096) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    uint8_t h[kHeaderSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(h, kHeaderSize)) return false;
    version2_ = std::memcmp(h, "GMBU", 4) == 0;
    headerSize_ = version2_ ? kVersion2FrameHeader : kVersion1FrameHeader;
    trailerSize_ = TrailerSize(version2_, h[4]);
    ethernet_ = info.TopologyCode == topology::Ethernet;

    const uint16_t year = Le16(h + 8), month = Le16(h + 10), day = Le16(h + 14);
    const uint16_t hour = Le16(h + 16), minute = Le16(h + 18), second = Le16(h + 20), ms = Le16(h + 22);
    startMillis_ = (int64_t(hour) * 3600 + int64_t(minute) * 60 + second) * 1000 + ms;
    info.StartTimeOfDay = startMillis_ * 1000;
    // The header's start is local time. A date that cannot be one keeps the file's
    // last-write time, as an undated (year 0) header does.
    if (year != 0 && ValidStart(month, day, hour, minute, second, ms)) {
      info.StartDateTime = EncodeDateTime(year, month, day, hour, minute, second + ms / 1000.0);
      info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
    }

    const int64_t size = info.FileSize;
    tableOffset_ = Le32(h + 24);
    const int64_t tableLength = Le32(h + 28);
    if (tableOffset_ >= kHeaderSize && tableOffset_ + tableLength <= size) {
      // The table is read 4 bytes at a time as the frames are, never held whole: its
      // length is the header's word, and may be anything. An empty table is an empty trace.
      tableEntries_ = tableLength / 4;
      limit_ = tableOffset_;
    } else {
      // Design note: a file whose frame table is missing or cut short (a capture that was
      // never closed, a truncated copy) is read by walking its frames one after the other
      // up to where the table would start, rather than refused or read as empty.
      walking_ = true;
      limit_ = tableOffset_ >= kHeaderSize && tableOffset_ <= size ? tableOffset_ : size;
      walkAt_ = kHeaderSize;
    }
    cursor_.Seek(kHeaderSize);
    return true;
  }

  RecordResult Next() override {
    if (ended_) return RecordResult::End;
    int64_t at = 0;
    if (walking_) {
      at = walkAt_;
    } else {
      if (index_ >= tableEntries_) return End();
      uint8_t entry[4];
      table_.Seek(tableOffset_ + index_ * 4);
      if (!table_.ReadExact(entry, 4)) return End();
      at = Le32(entry);
      ++index_;
      // A frame lies after the header and after the frame before it (an offset that points
      // back, or at the same frame again, marks a damaged table), and before the table.
      if (at < kHeaderSize || at < previousEnd_) return End();
    }
    if (at + int64_t(headerSize_) > limit_) {
      if (walking_ && at < limit_) MarkCutShort();  // the file ends inside a frame header
      return End();
    }

    uint8_t header[kVersion2FrameHeader];
    cursor_.Seek(at);
    if (!cursor_.ReadExact(header, headerSize_)) return End();
    double micros = 0;
    uint64_t wire = 0, captured = 0;
    if (version2_) {
      micros = double(startMillis_) * 1000.0 + double(Le64(header));
      // Design note: both lengths are taken as the full 32-bit fields, so that a frame
      // longer than 65535 bytes is clamped rather than wrapped to a small length.
      wire = Le32(header + 8);
      captured = Le32(header + 12);
    } else {
      micros = double(startMillis_ + int64_t(Le32(header))) * 1000.0;
      wire = Le16(header + 4);
      captured = Le16(header + 6);
    }
    // Frames found by walking have no table to vouch for them: a header that cannot
    // start a frame ends the walk.
    if (walking_ && (captured == 0 || captured > wire)) return End();

    CapturedFrame& frame = ctx_.frame;
    TraceFileInfo& info = ctx_.info;
    const size_t keep = size_t(std::min<uint64_t>(captured, kMaxFrameLength));
    const size_t got = cursor_.Read(frame.Data.data(), keep);
    const int64_t end = at + int64_t(headerSize_) + int64_t(captured);
    cursor_.Seek(end);
    previousEnd_ = end;
    walkAt_ = end + trailerSize_;

    frame.Status = 0;
    frame.TimeStamp = micros;
    // Design note: the stored length counts only the bytes the record holds (plus the
    // check sequence), so that a sliced frame shows as sliced and never claims bytes
    // that are not in the file.
    // A record cut short by the end of the file keeps the bytes that are there.
    if (got < keep) MarkFrameCut();
    const uint64_t present = got < keep ? got : captured;
    uint64_t length = wire + 4;
    uint64_t stored = std::min(present, wire) + (got < keep ? 0 : 4);
    if (stored < length) info.SlicedPacketsSeen = true;
    length = std::min<uint64_t>(length, info.MaxFrameLength);
    stored = std::min<uint64_t>(stored, kMaxFrameLength);
    ClearOutside(got, size_t(std::max(stored, length)));
    frame.FrameLength = uint16_t(length);
    frame.StoredLength = uint16_t(stored);
    if (ethernet_ && stored == length) WriteFrameCheckSequence(frame, ctx_.checkSequences);

    // The frames end where the table begins.
    if ((walking_ ? walkAt_ : end) + 1 >= limit_) ended_ = true;

    // Frames sent to 00-00-00-00-00-00 are read but not handed to the analyser. Design
    // note: the address tested is the destination, which on Token Ring follows the access
    // and frame control bytes (on Ethernet it is the first six bytes).
    const uint8_t* destination = frame.Data.data() + (ethernet_ ? 0 : 2);
    if (std::all_of(destination, destination + 6, [](uint8_t b) { return b == 0; }))
      return RecordResult::Skipped;
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override { return ended_; }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  RecordResult End() {
    ended_ = true;
    return RecordResult::End;
  }

  // Keeps the frame free of anything but this record's bytes: zero from what was read up
  // to the frame's end, and nothing read beyond the frame's end is kept either.
  void ClearOutside(size_t got, size_t frameEnd) {
    uint8_t* data = ctx_.frame.Data.data();
    if (got < frameEnd) std::memset(data + got, 0, frameEnd - got);
    else if (got > frameEnd) std::memset(data + frameEnd, 0, got - frameEnd);
  }

  Cursor cursor_;
  Cursor table_;  // over the frame table, 4 bytes per frame
  int64_t tableEntries_ = 0;
  int64_t index_ = 0;
  bool version2_ = false;
  bool ethernet_ = true;
  bool walking_ = false;
  bool ended_ = false;
  size_t headerSize_ = kVersion1FrameHeader;
  int64_t trailerSize_ = 0;
  int64_t startMillis_ = 0;
  int64_t tableOffset_ = 0;
  int64_t limit_ = 0;         // frames end before this offset
  int64_t previousEnd_ = 0;   // end of the last frame read
  int64_t walkAt_ = kHeaderSize;
};

}  // namespace

namespace {

constexpr std::string_view kNetMon1Magic = "RTSS";  // version 1 file signature at offset 0
constexpr std::string_view kNetMon2Magic = "GMBU";  // version 2 file signature at offset 0

ProbeVerdict ProbeNetMon1(const ProbeInput& in, TraceFileInfo&) {
  return SampleBeginsWith(in.h, kNetMon1Magic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

ProbeVerdict ProbeNetMon2(const ProbeInput& in, TraceFileInfo&) {
  return SampleBeginsWith(in.h, kNetMon2Magic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

// The comment lies where the 32-bit offset and length at 40 and 44 say; byte 6 is the
// network.
HeaderTopology NetMonHeader(const HeaderInput& in, TraceFileInfo& info) {
  HeaderTopology t;
  ByteSource& source = in.source;
  uint8_t h[128] = {};
  if (source.ReadAt(0, h, 128) != 128) return t;
  uint32_t offset = Le32(h + 40), length = Le32(h + 44);
  if (length > 0 && offset < uint64_t(source.Size())) {
    std::string comment(std::min<uint32_t>(length, kCommentMax - 1), '\0');
    size_t got = source.ReadAt(offset, reinterpret_cast<uint8_t*>(comment.data()), comment.size());
    comment.resize(got);
    SetComment(info, comment);
  }
  switch (h[6]) {
    case 1: t.topology = topology::Ethernet; break;
    case 2: t.topology = topology::TokenRing; break;
    case 3: t.topology = topology::Fddi; break;
    default: break;
  }
  return t;
}

std::unique_ptr<TraceReader> MakeNetMonReader(ReaderContext& context) {
  return std::make_unique<NetMonReader>(context);
}

}  // namespace

constinit const FormatEntry kNetMon1Entry{fmt_id::NetMon1, "Microsoft NetMon (SMS 1.2)", {".cap"},
                                          ProbeNetMon1, NetMonHeader, MakeNetMonReader};
constinit const FormatEntry kNetMon2Entry{fmt_id::NetMon2, "Microsoft NetMon (SMS 2.0)", {".cap"},
                                          ProbeNetMon2, NetMonHeader, MakeNetMonReader};

}  // namespace korvane
