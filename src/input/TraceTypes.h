// The vocabulary every reader shares: format identifiers, the frame record a reader
// hands to the analyser, and the attributes of the open trace.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

using TraceFormat = uint8_t;

namespace fmt_id {
inline constexpr TraceFormat EtherPeek = 0, Agilent = 1, Digitech = 2, Fluke = 3, HpAdvisor = 4,
                             HpPreWin95 = 5, DataGlance = 6, LanDesk = 7, NetMon1 = 8, NetMon2 = 9,
                             NetXRay = 10, SnifferDos = 11, Observer = 12, LanAnalyzer = 13,
                             LanWatch = 14, Snoop = 15, Shomiti = 16, Tcpdump = 17, FireBerd = 18,
                             FireBerdPc = 19, NetLens = 20, Da30 = 21, Domino = 22, LinkView = 23,
                             AsciiText = 24, Empty = 25, NotRecognised = 26;
}

namespace topology {
inline constexpr uint8_t Ethernet = 0, TokenRing = 1, SnifferNet2 = 2, Fddi = 3, Wan = 4,
                         Undetermined = 19;
}

inline constexpr uint32_t kMaxFrameLength = 32768;
// The analyser takes header fields at fixed offsets below this, where a short or
// malformed frame claims headers longer than itself too. The read loop hands over every
// frame with zero bytes from its end (the larger of its two lengths) up to here, so that
// no field is taken from the bytes an earlier frame left in the buffer.
inline constexpr size_t kHeaderReach = 256;
inline constexpr uint16_t kCrcError = 0x8000;
inline constexpr uint16_t kAlignmentError = 0x4000;

// The single frame record: a reader fills it, the analyser reads it in place.
struct CapturedFrame {
  double TimeStamp = 0;       // microseconds since local midnight of the first frame's day
  uint16_t FrameLength = 0;   // on the wire; Ethernet includes the 4-byte check sequence
  uint16_t StoredLength = 0;  // bytes present in Data
  uint16_t Status = 0;        // kCrcError, kAlignmentError, direction bits 0 and 1
  std::array<uint8_t, kMaxFrameLength> Data{};
};

// Attributes of the open trace. Counts and positions are 64-bit so that traces of
// many gigabytes never wrap.
struct TraceFileInfo {
  std::string CurrentFileName;
  TraceFormat DetectedFormat = fmt_id::NotRecognised;
  uint8_t TopologyCode = topology::Undetermined;
  uint8_t WanEncapsulation = 8;
  int64_t FileBandwidthKnown = 0;
  int64_t FileBandwidthBps = 0;
  int32_t LineSpeedMbps = 10;
  std::string Comment;  // at most 299 bytes
  int64_t FileSize = 0;
  int64_t FilePosition = 0;
  double StartDateTime = 0;  // days since 1899-12-30 plus the fraction of a day
  int64_t StartTimeOfDay = 0;
  int32_t TimeZoneBias = 0;  // seconds: universal time minus this is local time
  int64_t FrameCounter = 0;
  int64_t FramesRead = 0;
  bool SlicedPacketsSeen = false;
  bool StopRequested = false;
  // The read ended before the file's data did: the file ends inside a record, shrank
  // while it was read, or failed to read. CutAtFrame is the frame where it ended.
  bool CutShort = false;
  int64_t CutAtFrame = 0;
  bool FirstFrameOnly = false;
  uint32_t MaxFrameLength = kMaxFrameLength;
  bool ReaderRejected = false;
  bool PcapSwapped = false;
  bool PcapExtended = false;
  bool SnifferCompressed = false;
  bool SampleTrace = false;
  // The value at offset 0 of a cyclic LANalyzer buffer record: the frame count at which
  // the analyser stops; 0 when the trace has none.
  int64_t CyclicStopFrame = 0;
};

inline constexpr size_t kCommentMax = 300;
void SetComment(TraceFileInfo& info, std::string_view text);

// Format table.
std::string_view FormatDisplayName(TraceFormat format);
std::string AnalyzerName(const TraceFileInfo& info);
std::string AnalyzerName(TraceFormat format, uint8_t topologyCode, bool pcapExtended = false);
std::string DefaultExtension(TraceFormat format, uint8_t topologyCode);
// The extensions the Open dialog offers for a format, the default one first.
std::vector<std::string> OpenedExtensions(TraceFormat format);

inline constexpr uint32_t kAcceptedFormats = 0x00F5FF65;
inline bool IsAcceptedFormat(TraceFormat format) {
  return format < 32 && ((kAcceptedFormats >> format) & 1u) != 0;
}

}  // namespace korvane
