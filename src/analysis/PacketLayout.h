// The packet records laid out stream by stream once the read is over, so that walking a
// stream reads consecutive records instead of jumping through a list that interleaves
// every stream of the trace.
#pragma once

#include <cstdint>
#include <span>

#include "analysis/AnalysisTables.h"

namespace korvane {

// Reorders PacketList so that each stream's records follow one another, streams in index
// order (records of no stream keep their order, at the end). Every Prev, FirstPacket and
// LastPacket is renumbered to match, and the Next links are made from the Prev ones (during
// the read only the backward links are kept): each chain visits the same records, with the
// same contents, in the same order. Linear in the number of records and in place: a few
// cache-friendly passes over the records, and one int32 per stream while it runs.
// `marks`, when given, holds one entry per stream: a non-zero entry (packet_flag::Request
// or packet_flag::Reply) replaces those two marks on every record of the stream, on the way.
void LayOutPacketsByStream(AnalysisTables& tables, std::span<const uint8_t> marks = {});

}  // namespace korvane
