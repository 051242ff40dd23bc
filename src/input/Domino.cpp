// Domino and LinkView PRO capture files: a 78-byte header, a run of 8-byte chunk headers
// (4-character tag, 32-bit value) ending at "STOP", and a frame index that the "FRAM"
// chunk leads to: a 32-bit frame count, then one 20-byte entry per frame giving where
// the frame's bytes lie, their lengths, the time stamp and the receive flags.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "input/Endian.h"
#include "input/Fcs.h"
#include "input/FormatTable.h"
#include "input/TimeConv.h"

namespace korvane {

namespace {

constexpr int64_t kHeaderSize = 78;
constexpr size_t kEntrySize = 20;
constexpr uint16_t kProductWithoutFcs = 739;
constexpr uint16_t kEthernetInterface = 4;
constexpr char kFrameIndexTag[] = "FRAM";  // chunk tag: the offset of the frame index
constexpr char kStopTag[] = "STOP";        // chunk tag: no chunk follows

class DominoReader final : public TraceReader {
 public:
  explicit DominoReader(ReaderContext& context) : TraceReader(context), index_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    ethernet_ = info.TopologyCode == topology::Ethernet;
    linkView_ = info.DetectedFormat == fmt_id::LinkView;
    uint8_t h[kHeaderSize];
    if (ctx_.source.ReadAt(0, h, kHeaderSize) != size_t(kHeaderSize)) return false;
    product_ = Le16(h + 62);
    interface_ = Le16(h + 64);

    const uint32_t unixStart = Le32(h + 54);
    if (unixStart != 0) {
      info.StartDateTime = DateTimeFromUnix(unixStart, 0);
      info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
      info.StartDateTime = DateTimeFromUnix(unixStart, info.TimeZoneBias);
    } else {
      info.TimeZoneBias = TimeZoneBiasAt(info.StartDateTime);
    }
    const int hour = h[58], minute = h[59], second = h[60];
    info.StartDateTime = std::floor(info.StartDateTime) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    info.StartTimeOfDay = (int64_t(hour) * 3600 + minute * 60 + second) * 1000000;

    // Design note: a file whose chunks reach "STOP" before "FRAM" has no frame index; it
    // is read as a trace without frames. A file that ends before either, or whose frame
    // index lies past its end, has lost its end: that is damage, not an empty trace.
    frameCount_ = 0;
    for (int64_t at = kHeaderSize;; at += 8) {
      uint8_t chunk[8];
      if (at + 8 > info.FileSize || ctx_.source.ReadAt(at, chunk, 8) != 8) return false;
      if (std::memcmp(chunk, kStopTag, 4) == 0) break;
      if (std::memcmp(chunk, kFrameIndexTag, 4) != 0) continue;
      uint8_t word[4];
      if (ctx_.source.ReadAt(Le32(chunk + 4), word, 4) != 4) return false;
      const int64_t index = Le32(word);
      if (ctx_.source.ReadAt(index, word, 4) != 4) return false;
      frameCount_ = Le32(word);
      index_.Seek(index + 4);
      break;
    }
    position_ = index_.Position();
    return true;
  }

  RecordResult Next() override {
    if (entriesRead_ >= frameCount_) return RecordResult::End;
    uint8_t e[kEntrySize];
    if (!index_.ReadExact(e, kEntrySize)) {
      MarkCutShort();  // the index holds fewer entries than it counts
      return RecordResult::End;
    }
    ++entriesRead_;

    const int64_t offset = Le32(e);
    const uint32_t stored = Le16(e + 4);
    const size_t want = std::min<size_t>(stored, kMaxFrameLength);
    CapturedFrame& frame = ctx_.frame;
    const size_t got = ctx_.source.ReadAt(offset, frame.Data.data(), want);
    // An entry whose frame lies wholly outside the file cannot be used; one cut short by
    // the end of the file keeps the bytes that are there.
    if (got == 0 && want != 0) {
      MarkCutShort();
      return RecordResult::End;
    }
    if (got < want) MarkFrameCut();
    position_ = offset + int64_t(got);

    const uint32_t flags = Le32(e + 16);
    frame.Status = 0;
    if ((flags & 0x18) == 0) frame.Status |= kCrcError;
    if (flags & 0x40) frame.Status |= 0x1;
    if (flags & (0x80u | (1u << 28))) frame.Status |= 0x2;
    frame.TimeStamp = double(Le32(e + 12)) * 32.0 + double(ctx_.info.StartTimeOfDay);

    uint32_t length = Le16(e + 6);
    if (length == 0) length = stored;
    const bool addsFcs = linkView_ && ethernet_ && product_ == kProductWithoutFcs;
    if (addsFcs) length += 4;
    length = std::min(length, ctx_.info.MaxFrameLength);
    frame.FrameLength = uint16_t(length);
    frame.StoredLength = uint16_t(got);
    if (length > got) std::memset(frame.Data.data() + got, 0, length - got);
    if (linkView_ && ethernet_ && interface_ == kEthernetInterface) {
      WriteFrameCheckSequence(frame, ctx_.checkSequences);
      // Design note: when the check sequence is written right after a frame stored whole,
      // it counts as stored, as in every other reader that makes room for one.
      if (addsFcs && got == stored && length == got + 4) frame.StoredLength = uint16_t(length);
    }
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override { return entriesRead_ >= frameCount_; }

  int64_t Position() const override { return position_; }

 private:
  Cursor index_;
  bool ethernet_ = false;
  bool linkView_ = false;
  uint16_t product_ = 0;
  uint16_t interface_ = 0;
  int64_t frameCount_ = 0;
  int64_t entriesRead_ = 0;
  int64_t position_ = 0;
};

}  // namespace

namespace {

constexpr std::string_view kDominoMagic = "WINC";             // file signature at offset 0
constexpr std::string_view kLinkViewMark = "LinkView PRO";  // in a LinkView PRO file's sample

ProbeVerdict ProbeLinkView(const ProbeInput& in, TraceFileInfo&) {
  return SampleBeginsWith(in.h, kDominoMagic) && SampleHas(in.h, kLinkViewMark) ? ProbeVerdict::Match
                                                                                 : ProbeVerdict::Miss;
}

ProbeVerdict ProbeDomino(const ProbeInput& in, TraceFileInfo&) {
  return SampleBeginsWith(in.h, kDominoMagic) ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

// The comment, then the 16-bit product and interface codes at 62 and 64; a known
// topology is confirmed by reading the first frame.
HeaderTopology DominoHeader(const HeaderInput& in, TraceFileInfo& info) {
  HeaderTopology t;
  uint8_t h[kHeaderSize];
  if (in.source.ReadAt(0, h, kHeaderSize) != size_t(kHeaderSize)) return t;
  if (in.format == fmt_id::Domino)
    SetComment(info, std::string_view(reinterpret_cast<const char*>(h + 4), 40));
  else
    SetComment(info, std::string_view(reinterpret_cast<const char*>(h + 5), 39));
  uint16_t product = Le16(h + 62), interface = Le16(h + 64);
  switch (product) {
    case 739:
      if (interface == 4) t = {topology::Ethernet, 10000000};
      else if (interface == 6) t.topology = topology::TokenRing;
      break;
    case 358: t = {topology::Ethernet, 10000000}; break;
    case 363: t.topology = topology::TokenRing; break;
    case 880: case 984: t = {topology::Ethernet, 100000000}; break;
    case 313: t.topology = 3; break;
    case 359: t.topology = 9; break;
    case 360: t.topology = 10; break;
    case 361: t.topology = 11; break;
    case 747: t.topology = 13; break;
    case 855: t.topology = 14; break;
    case 378: case 938: t.topology = 15; break;
    case 940: t.topology = 16; break;
    case 335: case 939: t.topology = 17; break;
    case 941: t.topology = 18; break;
    default: break;
  }
  if (t.topology == 6 || (t.topology >= 8 && t.topology <= 11)) {
    switch (interface) {
      case 240: info.WanEncapsulation = 0; break;
      case 0: case 14: info.WanEncapsulation = 1; break;
      case 15: info.WanEncapsulation = 2; break;
      case 333: info.WanEncapsulation = 3; break;
      case 305: info.WanEncapsulation = 4; break;
      case 11: info.WanEncapsulation = 5; break;
      case 12: info.WanEncapsulation = 6; break;
      case 278: info.WanEncapsulation = 7; break;
      default: break;
    }
  }
  if (t.topology != topology::Undetermined) ProbeFirstFrame(in.format, t.topology, in.source, in.path, info);
  return t;
}

std::unique_ptr<TraceReader> MakeDominoReader(ReaderContext& context) {
  return std::make_unique<DominoReader>(context);
}

}  // namespace

constinit const FormatEntry kLinkViewEntry{fmt_id::LinkView, "WWG LinkView PRO", {".cap"},
                                           ProbeLinkView, DominoHeader, MakeDominoReader};
constinit const FormatEntry kDominoEntry{fmt_id::Domino, "WWG Domino", {".cap"},
                                         ProbeDomino, DominoHeader, MakeDominoReader};

}  // namespace korvane
