#include "settings/KeyValueStore.h"

#include <charconv>
#include <string>

namespace korvane {

std::optional<std::string> MemoryStore::Value(std::string_view section, std::string_view name) const {
  auto found = values_.find({std::string(section), std::string(name)});
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

void MemoryStore::SetValue(std::string_view section, std::string_view name, std::string_view value) {
  values_[{std::string(section), std::string(name)}] = std::string(value);
}

void MemoryStore::ClearSection(std::string_view section) {
  for (auto it = values_.begin(); it != values_.end();) {
    if (it->first.first == section) it = values_.erase(it); else ++it;
  }
}

std::optional<long long> StoredInteger(const KeyValueStore& store, std::string_view section, std::string_view name,
                                       long long minimum, long long maximum) {
  const std::optional<std::string> text = store.Value(section, name);
  if (!text || text->empty()) return std::nullopt;
  // Digits only, with an optional minus sign; no blanks, no "+", no hexadecimal.
  long long value = 0;
  const char* end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, value);
  if (error != std::errc() || stop != end || value < minimum || value > maximum) return std::nullopt;
  return value;
}

std::optional<bool> StoredBool(const KeyValueStore& store, std::string_view section, std::string_view name) {
  const std::optional<std::string> text = store.Value(section, name);
  if (!text) return std::nullopt;
  auto is = [&](std::string_view word) {
    if (text->size() != word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      const char c = (*text)[i];
      if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != word[i]) return false;
    }
    return true;
  };
  if (is("1") || is("true")) return true;
  if (is("0") || is("false")) return false;
  return std::nullopt;
}

void StoreInteger(KeyValueStore& store, std::string_view section, std::string_view name, long long value) {
  store.SetValue(section, name, std::to_string(value));
}

void StoreBool(KeyValueStore& store, std::string_view section, std::string_view name, bool value) {
  store.SetValue(section, name, value ? "1" : "0");
}

}  // namespace korvane
