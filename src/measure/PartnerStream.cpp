#include "measure/PartnerStream.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "analysis/FlatIndex.h"
#include "analysis/FrameAnalyser.h"
#include "analysis/SideBySide.h"

namespace korvane {

namespace {

// A stream's key within its conversation, and the key of the stream that answers it: its
// own with the two ends exchanged, taken in the conversation back.
uint64_t OwnKey(const TTransHead& stream) { return StreamPortsKey(stream.Kind, stream.SourcePort, stream.DestPort); }
uint64_t MirroredKey(const TTransHead& forward) {
  return StreamPortsKey(forward.Kind, forward.DestPort, forward.SourcePort);
}

struct KeyHash {
  size_t operator()(uint64_t k) const noexcept { return MixBits(k); }
};

}  // namespace

int32_t FindReturnConversation(const AnalysisTables& tables, int32_t sourceStation, int32_t forwardConversation) {
  if (sourceStation < 0 || size_t(sourceStation) >= tables.NetStationTree.size() || forwardConversation < 0 ||
      size_t(forwardConversation) >= tables.NetPeers.size())
    return -1;
  const int32_t partner = tables.NetStationTree.Find(tables.NetPeers[size_t(forwardConversation)].DestAddress);
  if (partner < 0) return -1;
  const AddressKey& source = tables.NetStationTree[sourceStation].Address;
  for (int32_t peer = tables.NetStationTree[partner].FirstNetPeer; peer >= 0; peer = tables.NetPeers[size_t(peer)].Next)
    if (tables.NetPeers[size_t(peer)].DestAddress == source) return peer;
  return -1;
}

bool AnswersStream(const TTransHead& forward, const TTransHead& candidate) {
  return MirroredKey(forward) == OwnKey(candidate);
}

PartnerLookup FindPartnerStream(const AnalysisTables& tables, int32_t sourceStation, int32_t forwardConversation,
                                int32_t forwardStream) {
  PartnerLookup found;
  if (forwardStream < 0 || size_t(forwardStream) >= tables.Streams.size()) return found;
  found.ReturnConversation = FindReturnConversation(tables, sourceStation, forwardConversation);
  if (found.OneWay()) return found;
  const TTransHead& forward = tables.Streams[size_t(forwardStream)];
  for (int32_t k = tables.NetPeers[size_t(found.ReturnConversation)].FirstStream; k >= 0;
       k = tables.Streams[size_t(k)].Next) {
    if (AnswersStream(forward, tables.Streams[size_t(k)])) {
      found.Stream = k;
      break;
    }
  }
  return found;
}

namespace {
// From this many streams on, the index is built on two threads.
constexpr size_t kTwoThreadStreams = size_t(1) << 16;

// Each conversation's streams in chain order: `starts` (one per conversation and one more)
// into `order`. The accounting appends every new stream to the end of its conversation's
// chain, so a chain lists the conversation's streams by increasing index: they are sorted
// into place in two passes over the streams, and the chains checked against the result
// in a third. Tables whose chains are made otherwise are listed by walking the chains.
void ListStreams(const AnalysisTables& tables, std::vector<int32_t>& starts, std::vector<int32_t>& order) {
  const size_t peers = tables.NetPeers.size(), streams = tables.Streams.size();
  starts.assign(peers + 1, 0);
  order.assign(streams, -1);
  bool sorted = true;
  for (const TTransHead& stream : tables.Streams) {
    if (stream.Peer < 0 || size_t(stream.Peer) >= peers) {
      sorted = false;
      break;
    }
    ++starts[size_t(stream.Peer) + 1];
  }
  if (sorted) {
    for (size_t p = 0; p < peers; ++p) starts[p + 1] += starts[p];
    std::vector<int32_t> fill(starts.begin(), starts.end() - 1);
    for (size_t k = 0; k < streams; ++k) order[size_t(fill[size_t(tables.Streams[k].Peer)]++)] = int32_t(k);
    for (size_t p = 0; p < peers && sorted; ++p)
      sorted = tables.NetPeers[p].FirstStream == (starts[p] < starts[p + 1] ? order[size_t(starts[p])] : -1);
    std::copy(starts.begin(), starts.end() - 1, fill.begin());
    for (size_t k = 0; k < streams && sorted; ++k) {
      const size_t p = size_t(tables.Streams[k].Peer), at = size_t(fill[p]++);
      sorted = tables.Streams[k].Next == (at + 1 < size_t(starts[p + 1]) ? order[at + 1] : -1);
    }
  }
  if (sorted) return;
  // A stream reached twice (a chain that loops or joins another) ends its chain.
  std::vector<bool> listed(streams, false);
  order.clear();
  for (size_t p = 0; p < peers; ++p) {
    starts[p] = int32_t(order.size());
    for (int32_t k = tables.NetPeers[p].FirstStream; k >= 0 && size_t(k) < streams && !listed[size_t(k)];
         k = tables.Streams[size_t(k)].Next) {
      listed[size_t(k)] = true;
      order.push_back(k);
    }
  }
  starts[peers] = int32_t(order.size());
}
}  // namespace

// Answers the streams of conversations [from, to) from their conversations back: for each,
// the streams back are filed under their own keys in a small table of this thread's, and
// each stream looks up its mirrored key there. The table is as large as the longest list
// needs and never cleared: a slot counts only for the conversation that stamped it.
void PartnerStreamIndex::Answer(const AnalysisTables& tables, const std::vector<int32_t>& back, size_t from,
                                size_t to) {
  struct Slot {
    uint64_t key = 0;
    int32_t stream = -1, stamp = -1;
  };
  size_t longest = 0;
  for (size_t c = from; c < to; ++c)
    if (back[c] >= 0) longest = std::max(longest, StreamsOf(back[c]).size());
  std::vector<Slot> table(std::bit_ceil(std::max<size_t>(16, 2 * longest)));
  auto probe = [&table](uint64_t key, size_t mask, int32_t stamp) -> Slot& {
    for (size_t at = MixBits(key) & mask;; at = (at + 1) & mask)
      if (table[at].stamp != stamp || table[at].key == key) return table[at];
  };
  constexpr size_t kAhead = 8;
  auto fetchAhead = [&tables](std::span<const int32_t> list, size_t j) {
    if (j + kAhead < list.size()) __builtin_prefetch(&tables.Streams[size_t(list[j + kAhead])]);
  };
  for (size_t c = from; c < to; ++c) {
    const std::span<const int32_t> streams = StreamsOf(int32_t(c));
    const int32_t returning = back[c];
    if (returning < 0) {
      for (int32_t k : streams) partners_[size_t(k)] = PartnerLookup{};
      continue;
    }
    const std::span<const int32_t> answers = StreamsOf(returning);
    const size_t mask = std::bit_ceil(std::max<size_t>(16, 2 * answers.size())) - 1;
    const auto stamp = int32_t(c);
    for (size_t j = 0; j < answers.size(); ++j) {
      fetchAhead(answers, j);
      const uint64_t key = OwnKey(tables.Streams[size_t(answers[j])]);
      Slot& slot = probe(key, mask, stamp);
      if (slot.stamp != stamp) slot = Slot{key, answers[j], stamp};  // the first of a key in chain order wins
    }
    for (size_t j = 0; j < streams.size(); ++j) {
      fetchAhead(streams, j);
      const Slot& slot = probe(MirroredKey(tables.Streams[size_t(streams[j])]), mask, stamp);
      partners_[size_t(streams[j])] = PartnerLookup{returning, slot.stamp == stamp ? slot.stream : -1};
    }
  }
}

PartnerStreamIndex::PartnerStreamIndex(const AnalysisTables& tables) : partners_(tables.Streams.size()) {
  const bool twoThreads = tables.Streams.size() >= kTwoThreadStreams;
  const auto& stations = tables.NetStationTree;
  const size_t conversations = tables.NetPeers.size();
  std::vector<int32_t> owner(conversations, -1), partner(conversations, -1);
  FlatIndex<uint64_t, KeyHash> byPair;
  auto pairKey = [](int32_t from, int32_t to) { return (uint64_t(uint32_t(from)) << 32) | uint32_t(to); };
  RunSideBySide(
      twoThreads,
      [&] {
        // The station each conversation belongs to, and the conversations by (owner, partner).
        byPair.Reserve(conversations);
        for (size_t station = 0; station < stations.size(); ++station) {
          for (int32_t peer = stations[int32_t(station)].FirstNetPeer; peer >= 0;
               peer = tables.NetPeers[size_t(peer)].Next) {
            owner[size_t(peer)] = int32_t(station);
            partner[size_t(peer)] = stations.Find(tables.NetPeers[size_t(peer)].DestAddress);
            if (partner[size_t(peer)] >= 0 && byPair.Find(pairKey(int32_t(station), partner[size_t(peer)])) < 0)
              byPair.Insert(pairKey(int32_t(station), partner[size_t(peer)]), peer);
          }
        }
      },
      [&] { ListStreams(tables, streamStarts_, streamOrder_); });

  // The conversation back of each conversation, then each stream's answer: conversations
  // are answered independently, those holding half of the streams on each thread.
  std::vector<int32_t> back(conversations, -1);
  for (size_t peer = 0; peer < conversations; ++peer)
    if (owner[peer] >= 0 && partner[peer] >= 0) back[peer] = byPair.Find(pairKey(partner[peer], owner[peer]));
  const auto middle = size_t(std::lower_bound(streamStarts_.begin(), streamStarts_.end() - 1, streamStarts_.back() / 2) -
                             streamStarts_.begin());
  RunSideBySide(
      twoThreads, [&] { Answer(tables, back, 0, middle); }, [&] { Answer(tables, back, middle, conversations); });
}

std::span<const int32_t> PartnerStreamIndex::StreamsOf(int32_t conversation) const {
  if (conversation < 0 || size_t(conversation) + 1 >= streamStarts_.size()) return {};
  return std::span<const int32_t>(streamOrder_)
      .subspan(size_t(streamStarts_[size_t(conversation)]),
               size_t(streamStarts_[size_t(conversation) + 1] - streamStarts_[size_t(conversation)]));
}

PartnerLookup PartnerStreamIndex::Of(int32_t stream) const {
  return stream >= 0 && size_t(stream) < partners_.size() ? partners_[size_t(stream)] : PartnerLookup{};
}

}  // namespace korvane
