// Which stream of the partner answers a stream. One rule for every user of a stream pair:
// the client/server grid, the toolbox selection, the measurement and the visualiser.
//
// The answering stream is the partner's stream back to the sender that the accounting
// files under the stream's own key with the two ends exchanged:
// - TCP and UDP: the partner's stream of the same kind from the destination port to the
//   source port (each in its own port space: a UDP stream never answers a TCP one);
// - SPX, SPXII, NetBIOS, SMB and PBurst: the partner's stream from the destination
//   connection or socket to the source one, in the one space these kinds share (an SPXII
//   stream answers an SPX one on the same connection);
// - every other kind (ICMP echo, NCP, IGMP, RIP, SAP ...): the partner's stream of the same
//   kind; the accounting keeps one per conversation.
// The rule is symmetric: the partner of the partner is the stream itself.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/AnalysisTables.h"

namespace korvane {

// The partner's conversation back to the source of a forward conversation; -1 when the
// partner never sent anything to the source (a one-way conversation).
int32_t FindReturnConversation(const AnalysisTables& tables, int32_t sourceStation, int32_t forwardConversation);

// Whether `candidate`, a stream of the partner's conversation back, answers `forward`.
bool AnswersStream(const TTransHead& forward, const TTransHead& candidate);

struct PartnerLookup {
  int32_t ReturnConversation = -1;  // -1: the partner sent nothing back at all
  int32_t Stream = -1;              // -1: nothing answers this stream
  bool OneWay() const { return ReturnConversation < 0; }
};

// The partner of one stream, found by walking the partner's chains (for one selection).
// Out-of-range arguments give an empty lookup.
PartnerLookup FindPartnerStream(const AnalysisTables& tables, int32_t sourceStation, int32_t forwardConversation,
                                int32_t forwardStream);

// The partners of every stream of a trace, built in one pass over the tables (linear in
// the numbers of conversations and streams), for callers that pair many streams.
// It also lists each conversation's streams in chain order, so that callers going through
// them need not follow the chain's links (one cache miss after another in a large trace).
class PartnerStreamIndex {
 public:
  explicit PartnerStreamIndex(const AnalysisTables& tables);
  // Same answers as FindPartnerStream for a stream of the conversation.
  PartnerLookup Of(int32_t stream) const;
  // Starts fetching a stream's entry, for an Of soon after.
  void Prefetch(int32_t stream) const {
    if (stream >= 0 && size_t(stream) < partners_.size()) __builtin_prefetch(&partners_[size_t(stream)]);
  }
  // The conversation's streams, in the order of its chain; none for an unknown conversation.
  std::span<const int32_t> StreamsOf(int32_t conversation) const;

 private:
  void Answer(const AnalysisTables& tables, const std::vector<int32_t>& back, size_t from, size_t to);

  std::vector<PartnerLookup> partners_;  // per stream
  std::vector<int32_t> streamStarts_;    // per conversation, where its streams begin in streamOrder_
  std::vector<int32_t> streamOrder_;
};

}  // namespace korvane
