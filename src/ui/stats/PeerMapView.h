// The paint box of a peer map: draws the layout that reports/ computed (circle, lines,
// labels) and reports clicks on senders' labels. It never decides what is on the map.
#pragma once
#include <QFont>
#include <QWidget>
#include <functional>
#include <optional>

#include "reports/PeerMap.h"

namespace korvane {

class TPeerMapView : public QWidget {
  Q_OBJECT
 public:
  explicit TPeerMapView(QWidget* parent = nullptr);

  // How the layout is made for a paint box of a given size and the label font's metrics.
  using LayoutMaker = std::function<PeerMapLayout(double width, double height, const MapTextMetrics& metrics)>;
  void SetLayoutMaker(LayoutMaker maker);
  // Lays the map out again (after the window's choices changed) and repaints it.
  void Relayout();
  const PeerMapLayout& Layout() const { return layout_; }
  // The label shown in the highlight colour (a clicked sender), or none.
  void SetHighlighted(std::optional<size_t> label);
  std::optional<size_t> Highlighted() const { return highlighted_; }
  // The metrics of the label font at a point size (what the layout is given).
  MapTextMetrics Metrics() const;
  QColor ColourOf(const MapColour& colour) const;

  // The picture of the map as on the screen.
  QImage Picture();

 signals:
  // A left click on a sender's label (index into Layout().labels), with the point beside
  // the label where its menu opens, in global coordinates.
  void SenderClicked(size_t label, QPoint menuAt);
  // The layout changed (the density bar follows it).
  void LaidOut();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QFont LabelFont(int pointSize) const;

  LayoutMaker maker_;
  PeerMapLayout layout_;
  std::optional<size_t> highlighted_;
};

}  // namespace korvane
