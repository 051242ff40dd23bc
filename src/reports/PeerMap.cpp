#include "reports/PeerMap.h"

#include <algorithm>
#include <cmath>

#include "analysis/FrameAnalyser.h"

namespace korvane {

namespace {

using namespace map_colour;

constexpr int kMaxPoints = 180;
constexpr int kMaxLineColours = 16;
constexpr int kLabelPointSize = 8;
constexpr int kFontShrinks = 3;
// A station's dot grows with its traffic, from a small one for the quietest to the largest
// for the busiest; its label moves out by as much as the dot grew.
constexpr double kSmallestDot = 2.5, kLargestDot = 6.0;

uint32_t Bit(int b) { return 1u << b; }

// Dark keys carry white captions.
bool WhiteTextOn(const MapColour& c) {
  const uint32_t r = c.rgb >> 16, g = (c.rgb >> 8) & 0xFF, b = c.rgb & 0xFF;
  return c.role == MapColourRole::Fixed && (r * 299 + g * 587 + b * 114) / 1000 < 128;
}

MapKey Key(std::string caption, MapColour colour, uint32_t members) {
  MapKey k{std::move(caption), colour, WhiteTextOn(colour), members};
  return k;
}

// One sender that may be plotted, with the links that pass every test but the share test.
struct Link {
  int32_t dest = -1;
  std::vector<MapColour> colours;
  int width = 1;
  int64_t frames = 0;
};
struct Candidate {
  int32_t station = -1;
  double share = 0;  // its frames over the trace's frames
  std::vector<Link> links;
};

int PenWidth(int64_t frames, int64_t framesRead) {
  if (framesRead <= 0) return 1;
  const double share = double(frames) / double(framesRead);
  return share > 0.2 ? 3 : (share > 0.1 ? 2 : 1);
}

void AddColour(std::vector<MapColour>& colours, const MapColour& c) {
  if (int(colours.size()) < kMaxLineColours) colours.push_back(c);
}

uint32_t KeyMask(const MapKeySet& keys, const MapKeyStates& states) {
  uint32_t mask = 0;
  for (size_t k = 0; k < keys.keys.size() && k < states.size(); ++k)
    if (states[k]) mask |= keys.keys[k].members;
  return mask;
}

bool Selected(const std::vector<bool>* selected, int32_t node) {
  return !selected || size_t(node) >= selected->size() || (*selected)[size_t(node)];
}

double ShareOf(int64_t framesSent, int64_t framesRead) {
  return framesRead > 0 ? double(framesSent) / double(framesRead) : 0.0;
}

// What the generic layout needs of a tree: how many nodes, their key order and labels.
struct MapGraph {
  size_t nodeCount = 0;
  int64_t stationTotal = 0;  // the density rule's denominator
  std::vector<Candidate> candidates;
  std::function<bool(int32_t, int32_t)> keyLess;
  std::function<std::string(int32_t)> label;
  std::function<int64_t(int32_t)> frames;  // sent and received
};

class Counter {
 public:
  explicit Counter(size_t nodes) : mark_(nodes, 0) {}
  // Marks and counts the stations plotted when senders need the given share.
  int64_t Count(const std::vector<Candidate>& candidates, double threshold) {
    ++stamp_;
    int64_t count = 0;
    auto mark = [&](int32_t n) {
      if (mark_[size_t(n)] != stamp_) {
        mark_[size_t(n)] = stamp_;
        ++count;
      }
    };
    for (const Candidate& c : candidates) {
      if (c.links.empty() || c.share < threshold) continue;
      mark(c.station);
      for (const Link& l : c.links) mark(l.dest);
    }
    return count;
  }
  bool Marked(int32_t n) const { return mark_[size_t(n)] == stamp_; }

 private:
  std::vector<uint32_t> mark_;
  uint32_t stamp_ = 0;
};

PeerMapLayout Layout(const MapGraph& graph, int densityPosition, double width, double height,
                     const MapTextMetrics& metrics) {
  PeerMapLayout out;
  Counter counter(graph.nodeCount);
  int64_t count = counter.Count(graph.candidates, 0.0);
  // Above 20 stations the density bar thins the map: senders need the smallest share of
  // the trace's frames at which the plotted part of all stations is no more than the bar's
  // part of its range. The shares the senders really have are the steps, so that a trace
  // of thousands of small talkers thins gradually; labels and lines both use the result.
  if (count > 20) {
    out.densityBarShown = true;
    const int position = std::clamp(densityPosition, 1, kDensityMaximum);
    const double limit = double(position) / kDensityMaximum;
    const double total = double(std::max<int64_t>(graph.stationTotal, 1));
    std::vector<double> steps;
    for (const Candidate& c : graph.candidates)
      if (!c.links.empty()) steps.push_back(c.share);
    std::sort(steps.begin(), steps.end());
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    // The plotted count falls as the share rises: the first step that fits. The busiest
    // sender stays even when it alone has more partners than the bar allows.
    size_t low = 0, high = steps.size() - 1;
    while (low < high) {
      const size_t middle = (low + high) / 2;
      if (double(counter.Count(graph.candidates, steps[middle])) / total <= limit)
        high = middle;
      else
        low = middle + 1;
    }
    out.threshold = low == 0 ? 0.0 : steps[low];
    count = counter.Count(graph.candidates, out.threshold);
  }
  out.plottedCount = count;

  std::vector<int32_t> plotted;
  plotted.reserve(size_t(count));
  for (size_t n = 0; n < graph.nodeCount; ++n)
    if (counter.Marked(int32_t(n))) plotted.push_back(int32_t(n));
  std::sort(plotted.begin(), plotted.end(), graph.keyLess);

  // Geometry.
  const int n = int(std::clamp<int64_t>(count, 4, kMaxPoints));
  const int quarter = (n + 5) / 4;
  const int pointCount = std::min(kMaxPoints, 2 * (2 * quarter - 1));
  const bool overflow = int64_t(plotted.size()) > pointCount;
  const size_t named = overflow ? size_t(pointCount - 1) : plotted.size();
  std::vector<std::string> texts(named);
  double widest = overflow ? metrics.width(kOverflowLabel, kLabelPointSize) : 0.0;
  for (size_t i = 0; i < named; ++i) {
    texts[i] = graph.label(plotted[i]);
    widest = std::max(widest, metrics.width(texts[i], kLabelPointSize));
  }
  out.centreX = width / 2;
  out.centreY = height / 2;
  // Room for the widest label beside the circle on either side (7 pixels from its point on
  // the right) and for the labels above and below it.
  out.radius = std::max(1.0, std::floor(std::min(out.centreX - widest - 8 - (kLargestDot - kSmallestDot),
                                                  out.centreY - 10 - n / 10)));
  out.step = 4 * out.radius / (n + 3);
  out.fontPointSize = kLabelPointSize;
  for (int shrink = 0; shrink < kFontShrinks && metrics.height(out.fontPointSize) - 2 > out.step; ++shrink)
    --out.fontPointSize;

  // Points: each side holds 2 x quarter - 1 points, one step apart in height and mirrored
  // about the horizontal axis, in clockwise order from the top of the right-hand side.
  struct Point {
    double x, y;
    bool left;
  };
  std::vector<Point> points;
  points.reserve(size_t(pointCount));
  const double r = out.radius;
  auto at = [&](int k, bool left) {
    const double h = k * out.step;
    const double x = std::sqrt(std::max(0.0, r * r - h * h));
    points.push_back({left ? out.centreX - x : out.centreX + x, out.centreY + h, left});
  };
  for (int k = -(quarter - 1); k <= quarter - 1 && int(points.size()) < pointCount; ++k) at(k, false);
  for (int k = quarter - 1; k >= -(quarter - 1) && int(points.size()) < pointCount; --k) at(k, true);

  // Stations take the points in key order, spread evenly when there are fewer of them.
  const size_t used = named + (overflow ? 1 : 0);
  std::vector<size_t> pointOf(used);
  for (size_t i = 0; i < used; ++i) pointOf[i] = overflow ? i : i * points.size() / std::max<size_t>(used, 1);

  const double labelHeight = metrics.height(out.fontPointSize);
  int64_t busiest = 1;
  for (size_t i = 0; i < named; ++i) busiest = std::max(busiest, graph.frames(plotted[i]));
  std::vector<int32_t> labelOfNode(graph.nodeCount, -1);
  std::vector<bool> isSender(graph.nodeCount, false);
  for (const Candidate& c : graph.candidates)
    if (!c.links.empty() && c.share >= out.threshold) isSender[size_t(c.station)] = true;
  std::vector<double> dotAt(points.size(), 0.0);  // 0: nobody there
  for (size_t i = 0; i < used; ++i)
    dotAt[pointOf[i]] = i < named ? kSmallestDot + (kLargestDot - kSmallestDot) *
                                                       std::sqrt(double(graph.frames(plotted[i])) / double(busiest))
                                  : kSmallestDot;
  out.labels.reserve(used);
  for (size_t i = 0; i < used; ++i) {
    const Point& p = points[pointOf[i]];
    MapLabel label;
    label.pointX = p.x;
    label.pointY = p.y;
    if (i < named) {
      label.station = plotted[i];
      label.text = std::move(texts[i]);
      label.sender = isSender[size_t(label.station)];
      label.frames = graph.frames(label.station);
      labelOfNode[size_t(label.station)] = int32_t(out.labels.size());
    } else {
      label.text = std::string(kOverflowLabel);
    }
    const double w = metrics.width(label.text, out.fontPointSize);
    // Above the point by 5 pixels at the axis, less towards the bottom and more towards the
    // top, so that labels lean away from the circle where it runs flat.
    label.rect.top = p.y - (5 - 9 * (p.y - out.centreY) / r);
    label.rect.height = labelHeight;
    label.rect.width = w;
    label.dotRadius = dotAt[pointOf[i]];
    // Beside the point, outwards, clear of its own dot and of every dot of the same side.
    double edge = p.x;
    for (size_t k = 0; k < points.size(); ++k) {
      const Point& q = points[k];
      const double grown = dotAt[k] - kSmallestDot;
      if (dotAt[k] == 0 || q.left != p.left || q.y + dotAt[k] < label.rect.top ||
          q.y - dotAt[k] >= label.rect.top + labelHeight)
        continue;
      edge = p.left ? std::min(edge, q.x - grown) : std::max(edge, q.x + grown);
    }
    label.rect.left = p.left ? edge - 5 - w : edge + 7;
    out.labels.push_back(std::move(label));
  }

  // Lines from each drawn sender to its plotted destinations.
  for (const Candidate& c : graph.candidates) {
    if (c.links.empty() || c.share < out.threshold) continue;
    const int32_t from = labelOfNode[size_t(c.station)];
    if (from < 0) continue;
    for (const Link& l : c.links) {
      const int32_t to = labelOfNode[size_t(l.dest)];
      if (to < 0 || to == from || l.colours.empty()) continue;
      MapLine line;
      line.from = c.station;
      line.to = l.dest;
      line.x1 = out.labels[size_t(from)].pointX;
      line.y1 = out.labels[size_t(from)].pointY;
      line.x2 = out.labels[size_t(to)].pointX;
      line.y2 = out.labels[size_t(to)].pointY;
      line.colours = l.colours;
      line.width = l.width;
      line.frames = l.frames;
      out.lines.push_back(std::move(line));
    }
  }
  return out;
}

// ---- the station map's keys and colours ----

MapColour CategoryColour(uint8_t c) {
  switch (c) {
    case category::Appletalk: return Fuchsia;
    case category::Decnet:
    case category::Lat:
    case category::Lavc: return Lime;
    case category::Arp: return Aqua;
    case category::Ip: return Blue;
    case category::Ipx: return Yellow;
    case category::Iso: return Maroon;
    case category::NetBiosLlc: return Teal;
    case category::NetBiosIp: return Navy;
    case category::NetBiosIpx: return Purple;
    case category::Sna: return Olive;
    case category::Xns: return Green;
    case category::Vines: return Wine;
    case category::Bpdu: return Gray;
    default: return ButtonText;
  }
}

MapColour EncapsulationColour(uint8_t e) {
  switch (e) {
    case encapsulation::Llc: return Fuchsia;
    case encapsulation::Snap: return Lime;
    case encapsulation::NovRaw: return Blue;
    default: return Aqua;  // Etype and MAC
  }
}

// ---- the network map's colours ----

MapColour TransportColour(uint8_t kind) {
  switch (kind) {
    case transport::Udp:
    case transport::Ncp: return Fuchsia;
    case transport::Tcp:
    case transport::Spx: return Lime;
    case transport::Icmp:
    case transport::SpxII: return Aqua;
    case transport::Egp:
    case transport::NetBios: return Blue;
    case transport::Ggp:
    case transport::Rip: return Yellow;
    case transport::Igmp:
    case transport::Sap: return Teal;
    case transport::Igrp:
    case transport::PBurst: return Navy;
    case transport::Echo: return Purple;
    case transport::WanBroadcast: return Maroon;
    case transport::Error: return Olive;
    default: return ButtonText;
  }
}

constexpr std::array<MapColour, 11> kNetKeyColours = {Fuchsia, Lime, Aqua, Blue, Yellow, Teal,
                                                      Navy,    Purple, Maroon, Olive, Green};

}  // namespace

std::optional<size_t> PeerMapLayout::SenderLabelAt(double x, double y) const {
  // The label drawn last lies on top.
  for (size_t i = labels.size(); i-- > 0;)
    if (labels[i].sender && labels[i].rect.Contains(x, y)) return i;
  return std::nullopt;
}

std::optional<size_t> PeerMapLayout::LabelOf(int32_t station) const {
  for (size_t i = 0; i < labels.size(); ++i)
    if (labels[i].station == station) return i;
  return std::nullopt;
}

MapKeySet StationMapKeys(StationMapMode mode, uint8_t topologyCode) {
  const bool ring = topologyCode == topology::TokenRing;
  MapKeySet set;
  switch (mode) {
    case StationMapMode::Errors:
      if (ring) return set;  // "None": no key
      set.keys = {Key("CRC", Red, Bit(0)), Key("No Errors", Aqua, Bit(3))};
      set.keys[0].whiteText = true;
      set.groupHeight = 83;
      return set;
    case StationMapMode::Encapsulation:
      set.keys = {Key("LLC", Fuchsia, Bit(encapsulation::Llc)), Key("SNAP", Lime, Bit(encapsulation::Snap)),
                  ring ? Key("MAC", Aqua, Bit(encapsulation::Mac) | Bit(encapsulation::Etype))
                       : Key("Etype", Aqua, Bit(encapsulation::Etype) | Bit(encapsulation::Mac))};
      if (!ring) set.keys.push_back(Key("Novell Raw", Blue, Bit(encapsulation::NovRaw)));
      set.groupHeight = ring ? 103 : 123;
      return set;
    case StationMapMode::Protocol:
      set.keys = {Key("AppleTalk", Fuchsia, Bit(category::Appletalk)),
                  Key("DEC", Lime, Bit(category::Decnet) | Bit(category::Lat) | Bit(category::Lavc)),
                  Key("IP-ARP", Aqua, Bit(category::Arp)),
                  Key("IP", Blue, Bit(category::Ip)),
                  Key("IPX", Yellow, Bit(category::Ipx)),
                  Key("ISO", Maroon, Bit(category::Iso)),
                  Key("NetBIOS-LLC", Teal, Bit(category::NetBiosLlc)),
                  Key("NetBIOS-IP", Navy, Bit(category::NetBiosIp)),
                  Key("NetBIOS-IPX", Purple, Bit(category::NetBiosIpx)),
                  Key("SNA", Olive, Bit(category::Sna)),
                  Key("XNS", Green, Bit(category::Xns)),
                  Key("Vines", Wine, Bit(category::Vines)),
                  Key("BPDU", Gray, Bit(category::Bpdu)),
                  Key("Other", Black, Bit(category::Mac) | Bit(category::Other))};
      set.groupHeight = 323;
      return set;
  }
  return set;
}

PeerMapLayout LayoutStationMap(const TraceSession& session, const StationMapInput& input,
                               const MapTextMetrics& metrics) {
  const AnalysisTables& t = session.tables;
  const auto& tree = t.StationTree;
  const int64_t framesRead = session.info.FramesRead;
  const uint8_t topo = session.info.TopologyCode;
  const MapKeySet keys = StationMapKeys(input.mode, topo);
  // On Token Ring the error mode has no keys to switch; its lines follow every condition.
  const uint32_t mask = keys.keys.empty() ? ~0u : KeyMask(keys, input.keyStates);

  MapGraph graph;
  graph.nodeCount = tree.size();
  graph.stationTotal = t.StationCount;
  for (size_t i = 0; i < tree.size(); ++i) {
    const StationNode& s = tree[int32_t(i)];
    if ((s.Role & 1) == 0 || !Selected(input.selected, int32_t(i))) continue;
    if (s.FramesSent <= 0 || s.BytesSent / s.FramesSent < 18) continue;
    Candidate c;
    c.station = int32_t(i);
    c.share = ShareOf(s.FramesSent, framesRead);
    for (int32_t p = s.FirstDlcPeer; p >= 0; p = t.DlcPeers[size_t(p)].Next) {
      const TDLCPeer& peer = t.DlcPeers[size_t(p)];
      const int32_t d = tree.Find(peer.DestAddress);
      if (d < 0) continue;
      const bool group = IsGroupAddress(peer.DestAddress, topo);
      if ((input.destinations == MapDestinations::Broadcast && !group) ||
          (input.destinations == MapDestinations::NonBroadcast && group))
        continue;
      Link link;
      link.dest = d;
      switch (input.mode) {
        case StationMapMode::Errors: {
          const uint32_t visible = s.SentFrameConditions & mask & peer.FrameConditions;
          if (visible & Bit(0)) AddColour(link.colours, Red);
          if (visible & Bit(3)) AddColour(link.colours, Aqua);
          link.frames = peer.Frames;
          break;
        }
        case StationMapMode::Encapsulation:
          for (int e = 0; e < kEncapsulationCount; ++e) {
            if ((s.SentEncapsulations & mask & peer.Encapsulations & Bit(e)) == 0) continue;
            AddColour(link.colours, EncapsulationColour(uint8_t(e)));
            link.frames += peer.FramesByEncapsulation[size_t(e)];
          }
          link.width = PenWidth(link.frames, framesRead);
          break;
        case StationMapMode::Protocol:
          for (int k = 0; k < kProtocolCategoryCount; ++k) {
            if ((s.SentCategories & mask & peer.Categories & Bit(k)) == 0) continue;
            AddColour(link.colours, CategoryColour(uint8_t(k)));
            link.frames += peer.FramesByCategory[size_t(k)];
          }
          link.width = PenWidth(link.frames, framesRead);
          break;
      }
      // A destination is linked only by traffic the keys let through.
      if (!link.colours.empty()) c.links.push_back(std::move(link));
    }
    graph.candidates.push_back(std::move(c));
  }
  graph.keyLess = [&tree](int32_t a, int32_t b) { return tree[a].Address < tree[b].Address; };
  graph.label = [&](int32_t n) { return StationMapLabel(session, tree[n], input.names); };
  graph.frames = [&tree](int32_t n) { return tree[n].FramesSent + tree[n].FramesReceived; };
  PeerMapLayout layout = Layout(graph, input.densityPosition, input.width, input.height, metrics);
  layout.keys = keys;
  return layout;
}

MapKeySet NetworkMapKeys(NetworkMapMode mode) {
  MapKeySet set;
  auto key = [](size_t k, const char* caption, uint32_t members) { return Key(caption, kNetKeyColours[k], members); };
  switch (mode) {
    case NetworkMapMode::Ip:
      set.keys = {key(0, "UDP", Bit(transport::Udp)),   key(1, "TCP", Bit(transport::Tcp)),
                  key(2, "ICMP", Bit(transport::Icmp)), key(3, "EGP", Bit(transport::Egp)),
                  key(4, "GGP", Bit(transport::Ggp)),   key(5, "IGMP", Bit(transport::Igmp)),
                  key(6, "IGRP", Bit(transport::Igrp)), Key("Other", Black, Bit(transport::IpUnknown))};
      set.groupHeight = 203;
      break;
    case NetworkMapMode::Ipx: {
      set.keys = {key(0, "NCP", Bit(transport::Ncp)),        key(1, "SPX", Bit(transport::Spx)),
                  key(2, "SPXII", Bit(transport::SpxII)),    key(3, "NetBIOS", Bit(transport::NetBios)),
                  key(4, "RIP", Bit(transport::Rip)),        key(5, "SAP", Bit(transport::Sap)),
                  key(6, "PBurst", Bit(transport::PBurst)),  key(7, "Echo", Bit(transport::Echo)),
                  key(8, "WANBdcast", Bit(transport::WanBroadcast)), key(9, "Error", Bit(transport::Error))};
      uint32_t others = 0;
      for (int k = transport::Ncp; k < kTransportKindCount; ++k) others |= Bit(k);
      for (const MapKey& k : set.keys) others &= ~k.members;
      set.keys.push_back(Key("Other", Black, others));
      set.groupHeight = 263;
      break;
    }
    case NetworkMapMode::IpxHops:
      for (int h = 0; h <= 10; ++h) {
        const std::string caption = h == 0 ? "No Hops" : h == 1 ? "1 Hop" : h == 10 ? "10+ Hops" : std::to_string(h) + " Hops";
        set.keys.push_back(Key(caption, kNetKeyColours[size_t(h)], Bit(h)));
      }
      set.groupHeight = 263;
      break;
  }
  return set;
}

int LinkHopCount(const TraceSession& session, int32_t sender, const TNetPeer& peer) {
  const AnalysisTables& t = session.tables;
  int hops = peer.LastTtl;
  const int32_t d = t.NetStationTree.Find(peer.DestAddress);
  if (d < 0) return hops;
  const AddressKey& back = t.NetStationTree[sender].Address;
  for (int32_t p = t.NetStationTree[d].FirstNetPeer; p >= 0; p = t.NetPeers[size_t(p)].Next)
    if (t.NetPeers[size_t(p)].DestAddress == back) return hops + t.NetPeers[size_t(p)].LastTtl;
  return hops;
}

PeerMapLayout LayoutNetworkMap(const TraceSession& session, const NetworkMapInput& input,
                               const MapTextMetrics& metrics) {
  const AnalysisTables& t = session.tables;
  const auto& tree = t.NetStationTree;
  const int64_t framesRead = session.info.FramesRead;
  const uint8_t topo = session.info.TopologyCode;
  const NetProtocol protocol = input.mode == NetworkMapMode::Ip ? NetProtocol::Ip : NetProtocol::Ipx;
  const MapKeySet keys = NetworkMapKeys(input.mode);
  const uint32_t mask = KeyMask(keys, input.keyStates);

  MapGraph graph;
  graph.nodeCount = tree.size();
  graph.stationTotal = protocol == NetProtocol::Ip ? t.IpStationCount : t.IpxStationCount;
  for (size_t i = 0; i < tree.size(); ++i) {
    const NetStationNode& s = tree[int32_t(i)];
    if ((s.Role & 1) == 0 || !IsStationOf(s, protocol) || !Selected(input.selected, int32_t(i))) continue;
    Candidate c;
    c.station = int32_t(i);
    c.share = ShareOf(s.FramesSent, framesRead);
    for (int32_t p = s.FirstNetPeer; p >= 0; p = t.NetPeers[size_t(p)].Next) {
      const TNetPeer& peer = t.NetPeers[size_t(p)];
      const int32_t d = tree.Find(peer.DestAddress);
      if (d < 0) continue;
      const int32_t mac = tree[d].MacStation;
      const bool group = mac >= 0 && size_t(mac) < t.StationTree.size() &&
                         IsGroupAddress(t.StationTree[mac].Address, topo);
      if ((input.destinations == MapDestinations::Broadcast && !group) ||
          (input.destinations == MapDestinations::NonBroadcast && group))
        continue;
      Link link;
      link.dest = d;
      if (input.mode == NetworkMapMode::IpxHops) {
        const int key = std::min(LinkHopCount(session, int32_t(i), peer), 10);
        if (input.keyStates[size_t(key)]) link.colours.push_back(keys.keys[size_t(key)].colour);
        link.frames = peer.Frames;
      } else {
        for (int k = 0; k < kTransportKindCount; ++k) {
          if ((s.SentTransportKinds & mask & peer.TransportKinds & Bit(k)) == 0) continue;
          AddColour(link.colours, TransportColour(uint8_t(k)));
          link.frames += peer.FramesByKind[size_t(k)];
        }
        link.width = PenWidth(link.frames, framesRead);
      }
      if (!link.colours.empty()) c.links.push_back(std::move(link));
    }
    graph.candidates.push_back(std::move(c));
  }
  graph.keyLess = [&tree](int32_t a, int32_t b) { return tree[a].Address < tree[b].Address; };
  graph.label = [&](int32_t n) { return NetworkMapLabel(NetStationDisplayName(session, tree[n], input.names)); };
  graph.frames = [&tree](int32_t n) { return tree[n].FramesSent + tree[n].FramesReceived; };
  PeerMapLayout layout = Layout(graph, input.densityPosition, input.width, input.height, metrics);
  layout.keys = keys;
  return layout;
}

}  // namespace korvane
