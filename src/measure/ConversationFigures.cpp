#include "measure/ConversationFigures.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <span>
#include <thread>

#include "analysis/FrameAnalyser.h"
#include "measure/ConversationMeasurement.h"

namespace korvane {

namespace {

constexpr double kMinimumDuration = 100000;  // microseconds of conversation for a throughput
constexpr int64_t kMinimumSamples = 4;
constexpr uint16_t kFtpControlPort = 21;

bool IpxFamily(uint8_t kind) {
  return kind == transport::Ncp || kind == transport::Spx || kind == transport::SpxII || kind == transport::PBurst;
}
bool RetransmittingKind(uint8_t kind) { return kind == transport::Tcp || IpxFamily(kind); }
bool ChattyKind(uint8_t kind) {
  return kind == transport::Tcp || kind == transport::Udp || (kind >= transport::Ncp && kind <= transport::Smb) ||
         kind == transport::PBurst;
}

// KBytes per second of a throughput run, or nothing with too few packets or too short a time.
bool Enough(int64_t count, double duration) { return count >= kMinimumSamples && duration >= kMinimumDuration; }
double KBytesPerSecond(const MeasurementResults& r) { return double(r.SampleBytes) / (r.Duration / 1000000) / 1000; }
std::optional<double> Throughput(int64_t count, const MeasurementResults& r) {
  if (!Enough(count, r.Duration)) return std::nullopt;
  return KBytesPerSecond(r);
}

struct Counters {
  int64_t retransmits = 0, localRouting = 0, zeroWindows = 0, resets = 0, icmpErrors = 0;
  void Add(const MeasurementResults& r) {
    retransmits += r.RetransmitCount;
    localRouting += r.LocalRoutingCount;
    zeroWindows += r.ZeroWindowCount;
    resets += r.ResetCount;
    icmpErrors += r.IcmpErrorCount;
  }
};

class StreamRuns {
 public:
  StreamRuns(const TraceSession& session, const ProblemFinderSettings& settings, const PartnerStreamIndex& partners)
      : s_(session), t_(session.tables), settings_(settings), partners_(partners) {}

  // False when the stream makes no row.
  bool Measure(int32_t station, int32_t conversation, int32_t streamIndex, StreamFigures& f) const;

 private:
  bool On(ProblemCheck check) const { return settings_.IsEnabled(check); }
  uint16_t Threshold(ProblemThreshold t) const { return settings_.Threshold(t); }
  void Count(StreamFigures& f, GridCounter c, int64_t value, bool shown) const {
    f.Counters[size_t(c)] += value;
    f.CounterShown[size_t(c)] = shown;
  }

  const TraceSession& s_;
  const AnalysisTables& t_;
  const ProblemFinderSettings& settings_;
  const PartnerStreamIndex& partners_;
};

bool StreamRuns::Measure(int32_t station, int32_t conversation, int32_t streamIndex, StreamFigures& f) const {
  const TTransHead& stream = t_.Streams[size_t(streamIndex)];
  if (stream.FirstPacket < 0) return false;
  const TPacket& first = t_.PacketList[size_t(stream.FirstPacket)];
  if (first.Flags & packet_flag::GroupAddressed) return false;
  // A row stands for a client's stream, or for a stream with no partner that replies: the
  // server's streams are measured from their clients' rows.
  const bool request = (first.Flags & packet_flag::Request) != 0;
  const PartnerLookup back = partners_.Of(streamIndex);
  const bool oneWay = back.OneWay();
  if (!request && !(oneWay && (first.Flags & packet_flag::Reply))) return false;

  // Run 1: latency over the whole trace.
  MeasurementSelection sel;
  sel.SourceStation = station;
  sel.ForwardConversation = conversation;
  sel.ForwardStream = streamIndex;
  sel.StartFrame = 1;
  sel.EndFrame = s_.info.FramesRead;
  sel.LatencyMode = true;
  MeasurementResults r;
  ConversationMeasurement(s_, sel, r, &partners_);
  double duration = r.Duration;
  const uint16_t status = r.MeasurementStatus;
  if (status != measurement_status::Ok && status != measurement_status::OneWay &&
      status != measurement_status::BareAcksOnly)
    return false;

  f = StreamFigures{};
  f.Stream = streamIndex;
  f.Request = request;
  f.PartnerStation = t_.NetStationTree.Find(t_.NetPeers[size_t(conversation)].DestAddress);

  // Response time and the marks it drives.
  if (r.PairCount > 0 && request) {
    const double average = r.LatencySum / double(r.PairCount) / 1000;
    f.ResponseTimeMs = average;
    if (r.PairCount >= kMinimumSamples) {
      if (On(ProblemCheck::CSSlowResponseTime) && average >= Threshold(ProblemThreshold::CSSlowResponseTime))
        f.Marks[1] = true;
      const uint16_t sensitivity = Threshold(ProblemThreshold::CSBusyNetwork);
      const double factor = sensitivity <= 1 ? 30 : (sensitivity == 2 ? 10 : 5);
      if (On(ProblemCheck::CSBusyNetwork) && (r.LatencyMin * factor < average * 1000 || r.FlaggedPacketSeen))
        f.Marks[2] = true;
    }
  }

  // Run 2: throughput of the stream's own direction.
  sel.LatencyMode = false;
  sel.ThroughputMode = true;
  sel.SampleWindow = 4;
  ConversationMeasurement(s_, sel, r, &partners_);
  duration = std::max(duration, r.Duration);
  if (request) f.ClientToServerKBps = Throughput(r.FwdCount, r);
  else f.ServerToClientKBps = Throughput(r.RevCount, r);

  // Run 3: throughput of the partner's stream back. A conversation without that stream
  // has nothing to measure there: the reverse direction counts as empty.
  int64_t pa = 0, ba = 0;
  Counters counters;
  bool reverseMeasured = false;
  if (!oneWay) {
    pa = r.FwdCount;
    ba = r.FwdBytes;
    counters.Add(r);
    if (back.Stream >= 0) {
      sel.SourceStation = f.PartnerStation;
      sel.ForwardConversation = back.ReturnConversation;
      sel.ForwardStream = back.Stream;
      ConversationMeasurement(s_, sel, r, &partners_);
      duration = std::max(duration, r.Duration);
      reverseMeasured = true;
    } else {
      r = MeasurementResults{};
    }
  }
  if (oneWay || reverseMeasured) counters.Add(r);

  // Packets and bytes each way.
  const int64_t pb = r.FwdCount, bb = r.SampleBytes;
  const int64_t ownPackets = oneWay ? pb : pa, ownBytes = oneWay ? bb : ba;
  const int64_t otherPackets = oneWay ? 0 : pb, otherBytes = oneWay ? 0 : bb;
  f.ClientToServerPackets = request ? ownPackets : otherPackets;
  f.ClientToServerBytes = request ? ownBytes : otherBytes;
  f.ServerToClientPackets = request ? otherPackets : ownPackets;
  f.ServerToClientBytes = request ? otherBytes : ownBytes;

  // Counter columns.
  const uint8_t kind = stream.Kind;
  if (RetransmittingKind(kind) && counters.retransmits != 0)
    Count(f, GridCounter::Retransmissions, counters.retransmits,
          ((kind == transport::Ncp || kind == transport::PBurst) && On(ProblemCheck::NCPTransportRetransmission)) ||
              ((kind == transport::Spx || kind == transport::SpxII) && On(ProblemCheck::SPXTransportRetransmission)) ||
              (kind == transport::Tcp && On(ProblemCheck::TCPTransportRetransmission)));
  if (RetransmittingKind(kind) && counters.localRouting != 0)
    Count(f, GridCounter::LocalRouting, counters.localRouting,
          (IpxFamily(kind) && On(ProblemCheck::IPXLocalRouting)) ||
              (kind == transport::Tcp && On(ProblemCheck::IPLocalRouting)));
  if (kind == transport::Tcp && On(ProblemCheck::TCPZeroWindow) && counters.zeroWindows != 0)
    Count(f, GridCounter::ZeroWindows, counters.zeroWindows, true);
  if (kind == transport::Tcp && On(ProblemCheck::TCPResetConnection) && counters.resets != 0)
    Count(f, GridCounter::Resets, counters.resets, true);
  if (On(ProblemCheck::ICMP) && counters.icmpErrors != 0) Count(f, GridCounter::IcmpErrors, counters.icmpErrors, true);

  // Server-to-client throughput and the marks it drives.
  if (request) f.ServerToClientKBps = reverseMeasured ? Throughput(r.FwdCount, r) : std::nullopt;
  else f.ClientToServerKBps = Throughput(r.RevCount, r);
  if (request && reverseMeasured && stream.SourcePort != kFtpControlPort && stream.DestPort != kFtpControlPort &&
      Enough(r.FwdCount, r.Duration)) {
    if (On(ProblemCheck::CSLowThroughput) &&
        std::nearbyint(KBytesPerSecond(r)) <= Threshold(ProblemThreshold::CSLowThroughput))
      f.Marks[0] = true;
    const double ratio = double(pa) / double(r.FwdCount);
    if (On(ProblemCheck::CSInefficientClient) && ChattyKind(kind) && r.FwdCount + r.RevCount > 0) {
      const double averageSize = double(r.FwdBytes + r.RevBytes) / double(r.FwdCount + r.RevCount);
      const uint16_t sensitivity = Threshold(ProblemThreshold::CSInefficientClient);
      const double ratioLimit = sensitivity <= 1 ? 1.25 : (sensitivity == 2 ? 1.5 : 2.0);
      const double sizeLimit = sensitivity <= 1 ? 100 : (sensitivity == 2 ? 200 : 500);
      if (averageSize <= sizeLimit && ratio >= 1.0 && ratio <= ratioLimit) f.Marks[3] = true;
    }
  }
  f.Duration = duration;
  return true;
}

}  // namespace

ConversationFigures MeasureConversation(const TraceSession& session, const ProblemFinderSettings& settings,
                                        const PartnerStreamIndex& partners, int32_t station, int32_t conversation) {
  const AnalysisTables& t = session.tables;
  const StreamRuns runs(session, settings, partners);
  ConversationFigures figures;
  figures.Station = station;
  figures.Conversation = conversation;
  // The records each stream's runs start from (the stream, its partner entry, its first
  // packet, the partner's stream and first packet) lie scattered over a large trace: they
  // are asked for a few streams ahead, so that they arrive together rather than one cache
  // miss after another.
  const std::span<const int32_t> streams = partners.StreamsOf(conversation);
  auto firstPacket = [&t](int32_t stream) {
    if (const int32_t first = t.Streams[size_t(stream)].FirstPacket; first >= 0)
      __builtin_prefetch(&t.PacketList[size_t(first)]);
  };
  constexpr size_t kAhead = 8;
  for (size_t j = 0; j < std::min(kAhead, streams.size()); ++j) __builtin_prefetch(&t.Streams[size_t(streams[j])]);
  StreamFigures f;
  for (size_t j = 0; j < streams.size(); ++j) {
    if (j + kAhead < streams.size()) __builtin_prefetch(&t.Streams[size_t(streams[j + kAhead])]);
    if (j + kAhead / 2 < streams.size()) {
      firstPacket(streams[j + kAhead / 2]);
      partners.Prefetch(streams[j + kAhead / 2]);
    }
    if (j + kAhead / 4 < streams.size())
      if (const int32_t back = partners.Of(streams[j + kAhead / 4]).Stream; back >= 0)
        __builtin_prefetch(&t.Streams[size_t(back)]);
    if (j + 1 < streams.size())
      if (const int32_t back = partners.Of(streams[j + 1]).Stream; back >= 0) firstPacket(back);
    if (runs.Measure(station, conversation, streams[j], f)) figures.Rows.push_back(f);
  }
  return figures;
}

std::vector<ConversationFigures> MeasureConversations(const TraceSession& session,
                                                      const ProblemFinderSettings& settings, unsigned threads,
                                                      const FiguresProgress& progress, const FiguresReady& ready,
                                                      bool keepRows) {
  const AnalysisTables& t = session.tables;
  std::vector<ConversationFigures> all;
  for (int32_t station : t.NetStationTree.InOrder()) {
    if ((t.NetStationTree[station].Role & 1) == 0) continue;
    for (int32_t c = t.NetStationTree[station].FirstNetPeer; c >= 0; c = t.NetPeers[size_t(c)].Next) {
      ConversationFigures& figures = all.emplace_back();
      figures.Station = station;
      figures.Conversation = c;
    }
  }
  if (all.empty()) return all;
  const PartnerStreamIndex partners(t);
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  threads = unsigned(std::min<size_t>(threads, all.size()));

  // Workers take conversations in turn; the calling thread takes its share too and reports
  // progress between its own conversations, and while it waits for the others at the end.
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  std::vector<std::atomic<bool>> done(all.size());
  std::atomic<size_t> rowsDone{0};
  std::mutex mutex;
  std::condition_variable finished;
  size_t workersLeft = threads - 1;
  // The calling thread hands on the completed run from the start between its own
  // conversations, so that what the caller does with them overlaps the measuring.
  size_t handedOn = 0;
  auto handOn = [&](size_t upTo) {
    if (!ready) return;
    for (; handedOn < upTo && done[handedOn].load(std::memory_order_acquire); ++handedOn) {
      ready(all[handedOn]);
      if (!keepRows) std::vector<StreamFigures>().swap(all[handedOn].Rows);
    }
  };
  auto work = [&](bool calling) {
    for (size_t i; !stop.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < all.size();) {
      all[i] = MeasureConversation(session, settings, partners, all[i].Station, all[i].Conversation);
      rowsDone.fetch_add(all[i].Rows.size());
      done[i].store(true, std::memory_order_release);
      if (calling && progress && !progress(rowsDone.load())) stop = true;
      if (calling && !stop.load(std::memory_order_relaxed)) handOn(all.size());
    }
  };
  std::vector<std::thread> workers;
  for (unsigned w = 1; w < threads; ++w)
    workers.emplace_back([&] {
      work(false);
      std::lock_guard lock(mutex);
      --workersLeft;
      finished.notify_all();
    });
  work(true);
  // The rest as the other threads complete it, unless stopped.
  for (auto lastProgress = std::chrono::steady_clock::now(); ready && handedOn < all.size() && !stop;) {
    handOn(all.size());
    if (handedOn == all.size()) break;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    if (progress && std::chrono::steady_clock::now() - lastProgress >= std::chrono::milliseconds(20)) {
      lastProgress = std::chrono::steady_clock::now();
      if (!progress(rowsDone.load())) stop = true;
    }
  }
  {
    std::unique_lock lock(mutex);
    while (workersLeft > 0) {
      if (progress && !stop) {
        lock.unlock();
        if (!progress(rowsDone.load())) stop = true;
        lock.lock();
        finished.wait_for(lock, std::chrono::milliseconds(20));
      } else {
        finished.wait(lock);
      }
    }
  }
  for (std::thread& w : workers) w.join();
  // After a stop, only the unbroken run of completed conversations from the start is kept.
  size_t kept = 0;
  while (kept < all.size() && done[kept].load(std::memory_order_acquire)) ++kept;
  handOn(kept);
  all.resize(kept);
  return all;
}

}  // namespace korvane
