#include "analysis/PacketLayout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <stdexcept>
#include <utility>
#include <vector>

#include "analysis/RecordList.h"
#include "analysis/SideBySide.h"

namespace korvane {

static_assert(sizeof(TPacket) <= 64, "a packet record stays within one cache line");

namespace {

// While the records are moved, each one carries its destination in its Next field (the
// forward links are made afresh afterwards).
int32_t& Destination(TPacket& p) { return p.Next; }

constexpr size_t kDigitBits = 8, kDirect = size_t(1) << kDigitBits;
// From this many records on, the records are moved on two threads.
constexpr size_t kTwoThreadRecords = size_t(1) << 20;

// Moves the records of [lo, hi) to their destinations, which are exactly the places
// lo..hi-1. Small ranges follow the permutation's cycles directly; larger ones are first
// split into up to 256 blocks, each record moved into the block that holds its destination
// (one swap settles one record; the 256 block fronts advance through memory in order, so
// the moves stay in the caches), and then each block is handled alike. A few passes over
// the records in all, instead of one cache miss per record.
void MoveToDestinations(TPacket* records, size_t lo, size_t hi) {
  if (hi - lo <= kDirect) {
    for (size_t i = lo; i < hi; ++i)
      while (size_t(Destination(records[i])) != i) std::swap(records[i], records[size_t(Destination(records[i]))]);
    return;
  }
  const unsigned shift = unsigned(std::bit_width(hi - lo - 1)) - kDigitBits;
  const size_t blocks = ((hi - lo - 1) >> shift) + 1;
  std::array<size_t, kDirect + 1> front{}, end{};
  for (size_t b = 0; b < blocks; ++b) {
    front[b] = lo + (b << shift);
    end[b] = std::min(hi, front[b] + (size_t(1) << shift));
  }
  for (size_t b = 0; b < blocks; ++b) {
    while (front[b] < end[b]) {
      TPacket& here = records[front[b]];
      const size_t home = (size_t(Destination(here)) - lo) >> shift;
      if (home == b) {
        ++front[b];
      } else {
        std::swap(here, records[front[home]++]);
        // That block's next record is wanted when a record for it comes up again, some
        // hundred moves on: fetched now, it is there by then.
        __builtin_prefetch(&records[front[home]], 1);
      }
    }
  }
  // Each block now holds exactly its own records: the blocks are settled independently.
  for (size_t b = 0; b < blocks; ++b) {
    const size_t from = lo + (b << shift);
    MoveToDestinations(records, from, std::min(hi, from + (size_t(1) << shift)));
  }
}

// The same on two threads: first the records bound for the first half and lying in the
// second change places pairwise with those bound for the second half and lying in the
// first (each thread finds one half's, then swaps half of the pairs), then each thread
// settles one half.
void MoveToDestinationsOnTwoThreads(TPacket* records, size_t count) {
  const size_t middle = count / 2;
  // In the first half bound for the second, and the reverse: millions of places, in lists
  // that grow without copies and map their pages a chunk at a time.
  RecordList<uint32_t> boundRight, boundLeft;
  RunSideBySide(
      true,
      [&] {
        for (size_t i = 0; i < middle; ++i)
          if (size_t(Destination(records[i])) >= middle) boundRight.push_back(uint32_t(i));
      },
      [&] {
        for (size_t i = middle; i < count; ++i)
          if (size_t(Destination(records[i])) < middle) boundLeft.push_back(uint32_t(i));
      });
  // Both halves hold exactly their own number of records, so the two lists are as long.
  if (boundRight.size() != boundLeft.size()) throw std::logic_error("packet record destinations are not a permutation");
  const size_t pairs = boundRight.size();
  auto exchange = [&](size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) std::swap(records[boundRight[k]], records[boundLeft[k]]);
  };
  RunSideBySide(true, [&] { exchange(0, pairs / 2); }, [&] { exchange(pairs / 2, pairs); });
  boundRight = RecordList<uint32_t>();
  boundLeft = RecordList<uint32_t>();
  RunSideBySide(true, [&] { MoveToDestinations(records, 0, middle); }, [&] { MoveToDestinations(records, middle, count); });
}

}  // namespace

void LayOutPacketsByStream(AnalysisTables& tables, std::span<const uint8_t> marks) {
  auto& packets = tables.PacketList;
  const size_t count = packets.size();
  if (count == 0) return;
  // The new place of every record: each stream's records together, streams in index order,
  // a stream's records in the order they were recorded (its chain order but for the rare
  // record inserted behind a later one, which the renumbered links still put in place).
  // The streams' counts of packets, gap markers and ICMP reports (one record each) make the
  // starts; a list not made by the analyser (whose counts do not add up) is counted here.
  const size_t streams = tables.Streams.size();
  auto streamOf = [&](const TPacket& p) { return p.Stream >= 0 && size_t(p.Stream) < streams ? size_t(p.Stream) : streams; };
  std::vector<int32_t> start(streams + 2, 0);
  size_t counted = 0;
  for (size_t k = 0; k < streams; ++k) {
    const TTransHead& s = tables.Streams[k];
    start[k + 1] = int32_t(s.PacketCount + s.GapMarkers + s.IcmpReports);
    counted += size_t(start[k + 1]);
  }
  if (counted != count) {
    std::fill(start.begin(), start.end(), 0);
    for (const TPacket& p : packets) ++start[streamOf(p) + 1];
  }
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];

  // Destinations and the backward links renumbered in one pass: a record's predecessor
  // almost always comes before it, and recently. The few that come after it (records an
  // ICMP report was inserted before) are renumbered once every destination is known.
  const std::vector<int32_t> begins = start;
  std::vector<size_t> linkedForward;
  constexpr uint32_t kRoleMarks = packet_flag::Request | packet_flag::Reply;
  for (size_t i = 0; i < count; ++i) {
    TPacket& p = packets[i];
    const size_t stream = streamOf(p);
    Destination(p) = start[stream]++;
    if (stream < marks.size() && marks[stream] != 0) p.Flags = (p.Flags & ~kRoleMarks) | marks[stream];
    if (p.Prev < 0) continue;
    if (size_t(p.Prev) < i)
      p.Prev = Destination(packets[size_t(p.Prev)]);
    else
      linkedForward.push_back(i);
  }
  // Every stream must have filled its places exactly, or the moves below would not end.
  for (size_t k = 0; k <= streams; ++k)
    if (start[k] != begins[k + 1]) throw std::logic_error("packet records and stream record counts disagree");
  start = {};
  auto moved = [&](int32_t index) { return index < 0 ? index : Destination(packets[size_t(index)]); };
  for (size_t i : linkedForward) packets[i].Prev = moved(packets[i].Prev);
  for (TTransHead& stream : tables.Streams) {
    stream.FirstPacket = moved(stream.FirstPacket);
    stream.LastPacket = moved(stream.LastPacket);
  }
  if (count >= kTwoThreadRecords)
    MoveToDestinationsOnTwoThreads(packets.data(), count);
  else
    MoveToDestinations(packets.data(), 0, count);

  // The forward links, from the backward ones: mostly to the neighbouring record now. In
  // one pass, on two threads for a long list, each linking within its own half; a link
  // from the other half, or from a record that comes later in the list (one an ICMP report
  // was inserted before), is made once every record's own link has been cleared.
  using Link = std::pair<int32_t, int32_t>;  // from, to
  auto link = [&packets](size_t from, size_t to, std::vector<Link>& later) {
    for (size_t i = from; i < to; ++i) {
      packets[i].Next = -1;
      const int32_t prev = packets[i].Prev;
      if (prev < 0) continue;
      if (size_t(prev) >= from && size_t(prev) < i)
        packets[size_t(prev)].Next = int32_t(i);
      else
        later.emplace_back(prev, int32_t(i));
    }
  };
  std::vector<Link> laterFirst, laterSecond;
  if (count >= kTwoThreadRecords)
    RunSideBySide(true, [&] { link(0, count / 2, laterFirst); }, [&] { link(count / 2, count, laterSecond); });
  else
    link(0, count, laterFirst);
  for (const auto& later : {&laterFirst, &laterSecond})
    for (const auto& [from, to] : *later) packets[size_t(from)].Next = to;
}

}  // namespace korvane
