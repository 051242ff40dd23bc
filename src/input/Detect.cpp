#include "input/Detect.h"

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "input/FormatTable.h"

namespace korvane {

std::string UpperCased(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

DetectResult DetectTraceFormat(const std::string& path, TraceFileInfo& info) {
  auto file = FileSource::Open(path);
  if (!file) {
    info.SampleTrace = info.SnifferCompressed = info.PcapSwapped = info.PcapExtended = false;
    return {fmt_id::NotRecognised, true, false};
  }
  return DetectTraceFormat(*file, path, info);
}

DetectResult DetectTraceFormat(ByteSource& source, std::string_view path, TraceFileInfo& info) {
  info.SampleTrace = info.SnifferCompressed = info.PcapSwapped = info.PcapExtended = false;
  DetectResult result;
  int64_t size = source.Size();
  if (size < kMinimumTraceSize) {
    result.tooSmall = true;
    return result;
  }
  HeaderSample h{};
  size_t want = size_t(std::min<int64_t>(size, kHeaderSampleSize));
  if (source.ReadAt(0, h.data(), want) != want) {
    result.couldNotOpen = true;
    return result;
  }
  const std::string n = UpperCased(path);
  info.SampleTrace = NameHas(n, ".KVD");
  const ProbeInput in{source, h, n, size};
  for (const FormatEntry* entry : DetectionOrder()) {
    const ProbeVerdict verdict = entry->probe(in, info);
    if (verdict == ProbeVerdict::Miss) continue;
    if (verdict == ProbeVerdict::Match) result.format = entry->id;
    break;
  }
  return result;
}

namespace {
constexpr int64_t kHeaderStepMinimum = 50;
}  // namespace

HeaderResult ReadTraceHeader(TraceFormat format, const std::string& path, TraceFileInfo& info) {
  info.Comment.clear();
  info.WanEncapsulation = 8;
  int error = 0;
  auto file = FileSource::Open(path, &error);
  if (!file) {
    HeaderResult r;
    r.unreadable = error != EACCES;  // a refused access leaves the flag clear
    info.FileBandwidthKnown = 0;
    info.FileBandwidthBps = 0;
    return r;
  }
  return ReadTraceHeader(format, *file, path, info);
}

HeaderResult ReadTraceHeader(TraceFormat format, ByteSource& source, std::string_view path,
                             TraceFileInfo& info) {
  info.Comment.clear();
  info.WanEncapsulation = 8;
  HeaderResult r;
  HeaderTopology t;
  uint8_t h[kHeaderStepRead] = {};
  const std::string n = UpperCased(path);
  if (source.Size() < kHeaderStepMinimum) {
    // too short to say anything
  } else if (source.ReadAt(0, h, kHeaderStepRead); source.Failed()) {
    // Only a failed read makes the file unreadable: a file shorter than the window
    // leaves the rest of it zero.
    r.unreadable = true;
  } else if (const FormatEntry* entry = FindFormatEntry(format); entry && entry->header) {
    t = entry->header(HeaderInput{format, source, h, n, path}, info);
  }
  r.topology = t.topology;
  r.bandwidthBps = t.bps;
  info.FileBandwidthKnown = t.bps;
  if (t.bps == 0) {
    if (t.topology == topology::Ethernet) t.bps = 10000000;
    else if (t.topology == topology::TokenRing) t.bps = 16000000;
    else if (t.topology == topology::Fddi) t.bps = 100000000;
  }
  info.FileBandwidthBps = t.bps;
  r.bandwidthBps = t.bps;
  return r;
}

}  // namespace korvane
