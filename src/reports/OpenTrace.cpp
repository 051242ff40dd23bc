#include "reports/OpenTrace.h"

#include <algorithm>

#include "input/Detect.h"
#include "reports/Formatters.h"

namespace korvane {

namespace {
constexpr const char* kCannotOpenText = "Unable to open Source file.  File is in use or name is bad.";
}  // namespace

std::string FileNamePart(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {
OpenResult Refusal(TraceSession& session, std::string text) {
  OpenResult result;
  result.status = OpenStatus::Refused;
  result.message = std::move(text);
  session.info.CurrentFileName.clear();
  return result;
}
}  // namespace

OpenResult CheckTrace(TraceSession& session, const std::string& path, ByteSource& source) {
  TraceFileInfo& info = session.info;
  const std::string name = FileNamePart(path);
  info.CurrentFileName = path;
  info.LineSpeedMbps = 10;
  DetectResult detected = DetectTraceFormat(source, path, info);
  info.DetectedFormat = detected.format;
  if (detected.tooSmall) return Refusal(session, name + " is too small.");
  if (detected.couldNotOpen) return Refusal(session, kCannotOpenText);
  if (info.DetectedFormat == fmt_id::NotRecognised)
    return Refusal(session, name + " is osbolete, not supported, or not a trace file.");

  info.ReaderRejected = false;
  HeaderResult header = ReadTraceHeader(info.DetectedFormat, source, path, info);
  info.TopologyCode = header.topology;
  // Figures are relative to whole Mbit/s: a slower line counts as 1 Mbit/s rather than 0.
  info.LineSpeedMbps = std::max<int32_t>(1, int32_t(header.bandwidthBps / 1000000));
  const uint8_t t = info.TopologyCode;
  if (t == 2 || t == 3 || t > 18) return Refusal(session, name + " contains an unsupported interface.");
  if (t > 1 || !IsAcceptedFormat(info.DetectedFormat))
    return Refusal(session, name + " contains an unsupported analyzer or topology.");
  if (info.ReaderRejected) return Refusal(session, name + " holds no readable capture buffer.");
  OpenResult result;
  result.status = OpenStatus::Loaded;
  return result;
}

OpenResult ReadCheckedTrace(TraceSession& session, ByteSource& source) {
  TraceFileInfo& info = session.info;
  const std::string path = info.CurrentFileName;
  ReadOutcome outcome = ReadTraceFile(source, info, *session.frame, session.analyser, session.progress, false);
  if (!outcome.tablesReady)
    return Refusal(session, FileNamePart(path) + " has a damaged header and cannot be read.");
  session.AnalysedLineSpeedMbps = info.LineSpeedMbps;
  session.DurationText = DurationText(session.tables.TraceElapsed);
  OpenResult result;
  result.status = OpenStatus::Loaded;
  result.stopped = outcome.stopped;
  return result;
}

std::string CutShortText(const TraceFileInfo& info) {
  if (!info.CutShort) return {};
  return FileNamePart(info.CurrentFileName) + ": the file ends early, at frame " + CountText(info.CutAtFrame) +
         "; " + CountText(info.FramesRead) + (info.FramesRead == 1 ? " frame" : " frames") + " read.";
}

OpenResult CheckTraceFile(TraceSession& session, const std::string& path, std::unique_ptr<FileSource>& source) {
  source = FileSource::Open(path);
  if (!source) {
    session.info.CurrentFileName = path;
    return Refusal(session, kCannotOpenText);
  }
  return CheckTrace(session, path, *source);
}

OpenResult OpenTrace(TraceSession& session, const std::string& path, ByteSource* source) {
  std::unique_ptr<FileSource> file;
  OpenResult checked = source ? CheckTrace(session, path, *source) : CheckTraceFile(session, path, file);
  if (checked.status != OpenStatus::Loaded) return checked;
  return ReadCheckedTrace(session, source ? *source : *file);
}

}  // namespace korvane
