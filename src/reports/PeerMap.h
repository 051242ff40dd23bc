// The peer maps of the Station and Network windows, laid out as plain data: the points on
// the circle, the label rectangles, the keys, and every line with its colours and width.
// The windows only draw what this gives them (and ask it which label a click hit), so the
// whole drawing can be checked without a display.
//
// Stations sit on a circle, evenly spaced in height on each side so that their labels stack
// without touching; a line joins each plotted sender to every destination that passes the
// identification, share and destination tests. Above 20 plotted stations the density bar
// decides the smallest share of the trace's frames a sender must have to be drawn.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/TraceSession.h"
#include "reports/NetworkStats.h"
#include "reports/StationStats.h"

namespace korvane {

// A colour of the map: a fixed RGB value, or one of the window's own colours.
enum class MapColourRole : uint8_t { Fixed, ButtonText, ButtonShadow };
struct MapColour {
  MapColourRole role = MapColourRole::Fixed;
  uint32_t rgb = 0;  // 0xRRGGBB for Fixed
  bool operator==(const MapColour&) const = default;
};
namespace map_colour {
inline constexpr MapColour Red{MapColourRole::Fixed, 0xFF0000}, Aqua{MapColourRole::Fixed, 0x00FFFF},
    Fuchsia{MapColourRole::Fixed, 0xFF00FF}, Lime{MapColourRole::Fixed, 0x00FF00}, Blue{MapColourRole::Fixed, 0x0000FF},
    Yellow{MapColourRole::Fixed, 0xFFFF00}, Maroon{MapColourRole::Fixed, 0x800000}, Teal{MapColourRole::Fixed, 0x008080},
    Navy{MapColourRole::Fixed, 0x000080}, Purple{MapColourRole::Fixed, 0x800080}, Olive{MapColourRole::Fixed, 0x808000},
    Green{MapColourRole::Fixed, 0x008000}, Gray{MapColourRole::Fixed, 0x808080}, Black{MapColourRole::Fixed, 0x000000},
    Wine{MapColourRole::Fixed, 0x800040}, ButtonText{MapColourRole::ButtonText, 0},
    ButtonShadow{MapColourRole::ButtonShadow, 0};
}

// One check box of the "Key" group: its caption and colour, and the members it stands for
// (bits of the mode's set: frame conditions, encapsulations, protocol categories, transport
// kinds; for hop counts the key's index).
struct MapKey {
  std::string caption;
  MapColour colour;
  bool whiteText = false;
  uint32_t members = 0;
};
struct MapKeySet {
  std::vector<MapKey> keys;  // Key1 ... in order; the others are hidden
  int groupHeight = 0;       // 0: the group is hidden
};

inline constexpr int kMapKeyCount = 14;
using MapKeyStates = std::array<bool, kMapKeyCount>;
inline constexpr MapKeyStates kAllKeysOn = {true, true, true, true, true, true, true,
                                            true, true, true, true, true, true, true};

// What the layout needs of the window's font: the size of a label in the label font.
struct MapTextMetrics {
  std::function<double(std::string_view text, int pointSize)> width;
  std::function<double(int pointSize)> height;
};

struct MapRect {
  double left = 0, top = 0, width = 0, height = 0;
  bool Contains(double x, double y) const { return x >= left && x < left + width && y >= top && y < top + height; }
  bool Intersects(const MapRect& o) const {
    return left < o.left + o.width && o.left < left + width && top < o.top + o.height && o.top < top + height;
  }
};

struct MapLabel {
  int32_t station = -1;  // tree node; -1 for the overflow label
  std::string text;
  MapRect rect;
  double pointX = 0, pointY = 0;  // the station's point on the circle
  bool sender = false;            // drawn in the button-text colour, else the button-shadow colour
  int64_t frames = 0;             // the station's frames, sent and received
  double dotRadius = 2.5;         // its dot, larger for the busier stations
};

struct MapLine {
  int32_t from = -1, to = -1;  // tree nodes
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  std::vector<MapColour> colours;  // one: a straight line; n: 2n equal segments cycling through them
  int width = 1;
  int64_t frames = 0;  // the frames the line stands for
};

struct PeerMapLayout {
  bool densityBarShown = false;
  double threshold = 0;     // the smallest share of the trace's frames a drawn sender has
  int64_t plottedCount = 0;  // stations plotted at that threshold
  double centreX = 0, centreY = 0, radius = 1, step = 0;
  int fontPointSize = 8;
  std::vector<MapLabel> labels;  // in point order
  std::vector<MapLine> lines;
  MapKeySet keys;

  // The sender whose label holds the point (index into labels; the topmost where labels
  // overlap), or nothing.
  std::optional<size_t> SenderLabelAt(double x, double y) const;
  // The label of a station, or nothing when it is not plotted.
  std::optional<size_t> LabelOf(int32_t station) const;
};

// "All", "Broadcast", "Non-Broadcast".
enum class MapDestinations { All = 0, Broadcast = 1, NonBroadcast = 2 };
inline constexpr int kDensityMaximum = 20;
inline constexpr std::string_view kOverflowLabel = "OVERFLOW      ";

// ---- the Station window ----
enum class StationMapMode { Errors = 0, Encapsulation = 1, Protocol = 2 };

MapKeySet StationMapKeys(StationMapMode mode, uint8_t topologyCode);

struct StationMapInput {
  StationMapMode mode = StationMapMode::Encapsulation;
  MapDestinations destinations = MapDestinations::All;
  int densityPosition = kDensityMaximum;  // 1 .. kDensityMaximum
  MapKeyStates keyStates = kAllKeysOn;
  // Per StationTree node: false when "&Select Stations..." took it off the map.
  const std::vector<bool>* selected = nullptr;
  StationNameOptions names;
  double width = 0, height = 0;  // the paint box
};

PeerMapLayout LayoutStationMap(const TraceSession& session, const StationMapInput& input,
                               const MapTextMetrics& metrics);

// ---- the Network window ----
enum class NetworkMapMode { Ip = 0, Ipx = 1, IpxHops = 2 };

MapKeySet NetworkMapKeys(NetworkMapMode mode);

struct NetworkMapInput {
  NetworkMapMode mode = NetworkMapMode::Ip;
  MapDestinations destinations = MapDestinations::All;
  int densityPosition = kDensityMaximum;
  MapKeyStates keyStates = kAllKeysOn;
  const std::vector<bool>* selected = nullptr;  // per NetStationTree node
  NetworkNameOptions names;
  double width = 0, height = 0;
};

PeerMapLayout LayoutNetworkMap(const TraceSession& session, const NetworkMapInput& input,
                               const MapTextMetrics& metrics);

// The hop count of an IPX link: the peer's last hop count plus that of the destination's
// peer entry back to the sender, when there is one.
int LinkHopCount(const TraceSession& session, int32_t sender, const TNetPeer& peer);

}  // namespace korvane
