#include "settings/RecentFiles.h"

#include <algorithm>
#include <vector>

namespace korvane {

namespace {
constexpr std::string_view kLastDirectoryName = "Last Directory";
}  // namespace

void RecentFiles::Add(const std::string& fileName) {
  std::vector<std::string> list(Entries.begin(), Entries.end());
  std::erase(list, fileName);
  while (list.size() >= kRecentFileCount) list.pop_back();
  while (list.size() < kRecentFileCount - 1) list.emplace_back();
  list.insert(list.begin(), fileName);
  std::move(list.begin(), list.end(), Entries.begin());
}

void RecentFiles::Load(const KeyValueStore& store) {
  for (size_t i = 0; i < kRecentFileCount; ++i)
    Entries[i] = store.Value(kRecentFilesSection, std::to_string(i)).value_or(std::string());
  LastDirectory = store.Value(kRecentFilesSection, kLastDirectoryName).value_or(std::string());
}

void RecentFiles::Save(KeyValueStore& store) const {
  for (size_t i = 0; i < kRecentFileCount; ++i) store.SetValue(kRecentFilesSection, std::to_string(i), Entries[i]);
  store.SetValue(kRecentFilesSection, kLastDirectoryName, LastDirectory);
}

}  // namespace korvane
