#include "settings/VisualizerAttributes.h"

#include <optional>
#include <string>

namespace korvane {

namespace {
constexpr std::string_view kSendColour = "SendPacketColor", kReceiveColour = "ReceivePacketColor",
                           kDiagnosticColour = "Diagnostic Color", kFont = "Font";

// The six column switches with their value names.
struct Switch {
  std::string_view name;
  bool VisualizerAttributes::*member;
};
constexpr Switch kSwitches[] = {
    {"Cumulative Bytes (together)", &VisualizerAttributes::ShowCumulativeBytesTogether},
    {"Cumulative Bytes (separate)", &VisualizerAttributes::ShowCumulativeBytesSeparate},
    {"Cumulative Time", &VisualizerAttributes::ShowCumulativeTime},
    {"Delta Time", &VisualizerAttributes::ShowDeltaTime},
    {"Frame Size", &VisualizerAttributes::ShowPacketSize},
    {"Frame Number", &VisualizerAttributes::ShowPacketNumber},
};

void LoadColour(const KeyValueStore& store, std::string_view name, uint32_t& colour) {
  if (auto value = StoredInteger(store, kVisualizerSection, name, 0, 0xFFFFFF)) colour = uint32_t(*value);
}
}  // namespace

FontRecord DefaultVisualizerFont() {
  FontRecord font;
  font.FaceName = "Arial";
  font.Size = 8;
  return font;
}

void VisualizerAttributes::Load(const KeyValueStore& store) {
  *this = VisualizerAttributes();
  LoadColour(store, kSendColour, SendColour);
  LoadColour(store, kReceiveColour, ReceiveColour);
  LoadColour(store, kDiagnosticColour, DiagnosticColour);
  if (std::optional<std::string> bytes = store.Value(kVisualizerSection, kFont))
    if (std::optional<FontRecord> font = FontRecord::Decode(*bytes)) Font = *font;
  for (const Switch& s : kSwitches)
    if (std::optional<bool> on = StoredBool(store, kVisualizerSection, s.name)) this->*s.member = *on;
}

void VisualizerAttributes::Save(KeyValueStore& store) const {
  StoreInteger(store, kVisualizerSection, kSendColour, SendColour);
  StoreInteger(store, kVisualizerSection, kReceiveColour, ReceiveColour);
  StoreInteger(store, kVisualizerSection, kDiagnosticColour, DiagnosticColour);
  store.SetValue(kVisualizerSection, kFont, Font.Encode());
  for (const Switch& s : kSwitches) StoreBool(store, kVisualizerSection, s.name, this->*s.member);
}

}  // namespace korvane
