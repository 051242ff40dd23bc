// LANalyzer trace files: a chain of records (16-bit type, 16-bit body length, body).
// Ten header records come first: the file header (its type gives the version), five
// records of display settings, the capture summary, a sub-file summary, the cyclic
// buffer record and an index. Packet records (type 0x1005) follow. Version 2 files are a
// cyclic capture buffer: reading starts at the oldest packet, runs to the wrap offset and
// continues from the start of the buffer.
#include <algorithm>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/FormatTable.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr uint16_t kVersion1 = 0x1001;
constexpr uint16_t kVersion2 = 0x1007;
constexpr uint16_t kPacketRecord = 0x1005;
constexpr uint32_t kLongestBody = 32800;
constexpr size_t kDescriptorSize = 32;
constexpr size_t kSummaryRead = 210;
constexpr size_t kCyclicRead = 26;

class LanAnalyzerReader final : public TraceReader {
 public:
  explicit LanAnalyzerReader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    info.CyclicStopFrame = 0;
    ethernet_ = info.TopologyCode == topology::Ethernet;
    cursor_.Seek(0);

    uint8_t header[4];
    if (!cursor_.ReadExact(header, 4)) return false;
    const uint16_t type = Le16(header);
    if (type != kVersion1 && type != kVersion2) return false;
    version2_ = type == kVersion2;
    cursor_.Skip(Le16(header + 2));

    for (int i = 0; i < 5; ++i) SkipRecord();
    uint8_t summary[kSummaryRead] = {};
    const bool haveSummary = ReadRecordBody(summary, kSummaryRead);
    SkipRecord();
    uint8_t cyclic[kCyclicRead] = {};
    const bool haveCyclic = ReadRecordBody(cyclic, kCyclicRead);
    SkipRecord();
    headerEnd_ = cursor_.Position();

    if (haveSummary) {
      const int day = summary[0], month = summary[1], year = Le16(summary + 2);
      const int second = summary[8], minute = summary[9], hour = summary[10];
      // Design note: a summary without a usable date keeps the file's own time as the start.
      if (month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 && minute < 60 && second < 60) {
        info.StartDateTime = EncodeDateTime(year, month, day, hour, minute, second);
        info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
      }
    }

    if (version2_ && haveCyclic) {
      // The analyser stops at the cyclic record's frame count; version 1 has no such stop.
      info.CyclicStopFrame = Le32(cyclic);
      const int64_t first = Le32(cyclic + 4);
      continueAt_ = Le32(cyclic + 12);
      wrapAt_ = Le32(cyclic + 16);
      // Design note: a first-packet offset inside the header records cannot be the oldest
      // packet; the buffer is then read as it lies, without a wrap. One past the end of
      // the file means the file was cut before the oldest packet: nothing is read.
      if (first > info.FileSize) {
        cursor_.Seek(info.FileSize);
      } else if (first >= headerEnd_) {
        firstPacket_ = first;
        wrapUsable_ = true;
        cursor_.Seek(first);
      }
    }
    return true;
  }

  RecordResult Next() override {
    if (endAfterFrame_) return RecordResult::End;
    uint8_t header[4];
    if (!ReadRecordStart(cursor_, header, sizeof header)) return RecordResult::End;
    // Design note: any record other than a packet ends the data and is not handed over
    // as a frame.
    if (Le16(header) != kPacketRecord) return RecordResult::End;
    const uint32_t body = Le16(header + 2);
    if (body > kLongestBody) return RecordResult::End;
    const int64_t bodyEnd = cursor_.Position() + body;

    uint8_t descriptor[kDescriptorSize];
    if (body < kDescriptorSize || !ReadRecordPart(cursor_, descriptor, kDescriptorSize)) return RecordResult::End;

    CapturedFrame& frame = ctx_.frame;
    frame.Status = 0;
    const uint16_t errors = Le16(descriptor + 2);
    if (ethernet_ && (errors & 1) != 0) frame.Status = kCrcError | kAlignmentError;
    const uint64_t ticks = (uint64_t(Le16(descriptor + 12)) << 32) | (uint64_t(Le16(descriptor + 10)) << 16) |
                           Le16(descriptor + 8);
    frame.TimeStamp = double(ticks) / 2.0;

    const uint32_t wire = Le16(descriptor + 4);
    const uint32_t stored = Le16(descriptor + 6);
    const uint32_t length = std::min(wire, ctx_.info.MaxFrameLength);
    // Copy only the bytes the record holds; everything after them up to the frame's end
    // is zeroed, never left over from an earlier frame.
    const size_t want = std::min<size_t>({stored, body - kDescriptorSize, kMaxFrameLength});
    const size_t got = cursor_.Read(frame.Data.data(), want);
    const size_t clearTo = std::max<size_t>({length, std::min<size_t>(stored + 4, kMaxFrameLength), got});
    if (clearTo > got) std::memset(frame.Data.data() + got, 0, clearTo - got);
    frame.FrameLength = uint16_t(length);
    if (got == stored) {
      // The stored bytes leave out the check sequence; the stored length makes room for it.
      frame.StoredLength = uint16_t(std::min<uint32_t>(stored + 4, kMaxFrameLength));
      if (ethernet_ && wire == stored + 4) WriteFrameCheckSequence(frame, ctx_.checkSequences);
    } else {
      // A record cut short (or claiming more than it holds) keeps only what it holds.
      frame.StoredLength = uint16_t(got);
    }

    cursor_.Seek(bodyEnd);
    if (bodyEnd > ctx_.info.FileSize) {
      endAfterFrame_ = true;  // the record was cut by the end of the file
      MarkFrameCut();
    } else if (version2_ && wrapUsable_ && !wrapped_ && bodyEnd == wrapAt_) {
      wrapped_ = true;
      // Design note: the older part of the buffer lies before the first packet; a
      // continue offset inside the header records, or at or after the first packet,
      // would read the same packets again, so the buffer then ends at the wrap.
      if (continueAt_ >= headerEnd_ && continueAt_ < firstPacket_ && continueAt_ <= ctx_.info.FileSize)
        cursor_.Seek(continueAt_);
      else
        endAfterFrame_ = true;
    }
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override {
    if (endAfterFrame_) return true;
    const int64_t position = cursor_.Position();
    if (wrapped_ && position >= firstPacket_) return true;  // back at the oldest packet
    return position >= ctx_.info.FileSize;
  }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  void SkipRecord() {
    uint8_t header[4];
    if (!cursor_.ReadExact(header, 4)) return;
    cursor_.Skip(Le16(header + 2));
  }

  // Reads up to `want` bytes of the next record's body and moves past the whole record.
  bool ReadRecordBody(uint8_t* out, size_t want) {
    uint8_t header[4];
    if (!cursor_.ReadExact(header, 4)) return false;
    const uint16_t length = Le16(header + 2);
    const int64_t end = cursor_.Position() + length;
    const size_t n = std::min<size_t>(want, length);
    const bool whole = cursor_.ReadExact(out, n);
    cursor_.Seek(end);
    return whole;
  }

  Cursor cursor_;
  bool ethernet_ = false;
  bool version2_ = false;
  bool wrapUsable_ = false;
  bool wrapped_ = false;
  bool endAfterFrame_ = false;
  int64_t headerEnd_ = 0;
  int64_t firstPacket_ = 0;
  int64_t continueAt_ = 0;
  int64_t wrapAt_ = -1;
};

}  // namespace

namespace {

// The type of the first record, at offset 0.
constexpr uint16_t kLanAnalyzerHeaderV1 = 0x1001;
constexpr uint16_t kLanAnalyzerHeaderV2 = 0x1007;

ProbeVerdict ProbeLanAnalyzer(const ProbeInput& in, TraceFileInfo&) {
  const uint16_t type = Le16(in.h.data());
  return type == kLanAnalyzerHeaderV1 || type == kLanAnalyzerHeaderV2 ? ProbeVerdict::Match
                                                                       : ProbeVerdict::Miss;
}

// Six records are skipped; the seventh holds the board type at body offset 188.
HeaderTopology LanAnalyzerHeader(const HeaderInput& in, TraceFileInfo&) {
  HeaderTopology t;
  ByteSource& source = in.source;
  int64_t position = 0;
  uint8_t header[4];
  for (int i = 0; i < 6; ++i) {
    if (source.ReadAt(position, header, 4) != 4) return t;
    position += 4 + Le16(header + 2);
  }
  if (source.ReadAt(position, header, 4) != 4) return t;
  uint8_t board[2];
  if (Le16(header + 2) < 190 || source.ReadAt(position + 4 + 188, board, 2) != 2) return t;
  uint16_t type = Le16(board);
  if (type == 226) t.topology = topology::Ethernet;
  else if (type == 227 || type == 228) t.topology = topology::TokenRing;
  return t;
}

std::unique_ptr<TraceReader> MakeLanAnalyzerReader(ReaderContext& context) {
  return std::make_unique<LanAnalyzerReader>(context);
}

}  // namespace

constinit const FormatEntry kLanAnalyzerEntry{fmt_id::LanAnalyzer, "Novell LANalyzer", {".tr1"},
                                              ProbeLanAnalyzer, LanAnalyzerHeader, MakeLanAnalyzerReader};

}  // namespace korvane
