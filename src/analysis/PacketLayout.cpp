#include "analysis/PacketLayout.h"

#include <utility>
#include <vector>

namespace korvane {

static_assert(sizeof(TPacket) <= 64, "a packet record stays within one cache line");

void LayOutPacketsByStream(AnalysisTables& tables) {
  auto& packets = tables.PacketList;
  const size_t count = packets.size();
  if (count == 0) return;
  // The new place of every record: each stream's records together, streams in index order,
  // a stream's records in the order they were recorded (its chain order but for the rare
  // record inserted behind a later one, which the renumbered links still put in place).
  const size_t streams = tables.Streams.size();
  auto streamOf = [&](const TPacket& p) { return p.Stream >= 0 && size_t(p.Stream) < streams ? size_t(p.Stream) : streams; };
  std::vector<int32_t> start(streams + 2, 0);
  for (const TPacket& p : packets) ++start[streamOf(p) + 1];
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  std::vector<int32_t> place(count);
  for (size_t i = 0; i < count; ++i) place[i] = start[streamOf(packets[i])]++;
  start = {};

  auto moved = [&](int32_t index) { return index < 0 ? index : place[size_t(index)]; };
  for (TPacket& p : packets) p.Prev = moved(p.Prev);
  for (TTransHead& stream : tables.Streams) {
    stream.FirstPacket = moved(stream.FirstPacket);
    stream.LastPacket = moved(stream.LastPacket);
  }
  // Apply the permutation in place, one cycle at a time.
  for (size_t i = 0; i < count; ++i) {
    while (place[i] != int32_t(i)) {
      const size_t target = size_t(place[i]);
      std::swap(packets[i], packets[target]);
      std::swap(place[i], place[target]);
    }
  }
  // The forward links, from the backward ones: mostly to the neighbouring record now.
  for (TPacket& p : packets) p.Next = -1;
  for (size_t i = 0; i < count; ++i)
    if (packets[i].Prev >= 0) packets[size_t(packets[i].Prev)].Next = int32_t(i);
}

}  // namespace korvane
