// The figures of the client/server grid, one result per stream of a conversation: the
// three measurement runs (latency over the whole trace, throughput of the stream's own
// direction, throughput of the partner's stream back), the counts each way, the counters
// E to I and the marks A to D the problem finder settings call for.
//
// Conversations are independent: MeasureConversations spreads them over several threads
// and gives the same figures, in the same order, whatever the number of threads.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "analysis/TraceSession.h"
#include "measure/PartnerStream.h"
#include "settings/ProblemFinderSettings.h"

namespace korvane {

// The counters of the grid's columns E to I.
enum class GridCounter { Retransmissions, LocalRouting, ZeroWindows, Resets, IcmpErrors };
inline constexpr size_t kGridCounters = 5;

struct StreamFigures {
  int32_t Stream = -1;           // index into Streams
  int32_t PartnerStation = -1;   // the other end's NetStationTree index (-1: not a station)
  bool Request = false;          // the stream runs client to server
  std::optional<double> ResponseTimeMs;           // none: "-"
  std::optional<double> ClientToServerKBps, ServerToClientKBps;  // none: too little to measure
  int64_t ClientToServerPackets = 0, ClientToServerBytes = 0;
  int64_t ServerToClientPackets = 0, ServerToClientBytes = 0;
  // Each counter's share of the grid's totals, and whether its cell shows it.
  std::array<int64_t, kGridCounters> Counters{};
  std::array<bool, kGridCounters> CounterShown{};
  std::array<bool, 4> Marks{};  // A, B, C, D
  double Duration = 0;          // microseconds
};

// One conversation (a NetPeers entry of a station) and the rows its streams give.
struct ConversationFigures {
  int32_t Station = -1, Conversation = -1;
  std::vector<StreamFigures> Rows;
};

// The figures of one conversation's streams, in stream order; streams that make no row
// (a group-addressed first packet, an unmeasurable kind, a reply without its request) are
// left out.
ConversationFigures MeasureConversation(const TraceSession& session, const ProblemFinderSettings& settings,
                                        const PartnerStreamIndex& partners, int32_t station, int32_t conversation);

// Called on the calling thread as conversations complete, with the rows of the completed
// ones; returning false stops the work (the result then holds the completed conversations
// that precede the first one left out).
using FiguresProgress = std::function<bool(size_t rowsDone)>;

// Called on the calling thread with each conversation, in the result's order, as soon as it
// and all before it are measured (while the other threads go on measuring), and never with
// one the result leaves out.
using FiguresReady = std::function<void(const ConversationFigures&)>;

// The figures of every conversation of every station that opened one (station role bit 1),
// stations in address order, conversations in chain order. `threads` 0 takes one per core.
// A caller that takes every conversation through `ready` and needs no more of it may have
// each one's rows given back as soon as `ready` returns (`keepRows` false): the result then
// lists the conversations without their rows.
std::vector<ConversationFigures> MeasureConversations(const TraceSession& session,
                                                      const ProblemFinderSettings& settings, unsigned threads = 0,
                                                      const FiguresProgress& progress = {},
                                                      const FiguresReady& ready = {}, bool keepRows = true);

}  // namespace korvane
