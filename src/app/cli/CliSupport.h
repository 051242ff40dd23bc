// korvane-cli's dealings with the person at the terminal: option checks whose messages say
// what is wanted, the unknown-subcommand message, and the progress line of a long read.
#pragma once
#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>

#include "analysis/TraceSession.h"
#include "input/ByteSource.h"
#include "reports/OpenTrace.h"

namespace korvane {

// Accepts a whole number from min to max; the message names what the option wants.
CLI::Validator WholeNumber(int64_t min, int64_t max, const std::string& what);
// Accepts the name of an existing regular file.
CLI::Validator ExistingFile();

// When there is no argument, or the first is neither an option nor one of app's
// subcommands, the line to print ("unknown subcommand ..."); nothing otherwise.
std::optional<std::string> UnknownSubcommand(const CLI::App& app, int argc, const char* const* argv);

// The read of a checked trace. When stderr is a terminal and the read takes a while, it
// shows frames read and the percentage of the file on one stderr line, erased at the end.
OpenResult ReadShowingProgress(TraceSession& session, ByteSource& source, const std::string& fileName);

}  // namespace korvane
