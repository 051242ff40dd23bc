// The Ring Map of the DLC Error Expert's Token Ring panel: the stations of the ring poll on
// a ring in ring-poll order, downstream neighbours clockwise, each labelled in the colour
// of the chosen "ID Station by" key; the fault-domain reports of the chosen kind marked
// between a reporting station and its upstream neighbour; the key below the ring.
#pragma once
#include <QColor>
#include <QImage>
#include <QPolygonF>
#include <QString>
#include <QWidget>
#include <vector>

#include "reports/DlcErrors.h"

namespace korvane {

class RingMapView : public QWidget {
  Q_OBJECT
 public:
  enum class IdStationBy { RingPoll, StationErrors };
  enum class FaultDomainKind { Burst, Line };

  explicit RingMapView(QWidget* parent = nullptr);

  void SetRing(RingMap ring);
  void SetIdStationBy(IdStationBy by);
  void SetFaultDomain(FaultDomainKind kind);
  IdStationBy IdBy() const { return idBy_; }
  FaultDomainKind FaultDomain() const { return faultDomain_; }
  const RingMap& Ring() const { return ring_; }

  // Where everything goes at the view's present size.
  enum class LabelStyle {
    Level,      // beside the ring, level
    Radial,     // along the radius, all at one distance from the ring
    Staggered,  // along the radius, every other one further out
  };
  struct PlacedStation {
    int position = 0;
    QString label;
    QColor colour;      // the key colour of the station
    double angle = 0;   // degrees clockwise from twelve o'clock
    QPointF node;       // the station's place on the ring
    QRectF rect;        // the label: level, or turned by `turn` degrees about the centre
    double turn = 0;
    QPolygonF outline;  // the label's outline on the map
  };
  struct FaultMark {
    int reporter = -1, upstream = -1;  // indexes into the placed stations; -1 when not on the ring
    int64_t count = 0;
    bool adjacent = false;  // the upstream neighbour is the reporter's neighbour on the map
  };
  struct KeyEntry {
    QString caption;
    QColor colour;
    QRectF rect;
  };
  struct Placement {
    std::vector<PlacedStation> stations;
    std::vector<FaultMark> faults;
    QPointF centre;
    double radius = 0;
    LabelStyle labelStyle = LabelStyle::Level;
    int fontPixels = 12;
    QRectF keyArea;              // the key below the ring
    std::vector<KeyEntry> keys;  // the key of the "ID Station by" choice
    QString faultCaption;        // what the fault-domain marks stand for
    QRectF faultText;
  };
  const Placement& Layout();

  // The map as drawn, at the view's size.
  QImage Picture();

  static QColor KeyColour(RingColour colour);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Paint(QPainter& painter);
  void LayKey(Placement& placement, const QRectF& whole) const;
  void PaintKey(QPainter& painter, const Placement& placement);

  RingMap ring_;
  IdStationBy idBy_ = IdStationBy::RingPoll;
  FaultDomainKind faultDomain_ = FaultDomainKind::Burst;
  Placement placement_;
  bool placed_ = false;
};

}  // namespace korvane
