// The small key-value interface every persisted setting is loaded from and saved to. The
// desktop program puts it over QSettings; korvane-cli and the tests use the INI file store
// (the same text QSettings writes on Linux) or the memory store.
//
// Values are text: integers and booleans as decimal text (booleans "1"/"0"; the words
// "true"/"false" are read as well), colours as decimal integers, raw values as their bytes.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

class KeyValueStore {
 public:
  virtual ~KeyValueStore() = default;
  // The value of a name in a section; nothing when it is not stored.
  virtual std::optional<std::string> Value(std::string_view section, std::string_view name) const = 0;
  virtual void SetValue(std::string_view section, std::string_view name, std::string_view value) = 0;
  // Removes every value of a section (lists are rewritten whole).
  virtual void ClearSection(std::string_view section) = 0;
};

// Values kept in memory.
class MemoryStore : public KeyValueStore {
 public:
  std::optional<std::string> Value(std::string_view section, std::string_view name) const override;
  void SetValue(std::string_view section, std::string_view name, std::string_view value) override;
  void ClearSection(std::string_view section) override;

 private:
  std::map<std::pair<std::string, std::string>, std::string> values_;
};

// Reading a stored number: decimal text within [minimum, maximum] gives the number, any
// other text (or none) gives nothing.
std::optional<long long> StoredInteger(const KeyValueStore& store, std::string_view section, std::string_view name,
                                       long long minimum, long long maximum);
// "1", "true" give true; "0", "false" give false (either case); any other text (or none) nothing.
std::optional<bool> StoredBool(const KeyValueStore& store, std::string_view section, std::string_view name);

void StoreInteger(KeyValueStore& store, std::string_view section, std::string_view name, long long value);
void StoreBool(KeyValueStore& store, std::string_view section, std::string_view name, bool value);

}  // namespace korvane
