#include "settings/PrintSetup.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace korvane {

namespace {
constexpr std::string_view kLeft = "LeftMargin", kRight = "RightMargin", kTop = "TopMargin", kBottom = "BottomMargin";
constexpr std::string_view kOrientation = "Orientation", kHeader = "Header", kPrint = "Print";
constexpr std::string_view kPortrait = "Portrait", kLandscape = "Landscape", kYes = "Yes", kNo = "No",
                           kToFit = "PrintToFit", kProportional = "Proportional";

double LoadMargin(const KeyValueStore& store, std::string_view name, double fallback) {
  const std::optional<std::string> text = store.Value(kPrintSetupSection, name);
  if (!text || text->empty()) return fallback;
  double value = 0;
  const char* end = text->data() + text->size();
  const auto [stop, error] = std::from_chars(text->data(), end, value, std::chars_format::fixed);
  if (error != std::errc() || stop != end || !std::isfinite(value) || value < 0) return fallback;
  return std::min(value, margin_limits::kDiagramHighest);
}

// A setting stored as one of two words: the first word gives `first`.
template <class T>
T LoadChoice(const KeyValueStore& store, std::string_view name, std::string_view firstWord, T first,
             std::string_view secondWord, T second, T fallback) {
  const std::optional<std::string> text = store.Value(kPrintSetupSection, name);
  if (text == firstWord) return first;
  if (text == secondWord) return second;
  return fallback;
}
}  // namespace

std::string PrintSetup::MarginText(double inches) {
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, inches, std::chars_format::fixed, 1);
  return error == std::errc() ? std::string(buffer, end) : std::string("1.0");
}

void PrintSetup::ClampMargins(double lowest, double highest) {
  for (double* margin : {&LeftMargin, &RightMargin, &TopMargin, &BottomMargin})
    *margin = std::clamp(*margin, lowest, highest);
}

void PrintSetup::Load(const KeyValueStore& store) {
  const PrintSetup defaults;
  LeftMargin = LoadMargin(store, kLeft, defaults.LeftMargin);
  RightMargin = LoadMargin(store, kRight, defaults.RightMargin);
  TopMargin = LoadMargin(store, kTop, defaults.TopMargin);
  BottomMargin = LoadMargin(store, kBottom, defaults.BottomMargin);
  Orientation = LoadChoice(store, kOrientation, kPortrait, PageOrientation::Portrait, kLandscape,
                           PageOrientation::Landscape, defaults.Orientation);
  PrintHeader = LoadChoice(store, kHeader, kYes, true, kNo, false, defaults.PrintHeader);
  Scaling = LoadChoice(store, kPrint, kToFit, PrintScaling::ToFit, kProportional, PrintScaling::Proportional,
                       defaults.Scaling);
}

void PrintSetup::Save(KeyValueStore& store) const {
  store.SetValue(kPrintSetupSection, kLeft, MarginText(LeftMargin));
  store.SetValue(kPrintSetupSection, kRight, MarginText(RightMargin));
  store.SetValue(kPrintSetupSection, kTop, MarginText(TopMargin));
  store.SetValue(kPrintSetupSection, kBottom, MarginText(BottomMargin));
  store.SetValue(kPrintSetupSection, kOrientation, Orientation == PageOrientation::Portrait ? kPortrait : kLandscape);
  store.SetValue(kPrintSetupSection, kHeader, PrintHeader ? kYes : kNo);
  store.SetValue(kPrintSetupSection, kPrint, Scaling == PrintScaling::ToFit ? kToFit : kProportional);
}

}  // namespace korvane
