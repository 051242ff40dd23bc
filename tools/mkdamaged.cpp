// korvane-mkdamaged OUTDIR: writes the corpus of damaged traces (fuzz/corpus/damaged/).
//
// For every format korvane-mktrace writes, the office and Token Ring scenarios are cut to a
// few short frames and written whole; the format's own reader then tells where every record
// starts. Each file of the corpus is that trace with one piece of damage:
//   cut-*     truncated at a record boundary, two bytes into a record, or in its middle;
//   len-*     a length field of the second record set to 0, 1, 32767, 32768, 65535 (and,
//             for 32-bit fields, 0xFFFFFFFF);
//   off-*     a file offset pointing backwards, at its own record, or past the end;
//   count-*   a frame, page or index count that lies;
//   block-*   (compressed Sniffer) a block that does not decode or whose length lies.
// The name says what was done where: e.g. "netmon2-office-off-past-at24.cap" is the
// NetMon 2 office trace whose 32-bit offset at file offset 24 points past the end.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "input/ByteSource.h"
#include "input/Detect.h"
#include "input/Endian.h"
#include "input/ReadLoop.h"
#include "writers/ScenarioWriters.h"
#include "writers/TraceWriters.h"

namespace {

namespace fs = std::filesystem;
using korvane::tools::Bytes;

constexpr size_t kFrames = 5;
constexpr size_t kLongestFrame = 160;
constexpr int64_t kDominoEntrySize = 20;

// Where the records of a trace lie, as its reader found them: the start of every record
// and, last, the end of the data.
struct RecordMap {
  std::vector<int64_t> starts;
  int64_t frames = 0;
  int64_t Start(size_t k) const { return starts[std::min(k, starts.size() - 1)]; }
  size_t Records() const { return starts.empty() ? 0 : starts.size() - 1; }
};

RecordMap MapRecords(const Bytes& file, const std::string& name) {
  using namespace korvane;
  MemorySource source(std::span<const uint8_t>(file.data(), file.size()));
  TraceFileInfo info;
  info.CurrentFileName = "/nonexistent/" + name;
  info.DetectedFormat = DetectTraceFormat(source, name, info).format;
  info.TopologyCode = ReadTraceHeader(info.DetectedFormat, source, name, info).topology;
  info.FileSize = int64_t(file.size());
  auto frame = std::make_unique<CapturedFrame>();
  ReaderContext context{source, info, *frame};
  RecordMap map;
  auto reader = MakeTraceReader(info.DetectedFormat, context);
  if (!reader || !reader->Initialise()) return map;
  map.starts.push_back(reader->Position());
  for (;;) {
    const RecordResult result = reader->Next();
    if (result == RecordResult::End) break;
    bool end = false;
    if (result == RecordResult::Frame) {
      ++info.FrameCounter;
      end = reader->AfterFrame(false);
    }
    map.starts.push_back(reader->Position());
    if (end) break;
  }
  map.frames = info.FrameCounter;
  return map;
}

struct Field {
  int64_t at = 0;
  int width = 4;  // bytes: 2 or 4
  bool bigEndian = false;
};

uint32_t Get(const Bytes& file, const Field& f) {
  const uint8_t* p = file.data() + f.at;
  if (f.width == 2) return f.bigEndian ? korvane::Be16(p) : korvane::Le16(p);
  return f.bigEndian ? korvane::Be32(p) : korvane::Le32(p);
}

void Put(Bytes& file, const Field& f, uint32_t value) {
  uint8_t* p = file.data() + f.at;
  if (f.width == 2)
    f.bigEndian ? korvane::PutBe16(p, uint16_t(value)) : korvane::PutLe16(p, uint16_t(value));
  else
    f.bigEndian ? korvane::PutBe32(p, value) : korvane::PutLe32(p, value);
}

// The fields of one trace that the damage goes to.
struct Targets {
  std::vector<Field> lengths;  // in the second record
  std::vector<Field> offsets;  // file offsets, wherever they are kept
  std::vector<Field> counts;   // frame, page and index counts
  std::function<void(Bytes&)> prepare;  // applied before an offset or a count is damaged (may be empty)
};

// Offset of the first record of the given type in a LANalyzer record chain, or -1.
int64_t LanAnalyzerRecord(const Bytes& file, uint16_t type) {
  for (size_t at = 0; at + 4 <= file.size(); at += 4 + korvane::Le16(&file[at + 2]))
    if (korvane::Le16(&file[at]) == type) return int64_t(at);
  return -1;
}

int64_t Find(const Bytes& file, std::string_view text) {
  auto it = std::search(file.begin(), file.end(), text.begin(), text.end());
  return it == file.end() ? -1 : int64_t(it - file.begin());
}

Targets TargetsOf(const std::string& format, const Bytes& file, const RecordMap& map) {
  using F = Field;
  const int64_t r = map.Start(1);  // the second record
  Targets t;
  auto record = [&](std::initializer_list<F> fields) {
    for (F f : fields) t.lengths.push_back({r + f.at, f.width, f.bigEndian});
  };
  if (format == "sniffer") {
    record({{2, 2}, {12, 2}, {16, 2}});
  } else if (format == "netxray" || format == "netxray1") {
    record({{8, 2}, {10, 2}});
    t.offsets = {{20}, {24}, {28}};
    t.counts = {{16}};
  } else if (format == "netmon1" || format == "netmon2") {
    if (format == "netmon1") record({{4, 2}, {6, 2}});
    else record({{8}, {12}});
    const int64_t table = korvane::Le32(&file[24]);
    t.offsets = {{24}, {table + 4}, {40}};
    t.counts = {{28}};  // the table's length: four bytes per frame
  } else if (format == "observer") {
    record({{28}, {40}});
    t.offsets = {{r + 12}};
  } else if (format == "etherpeek") {
    record({{2, 2, true}, {4, 2, true}});
    t.counts = {{6, 4, true}};
  } else if (format == "etherpeek6") {
    record({{0, 2, true}, {2, 2, true}});
    t.counts = {{6, 4, true}};
  } else if (format == "snoop" || format == "shomiti") {
    record({{0, 4, true}, {4, 4, true}, {8, 4, true}});
  } else if (format == "lanwatch") {
    record({{0, 2}, {2, 2}});
  } else if (format == "lanalyzer") {
    record({{2, 2}, {8, 2}, {10, 2}});
    // The cyclic record is read only in a version 2 file: its damage goes to one.
    const int64_t cyclic = LanAnalyzerRecord(file, 0x1009) + 4;
    t.offsets = {{cyclic + 4}, {cyclic + 12}, {cyclic + 16}};
    t.counts = {{cyclic}};
    const uint32_t first = uint32_t(map.Start(0)), wrap = uint32_t(map.Start(map.Records()));
    t.prepare = [cyclic, first, wrap](Bytes& f) {
      korvane::PutLe16(f.data(), 0x1007);
      korvane::PutLe32(&f[cyclic + 4], first);
      korvane::PutLe32(&f[cyclic + 12], first);
      korvane::PutLe32(&f[cyclic + 16], wrap);
    };
  } else if (format == "da30") {
    record({{4}, {32}});
    t.offsets = {{22}, {30}};
  } else if (format == "domino" || format == "linkview") {
    record({{4, 2}, {6, 2}});
    const int64_t chunk = Find(file, "FRAM");
    const int64_t pointer = korvane::Le32(&file[chunk + 4]);
    t.offsets = {{chunk + 4}, {pointer}, {r}};
    t.counts = {{map.Start(0) - 4}};
  } else if (format == "hp") {
    record({{4}, {16, 2}, {20}});
  } else if (format == "dataglance") {
    record({{2, 2}, {4, 2}});
  } else if (format == "fireberd" || format == "netlens") {
    record({{0, 2}});
    t.counts = {{format == "fireberd" ? 72 : 22}};
  } else if (format == "digitech") {
    record({{2, 2}, {12, 2}});
    t.counts = {{40, 2}, {42, 2}, {44, 2}, {8238, 2}};  // pages, first page, last page, frames of page 1
  }
  return t;
}

class CorpusWriter {
 public:
  CorpusWriter(fs::path dir, std::string stem, std::string extension)
      : dir_(std::move(dir)), stem_(std::move(stem)), extension_(std::move(extension)) {}

  void Write(const std::string& damage, const Bytes& bytes) {
    const fs::path path = dir_ / (stem_ + "-" + damage + "." + extension_);
    if (!korvane::tools::WriteFile(path.string(), bytes)) {
      std::cerr << "cannot write " << path << '\n';
      failed_ = true;
    }
    ++written_;
  }
  bool Failed() const { return failed_; }
  int Written() const { return written_; }

 private:
  fs::path dir_;
  std::string stem_, extension_;
  bool failed_ = false;
  int written_ = 0;
};

Bytes Cut(const Bytes& file, int64_t size) {
  return Bytes(file.begin(), file.begin() + std::clamp<int64_t>(size, 0, int64_t(file.size())));
}

std::string At(const Field& f) { return "-at" + std::to_string(f.at); }

void Truncations(CorpusWriter& out, const Bytes& file, const RecordMap& map) {
  out.Write("cut-header", Cut(file, map.Start(0) / 2));
  for (size_t k = 0; k < map.Records(); ++k) {
    const int64_t start = map.Start(k), end = map.Start(k + 1);
    const std::string rec = "rec" + std::to_string(k);
    if (k > 0) out.Write("cut-before-" + rec, Cut(file, start));
    out.Write("cut-into-" + rec, Cut(file, start + 2));
    out.Write("cut-mid-" + rec, Cut(file, start + (end - start) / 2));
  }
}

// Digitech buffers are 128 KiB at least, so their damage is kept to fewer files: the first
// length field only and counts of 0 and all ones.
void Lengths(CorpusWriter& out, const Bytes& file, const Targets& t, bool compact) {
  for (const Field& f : t.lengths) {
    if (compact && &f != &t.lengths.front()) break;
    std::vector<uint32_t> values = {0, 1, 32767, 32768, 65535};
    if (f.width == 4) values.push_back(0xFFFFFFFF);
    for (uint32_t v : values) {
      Bytes damaged = file;
      Put(damaged, f, v);
      out.Write("len-" + std::to_string(v) + At(f), damaged);
    }
  }
}

// Offsets that point backwards (to the record before the one meant, or to the start of
// the file), at the record holding them, and past the end of the file.
void Offsets(CorpusWriter& out, const Bytes& file, const RecordMap& map, const Targets& t) {
  Bytes base = file;
  if (t.prepare) t.prepare(base);
  for (const Field& f : t.offsets) {
    const int64_t meant = Get(base, f);
    int64_t back = 0, own = 0;
    for (int64_t s : map.starts) {
      if (s < meant) back = s;
      if (s <= f.at) own = s;
    }
    const std::pair<const char*, int64_t> lies[] = {
        {"back", back}, {"self", own}, {"past", int64_t(file.size()) + 1}, {"max", 0xFFFFFFFF}};
    for (const auto& [kind, value] : lies) {
      Bytes damaged = base;
      Put(damaged, f, uint32_t(value));
      out.Write(std::string("off-") + kind + At(f), damaged);
    }
  }
}

void Counts(CorpusWriter& out, const Bytes& file, const Targets& t, bool compact) {
  Bytes base = file;
  if (t.prepare) t.prepare(base);
  for (const Field& f : t.counts) {
    const uint32_t held = Get(base, f);
    const uint32_t all = f.width == 2 ? 0xFFFF : 0xFFFFFFFF;
    std::vector<uint32_t> lies = {0u, held - 1, held + 1, held * 2 + 3, all};
    if (compact) lies = {0u, all};
    for (uint32_t v : lies) {
      Bytes damaged = base;
      Put(damaged, f, v);
      out.Write("count-" + std::to_string(v & all) + At(f), damaged);
    }
  }
}

// Compressed Sniffer bodies: blocks of a 16-bit header (bit 15: stored raw; the rest: the
// byte count) and their bytes, from where the reader starts the stream.
void Blocks(CorpusWriter& out, const Bytes& file, int64_t streamStart) {
  const auto at = size_t(streamStart);
  if (at + 2 > file.size()) return;
  const uint16_t word = korvane::Le16(&file[at]);
  const size_t count = word & 0x7FFF;
  auto with = [&](const char* name, const std::function<void(Bytes&)>& damage) {
    Bytes damaged = file;
    damage(damaged);
    out.Write(std::string("block-") + name, damaged);
  };
  with("raw-flag-flipped", [&](Bytes& f) { korvane::PutLe16(&f[at], uint16_t(word ^ 0x8000)); });
  for (uint16_t lie : {uint16_t(0), uint16_t(1), uint16_t(count + 1), uint16_t(0x7FFF)})
    with(("count-" + std::to_string(lie)).c_str(),
         [&](Bytes& f) { korvane::PutLe16(&f[at], uint16_t((word & 0x8000) | lie)); });
  // The first item a back reference to before the start of the block.
  with("reference-before-start", [&](Bytes& f) {
    const uint8_t item[] = {0x00, 0x80, 0x2F, 0xFF, 0x10};
    std::copy(std::begin(item), std::end(item), f.begin() + long(at + 2));
  });
  // Runs that expand beyond the 64 KiB a block may give.
  with("runs-beyond-limit", [&](Bytes& f) {
    Bytes body = {0xFF, 0xFF};
    for (int i = 0; i < 16; ++i) body.insert(body.end(), {0x1F, 0xFF, 0xAA});
    korvane::PutLe16(&f[at], uint16_t(body.size()));
    f.erase(f.begin() + long(at + 2), f.begin() + long(std::min(f.size(), at + 2 + count)));
    f.insert(f.begin() + long(at + 2), body.begin(), body.end());
  });
  with("operand-missing", [&](Bytes& f) {
    const uint8_t item[] = {0x00, 0x80, 0x10};  // a run command whose value is cut off
    korvane::PutLe16(&f[at], uint16_t(sizeof item));
    f.resize(at + 2);
    f.insert(f.end(), std::begin(item), std::end(item));
  });
  out.Write("block-cut-inside", Cut(file, int64_t(at + 2 + count / 2)));
}

}  // namespace

int main(int argc, char** argv) {
  using namespace korvane::tools;
  if (argc != 2) {
    std::cerr << "usage: korvane-mkdamaged OUTDIR\n";
    return 1;
  }
  ::setenv("TZ", "UTC", 1);  // the writers record local times: the same bytes everywhere
  const fs::path dir = argv[1];
  fs::create_directories(dir);
  bool ok = true;
  int files = 0;
  for (const char* scenario : {"office", "tokenring"}) {
    const bool tokenRing = std::string(scenario) == "tokenring";
    const auto frames = SampleFrames(tokenRing ? TokenRingScenario() : OfficeLanScenario(), kFrames, kLongestFrame);
    for (const auto& [format, write] : ScenarioWriters()) {
      // Digitech buffers are 128 KiB at least: the office trace alone stands for them.
      const bool digitech = format == "digitech";
      if (digitech && tokenRing) continue;
      const Bytes file = write(frames, tokenRing);
      const std::string extension = ScenarioExtension(format, tokenRing);
      RecordMap map = MapRecords(file, "trace." + extension);
      if (map.frames != int64_t(frames.size())) {
        std::cerr << format << " " << scenario << ": the reader found " << map.frames << " frames\n";
        ok = false;
        continue;
      }
      if (format == "domino" || format == "linkview") {  // records are the frame index's entries
        for (size_t k = 0; k < map.starts.size(); ++k) map.starts[k] = map.starts[0] + int64_t(k) * kDominoEntrySize;
        map.starts.resize(frames.size() + 1);
      }
      CorpusWriter out(dir, format + "-" + scenario, extension);
      const Targets targets = TargetsOf(format, file, map);
      if (format == "sniffer-compressed") {
        Blocks(out, file, map.Start(0));
      } else if (!digitech) {  // a cut buffer is too small to be one
        Truncations(out, file, map);
      }
      Lengths(out, file, targets, digitech);
      Offsets(out, file, map, targets);
      Counts(out, file, targets, digitech);
      ok = ok && !out.Failed();
      files += out.Written();
    }
  }
  std::cout << files << " damaged traces in " << dir.string() << '\n';
  return ok ? 0 : 1;
}
