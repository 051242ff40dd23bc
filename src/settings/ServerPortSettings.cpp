#include "settings/ServerPortSettings.h"

#include <cstdint>

namespace korvane {

void ServerPortSettings::Load(const KeyValueStore& store) {
  Entries.clear();
  for (size_t i = 0;; ++i) {
    std::optional<std::string> entry = store.Value(kServerPortsSection, std::to_string(i));
    if (!entry || entry->empty()) break;
    const size_t tab = entry->find('\t');
    if (tab != std::string::npos) {
      // Cut after kPortNameMax characters, never inside a UTF-8 sequence.
      size_t at = tab + 1, characters = 0;
      while (at < entry->size() && characters < kPortNameMax) {
        ++at;
        while (at < entry->size() && (uint8_t((*entry)[at]) & 0xC0) == 0x80) ++at;
        ++characters;
      }
      entry->resize(at);
    }
    Entries.push_back(std::move(*entry));
  }
}

void ServerPortSettings::Save(KeyValueStore& store) const {
  store.ClearSection(kServerPortsSection);
  for (size_t i = 0; i < Entries.size(); ++i) store.SetValue(kServerPortsSection, std::to_string(i), Entries[i]);
}

std::string ServerPortSettings::Entry(std::string_view port, std::string_view name) {
  std::string entry(port);
  entry += '\t';
  entry += name;
  return entry;
}

std::string_view ServerPortSettings::EntryPort(std::string_view entry) { return entry.substr(0, entry.find('\t')); }

std::string_view ServerPortSettings::EntryName(std::string_view entry) {
  const size_t tab = entry.find('\t');
  return tab == std::string_view::npos ? std::string_view() : entry.substr(tab + 1);
}

}  // namespace korvane
