// The settings file the desktop program's QSettings keeps on Linux (organisation "Zum4 Group",
// application "Korvane"), read and written without Qt so that korvane-cli and the tests see
// the very same values:
//
//   [General]                       values outside any section
//   [Problem%20Finder]              section names and keys with %XX escapes (%UXXXX above U+00FF)
//   ThresholdTCPSlowAck=250
//   [Server%20Ports]
//   0=8080\tProxy                   values with backslash escapes, in double quotes when they
//   1="1521\tOracle, Listener"      hold ";", "," or "=" or start or end with a blank
//
// As in QSettings, a section is the first part of a path: the section "4.03a/Display" with
// the name "MainForm" is the line "Display\MainForm=..." under "[4.03a]". Values are UTF-8
// text; a value that is not UTF-8 (or holds a NUL byte) is raw bytes and is written as
// "@ByteArray(...)", the form QSettings gives a byte array.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "settings/KeyValueStore.h"

namespace korvane {

// The largest settings file read: far above what the program writes.
inline constexpr std::uintmax_t kSettingsFileCap = 4u << 20;

class IniFileStore : public KeyValueStore {
 public:
  std::optional<std::string> Value(std::string_view section, std::string_view name) const override;
  void SetValue(std::string_view section, std::string_view name, std::string_view value) override;
  // Removes the values of the section and of every section below it ("A" takes "A/B" along).
  void ClearSection(std::string_view section) override;

  // Replaces every value by those of the file; a missing or unreadable file leaves the store
  // empty and gives false.
  // Reads a regular file of at most kSettingsFileCap bytes; false (and empty) otherwise.
  bool Load(const std::string& path);
  // Replaces every value by those of INI text.
  void Parse(std::string_view text);

  // The INI text of every value: sections in name order ("[General]" first), keys in name order.
  std::string Text() const;
  // Writes Text() to the file (through a temporary file beside it, creating the folder when
  // missing); false when it could not be written, the file then being unchanged.
  bool Save(const std::string& path) const;

 private:
  // First part of the path -> rest of the path -> value.
  std::map<std::string, std::map<std::string, std::string>> sections_;
};

// The desktop program's settings file: "$XDG_CONFIG_HOME/Zum4 Group/Korvane.conf", else
// "$HOME/.config/Zum4 Group/Korvane.conf"; empty when neither variable gives a folder.
std::string DefaultSettingsFile();

// Loads the settings file at path, or the desktop program's own when path is empty. A missing
// or unreadable file loads as empty and gives false.
bool LoadSettingsFile(const std::string& path, IniFileStore& store);

}  // namespace korvane
