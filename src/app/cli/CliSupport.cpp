#include "app/cli/CliSupport.h"

#include <fmt/format.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <thread>

#include "reports/Formatters.h"

namespace korvane {

CLI::Validator WholeNumber(int64_t min, int64_t max, const std::string& what) {
  return CLI::Validator(
      [=](std::string& text) -> std::string {
        int64_t value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        const bool whole = error == std::errc() && stop == end && !text.empty();
        if (whole && value >= min && value <= max) return {};
        std::string range = max == INT32_MAX || max == INT64_MAX ? fmt::format("{} or more", min)
                                                                 : fmt::format("{} to {}", min, max);
        return fmt::format("wants {}, a whole number {}; \"{}\" is not", what, range, text);
      },
      "", "");
}

CLI::Validator ExistingFile() {
  return CLI::Validator(
      [](std::string& path) -> std::string {
        std::error_code error;
        const auto status = std::filesystem::status(path, error);
        if (!std::filesystem::exists(status)) return "\"" + path + "\" does not exist";
        if (std::filesystem::is_directory(status)) return "\"" + path + "\" is a folder, not a file";
        // A FIFO or a device would block the read or never end.
        if (!std::filesystem::is_regular_file(status)) return "\"" + path + "\" is not a regular file";
        return {};
      },
      "", "");
}

std::optional<std::string> UnknownSubcommand(const CLI::App& app, int argc, const char* const* argv) {
  if (argc < 2)
    return std::string("korvane-cli: give a subcommand and a trace file, e.g. korvane-cli summary FILE "
                       "(korvane-cli --help lists the subcommands)");
  const std::string first = argv[1];
  if (first.empty() || first[0] == '-') return std::nullopt;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    if (sub->get_name() == first) return std::nullopt;
  std::string names;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    names += (names.empty() ? "" : ", ") + sub->get_name();
  return fmt::format("korvane-cli: unknown subcommand \"{}\"; the subcommands are {} (korvane-cli --help)", first,
                     names);
}

OpenResult ReadShowingProgress(TraceSession& session, ByteSource& source, const std::string& fileName) {
  if (!::isatty(STDERR_FILENO)) return ReadCheckedTrace(session, source);
  OpenResult result;
  std::exception_ptr failure;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    try {
      result = ReadCheckedTrace(session, source);
    } catch (...) {
      failure = std::current_exception();
    }
    done.store(true);
  });
  // Short reads show nothing; after that the line is redrawn five times a second.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  bool shown = false;
  int ticks = 0;
  while (!done.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (Clock::now() - start < std::chrono::milliseconds(400)) continue;
    if (shown && ++ticks % 4 != 0) continue;
    const ReadProgress& p = session.progress;
    std::string line = fmt::format("\rReading {}: {} frames", fileName, CountText(p.frames.load()));
    if (p.fileSize.load() > 0) line += fmt::format(", {}%", p.Percent());
    std::fputs((line + "\033[K").c_str(), stderr);
    std::fflush(stderr);
    shown = true;
  }
  reader.join();
  if (shown) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
  if (failure) std::rethrow_exception(failure);
  return result;
}

}  // namespace korvane
