// The format table: one entry per format slot, each exported by the file that reads (or
// at least recognises) the format. An entry holds the format's identifier, display name
// and extensions, the probe that recognises it from a file's first bytes and name, the
// header step that learns its topology and line speed, and the factory of its reader.
// Detection walks the entries in the order FormatTable.cpp lists them.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "input/ByteSource.h"
#include "input/ReadLoop.h"
#include "input/TraceTypes.h"

namespace korvane {

inline constexpr size_t kHeaderSampleSize = 200;  // bytes of a file the probes see
inline constexpr size_t kHeaderStepRead = 140;    // bytes of a file the header steps see

using HeaderSample = std::array<uint8_t, kHeaderSampleSize>;

// What a probe looks at. The sample holds the file's first 200 bytes (zeros past the
// end of a shorter file); the name is the full path upper-cased. A probe that must look
// further reads the source.
struct ProbeInput {
  ByteSource& source;
  const HeaderSample& h;
  std::string_view upperName;
  int64_t size;
};

enum class ProbeVerdict {
  Miss,           // not this format: the next entry is tried
  Match,          // this format
  NotRecognised,  // this format's magic, but a header no reader takes: detection stops
};

// A probe may set the detection flags of info (SnifferCompressed, PcapSwapped,
// PcapExtended); it reads SampleTrace.
using FormatProbe = ProbeVerdict (*)(const ProbeInput& in, TraceFileInfo& info);

// What a header step looks at: the first 140 bytes (zeros past the end of a shorter
// file), the upper-cased path and the file itself.
struct HeaderInput {
  TraceFormat format;
  ByteSource& source;
  const uint8_t* h;
  std::string_view upperName;
  std::string_view path;
};

struct HeaderTopology {
  uint8_t topology = topology::Undetermined;
  int64_t bps = 0;  // 0: the default of the topology
};

// Fills Comment and WanEncapsulation of info where the format records them.
using HeaderStep = HeaderTopology (*)(const HeaderInput& in, TraceFileInfo& info);

using ReaderFactory = std::unique_ptr<TraceReader> (*)(ReaderContext& context);

// The default extensions of a format by topology; an empty one falls back to Ethernet's.
// The Open dialog offers the Ethernet and Token Ring ones, and alsoOpened.
struct FormatExtensions {
  std::string_view ethernet = {};
  std::string_view tokenRing = {};
  std::string_view fddi = {};
  std::string_view other = {};
  std::string_view alsoOpened = {};
};

struct FormatEntry {
  TraceFormat id;
  std::string_view name;
  FormatExtensions extensions;
  FormatProbe probe = nullptr;      // null: never detected
  HeaderStep header = nullptr;      // null: the topology stays undetermined
  ReaderFactory factory = nullptr;  // null: detected and named, but not read
};

// The entries in detection order: the first probe that does not miss decides.
std::span<const FormatEntry* const> DetectionOrder();
// The entry of a format slot, or null for an identifier outside the 27 slots.
const FormatEntry* FindFormatEntry(TraceFormat format);

// Tests the probes share.
inline bool SampleBeginsWith(const HeaderSample& h, std::string_view text) {
  return std::memcmp(h.data(), text.data(), text.size()) == 0;
}
inline bool SampleHas(const HeaderSample& h, std::string_view text) {
  return std::search(h.begin(), h.end(), text.begin(), text.end()) != h.end();
}
inline bool NameHas(std::string_view upperName, std::string_view text) {
  return upperName.find(text) != std::string_view::npos;
}

// The entries, one or more per reader file. They are constant-initialised, so the
// table may point at them from any translation unit.
extern const FormatEntry kSnifferDosEntry;    // Sniffer.cpp
extern const FormatEntry kTcpdumpEntry;       // Tcpdump.cpp
extern const FormatEntry kLanAnalyzerEntry;   // LanAnalyzer.cpp
extern const FormatEntry kLanDeskEntry;       // LanDesk.cpp
extern const FormatEntry kDa30Entry;          // Da30.cpp
extern const FormatEntry kLanWatchEntry;      // LanWatch.cpp
extern const FormatEntry kHpPreWin95Entry;    // Hp.cpp
extern const FormatEntry kDataGlanceEntry;    // DataGlance.cpp
extern const FormatEntry kNetLensEntry;       // Ttc.cpp
extern const FormatEntry kFireBerdEntry;      // Ttc.cpp
extern const FormatEntry kNetMon1Entry;       // NetMon.cpp
extern const FormatEntry kNetMon2Entry;       // NetMon.cpp
extern const FormatEntry kDigitechEntry;      // Digitech.cpp
extern const FormatEntry kObserverEntry;      // Observer.cpp
extern const FormatEntry kEtherPeekEntry;     // EtherPeek.cpp
extern const FormatEntry kShomitiEntry;       // Snoop.cpp
extern const FormatEntry kSnoopEntry;         // Snoop.cpp
extern const FormatEntry kLinkViewEntry;      // Domino.cpp
extern const FormatEntry kDominoEntry;        // Domino.cpp
extern const FormatEntry kNetXRayEntry;       // NetXRay.cpp

}  // namespace korvane
