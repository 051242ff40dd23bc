// Digitech LAN900 capture buffers: 64-KiB pages after a header page. The header names
// the pages in use and how many frames each holds; a buffer that wrapped starts at a
// later page and continues from page 1.
#include <algorithm>
#include <array>
#include <cstring>

#include "input/Endian.h"
#include "input/FormatTable.h"

namespace korvane {

namespace {

constexpr int64_t kPageSize = 65536;
constexpr uint32_t kMaxPages = 4096;
constexpr int64_t kPageFieldsOffset = 40;
constexpr int64_t kPageCountsOffset = 8238;
constexpr size_t kRecordHeaderSize = 12;
constexpr uint8_t kFrameRecord = 130;
constexpr uint64_t kTicksPerDay = 103090814976;  // one day of PC-timer ticks
constexpr double kMicrosPerTick = 0.838096536007;
constexpr double kMicrosPerTickAfterDays = 0.838096003219;
constexpr double kBackwardTolerance = 60000000;  // small steps back are clock jitter

class DigitechReader final : public TraceReader {
 public:
  explicit DigitechReader(ReaderContext& context) : TraceReader(context), cursor_(context.source) {}

  bool Initialise() override {
    TraceFileInfo& info = ctx_.info;
    info.FrameCounter = 0;
    info.ReaderRejected = true;
    ended_ = true;
    uint8_t fields[6];
    cursor_.Seek(kPageFieldsOffset);
    if (!cursor_.ReadExact(fields, sizeof fields)) return true;
    uint32_t pages = Le16(fields);
    const uint32_t first = Le16(fields + 2), last = Le16(fields + 4);
    if (last == 0) return true;
    if (first == 1) pages = last - first + 1;
    pages = std::min(pages, kMaxPages);
    // Design note: page 0 is the buffer's own header and has no frame count, so a
    // buffer that claims to start there holds nothing readable either.
    if (pages == 0 || first == 0) return true;
    info.ReaderRejected = false;

    counts_.fill(0);
    uint8_t raw[kMaxPages * 2] = {};
    cursor_.Seek(kPageCountsOffset);
    cursor_.Read(raw, size_t(pages) * 2);  // counts the file does not hold stay 0
    totalFrames_ = 0;
    for (uint32_t i = 0; i < pages; ++i) {
      counts_[i] = Le16(raw + 2 * i);
      totalFrames_ += counts_[i];
    }
    pages_ = pages;
    consumed_ = 0;
    previousStamp_ = 0;
    if (first > kMaxPages) return true;  // no such page: nothing to read
    ended_ = false;
    EnterPage(first, 0);
    visited_ = 1;
    return true;
  }

  RecordResult Next() override {
    if (ended_) return RecordResult::End;
    if (consumed_ >= totalFrames_) return End();
    // Design note: a page is left when its frames have been taken, and also when its
    // bytes run out first, so that a wrong count never reads into the next page.
    // Pages without frames are passed in one go, and no page is entered twice.
    while (consumed_ >= boundary_ || cursor_.Position() + int64_t(kRecordHeaderSize) > pageEnd_) {
      if (visited_ >= pages_) return End();
      uint32_t next = page_ + 1;
      if (next > pages_) next = 1;
      EnterPage(next, consumed_);
      ++visited_;
    }

    uint8_t h[kRecordHeaderSize];
    if (!cursor_.ReadExact(h, kRecordHeaderSize)) return End();
    const uint32_t block = Le16(h + 2);
    if (h[0] != kFrameRecord) {
      cursor_.Skip(block);
      return RecordResult::Skipped;
    }
    ++consumed_;
    // The block starts with the 16-bit frame length; one too short for it is damage.
    if (block < 2) return End();
    uint8_t lengthWord[2];
    if (!cursor_.ReadExact(lengthWord, 2)) return End();
    CapturedFrame& frame = ctx_.frame;
    TraceFileInfo& info = ctx_.info;
    const size_t bytes = block - 2;
    const size_t kept = std::min<size_t>(bytes, kMaxFrameLength);
    if (!cursor_.ReadExact(frame.Data.data(), kept)) return End();
    cursor_.Skip(int64_t(bytes - kept));
    if (cursor_.Position() > info.FileSize) return End();

    const uint8_t kind = h[1] & 0x1F;
    const bool ethernet = kind == 5 || kind == 7;
    const bool supported = ethernet || kind == 6;
    if (info.FirstFrameOnly) {
      info.TopologyCode = ethernet ? topology::Ethernet
                          : supported ? topology::TokenRing
                                      : topology::Undetermined;
    } else if (!supported) {
      return RecordResult::Skipped;
    }

    frame.Status = 0;
    if (h[4] & 0x01) frame.Status |= kCrcError;
    if (h[4] & 0x02) frame.Status |= kAlignmentError;
    frame.TimeStamp = TimeStamp(h);

    const uint32_t stored = std::min<uint32_t>(block + 2, kMaxFrameLength);
    const uint32_t length = std::min<uint32_t>(Le16(lengthWord), info.MaxFrameLength);
    frame.StoredLength = uint16_t(stored);
    frame.FrameLength = uint16_t(length);
    if (length > stored) info.SlicedPacketsSeen = true;
    // The stored length runs 4 bytes past the block; they stay zero. Nothing is written
    // over the frame: its bytes, a recorded bad check sequence included, are the file's.
    const size_t clearTo = std::max<size_t>(stored, length);
    if (clearTo > kept) std::memset(frame.Data.data() + kept, 0, clearTo - kept);
    return RecordResult::Frame;
  }

  bool AfterFrame(bool) override { return ctx_.info.FrameCounter >= totalFrames_; }

  int64_t Position() const override { return cursor_.Position(); }

 private:
  RecordResult End() {
    ended_ = true;
    return RecordResult::End;
  }

  void EnterPage(uint32_t page, int64_t taken) {
    page_ = page;
    cursor_.Seek(int64_t(page) * kPageSize);
    pageEnd_ = int64_t(page + 1) * kPageSize;
    boundary_ = taken + (page <= pages_ ? counts_[page - 1] : 0);
  }

  double TimeStamp(const uint8_t* h) {
    const uint64_t ticks = uint64_t(Le32(h + 5)) * 65536 + Le16(h + 9);
    double stamp = ticks > kTicksPerDay
                       ? double(ticks - ticks / kTicksPerDay * kTicksPerDay) * kMicrosPerTickAfterDays
                       : double(ticks) * kMicrosPerTick;
    if (ctx_.info.FrameCounter >= 2 && stamp < previousStamp_ && previousStamp_ - stamp < kBackwardTolerance)
      stamp = previousStamp_;
    previousStamp_ = stamp;
    return stamp;
  }

  Cursor cursor_;
  std::array<uint16_t, kMaxPages> counts_{};
  int64_t totalFrames_ = 0;
  int64_t consumed_ = 0;   // frame records taken from the buffer, handed over or not
  int64_t boundary_ = 0;   // consumed_ at which the current page is done
  int64_t pageEnd_ = 0;
  uint32_t pages_ = 0;
  uint32_t page_ = 0;
  uint32_t visited_ = 0;
  double previousStamp_ = 0;
  bool ended_ = true;
};

}  // namespace

namespace {

// A guess: two leading bytes, a size the capture buffer always has, and the name.
constexpr uint8_t kDigitechLead0 = 0x03;
constexpr uint8_t kDigitechLead1 = 0x94;
constexpr int64_t kDigitechMinimumSize = 131072;
constexpr std::string_view kDigitechName = ".DAT";

ProbeVerdict ProbeDigitech(const ProbeInput& in, TraceFileInfo&) {
  const bool match = NameHas(in.upperName, kDigitechName) && in.size >= kDigitechMinimumSize &&
                     in.h[0] == kDigitechLead0 && in.h[1] == kDigitechLead1;
  return match ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

// Only the first frame record's type byte shows the topology.
HeaderTopology DigitechHeader(const HeaderInput& in, TraceFileInfo& info) {
  return {ProbeFirstFrame(in.format, topology::Undetermined, in.source, in.path, info), 0};
}

std::unique_ptr<TraceReader> MakeDigitechReader(ReaderContext& context) {
  return std::make_unique<DigitechReader>(context);
}

}  // namespace

constinit const FormatEntry kDigitechEntry{fmt_id::Digitech, "Digitech LAN900", {".dat"},
                                           ProbeDigitech, DigitechHeader, MakeDigitechReader};

}  // namespace korvane
