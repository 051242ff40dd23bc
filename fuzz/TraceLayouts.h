// How korvane-fuzz-trace turns its input into a trace file, and how korvane-fuzz-seeds
// turns a trace file into such an input.
//
// Byte 0 picks a layout (its low seven bits, modulo kLayoutCount); its top bit asks the
// target to walk every report over the tables read, not only the file summary. The rest of
// the input becomes the file.
// The plain layouts hand the bytes over as they are, under a name with one of the
// extensions detection looks at. The forcing layouts first write one format's signature
// over the start of the file, so that every reader is reached whatever the fuzzer did to
// the magic. The Digitech layout also spreads the input over the 64-KiB pages of a
// buffer, so that a small input still fills the header page and several frame pages.
#pragma once
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/ByteSource.h"
#include "input/Detect.h"
#include "input/Endian.h"

namespace korvane::fuzz {

using Bytes = std::vector<uint8_t>;

namespace layout_detail {

inline void PutText(Bytes& file, size_t at, std::string_view text) {
  if (file.size() < at + text.size()) file.resize(at + text.size());
  std::memcpy(file.data() + at, text.data(), text.size());
}

// Detection finds these texts anywhere in its sample; they go to `at` when absent.
inline void EnsureText(Bytes& file, std::string_view text, size_t at = 0) {
  const auto sampleEnd = file.begin() + long(std::min(file.size(), kHeaderSampleSize));
  if (std::search(file.begin(), sampleEnd, text.begin(), text.end()) == sampleEnd) PutText(file, at, text);
}

inline uint8_t& ByteAt(Bytes& file, size_t at) {
  if (file.size() <= at) file.resize(at + 1);
  return file[at];
}

inline void Sniffer(Bytes& f) { PutText(f, 0, "TRS"); }
inline void SnifferCompressed(Bytes& f) {
  PutText(f, 0, "TRS");
  ByteAt(f, 35) |= 1;
}
inline void NetXRay(Bytes& f) { PutText(f, 0, "XCP"); }
inline void EtherPeek(Bytes& f) { ByteAt(f, 0) = uint8_t(6 + (f[0] & 1)); }  // version 6 or 7
inline void Snoop(Bytes& f) { PutText(f, 0, "snoop"); }  // snoop or Shomiti by the first record
inline void LanWatch(Bytes& f) { PutText(f, 0, "PKTDMP"); }
inline void Hp(Bytes& f) { EnsureText(f, "HPDATA0"); }
inline void DataGlance(Bytes& f) {
  static constexpr uint8_t kKinds[4] = {0, 1, 4, 5};
  uint8_t& medium = ByteAt(f, 130);
  medium = uint8_t(2 + (medium & 1));  // Token Ring or Ethernet
  uint8_t& kind = ByteAt(f, 131);
  kind = uint8_t((kind & ~7) | kKinds[kind & 3]);
}
inline void FireBerd(Bytes& f) { EnsureText(f, "ProbeApps"); }
inline void NetLens(Bytes& f) {
  ByteAt(f, 25);
  f[0] = 'D';
  const auto frames = int32_t(Le32(f.data() + 22));  // the header's frame count
  if (frames < 0 || frames >= 100000) f[24] = f[25] = 0;
}
inline void NetMon1(Bytes& f) { PutText(f, 0, "RTSS"); }
inline void NetMon2(Bytes& f) { PutText(f, 0, "GMBU"); }
inline void Observer(Bytes& f) { EnsureText(f, "Observer"); }
inline void LanAnalyzer(Bytes& f) {
  if (f[0] != 0x01 && f[0] != 0x07) f[0] = (f[0] & 1) ? 0x07 : 0x01;
  ByteAt(f, 1) = 0x10;
}
inline void Da30(Bytes& f) { PutText(f, 0, "EXRS"); }
inline void Domino(Bytes& f) { PutText(f, 0, "WINC"); }
inline void LinkView(Bytes& f) {
  PutText(f, 0, "WINC");
  EnsureText(f, "LinkView PRO", 5);  // in the comment field
}

}  // namespace layout_detail

// The Digitech layout: the first kDigitechHeaderPart bytes of the input are the start of
// the header page (the page fields and the frame counts of the first pages), then every
// kDigitechPagePart bytes are the start of the next 64-KiB page.
inline constexpr size_t kDigitechPageSize = 65536;
inline constexpr size_t kDigitechHeaderPart = 8448;
inline constexpr size_t kDigitechPagePart = 8192;

inline void SpreadDigitechPages(Bytes& f) {
  Bytes file(2 * kDigitechPageSize, 0);  // the smallest buffer detection takes
  std::copy_n(f.begin(), std::min(f.size(), kDigitechHeaderPart), file.begin());
  for (size_t at = kDigitechHeaderPart, page = 1; at < f.size(); at += kDigitechPagePart, ++page) {
    const size_t n = std::min(kDigitechPagePart, f.size() - at);
    if (file.size() < page * kDigitechPageSize + n) file.resize(page * kDigitechPageSize + n);
    std::copy_n(f.begin() + long(at), n, file.begin() + long(page * kDigitechPageSize));
  }
  file[0] = 3;
  file[1] = 0x94;
  f = std::move(file);
}

struct Layout {
  const char* path;
  void (*present)(Bytes&);  // null: the bytes as they are
  TraceFormat format;       // what detection makes of the presented bytes (forcing layouts)
  const char* family;       // the reader family the layout aims at, as the run counts name it
};

// The plain layouts come first, one per extension in kPlainExtensions' order.
inline constexpr std::string_view kPlainExtensions[] = {"cap", "pkt", "tpc", "dgc", "s04", "t04", "dat", "kvd"};
inline constexpr size_t kDigitechLayout = 22;

inline constexpr Layout kLayouts[] = {
    {"trace.cap", nullptr, fmt_id::NotRecognised, "detect-cap"},
    {"trace.pkt", nullptr, fmt_id::NotRecognised, "detect-pkt"},
    {"trace.tpc", nullptr, fmt_id::NotRecognised, "detect-tpc"},
    {"trace.dgc", nullptr, fmt_id::NotRecognised, "detect-dgc"},
    {"trace.s04", nullptr, fmt_id::NotRecognised, "detect-s04"},
    {"trace.t04", nullptr, fmt_id::NotRecognised, "detect-t04"},
    {"trace.dat", nullptr, fmt_id::NotRecognised, "detect-dat"},
    {"trace.kvd", nullptr, fmt_id::SnifferDos, "detect-kvd"},
    {"trace.enc", layout_detail::Sniffer, fmt_id::SnifferDos, "SnifferDos"},
    {"trace.enc", layout_detail::SnifferCompressed, fmt_id::SnifferDos, "SnifferCompressed"},
    {"trace.cap", layout_detail::NetXRay, fmt_id::NetXRay, "NetXRay"},
    {"trace.pkt", layout_detail::EtherPeek, fmt_id::EtherPeek, "EtherPeek-pkt"},
    {"trace.tpc", layout_detail::EtherPeek, fmt_id::EtherPeek, "EtherPeek-tpc"},
    {"trace.snoop", layout_detail::Snoop, fmt_id::Snoop, "Snoop"},
    {"trace.cap", layout_detail::LanWatch, fmt_id::LanWatch, "LanWatch"},
    {"trace.cap", layout_detail::Hp, fmt_id::HpPreWin95, "HpPreWin95"},
    {"trace.dgc", layout_detail::DataGlance, fmt_id::DataGlance, "DataGlance"},
    {"trace.cap", layout_detail::FireBerd, fmt_id::FireBerd, "FireBerd"},
    {"trace.s04", layout_detail::NetLens, fmt_id::NetLens, "NetLens-s04"},
    {"trace.t04", layout_detail::NetLens, fmt_id::NetLens, "NetLens-t04"},
    {"trace.cap", layout_detail::NetMon1, fmt_id::NetMon1, "NetMon1"},
    {"trace.cap", layout_detail::NetMon2, fmt_id::NetMon2, "NetMon2"},
    {"trace.dat", SpreadDigitechPages, fmt_id::Digitech, "Digitech"},
    {"trace.cap", layout_detail::Observer, fmt_id::Observer, "Observer"},
    {"trace.tr1", layout_detail::LanAnalyzer, fmt_id::LanAnalyzer, "LanAnalyzer"},
    {"trace.cap", layout_detail::Da30, fmt_id::Da30, "Da30"},
    {"trace.cap", layout_detail::Domino, fmt_id::Domino, "Domino"},
    {"trace.cap", layout_detail::LinkView, fmt_id::LinkView, "LinkView"},
};
inline constexpr size_t kLayoutCount = std::size(kLayouts);
inline constexpr uint8_t kWalkReports = 0x80;
inline size_t LayoutIndexOf(uint8_t selector) { return (selector & 0x7f) % kLayoutCount; }
inline const Layout& LayoutOf(uint8_t selector) { return kLayouts[LayoutIndexOf(selector)]; }

// The layouts a run is kept to: all of them, or (KORVANE_FUZZ_FAMILY=NAME) those whose
// family begins with NAME: "detect" for the plain layouts, "NetMon" for both NetMon
// versions, "Sniffer" for both Sniffer DOS layouts. A selector naming a layout outside the
// group picks one inside it, so that every run of a long search reaches the family and the
// seeds of the group's own layouts keep their meaning.
class LayoutGroup {
 public:
  explicit LayoutGroup(std::string_view family = {}) {
    for (size_t i = 0; i < kLayoutCount; ++i)
      if (std::string_view(kLayouts[i].family).starts_with(family)) members_.push_back(i);
  }
  bool Empty() const { return members_.empty(); }
  const std::vector<size_t>& Members() const { return members_; }
  size_t IndexOf(uint8_t selector) const {
    const size_t wanted = LayoutIndexOf(selector);
    if (std::find(members_.begin(), members_.end(), wanted) != members_.end()) return wanted;
    return members_[(selector & 0x7f) % members_.size()];
  }

 private:
  std::vector<size_t> members_;
};

// The reader families KORVANE_FUZZ_FAMILY takes, one long search each (scripts/fuzz.sh
// --families).
inline constexpr std::string_view kFamilyGroups[] = {
    "detect",  "Sniffer",    "NetXRay", "EtherPeek", "Snoop",    "LanWatch",    "HpPreWin95", "DataGlance", "FireBerd",
    "NetLens", "NetMon",     "Digitech", "Observer", "LanAnalyzer", "Da30",    "Domino",     "LinkView"};

// The forcing layout that presents a file of this format unchanged (the writer put the
// signature there already); none for formats only the plain layouts reach.
inline std::optional<size_t> ForcingLayoutOf(TraceFormat format, std::string_view extension) {
  if (format == fmt_id::Shomiti) format = fmt_id::Snoop;  // one signature, told apart by the records
  std::optional<size_t> found;
  for (size_t i = 0; i < kLayoutCount; ++i) {
    if (!kLayouts[i].present || kLayouts[i].format != format) continue;
    if (!found || std::string_view(kLayouts[i].path).ends_with(extension)) found = i;
  }
  return found;
}
static_assert(kLayouts[kDigitechLayout].present == SpreadDigitechPages);

// The fuzz input that presents a trace file of the given extension as it is; Digitech
// buffers are packed into the Digitech layout. Nothing for an extension detection does
// not look at.
inline std::optional<Bytes> SeedFor(const Bytes& file, std::string_view extension) {
  std::string lower(extension);
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "dat") {
    Bytes seed{uint8_t(kDigitechLayout)};
    seed.insert(seed.end(), file.begin(), file.begin() + long(std::min(file.size(), kDigitechHeaderPart)));
    for (size_t page = kDigitechPageSize; page < file.size(); page += kDigitechPageSize) {
      const auto from = file.begin() + long(page);
      seed.insert(seed.end(), from, from + long(std::min(kDigitechPagePart, file.size() - page)));
    }
    while (seed.size() > 1 + kDigitechHeaderPart && seed.back() == 0) seed.pop_back();  // unused page space
    return seed;
  }
  for (size_t i = 0; i < std::size(kPlainExtensions); ++i) {
    if (kPlainExtensions[i] != lower) continue;
    Bytes seed{uint8_t(i)};
    seed.insert(seed.end(), file.begin(), file.end());
    return seed;
  }
  return std::nullopt;
}

// The same file as an input of the forcing layout of the format detection finds in it, so
// that a search kept to one family starts from that family's files. Nothing where no
// forcing layout presents the format, and for Digitech, whose seed is one already.
inline std::optional<Bytes> ForcingSeedFor(const Bytes& file, std::string_view extension) {
  MemorySource source(std::span<const uint8_t>(file.data(), file.size()));
  TraceFileInfo info;
  const std::string path = "trace." + std::string(extension);
  const auto layout = ForcingLayoutOf(DetectTraceFormat(source, path, info).format, extension);
  if (!layout || *layout == kDigitechLayout) return std::nullopt;
  Bytes seed{uint8_t(*layout)};
  seed.insert(seed.end(), file.begin(), file.end());
  return seed;
}

}  // namespace korvane::fuzz
