#include "reports/InstalledFiles.h"

namespace korvane {

std::filesystem::path RunningProgramFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

std::filesystem::path FindProgramDataFile(const std::filesystem::path& programFolder, std::string_view name) {
  const std::filesystem::path beside = programFolder / name;
  const std::filesystem::path shared = programFolder / ".." / "share" / "korvane" / name;
  std::error_code error;
  if (std::filesystem::is_regular_file(beside, error)) return beside;
  if (std::filesystem::is_regular_file(shared, error)) return shared.lexically_normal();
  return beside;
}

}  // namespace korvane
