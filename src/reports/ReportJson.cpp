#include "reports/ReportJson.h"

#include <cctype>
#include <cmath>

#include "reports/Formatters.h"

namespace korvane {

namespace {

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of a figure text, and whether it had decimals.
std::optional<std::pair<double, bool>> ParseFigure(std::string_view text) {
  text = Trimmed(text);
  if (text == "<1%") return std::pair{0.0, false};
  if (!text.empty() && text.back() == '%') text.remove_suffix(1);
  std::string plain;
  size_t i = 0;
  if (!text.empty() && text[0] == '-') plain += text[i++];
  size_t digits = 0, groupDigits = 0;
  bool grouped = false;
  for (; i < text.size() && (IsDigit(text[i]) || text[i] == ','); ++i) {
    if (text[i] == ',') {
      // Thousands separators: after 1..3 leading digits, then every three digits.
      if (digits == 0 || (grouped ? groupDigits != 3 : groupDigits > 3)) return std::nullopt;
      grouped = true;
      groupDigits = 0;
      continue;
    }
    plain += text[i];
    ++digits;
    ++groupDigits;
  }
  if (digits == 0 || (grouped && groupDigits != 3)) return std::nullopt;
  bool decimals = false;
  if (i < text.size() && text[i] == '.') {
    plain += text[i++];
    const size_t start = i;
    while (i < text.size() && IsDigit(text[i])) plain += text[i++];
    if (i == start) return std::nullopt;
    decimals = true;
  }
  if (i != text.size()) return std::nullopt;
  return std::pair{DecimalPrefix(plain), decimals};
}

Json NumberJson(double value, bool decimals) {
  if (!decimals && std::fabs(value) < 9e15) return Json(int64_t(value));
  return Json(value);
}

}  // namespace

std::optional<double> FigureNumber(std::string_view text) {
  const auto figure = ParseFigure(text);
  if (!figure) return std::nullopt;
  return figure->first;
}

std::optional<double> ClockSeconds(std::string_view text) {
  text = Trimmed(text);
  // Hours of one or more digits, then ":MM:SS", then optional ".fraction".
  const size_t first = text.find(':');
  if (first == 0 || first == std::string_view::npos || text.size() < first + 6 || text[first + 3] != ':')
    return std::nullopt;
  double hours = 0;
  for (size_t i = 0; i < first; ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    hours = hours * 10 + (text[i] - '0');
  }
  auto two = [&](size_t at) -> std::optional<int> {
    if (!IsDigit(text[at]) || !IsDigit(text[at + 1])) return std::nullopt;
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
  };
  const auto minutes = two(first + 1), seconds = two(first + 4);
  if (!minutes || !seconds || *minutes > 59 || *seconds > 59) return std::nullopt;
  double fraction = 0;
  size_t i = first + 6;
  if (i < text.size()) {
    if (text[i] != '.' || i + 1 == text.size() || text.size() - i > 10) return std::nullopt;
    // As one division, so that "00:00:00.013" gives the double nearest 0.013.
    int64_t digits = 0, scale = 1;
    for (++i; i < text.size(); ++i, scale *= 10) {
      if (!IsDigit(text[i])) return std::nullopt;
      digits = digits * 10 + (text[i] - '0');
    }
    fraction = double(digits) / double(scale);
  }
  return hours * 3600 + *minutes * 60 + *seconds + fraction;
}

Json FigureJson(std::string_view text) {
  if (Trimmed(text).empty()) return Json();
  if (const auto figure = ParseFigure(text)) return NumberJson(figure->first, figure->second);
  return Json(std::string(text));
}

namespace {
Json SecondsJson(std::string_view clock) {
  if (const auto seconds = ClockSeconds(clock)) return Json(*seconds);
  return FigureJson(clock);
}
}  // namespace

Json TableJson(const std::vector<std::string_view>& headings, const std::vector<std::vector<std::string>>& rows,
               const std::function<bool(size_t column)>& isText) {
  const size_t columns = headings.size();
  std::vector<bool> clock(columns, false);
  for (size_t c = 0; c < columns; ++c) {
    if (isText(c)) continue;
    bool any = false, all = true;
    for (const auto& row : rows) {
      if (c >= row.size() || Trimmed(row[c]).empty()) continue;
      const bool isClock = ClockSeconds(row[c]).has_value();
      any = any || isClock;
      all = all && isClock;
    }
    clock[c] = any && all;
  }
  Json out = Json::array();
  for (const auto& row : rows) {
    Json object = Json::object();
    for (size_t c = 0; c < columns; ++c) {
      const std::string cell = c < row.size() ? row[c] : std::string();
      if (isText(c))
        object[std::string(headings[c])] = cell;
      else if (clock[c])
        object[std::string(headings[c]) + " (s)"] = SecondsJson(cell);
      else
        object[std::string(headings[c])] = FigureJson(cell);
    }
    out.push_back(std::move(object));
  }
  return out;
}

Json FileSummaryJson(const FileSummary& summary) {
  namespace h = summary_heading;
  Json out;
  Json media;
  media["Line Speed (Mbps)"] = summary.lineSpeedMbps;
  media["Broadcast Only"] = summary.broadcastOnly;
  media["Bandwidth % Average"] = summary.averageUtilisationPercent;
  media["Bandwidth % Peak"] = summary.peakUtilisationPercent;
  media["Bytes/Sec Average"] = FigureJson(summary.averageBytesPerSecond);
  media["Bytes/Sec Peak"] = FigureJson(summary.peakBytesPerSecond);
  media["Frms/Sec Average"] = FigureJson(summary.averageFramesPerSecond);
  media["Frms/Sec Peak"] = FigureJson(summary.peakFramesPerSecond);
  if (!summary.utilisationNote.empty()) media["Note"] = summary.utilisationNote;
  out["Media Utilization"] = std::move(media);

  Json attributes;
  for (const auto& [label, value] : summary.attributes) {
    if (label == "Duration") {
      attributes["Duration (s)"] = SecondsJson(value);
    } else if (label == "Bandwidth" && value.ends_with(" Mbps")) {
      attributes["Bandwidth (Mbps)"] = FigureJson(value.substr(0, value.size() - 5));
    } else if (label == "File Size" && value.ends_with(" bytes")) {
      attributes["File Size (bytes)"] = FigureJson(value.substr(0, value.size() - 6));
    } else {
      attributes[label] = value;
    }
  }
  out[std::string(h::FileAttributes)] = std::move(attributes);

  Json frames = Json::array();
  for (size_t i = 0; i < summary.frameStatistics.size(); ++i) {
    const FrameStatisticsRow& r = summary.frameStatistics[i];
    Json row;
    row["Kind"] = r.label;
    row[std::string(h::Frames)] = FigureJson(r.frames);
    row[std::string(h::Bytes)] = FigureJson(r.bytes);
    if (i < 3) {
      row["Frames %"] = r.framesPercent;
      row["Bytes %"] = r.bytesPercent;
      row[std::string(h::AverageSize)] = FigureJson(r.averageSize);
      row[std::string(h::Largest)] = FigureJson(r.largest);
    }
    frames.push_back(std::move(row));
  }
  out[std::string(h::FrameStatistics)] = std::move(frames);

  Json encapsulations = Json::array();
  for (const EncapsulationRow& r : summary.encapsulations) {
    Json row;
    row["Encapsulation"] = r.label;
    row[std::string(h::Frames)] = FigureJson(r.count);
    if (r.gaugeVisible) row["Frames %"] = r.percent;
    encapsulations.push_back(std::move(row));
  }
  out[std::string(h::Encapsulations)] = std::move(encapsulations);
  out["Status Bar"] = summary.statusPanels;
  return out;
}

Json LatencyJson(const LatencyReport& report) {
  Json out = Json::array();
  for (const LatencyHalf* half : {&report.upper, &report.lower}) {
    if (!half->shown) continue;
    Json h;
    h["Label"] = half->label;
    if (half->hasResults) {
      h["Minimum (ms)"] = FigureJson(half->best);
      h["Maximum (ms)"] = FigureJson(half->worst);
      h["Average (ms)"] = FigureJson(half->average);
      h["Contention (ms)"] = FigureJson(half->contention);
      h["Duration (s)"] = SecondsJson(half->duration);
      h["Total Packets"] = FigureJson(half->total);
      h["Send-to-Receive Ratio"] = half->ratio;
      h["Average Send Size (bytes)"] = FigureJson(half->averageSendSize);
      h["Average Receive Size (bytes)"] = FigureJson(half->averageReceiveSize);
    }
    h["Notes"] = half->memo;
    out.push_back(std::move(h));
  }
  return out;
}

Json ThroughputJson(const ThroughputReport& report, bool kbits) {
  const std::string unit = kbits ? " (KBits/s)" : " (KBytes/s)";
  Json out = Json::array();
  for (const ThroughputHalf* half : {&report.upper, &report.lower}) {
    if (!half->shown) continue;
    Json h;
    h["Label"] = half->label;
    if (half->hasResults) {
      h["Maximum" + unit] = FigureJson(half->peak);
      h["Minimum" + unit] = FigureJson(half->lowest);
      h["Average" + unit] = FigureJson(half->average);
      h["Contention" + unit] = FigureJson(half->contention);
      h["Duration (s)"] = SecondsJson(half->duration);
      h["Total Packets"] = FigureJson(half->total);
      h["Bytes"] = FigureJson(half->bytes);
      h["Average Size (bytes)"] = FigureJson(half->averageSize);
      h["Average Payload (bytes)"] = FigureJson(half->averagePayload);
      h["Protocol Overhead %"] = FigureJson(half->overhead);
    }
    h["Notes"] = half->memo;
    out.push_back(std::move(h));
  }
  return out;
}

std::string JsonText(const Json& json) { return json.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n'; }

}  // namespace korvane
