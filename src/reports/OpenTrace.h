// The file-processing flow shared by the windows and korvane-cli: detection, the header
// step, the acceptance tests and the read, ending either in filled tables or in the one
// message the user is shown.
#pragma once
#include <memory>
#include <string>

#include "analysis/TraceSession.h"
#include "input/ByteSource.h"

namespace korvane {

enum class OpenStatus { Loaded, Refused };

struct OpenResult {
  OpenStatus status = OpenStatus::Refused;
  std::string message;  // the "Open Trace File" text when refused
  bool stopped = false; // read stopped by the user: FILE PARTIALLY READ
};

inline constexpr const char* kOpenTraceTitle = "Open Trace File";

// Detection, the header step and the acceptance tests, without reading any frame. On
// success the session's file info is ready for ReadCheckedTrace.
OpenResult CheckTrace(TraceSession& session, const std::string& path, ByteSource& source);
// Opens the file at path and checks it; the source stays open for ReadCheckedTrace. A file
// that cannot be opened is refused with the cannot-open text.
OpenResult CheckTraceFile(TraceSession& session, const std::string& path, std::unique_ptr<FileSource>& source);
// Reads a checked trace into the session's tables.
OpenResult ReadCheckedTrace(TraceSession& session, ByteSource& source);

// Checks and reads the trace at path into the session. The source, when given, stands in
// for the file (tests and fuzzers); the path still names it.
OpenResult OpenTrace(TraceSession& session, const std::string& path, ByteSource* source = nullptr);

// The line said of a read that ended before the file's data did (a file cut inside a
// record, shrunk while read, or failing to read); empty for a whole read.
std::string CutShortText(const TraceFileInfo& info);

// The file-name part of a path.
std::string FileNamePart(const std::string& path);

}  // namespace korvane
