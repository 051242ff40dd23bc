// korvane-fuzz-seeds OUTDIR [TRACE...]: writes the seed corpora of the fuzz targets.
//   OUTDIR/trace: every format korvane-mktrace writes, the office and Token Ring scenarios
//                 cut to a dozen frames, and every TRACE given (by its extension), as inputs
//                 of korvane-fuzz-trace, through the plain layout of the extension and
//                 through the forcing layout of the format;
//   OUTDIR/frame: the scenarios' frames a few at a time, as inputs of korvane-fuzz-frame.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "FrameInput.h"
#include "TraceLayouts.h"
#include "writers/ScenarioWriters.h"
#include "writers/TraceWriters.h"

namespace {

namespace fs = std::filesystem;
using korvane::fuzz::Bytes;
using korvane::tools::ScenarioFrame;

constexpr size_t kCutFrames = 12;
constexpr size_t kFramesPerInput = 5;

bool Save(const fs::path& path, const Bytes& bytes) {
  if (!korvane::tools::WriteFile(path.string(), bytes)) {
    std::cerr << "cannot write " << path << '\n';
    return false;
  }
  return true;
}

void PutBe(Bytes& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(value >> (8 * i)));
}

// Frames as one korvane-fuzz-frame input: status bits, the step from the frame before,
// the wire length when the frame is sliced.
Bytes FrameInput(const std::vector<ScenarioFrame>& frames, bool tokenRing) {
  namespace in = korvane::fuzz::frame_input;
  const uint8_t speed = tokenRing ? 2 : 1;  // in::kLineSpeeds: 16 or 10 Mbit/s
  Bytes out{uint8_t((tokenRing ? 1 : 0) | speed << 1)};
  double previous = frames.empty() ? 0 : frames.front().timeUs;
  for (size_t i = 0; i < frames.size(); ++i) {
    const ScenarioFrame& f = frames[i];
    if (i > 0) out.insert(out.end(), in::kSeparator.begin(), in::kSeparator.end());
    const bool sliced = f.wireLength > f.bytes.size();
    uint8_t flags = in::kStep;
    if (f.status & korvane::tools::kStatusCrcError) flags |= in::kCrc;
    if (f.status & korvane::tools::kStatusAlignmentError) flags |= in::kAlignment;
    if (sliced) flags |= in::kLength;
    out.push_back(flags);
    if (sliced) PutBe(out, f.wireLength + (tokenRing ? 0 : 4), 2);
    PutBe(out, uint32_t(int32_t(std::lround(f.timeUs - previous))), 4);
    previous = f.timeUs;
    out.insert(out.end(), f.bytes.begin(), f.bytes.end());
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace korvane::tools;
  if (argc < 2) {
    std::cerr << "usage: korvane-fuzz-seeds OUTDIR [TRACE...]\n";
    return 1;
  }
  const fs::path traceDir = fs::path(argv[1]) / "trace", frameDir = fs::path(argv[1]) / "frame";
  fs::create_directories(traceDir);
  fs::create_directories(frameDir);
  bool ok = true;

  for (const char* scenario : {"office", "tokenring"}) {
    const bool tokenRing = std::string(scenario) == "tokenring";
    const std::vector<ScenarioFrame> frames = tokenRing ? TokenRingScenario() : OfficeLanScenario();
    const std::vector<ScenarioFrame> cut = SampleFrames(frames, kCutFrames, 1600);
    for (const auto& [format, write] : ScenarioWriters()) {
      const Bytes file = write(cut, tokenRing);
      const std::string extension = ScenarioExtension(format, tokenRing);
      auto seed = korvane::fuzz::SeedFor(file, extension);
      ok = seed && Save(traceDir / (format + "-" + scenario), *seed) && ok;
      if (auto forcing = korvane::fuzz::ForcingSeedFor(file, extension))
        ok = Save(traceDir / (format + "-" + scenario + "-forced"), *forcing) && ok;
    }
    for (size_t at = 0; at < frames.size(); at += kFramesPerInput) {
      const auto from = frames.begin() + long(at);
      const std::vector<ScenarioFrame> some(from, from + long(std::min(kFramesPerInput, frames.size() - at)));
      Bytes input = FrameInput(some, tokenRing);
      if (at / kFramesPerInput % 2) input[0] |= korvane::fuzz::frame_input::kWalkReports;  // half walk the reports
      ok = Save(frameDir / (std::string(scenario) + "-" + std::to_string(at)), input) && ok;
    }
  }

  for (int i = 2; i < argc; ++i) {
    const fs::path path = argv[i];
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string extension = path.extension().string();
    auto seed = korvane::fuzz::SeedFor(file, extension.empty() ? "" : extension.substr(1));
    if (!in.is_open() || !seed) {
      std::cerr << "cannot use " << path << " as a seed\n";
      ok = false;
      continue;
    }
    ok = Save(traceDir / path.filename(), *seed) && ok;
    if (auto forcing = korvane::fuzz::ForcingSeedFor(file, extension.empty() ? "" : extension.substr(1)))
      ok = Save(traceDir / (path.filename().string() + "-forced"), *forcing) && ok;
  }
  return ok ? 0 : 1;
}
