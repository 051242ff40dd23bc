// The settings store of the desktop program: the key-value interface over QSettings. A
// section is a settings group ("4.03a/Display" nests); text goes in as a string, a value
// that is not UTF-8 text (or holds a NUL byte) as a byte array.
#pragma once
#include <QSettings>

#include "settings/KeyValueStore.h"

namespace korvane {

class QSettingsStore final : public KeyValueStore {
 public:
  explicit QSettingsStore(QSettings& settings) : settings_(settings) {}

  std::optional<std::string> Value(std::string_view section, std::string_view name) const override;
  void SetValue(std::string_view section, std::string_view name, std::string_view value) override;
  void ClearSection(std::string_view section) override;

 private:
  QSettings& settings_;
};

// The organisation and application names the program's own settings live under.
inline constexpr const char* kOrganisationName = "Zum4 Group";
inline constexpr const char* kApplicationName = "Korvane";

}  // namespace korvane
