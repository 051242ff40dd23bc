// The page set-up shared by the print dialogs: margins in inches, orientation, the header
// line and how a snapshot is scaled. Kept in the section "Print Setup" as text: margins with
// one decimal ("1.0"), "Portrait"/"Landscape", "Yes"/"No", "PrintToFit"/"Proportional".
#pragma once
#include <string>
#include <string_view>

#include "settings/KeyValueStore.h"

namespace korvane {

inline constexpr std::string_view kPrintSetupSection = "Print Setup";

enum class PageOrientation { Portrait, Landscape };

// The margins the two print dialogs allow: the snapshot dialog steps by 0.1 inch within
// 0 .. 2.0, the packet diagram's dialog by 0.05 within 0.05 .. 2.5. A stored margin is read
// back within the wider of the two, 0 .. 2.5.
namespace margin_limits {
inline constexpr double kSnapshotStep = 0.1, kSnapshotLowest = 0.0, kSnapshotHighest = 2.0;
inline constexpr double kDiagramStep = 0.05, kDiagramLowest = 0.05, kDiagramHighest = 2.5;
}  // namespace margin_limits
enum class PrintScaling { ToFit, Proportional };

struct PrintSetup {
  double LeftMargin = 1.0, RightMargin = 1.0, TopMargin = 1.0, BottomMargin = 1.0;
  PageOrientation Orientation = PageOrientation::Portrait;
  bool PrintHeader = true;
  PrintScaling Scaling = PrintScaling::ToFit;

  // A margin that is not a number of at least 0 keeps its default, one above 2.5 is read
  // as 2.5; a two-valued text holding any other word keeps its default.
  void Load(const KeyValueStore& store);
  void Save(KeyValueStore& store) const;

  // Every margin brought within lowest .. highest.
  void ClampMargins(double lowest, double highest);

  // "1.0": one decimal place, a full stop whatever the locale.
  static std::string MarginText(double inches);

  bool operator==(const PrintSetup&) const = default;
};

}  // namespace korvane
