// Intel LANDesk/NetSight files are recognised and named, so that opening one says plainly
// that it is not analysed; their records are not read.
#include "input/Endian.h"
#include "input/FormatTable.h"

namespace korvane {

namespace {

// A guess: an end-of-text mark somewhere in the sample, the media code and the name.
constexpr std::string_view kLanDeskMark{"\x1A\x00", 2};
constexpr size_t kMediaOffset = 40;  // 16-bit: 1 Ethernet, 3 Token Ring
constexpr std::string_view kLanDeskName = ".CAP";

ProbeVerdict ProbeLanDesk(const ProbeInput& in, TraceFileInfo&) {
  const uint8_t media = in.h[kMediaOffset];
  const bool match = SampleHas(in.h, kLanDeskMark) && (media == 1 || media == 3) &&
                     NameHas(in.upperName, kLanDeskName);
  return match ? ProbeVerdict::Match : ProbeVerdict::Miss;
}

HeaderTopology LanDeskHeader(const HeaderInput& in, TraceFileInfo&) {
  HeaderTopology t;
  if (Le16(in.h + kMediaOffset) == 1) t.topology = topology::Ethernet;
  else if (Le16(in.h + kMediaOffset) == 3) t.topology = topology::TokenRing;
  return t;
}

}  // namespace

constinit const FormatEntry kLanDeskEntry{fmt_id::LanDesk, "Intel LANDesk/NetSight", {".cap"},
                                          ProbeLanDesk, LanDeskHeader};

}  // namespace korvane
