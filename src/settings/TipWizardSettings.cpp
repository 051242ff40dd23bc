#include "settings/TipWizardSettings.h"

namespace korvane {

namespace {
constexpr std::string_view kEnabledName = "Enabled";
}  // namespace

void TipWizardSettings::Load(const KeyValueStore& store) {
  Enabled = StoredBool(store, kTipWizardSection, kEnabledName).value_or(true);
}

void TipWizardSettings::Save(KeyValueStore& store) const { StoreBool(store, kTipWizardSection, kEnabledName, Enabled); }

}  // namespace korvane
