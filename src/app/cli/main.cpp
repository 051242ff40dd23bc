// korvane-cli: the engine without a window, for scripts and tests.
#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "analysis/TraceSession.h"
#include "input/ByteSource.h"
#include "input/ReadLoop.h"
#include "reports/FileSummary.h"
#include "reports/OpenTrace.h"
#include "reports/TableDump.h"

namespace korvane {
namespace {

constexpr int kExitDone = 0;
constexpr int kExitInternal = 1;
constexpr int kExitRefused = 2;

struct CommonOptions {
  std::string file;
  int bandwidthMbps = 0;
  bool fullDuplex = false;
  std::string settingsFile;
  std::string ouiFile;
  bool json = false;
};

// Prints every frame as the reader hands it over, before the analysis touches it.
class FramePrinter final : public FrameSink {
 public:
  FramePrinter(const CapturedFrame& frame, bool json) : frame_(frame), json_(json) {}
  void BeginTrace(bool) override {
    if (json_) std::fputs("[", stdout);
  }
  uint8_t AnalyseFrame(int64_t& frameCounter) override {
    ++frameCounter;
    const size_t shown = std::min(frame_.StoredLength, frame_.FrameLength);
    line_.clear();
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(shown * 2);
    for (size_t i = 0; i < shown; ++i) {
      hex += kHex[frame_.Data[i] >> 4];
      hex += kHex[frame_.Data[i] & 15];
    }
    if (json_) {
      fmt::format_to(std::back_inserter(line_),
                     "{}{{\"Frame\":{},\"TimeStamp\":\"{:.3f}\",\"FrameLength\":{},\"StoredLength\":{},"
                     "\"Status\":\"0x{:04X}\",\"Data\":\"{}\"}}",
                     frameCounter == 1 ? "\n" : ",\n", frameCounter, frame_.TimeStamp, frame_.FrameLength,
                     frame_.StoredLength, frame_.Status, hex);
    } else {
      fmt::format_to(std::back_inserter(line_), "{}\t{:.3f}\t{}\t{}\t0x{:04X}\t{}\n", frameCounter,
                     frame_.TimeStamp, frame_.FrameLength, frame_.StoredLength, frame_.Status, hex);
    }
    std::fwrite(line_.data(), 1, line_.size(), stdout);
    return 0;
  }
  void EndTrace(bool) override {
    if (json_) std::fputs("\n]\n", stdout);
  }

 private:
  const CapturedFrame& frame_;
  bool json_;
  std::string line_;
};

struct OpenedTrace {
  std::unique_ptr<TraceSession> session = std::make_unique<TraceSession>();
  std::unique_ptr<FileSource> source;
};

// Opens and checks the trace; prints the refusal and returns its exit status otherwise.
int Check(const CommonOptions& common, OpenedTrace& trace) {
  trace.source = FileSource::Open(common.file);
  OpenResult result;
  if (!trace.source) {
    result.message = "Unable to open Source file.  File is in use or name is bad.";
  } else {
    result = CheckTrace(*trace.session, common.file, *trace.source);
  }
  if (result.status != OpenStatus::Loaded) {
    std::cerr << result.message << '\n';
    return kExitRefused;
  }
  return kExitDone;
}

int Read(const CommonOptions& common, OpenedTrace& trace) {
  if (int status = Check(common, trace); status != kExitDone) return status;
  OpenResult result = ReadCheckedTrace(*trace.session, *trace.source);
  if (result.status != OpenStatus::Loaded) {
    std::cerr << result.message << '\n';
    return kExitRefused;
  }
  return kExitDone;
}

int RunDetect(const CommonOptions& common) {
  OpenedTrace trace;
  if (int status = Check(common, trace); status != kExitDone) return status;
  const TraceFileInfo& info = trace.session->info;
  fmt::print("{}\t{}\t{}\t{}\t{}\n", info.DetectedFormat, AnalyzerName(info), info.TopologyCode,
             info.FileBandwidthBps, info.FileBandwidthKnown);
  return kExitDone;
}

int RunFrames(const CommonOptions& common) {
  OpenedTrace trace;
  if (int status = Check(common, trace); status != kExitDone) return status;
  TraceSession& session = *trace.session;
  FramePrinter printer(*session.frame, common.json);
  ReadOutcome outcome = ReadTraceFile(*trace.source, session.info, *session.frame, printer, session.progress, false);
  std::fflush(stdout);
  if (!outcome.tablesReady) {
    std::cerr << FileNamePart(common.file) << " has a damaged header and cannot be read.\n";
    return kExitRefused;
  }
  return kExitDone;
}

int RunSummary(const CommonOptions& common, bool broadcastOnly) {
  OpenedTrace trace;
  if (int status = Read(common, trace); status != kExitDone) return status;
  SummaryOptions options;
  options.broadcastOnly = broadcastOnly;
  options.lineSpeedMbps = common.bandwidthMbps;
  options.duplexFactor = common.fullDuplex ? 2 : 1;
  std::cout << FileSummaryText(BuildFileSummary(*trace.session, options));
  return kExitDone;
}

int RunDump(const CommonOptions& common, bool packets) {
  OpenedTrace trace;
  if (int status = Read(common, trace); status != kExitDone) return status;
  DumpOptions options;
  options.packets = packets;
  std::cout << DumpTables(*trace.session, options).dump(1) << '\n';
  return kExitDone;
}

int Main(int argc, char** argv) {
  CLI::App app{"Korvane trace analyser, headless", "korvane-cli"};
  app.require_subcommand(1);
  CommonOptions common;
  auto addCommon = [&](CLI::App* sub) {
    sub->add_option("FILE", common.file, "trace file")->required();
    sub->add_option("--bandwidth", common.bandwidthMbps, "line speed in Mbit/s for utilisation")
        ->check(CLI::PositiveNumber);
    sub->add_flag("--full-duplex", common.fullDuplex, "as the Full Duplex option");
    sub->add_option("--settings", common.settingsFile, "settings file to read");
    sub->add_option("--oui", common.ouiFile, "vendor-prefix file");
    sub->add_flag("--json", common.json, "print tables as JSON");
  };
  auto* detect = app.add_subcommand("detect", "format, analyser, topology and bandwidth of a trace");
  addCommon(detect);
  auto* frames = app.add_subcommand("frames", "every frame handed to the analyser");
  addCommon(frames);
  auto* summary = app.add_subcommand("summary", "the File Summary page");
  addCommon(summary);
  bool broadcastOnly = false;
  summary->add_flag("--broadcast-only", broadcastOnly, "utilisation of broadcast traffic only");
  auto* dump = app.add_subcommand("dump", "the analysis tables as JSON");
  addCommon(dump);
  bool packets = false;
  dump->add_flag("--packets", packets, "include every packet of every stream");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << e.what() << '\n';
    return kExitInternal;
  }
  if (*detect) return RunDetect(common);
  if (*frames) return RunFrames(common);
  if (*summary) return RunSummary(common, broadcastOnly);
  if (*dump) return RunDump(common, packets);
  return kExitInternal;
}

}  // namespace
}  // namespace korvane

int main(int argc, char** argv) {
  try {
    return korvane::Main(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "internal error: " << e.what() << '\n';
    return 1;
  } catch (...) {
    std::cerr << "internal error\n";
    return 1;
  }
}
