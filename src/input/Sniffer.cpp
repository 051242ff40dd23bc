// Sniffer DOS record files, plain or with a block-compressed body.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/FormatTable.h"
#include "input/SnifferDecompressor.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr size_t kPreambleSize = 41;  // signature, version record header and body
constexpr size_t kRecordHeaderSize = 6;
constexpr uint32_t kFrameRecordLimit = 32783;
constexpr size_t kFrameHeaderSize = 14;
constexpr size_t kType12HeaderSize = 34;

bool IsSkippedAtStart(uint16_t type) { return (type >= 6 && type <= 11) || (type >= 13 && type <= 17); }

class SnifferDosReader final : public TraceReader {
 public:
  explicit SnifferDosReader(ReaderContext& context)
      : TraceReader(context), cursor_(context.source), body_(65536) {
    expanded_.reserve(kSnifferMaxBlockOutput);
  }

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    uint8_t preamble[kPreambleSize];
    cursor_.Seek(0);
    if (!cursor_.ReadExact(preamble, kPreambleSize)) return false;
    const uint8_t* version = preamble + 23;
    ethernet_ = info.TopologyCode == topology::Ethernet;
    wan_ = info.TopologyCode == topology::Wan;
    timeUnit_ = version[11];
    if (timeUnit_ == 0) timeUnit_ = info.TopologyCode == topology::TokenRing ? 1 : 2;
    compressed_ = (version[12] & 1) != 0;
    uint16_t dosTime = Le16(version + 4), dosDate = Le16(version + 6);
    if (dosTime != 0 || dosDate != 0) {
      if (double start = DosDateTime(dosDate, dosTime); start != 0) {
        info.StartDateTime = start;
        info.TimeZoneBias = TimeZoneBiasAt(start);
      }
    }
    // Header records before the data; the compressed stream starts where this ends.
    for (;;) {
      int64_t at = cursor_.Position();
      uint8_t header[kRecordHeaderSize];
      if (!cursor_.ReadExact(header, kRecordHeaderSize)) {
        ended_ = true;
        break;
      }
      uint16_t type = Le16(header);
      if (type == 3) {
        ended_ = true;
        break;
      }
      if (!IsSkippedAtStart(type)) {
        cursor_.Seek(at);
        break;
      }
      cursor_.Skip(Le16(header + 2));
    }
    return true;
  }

  RecordResult Next() override {
    if (ended_) return RecordResult::End;
    uint8_t header[kRecordHeaderSize];
    if (!Take(header, kRecordHeaderSize)) return End();
    uint16_t type = Le16(header);
    uint32_t length = Le16(header + 2);  // only the low 16 bits count
    if (!compressed_ && cursor_.Position() == ctx_.info.FileSize) {
      if (type != 0 && type != 3 && length != 0) MarkCutShort();  // a record without its body
      return End();
    }
    if (type == 0 || type == 3) return End();
    if (compressed_ && length > kMaxFrameLength) return End();  // cannot be a record of a sound stream
    if (type != 4 && type != 5 && type != 12) {
      if (compressed_) {
        if (!Take(body_.data(), length)) return End();
      } else {
        cursor_.Skip(length);
      }
      return RecordResult::Skipped;
    }
    if (length >= kFrameRecordLimit) return End();
    size_t got = TakeAvailable(body_.data(), length);
    size_t dataOffset = type == 12 ? kType12HeaderSize : kFrameHeaderSize;
    if (got < length) MarkCutShort();
    if (got < dataOffset) return End();
    return Fill(body_.data(), got - dataOffset, dataOffset);
  }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  RecordResult End() {
    ended_ = true;
    return RecordResult::End;
  }

  RecordResult Fill(const uint8_t* body, size_t present, size_t dataOffset) {
    CapturedFrame& frame = ctx_.frame;
    TraceFileInfo& info = ctx_.info;
    uint32_t size = Le16(body + 6);
    uint8_t status = body[8];
    uint32_t trueSize = Le16(body + 10);
    frame.Status = 0;
    if (wan_) {
      frame.Status = (status & 0x80) ? 0x2 : 0x1;
    } else if (ethernet_ && status != 0) {
      if (status & 0x80) frame.Status |= kCrcError;
      if (status & 0x40) frame.Status |= kAlignmentError;
    }
    frame.TimeStamp = TimeStamp(body);

    const uint32_t fcs = ethernet_ ? 4 : 0;
    uint32_t stored = size + fcs;
    uint32_t length = trueSize != 0 ? trueSize + 4 : stored;
    // A record the file ends inside holds only the bytes present.
    const bool cut = present < size;
    if (cut) {
      MarkFrameCut();
      stored = uint32_t(present);
    }
    if (length > stored) info.SlicedPacketsSeen = true;
    length = std::min(length, info.MaxFrameLength);
    stored = std::min(stored, uint32_t(kMaxFrameLength));
    size_t copy = std::min<size_t>({size_t(size), present, size_t(length)});
    std::memcpy(frame.Data.data(), body + dataOffset, copy);
    // Bytes the record does not hold carry no content; keep them zero rather than stale.
    size_t clearTo = std::max<size_t>(stored, length);
    if (clearTo > copy) std::memset(frame.Data.data() + copy, 0, clearTo - copy);
    frame.FrameLength = uint16_t(length);
    frame.StoredLength = uint16_t(stored);
    if (ethernet_ && !cut) WriteFrameCheckSequence(frame, ctx_.checkSequences);
    return RecordResult::Frame;
  }

  double TimeStamp(const uint8_t* body) {
    uint64_t low = Le16(body), middle = Le16(body + 2), high = body[4];
    uint64_t ticks = (high << 32) | (middle << 16) | low;
    switch (timeUnit_) {
      case 1: {
        double t = double(high * 65536 + middle) * 54925.41649846272 + double(low) * 0.83809534452;
        return t - std::floor(t / kMicrosPerDay) * kMicrosPerDay;
      }
      case 2: return double(ticks) * 15.0;
      case 3: return double(ticks) / 2.0;
      case 4: return double(ticks) * 2.0;
      case 5: return double(ticks);
      default: return ctx_.frame.TimeStamp;  // no conversion known: keep the previous stamp
    }
  }

  // Takes n bytes of the record stream; false when they are not all there.
  bool Take(uint8_t* dst, size_t n) { return TakeAvailable(dst, n) == n; }

  size_t TakeAvailable(uint8_t* dst, size_t n) {
    if (!compressed_) return cursor_.Read(dst, n);
    size_t done = 0;
    while (done < n) {
      if (expandedAt_ == expanded_.size() && !ExpandNextBlock()) break;
      size_t count = std::min(n - done, expanded_.size() - expandedAt_);
      std::memcpy(dst + done, expanded_.data() + expandedAt_, count);
      expandedAt_ += count;
      done += count;
    }
    return done;
  }

  bool ExpandNextBlock() {
    expanded_.clear();
    expandedAt_ = 0;
    uint8_t header[2];
    if (!cursor_.ReadExact(header, 2)) return false;
    uint16_t word = Le16(header);
    size_t count = word & 0x7FFF;
    block_.resize(count);
    if (!cursor_.ReadExact(block_.data(), count)) return false;
    if (word & 0x8000) {
      expanded_.assign(block_.begin(), block_.end());
      return true;
    }
    if (!ExpandSnifferBlock(block_.data(), count, expanded_)) {
      expanded_.clear();
      return false;
    }
    return true;
  }

  Cursor cursor_;
  std::vector<uint8_t> body_;
  std::vector<uint8_t> block_;
  std::vector<uint8_t> expanded_;
  size_t expandedAt_ = 0;
  bool compressed_ = false;
  bool ethernet_ = false;
  bool wan_ = false;
  bool ended_ = false;
  uint8_t timeUnit_ = 2;
};

}  // namespace

namespace {

// The file signature at offset 0: only its first three letters are compared.
constexpr std::string_view kSnifferSignature = "TRS";
// The same file layout under a second signature.
constexpr std::string_view kSnifferAltSignature = "KVX";
constexpr size_t kCompressionByte = 35;  // bit 0: the frame records are compressed

ProbeVerdict ProbeSnifferDos(const ProbeInput& in, TraceFileInfo& info) {
  if (info.SampleTrace) return ProbeVerdict::Match;  // scrambled sample traces, named ".KVD"
  if (!SampleBeginsWith(in.h, kSnifferSignature) && !SampleBeginsWith(in.h, kSnifferAltSignature))
    return ProbeVerdict::Miss;
  info.SnifferCompressed = (in.h[kCompressionByte] & 1) != 0;
  return ProbeVerdict::Match;
}

HeaderTopology SnifferDosHeader(const HeaderInput& in, TraceFileInfo& info) {
  HeaderTopology t;
  switch (in.h[32]) {
    case 0: t.topology = topology::TokenRing; break;
    case 1: case 3: t.topology = topology::Ethernet; break;
    case 2: t.topology = topology::SnifferNet2; break;
    case 7: t.topology = topology::Wan; break;
    case 9: t.topology = topology::Fddi; break;
    default: break;
  }
  ByteSource& source = in.source;
  int64_t position = 41;
  const int64_t size = source.Size();
  while (position + 6 <= size) {
    uint8_t header[6];
    if (source.ReadAt(position, header, 6) != 6) break;
    uint16_t type = Le16(header);
    uint16_t length = Le16(header + 2);  // only the low 16 bits of the length count
    position += 6;
    if (type == 7) {
      uint8_t body[8] = {};
      source.ReadAt(position, body, 8);
      uint32_t speed = Le32(body), framing = Le32(body + 4);
      if (t.topology == topology::TokenRing)
        t.bps = speed != 0 ? 16000000 : 4000000;
      else
        t.bps = speed == 100000000 ? 100000000 : 10000000;
      if (framing == 0) info.WanEncapsulation = 1;
      else if (framing == 1) info.WanEncapsulation = 0;
      else if (framing == 2) info.WanEncapsulation = 7;
      position += length;
    } else if (type == 6 || (type >= 8 && type <= 11) || (type >= 13 && type <= 17)) {
      position += length;
    } else {
      break;  // type 3 and every other type end the scan
    }
  }
  return t;
}

std::unique_ptr<TraceReader> MakeSnifferDosReader(ReaderContext& context) {
  return std::make_unique<SnifferDosReader>(context);
}

}  // namespace

constinit const FormatEntry kSnifferDosEntry{fmt_id::SnifferDos, "NAI Sniffer DOS",
                                             {".enc", ".trc", ".fdc", ".syc"},
                                             ProbeSnifferDos, SnifferDosHeader, MakeSnifferDosReader};

}  // namespace korvane
