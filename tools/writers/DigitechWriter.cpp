// Digitech LAN900 buffers: a 64-KiB header page, then 64-KiB pages of frame records.
#include "writers/DigitechWriter.h"

#include <cmath>
#include <cstring>

#include "input/Endian.h"

namespace korvane::tools {

namespace {

constexpr size_t kPageSize = 65536;
constexpr size_t kRecordHeaderSize = 12;
constexpr double kMicrosPerTick = 0.838096536007;
constexpr uint32_t kMaxPages = 4096;

struct Page {
  Bytes bytes;  // allocated when the page is first written
  size_t used = 0;
  uint16_t frames = 0;
};

}  // namespace

Bytes WriteDigitech(const std::vector<ScenarioFrame>& frames, const DigitechOptions& o,
                    DigitechLayout* layout) {
  const CaptureStart& s = o.start;
  const double startMicros = (s.hour * 3600.0 + s.minute * 60.0 + s.second) * 1e6;
  const bool wrapped = o.wrapFirstPage > 1;
  const uint32_t firstPage = wrapped ? o.wrapFirstPage : 1;

  // Pages in the order they are filled: first, first + 1, ... and after a wrap 1, 2, ...
  std::vector<Page> pages(kMaxPages + 1);
  uint32_t page = firstPage;
  uint32_t lastPage = firstPage;
  uint32_t highest = firstPage;
  bool wrappedYet = false;
  const uint32_t limit = o.pageCount != 0 ? o.pageCount : kMaxPages;
  if (layout) *layout = {};

  auto nextPage = [&]() -> bool {
    if (page + 1 > limit) {
      if (!wrapped || wrappedYet) return false;
      wrappedYet = true;
      page = 1;
    } else {
      ++page;
    }
    if (wrappedYet && page >= firstPage) return false;  // the wrap caught up with the oldest page
    return true;
  };
  auto place = [&](const Bytes& record, bool isFrame) -> bool {
    if (record.size() > kPageSize) return false;
    while (pages[page].used + record.size() > kPageSize ||
           (isFrame && o.framesPerPage > 0 && pages[page].frames >= o.framesPerPage)) {
      if (!nextPage()) return false;
    }
    Page& p = pages[page];
    p.bytes.resize(kPageSize, 0);
    std::memcpy(p.bytes.data() + p.used, record.data(), record.size());
    if (isFrame && layout) {
      layout->pageOfFrame.push_back(page);
      layout->offsetOfFrame.push_back(size_t(page) * kPageSize + p.used);
    }
    p.used += record.size();
    if (isFrame) ++p.frames;
    lastPage = page;
    highest = std::max(highest, page);
    return true;
  };

  for (size_t i = 0; i <= frames.size(); ++i) {
    for (const auto& [at, type, block] : o.extraRecords) {
      if (at != i) continue;
      Bytes record(kRecordHeaderSize, 0);
      record[0] = type;
      PutLe16(record.data() + 2, uint16_t(block.size()));
      record.insert(record.end(), block.begin(), block.end());
      if (!place(record, false)) return {};
    }
    if (i == frames.size()) break;
    const ScenarioFrame& f = frames[i];
    Bytes record(kRecordHeaderSize + 2, 0);
    record[0] = 130;
    record[1] = o.kind;
    PutLe16(record.data() + 2, uint16_t(2 + f.bytes.size()));
    uint8_t flags = 0;
    if (f.status & kStatusCrcError) flags |= 0x01;
    if (f.status & kStatusAlignmentError) flags |= 0x02;
    record[4] = flags;
    const auto ticks = uint64_t(std::llround((startMicros + f.timeUs) / kMicrosPerTick));
    PutLe32(record.data() + 5, uint32_t(ticks >> 16));
    PutLe16(record.data() + 9, uint16_t(ticks));
    PutLe16(record.data() + 12, uint16_t(f.wireLength + 4));
    record.insert(record.end(), f.bytes.begin(), f.bytes.end());
    if (!place(record, true)) return {};
  }

  const uint32_t pageCount = o.pageCount != 0 ? o.pageCount : highest;
  Bytes out(kPageSize, 0);
  out[0] = 0x03;
  out[1] = 0x94;
  PutLe16(out.data() + 40, uint16_t(pageCount));
  PutLe16(out.data() + 42, uint16_t(firstPage));
  PutLe16(out.data() + 44, uint16_t(lastPage));
  for (uint32_t p = 1; p <= pageCount && p <= kMaxPages; ++p) PutLe16(out.data() + 8238 + 2 * (p - 1), pages[p].frames);
  out.resize(kPageSize * (size_t(pageCount) + 1), 0);
  for (uint32_t p = 1; p <= pageCount && p <= kMaxPages; ++p)
    if (!pages[p].bytes.empty()) std::memcpy(out.data() + size_t(p) * kPageSize, pages[p].bytes.data(), kPageSize);
  return out;
}

}  // namespace korvane::tools
