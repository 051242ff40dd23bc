// The "Frame Size Chart" and "Protocol Chart" pages: one chart each, drawn after the
// chart properties both share, a "Copy graphic to clipboard" button and the pop-up item
// "Chart &Properties..." that opens the chart properties dialog.
#pragma once
#include <QList>
#include <QString>
#include <functional>

#include "reports/ProtocolTable.h"
#include "settings/ChartProperties.h"
#include "ui/main/TracePage.h"

class QHBoxLayout;
class QMenu;
class QRadioButton;
class QToolButton;

namespace korvane {

struct AnalysisTables;
class ChartAdapter;
class TChartPropertiesForm;

class TChartPage : public TracePage {
  Q_OBJECT
 public:
  TChartPage(ChartProperties& properties, QWidget* parent);

  void ClearTrace() override;
  QString CopyCaption() const override { return "&Copy Chart"; }
  void Copy() override;
  QList<int> Tips() const override { return {1, 33}; }

  ChartAdapter& Chart() const { return *chart_; }
  QMenu& PopupMenu() const { return *popup_; }
  TChartPropertiesForm& PropertiesForm();

 public slots:
  // Redraws the chart after the live chart properties.
  void ApplyProperties();
  // The pop-up's "Chart &Properties...": the dialog, again after every Apply, this chart
  // redrawn and PropertiesChanged sent after every close that is not Cancel.
  void EditProperties();

 public:
  // The same with the dialog shown by `show` (tests answer for the user).
  void EditProperties(const std::function<int(TChartPropertiesForm&)>& show);

 signals:
  // The chart properties changed in the dialog; the other chart page applies them too.
  void PropertiesChanged();

 protected:
  // The row above the chart, for the page's own controls.
  QHBoxLayout& Controls() const { return *controls_; }
  void ShowSeries(const QString& title, std::vector<ChartPoint> points);

 private:
  ChartProperties& properties_;
  ChartAdapter* chart_;
  QToolButton* copyButton_;
  QHBoxLayout* controls_;
  QMenu* popup_;
  TChartPropertiesForm* form_ = nullptr;
};

// Both chart pages show the same properties: a change in either's dialog redraws both.
void ShareChartProperties(TChartPage& first, TChartPage& second);

class TFrameSizeChartPage : public TChartPage {
  Q_OBJECT
 public:
  explicit TFrameSizeChartPage(ChartProperties& properties, QWidget* parent = nullptr);
  void ShowTrace(const TraceSession& session) override;
};

class TProtocolChartPage : public TChartPage {
  Q_OBJECT
 public:
  explicit TProtocolChartPage(ChartProperties& properties, QWidget* parent = nullptr);
  void ShowTrace(const TraceSession& session) override;
  void ClearTrace() override;

  // The "Packet Class" choice: "All", "Broadcast" or "Non-Broadcast".
  PacketClass Class() const { return class_; }
  void SetClass(PacketClass packetClass);
  QRadioButton& ClassButton(PacketClass packetClass) const { return *classButtons_[int(packetClass)]; }

 private:
  void Redraw();

  const AnalysisTables* tables_ = nullptr;
  PacketClass class_ = PacketClass::All;
  QRadioButton* classButtons_[3];
};

}  // namespace korvane
