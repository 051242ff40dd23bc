// Whether the main window shows its Tip Wizard panel: section "Tip Wizard", value "Enabled".
#pragma once
#include <string_view>

#include "settings/KeyValueStore.h"

namespace korvane {

inline constexpr std::string_view kTipWizardSection = "Tip Wizard";

struct TipWizardSettings {
  bool Enabled = true;

  void Load(const KeyValueStore& store);
  void Save(KeyValueStore& store) const;

  bool operator==(const TipWizardSettings&) const = default;
};

}  // namespace korvane
