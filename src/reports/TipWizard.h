// The Tip Wizard: 44 numbered tips and the text its box shows for a set of them. Every
// window names the tips that fit it; the main window shows them while that window is active.
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

inline constexpr int kTipCount = 44;

// The tip text of a number 1..44 (number 4 is empty); empty for any other number.
std::string_view TipText(int number);

// "Tip: " + text for every tip of the set in ascending number order, each once, one per
// line; empty tips are left out.
std::string TipWizardText(const std::vector<int>& tips);

// The tip sets of the windows that are not pages of the main window.
namespace tipset {
inline const std::vector<int> Welcome = {30, 31};        // no file open, after Close
inline const std::vector<int> OpenDialog = {17, 18};
inline const std::vector<int> ProblemSettings = {43, 44};
inline const std::vector<int> PrintSelection = {15, 16};
inline const std::vector<int> ThroughputAnalysis = {26, 27, 28};
inline const std::vector<int> LatencyAnalysis = {25, 40, 41};
inline const std::vector<int> WhatIfAnalysis = {36, 37, 38, 39};
inline const std::vector<int> StationStatistics = {10, 11, 12, 23};
inline const std::vector<int> NetworkStatistics = {10, 11, 12, 14, 24};
inline const std::vector<int> Toolbox = {19, 20, 21, 22, 42};
}  // namespace tipset

}  // namespace korvane
