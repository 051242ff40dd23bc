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
enum class PrintScaling { ToFit, Proportional };

struct PrintSetup {
  double LeftMargin = 1.0, RightMargin = 1.0, TopMargin = 1.0, BottomMargin = 1.0;
  PageOrientation Orientation = PageOrientation::Portrait;
  bool PrintHeader = true;
  PrintScaling Scaling = PrintScaling::ToFit;

  // A margin that is not a number of at least 0 keeps its default, as does a two-valued
  // text holding any other word.
  void Load(const KeyValueStore& store);
  void Save(KeyValueStore& store) const;

  // "1.0": one decimal place, a full stop whatever the locale.
  static std::string MarginText(double inches);

  bool operator==(const PrintSetup&) const = default;
};

}  // namespace korvane
