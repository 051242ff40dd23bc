#include "analysis/FrameAnalyser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "analysis/PacketLayout.h"
#include "input/Endian.h"
#include "input/TimeConv.h"

namespace korvane {

double RoundEven(double value) { return std::nearbyint(value); }

namespace {
constexpr uint16_t kNetBiosPorts[] = {137, 138, 139};
constexpr uint16_t kNetBiosIpxSocket = 0x0455;

uint16_t WordAt(const CapturedFrame& frame, size_t offset) {
  return offset + 1 < frame.Data.size() ? Be16(frame.Data.data() + offset) : 0;
}
}  // namespace

uint8_t EtherTypeCategory(uint16_t type, const CapturedFrame& frame, uint32_t netOffset) {
  const size_t header = netOffset - 1;  // first byte of the network header
  switch (type) {
    case 0x0600: case 0x0601: case 0x0807: return category::Xns;
    case 0x0800: {
      uint16_t port = WordAt(frame, header + 20);
      return std::find(std::begin(kNetBiosPorts), std::end(kNetBiosPorts), port) != std::end(kNetBiosPorts)
                 ? category::NetBiosIp
                 : category::Ip;
    }
    case 0x0806: case 0x8035: return category::Arp;
    case 0x0BAD: return category::Vines;
    case 0x6004: return category::Lat;
    case 0x6007: return category::Lavc;
    case 0x8038: return category::Bpdu;
    case 0x809B: case 0x80F2: case 0x80F3: case 0x80F4: return category::Appletalk;
    case 0x8137: return WordAt(frame, header + 16) == kNetBiosIpxSocket ? category::NetBiosIpx : category::Ipx;
    case 0x9000: return category::Decnet;
    default:
      if ((type >= 0x6000 && type <= 0x6009) || (type >= 0x8039 && type <= 0x8042)) return category::Decnet;
      return category::Other;
  }
}

uint8_t SapCategory(uint8_t dsap, const CapturedFrame& frame, uint32_t netOffset) {
  const size_t llc = netOffset - 4;  // DSAP, SSAP, control precede the network header
  switch (dsap) {
    case 0x03: case 0x04: case 0x05: case 0x08: case 0x0C: return category::Sna;
    case 0x06: return category::Ip;
    case 0x10: return WordAt(frame, llc + 3 + 16) == kNetBiosIpxSocket ? category::NetBiosIpx : category::Ipx;
    case 0x20: case 0x34: case 0xEC: case 0xFE: return category::Iso;
    case 0x42: return category::Bpdu;
    case 0x80: return category::Xns;
    case 0x98: return category::Arp;
    case 0xBC: return category::Vines;
    case 0xE0: return frame.Data[llc + 2] == 0x03 ? category::Ipx : category::Other;
    case 0xF0: case 0xF1: return category::NetBiosLlc;
    default: return category::Other;
  }
}

bool IsGroupAddress(const AddressKey& key, uint8_t topologyCode) {
  return topologyCode == topology::TokenRing ? (key.bytes[0] & 0x80) != 0 : (key.bytes[0] & 0x01) != 0;
}

void FrameAnalyser::BeginTrace(bool firstFrameOnly) {
  tables_.MediaCapacity = MediaCapacityFor(info_.LineSpeedMbps);
  tables_.Reset();
  lastFragmentFrame_ = -2;
  previousTime_ = lastSampleTime_ = 0;
  ipIdCache_ = {};
  ipIdPosition_ = 0;
  tokenRing_ = info_.TopologyCode == topology::TokenRing;
  dlcPeerIndex_.Clear();
  netStationNumbers_.Clear();
  netPeerIndex_.Clear();
  flowIndex_.Clear();
  netStationsNumbered_ = peersNumbered_ = streamsNumbered_ = 0;
  // A whole trace can take millions of packet records: their pages are mapped ahead.
  tables_.PacketList.WarmAhead(!firstFrameOnly);
  if (!firstFrameOnly && nameFiles_) ImportNameFiles(tables_.Names, info_.DetectedFormat, info_.TopologyCode, *nameFiles_);
}

void FrameAnalyser::EndTrace(bool fullRead) {
  CloseInterval();
  tables_.PacketList.WarmAhead(false);
  if (streamWalks_) LayOutPacketsByStream(tables_, fullRead ? ServerPortMarks() : std::vector<uint8_t>{});
  if (!fullRead) {
    std::copy_n(ownFrame_.Data.begin(), tables_.FirstFrameCopy.size(), tables_.FirstFrameCopy.begin());
  }
  frame_ = &ownFrame_;  // the loop's buffers are gone once the read is over
  progress_.elapsedMicros.store(tables_.TraceElapsed, std::memory_order_relaxed);
}

void FrameAnalyser::AdvanceClock(int64_t frameCounter) {
  const double now = facts_->TimeStamp;
  if (frameCounter == 1) {
    tables_.TraceElapsed = 0;
    previousTime_ = lastSampleTime_ = now;
    return;
  }
  auto since = [now](double before) { return before > now ? kMicrosPerDay - before + now : now - before; };
  tables_.TraceElapsed += since(previousTime_);
  previousTime_ = now;
  if (since(lastSampleTime_) >= kSampleIntervalMicros) {
    CloseInterval();
    lastSampleTime_ = now;
  }
}

void FrameAnalyser::CloseInterval() {
  AnalysisTables& t = tables_;
  IntervalAccumulators& in = t.Interval;
  UtilisationSummary& u = t.Utilisation;
  const double capacity = double(t.MediaCapacity);
  const int64_t overhead = info_.TopologyCode == topology::TokenRing ? 1 : 20;

  t.IntervalCount += 1;
  t.CumulativeBytes += double(in.Bytes);
  t.CumulativeBroadcastBytes += double(in.BroadcastBytes);
  t.CumulativeMulticastBytes += double(in.MulticastBytes);

  // Held in 16 bits by design; a link overrun beyond that saturates instead of wrapping.
  auto percent16 = [](double v) { return int64_t(std::clamp(RoundEven(v), 0.0, 65535.0)); };
  int64_t utilisation = percent16(double(in.Frames * overhead + in.Bytes) / capacity * 100.0);
  int64_t broadcast = percent16(double(in.BroadcastFrames * overhead + in.BroadcastBytes) * 100.0 / capacity);

  u.AverageUtilisation = int64_t(RoundEven(t.CumulativeBytes / capacity / double(t.IntervalCount) * 100.0));
  u.AverageGroupUtilisation = int64_t(RoundEven(
      ((t.CumulativeBroadcastBytes + t.CumulativeMulticastBytes) +
       double((t.Stats.BroadcastFrames + t.Stats.MulticastFrames) * overhead)) *
      100.0 / capacity / double(t.IntervalCount)));

  u.PeakIntervalBytes = std::max(u.PeakIntervalBytes, in.Bytes);
  u.PeakGroupIntervalBytes = std::max(u.PeakGroupIntervalBytes, in.BroadcastBytes + in.MulticastBytes);
  u.PeakIntervalFrames = std::max(u.PeakIntervalFrames, in.Frames);
  u.PeakGroupIntervalFrames = std::max(u.PeakGroupIntervalFrames, in.BroadcastFrames + in.MulticastFrames);
  u.PeakUtilisation = std::max(u.PeakUtilisation, utilisation);
  u.PeakBroadcastUtilisation = std::max(u.PeakBroadcastUtilisation, broadcast);

  in = IntervalAccumulators{};
  if (t.Stats.FramesAnalysed > 0)
    t.Stats.AverageFrameSize = int64_t(RoundEven(t.CumulativeBytes / double(t.Stats.FramesAnalysed)));
}

void FrameAnalyser::CountGroup(bool broadcast) {
  GlobalStats& s = tables_.Stats;
  IntervalAccumulators& in = tables_.Interval;
  const int64_t length = facts_->FrameLength;
  if (broadcast) {
    ++s.BroadcastFrames;
    ++in.BroadcastFrames;
    in.BroadcastBytes += length;
    s.MaxBroadcastFrameSize = std::max(s.MaxBroadcastFrameSize, length);
  } else {
    ++s.MulticastFrames;
    ++in.MulticastFrames;
    in.MulticastBytes += length;
    s.MaxMulticastFrameSize = std::max(s.MaxMulticastFrameSize, length);
  }
}

void FrameAnalyser::DecodeEthernet(FrameFacts& f) {
  const uint8_t* d = frame_->Data.data();
  const uint32_t length = frame_->FrameLength;
  if (length >= 16) {
    f.Destination = AddressKey::From(d, 6);
    f.Source = AddressKey::From(d + 6, 6);
  } else {
    f.Destination.length = f.Source.length = 6;  // zero addresses
  }
  if (f.Status & kAlignmentError) f.Status |= kCrcError;
  if (f.Status & kCrcError) f.Condition = 0;
  f.GroupAddressed = (d[0] & 0x01) != 0;
  f.Broadcast = d[0] == 0xFF;
  if (length < 18) return;
  const uint16_t type = Be16(d + 12);
  if (type > 1500) {
    f.Encapsulation = encapsulation::Etype;
    f.NetOffset = 15;
    f.Category = EtherTypeCategory(type, *frame_, f.NetOffset);
  } else if (d[14] == 0xFF && d[15] == 0xFF) {
    f.Encapsulation = encapsulation::NovRaw;
    f.NetOffset = 15;
    f.Category = Be16(d + 30) == kNetBiosIpxSocket ? category::NetBiosIpx : category::Ipx;
  } else if (d[14] == 0xAA && d[15] == 0xAA) {
    f.Encapsulation = encapsulation::Snap;
    f.NetOffset = 23;
    f.Category = EtherTypeCategory(Be16(d + 20), *frame_, f.NetOffset);
  } else {
    f.Encapsulation = encapsulation::Llc;
    f.NetOffset = 18;
    f.Category = SapCategory(d[14], *frame_, f.NetOffset);
  }
}

void FrameAnalyser::CountEthernet(int64_t frameCounter) {
  const FrameFacts& f = *facts_;
  GlobalStats& s = tables_.Stats;
  const uint32_t length = f.FrameLength;
  const bool crc = (f.Status & kCrcError) != 0;
  tables_.SizeBuckets[length < 64 ? 0 : length <= 1518 ? length / 256 + 1 : 7] += 1;
  if (length < 64) ++s.Runts;
  if (length > 1518) ++s.OversizeFrames;
  if (crc) {
    ++s.CrcErrors;
    if (length < 64) {
      ++s.Fragments;
      lastFragmentFrame_ = frameCounter;
    }
  }
  if (f.GroupAddressed) CountGroup(f.Broadcast);
  if (length < 18) return;
  switch (f.Encapsulation) {
    case encapsulation::Etype: ++s.EtypeFrames; break;
    case encapsulation::NovRaw: ++s.NovellRawFrames; break;
    case encapsulation::Snap: ++s.SnapFrames; break;
    default: ++s.LlcFrames; break;
  }
  tables_.ProtocolTable[f.Category].Encapsulations |= uint8_t(1u << f.Encapsulation);
}

void FrameAnalyser::DecodeTokenRing(FrameFacts& f) {
  const uint8_t* d = frame_->Data.data();
  f.Destination = AddressKey::From(d + 2, 6);
  f.Source = AddressKey::From(d + 8, 6);
  f.Source.bytes[0] &= 0x7F;
  f.GroupAddressed = (d[2] & 0x80) != 0;
  f.Broadcast = (d[2] & 0xC0) != 0xC0;
  if ((d[1] & 0xC0) != 0) {
    uint32_t r = 0;
    if (d[8] & 0x80) {
      r = d[14] & 0x1F;
      f.SourceRouted = true;
    }
    if (d[14 + r] == 0xAA && d[15 + r] == 0xAA) {
      f.Encapsulation = encapsulation::Snap;
      f.NetOffset = uint16_t(r + 23);
      f.Category = EtherTypeCategory(Be16(d + 20 + r), *frame_, f.NetOffset);
    } else {
      f.Encapsulation = encapsulation::Llc;
      f.NetOffset = uint16_t(r + 18);
      f.Category = SapCategory(d[14 + r], *frame_, f.NetOffset);
    }
  } else {
    f.Encapsulation = encapsulation::Mac;
    f.Category = category::Mac;
    f.NetOffset = 0;
  }
}

void FrameAnalyser::CountTokenRing() {
  const FrameFacts& f = *facts_;
  GlobalStats& s = tables_.Stats;
  const uint32_t length = f.FrameLength;
  tables_.SizeBuckets[length < 64 ? 0 : length <= 4097 ? length / 256 + 1 : 18] += 1;
  if (f.GroupAddressed) CountGroup(f.Broadcast);
  if (f.Encapsulation == encapsulation::Mac) {
    ++tables_.MacFrames;
    RingErrorMonitorTotals();
    return;
  }
  if (f.SourceRouted) ++tables_.SourceRoutedFrames;
  if (f.Encapsulation == encapsulation::Snap) ++s.SnapFrames;
  else ++s.LlcFrames;
  tables_.ProtocolTable[f.Category].Encapsulations |= uint8_t(1u << f.Encapsulation);
}

uint8_t FrameAnalyser::FeedFrame(int64_t& frameCounter) {
  ++frameCounter;
  progress_.frames.store(frameCounter, std::memory_order_relaxed);
  return AnalyseFrame(ownFrame_, frameCounter);
}

void FrameAnalyser::DecodeFrame(const CapturedFrame& frame, FrameFacts& f) {
  frame_ = &frame;
  // A blank record copied over byte for byte: a few plain stores, where assigning
  // FrameFacts{} (or a blank) made a string store whose start-up cost more than the rest
  // of this function.
  static const FrameFacts blank{};
  std::memcpy(static_cast<void*>(&f), &blank, sizeof f);
  f.TimeStamp = frame.TimeStamp;
  f.FrameLength = frame.FrameLength;
  f.Status = frame.Status;
  if (tokenRing_)
    DecodeTokenRing(f);
  else
    DecodeEthernet(f);
  if (tokenRing_ || f.FrameLength >= 58) {
    reported_.protocol = 0;
    DecodeNetwork(f);
    // What the accounting takes a packet for (AccountFrame): its records, numbered.
    if (f.HasPacket && (tokenRing_ || f.FrameLength >= 18)) NumberPacket(f);
  }
}

uint8_t FrameAnalyser::AnalyseFrame(CapturedFrame& frame, int64_t frameCounter) {
  if (info_.FirstFrameOnly) return 1;
  tokenRing_ = info_.TopologyCode == topology::TokenRing;
  DecodeFrame(frame, ownFacts_);
  return AccountFrame(ownFacts_, frameCounter);
}

size_t FrameAnalyser::SplitRecordBytes() const { return tokenRing_ || info_.FirstFrameOnly ? 0 : sizeof(FrameFacts); }

void FrameAnalyser::DecodeInto(const CapturedFrame& frame, void* record) {
  // The record's bytes become a FrameFacts (a plain aggregate) as DecodeFrame fills them.
  DecodeFrame(frame, *static_cast<FrameFacts*>(record));
}

uint8_t FrameAnalyser::AccountRecord(const void* record, int64_t frameCounter) {
  return AccountFrame(*static_cast<const FrameFacts*>(record), frameCounter);
}

uint8_t FrameAnalyser::AccountFrame(const FrameFacts& f, int64_t frameCounter) {
  facts_ = &f;
  AdvanceClock(frameCounter);
  progress_.elapsedMicros.store(tables_.TraceElapsed, std::memory_order_relaxed);

  GlobalStats& s = tables_.Stats;
  const int64_t length = f.FrameLength;
  s.MaxFrameSize = std::max(s.MaxFrameSize, length);
  s.MinFrameSize = std::min(s.MinFrameSize, length);
  tables_.Interval.Bytes += length;

  if (tokenRing_)
    CountTokenRing();
  else
    CountEthernet(frameCounter);

  ProtocolStats& p = tables_.ProtocolTable[f.Category];
  ++p.Frames;
  if (f.GroupAddressed) ++p.GroupFrames;
  p.Bytes += length;

  if (tokenRing_ || length >= 18) {
    if (f.HasPacket) {
      // The packet's stream and conversation, fetched while the MAC layer is counted.
      if (!(f.NewRecords & new_record::Stream)) __builtin_prefetch(&tables_.Streams[size_t(f.Records.Stream)], 1);
      if (!(f.NewRecords & new_record::Peer)) __builtin_prefetch(&tables_.NetPeers[size_t(f.Records.Peer)], 1);
    }
    AccountMacFrame(frameCounter);
    if (f.HasPacket) AccountPacket(f.Packet, frameCounter);
    AccountPendingPeers();
  }

  ++tables_.Interval.Frames;
  ++s.FramesAnalysed;

  return 0;
}

}  // namespace korvane
