#include "input/FormatTable.h"

namespace korvane {

namespace {

// Detection order. Each probe is small and the first that does not miss decides, so the
// order is part of the rule. Signatures come first and guesses from the name last, but
// where a file can match both a guess and a later test, the order says which format it
// is and stays as files have always been recognised: the LANDesk, DataGLANce, NetLens
// and Digitech guesses come before the signatures and "contains" tests listed after
// them. EtherPeek's version byte 6 or 7 excludes every signature, so it is tried last.
constexpr std::array<const FormatEntry*, 20> kDetectionOrder = {
    &kSnifferDosEntry,   // sample trace by name; "TRS" or "KVX"
    &kTcpdumpEntry,      // the four tcpdump magics (a version below 2 stops detection)
    &kLanAnalyzerEntry,  // first record type 0x1001 or 0x1007
    &kLanDeskEntry,      // guess: 0x1A 0x00 somewhere, a media byte, ".CAP" in the name
    &kDa30Entry,         // "EXRS"
    &kLanWatchEntry,     // "PKTDMP"
    &kHpPreWin95Entry,   // "HPDATA0" anywhere in the sample
    &kDataGlanceEntry,   // guess: media and flag bytes, ".DGC" in the name
    &kNetLensEntry,      // guess: "D", a small count, ".S04" or ".T04" in the name
    &kFireBerdEntry,     // "ProbeApps" anywhere in the sample
    &kNetMon1Entry,      // "RTSS"
    &kNetMon2Entry,      // "GMBU"
    &kDigitechEntry,     // guess: 0x03 0x94, at least 128 KiB, ".DAT" in the name
    &kObserverEntry,     // "Observer" anywhere in the sample
    &kShomitiEntry,      // "snoop" with a record trailer
    &kSnoopEntry,        // "snoop"
    &kLinkViewEntry,     // "WINC" and "LinkView PRO"
    &kDominoEntry,       // "WINC"
    &kNetXRayEntry,      // "XCP"
    &kEtherPeekEntry,    // guess: version byte 6 or 7, ".PKT" or ".TPC" in the name
};

// Slots that are named but never detected.
constexpr FormatEntry kAgilentEntry{fmt_id::Agilent, "Agilent LAN Analyzer", {".cap"}};
constexpr FormatEntry kFlukeEntry{fmt_id::Fluke, "Fluke Protocol Inspector", {".cap"}};
constexpr FormatEntry kHpAdvisorEntry{fmt_id::HpAdvisor, "HP Internet Advisor", {".dat"}};
constexpr FormatEntry kFireBerdPcEntry{fmt_id::FireBerdPc, "TTC FireBerd 500 PC", {".cap"}};
constexpr FormatEntry kAsciiTextEntry{fmt_id::AsciiText, "ASCII Text", {".txt"}};
constexpr FormatEntry kEmptyEntry{fmt_id::Empty, "", {}};
constexpr FormatEntry kNotRecognisedEntry{fmt_id::NotRecognised, "", {}};

constexpr std::array<const FormatEntry*, 7> kNamedOnly = {
    &kAgilentEntry, &kFlukeEntry,     &kHpAdvisorEntry,     &kFireBerdPcEntry,
    &kAsciiTextEntry, &kEmptyEntry, &kNotRecognisedEntry,
};

}  // namespace

std::span<const FormatEntry* const> DetectionOrder() { return kDetectionOrder; }

const FormatEntry* FindFormatEntry(TraceFormat format) {
  for (const FormatEntry* entry : kDetectionOrder)
    if (entry->id == format) return entry;
  for (const FormatEntry* entry : kNamedOnly)
    if (entry->id == format) return entry;
  return nullptr;
}

}  // namespace korvane
