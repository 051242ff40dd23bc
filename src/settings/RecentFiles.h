// The Reopen list of the File menu and the folder the Open dialog starts in. Kept in the
// section "Recent Files": "0" .. "7" (most recent first, empty for an empty slot) and
// "Last Directory".
#pragma once
#include <array>
#include <string>
#include <string_view>

#include "settings/KeyValueStore.h"

namespace korvane {

inline constexpr std::string_view kRecentFilesSection = "Recent Files";
inline constexpr size_t kRecentFileCount = 8;

struct RecentFiles {
  std::array<std::string, kRecentFileCount> Entries;  // entry 0 the most recent
  std::string LastDirectory;

  // A file that has just been read: any equal entry (compared exactly) leaves its place,
  // the oldest entry falls out when the list is full, and the file goes to the front.
  void Add(const std::string& fileName);

  void Load(const KeyValueStore& store);
  void Save(KeyValueStore& store) const;

  bool operator==(const RecentFiles&) const = default;
};

}  // namespace korvane
