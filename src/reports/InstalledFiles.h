// Where the programs find the files they ship with (the vendor-prefix file, the demo trace):
// beside the program in the build folder, or in the shared data folder of an installation
// (<prefix>/share/korvane beside <prefix>/bin).
#pragma once
#include <filesystem>
#include <string_view>

namespace korvane {

// The folder of the running program; empty when it cannot be told.
std::filesystem::path RunningProgramFolder();

// The first existing file of that name beside the program, then in ../share/korvane from
// it; the path beside the program when neither exists.
std::filesystem::path FindProgramDataFile(const std::filesystem::path& programFolder, std::string_view name);

}  // namespace korvane
