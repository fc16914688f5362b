#pragma once
// What a run found and did, as the tools that collect it from a fleet read it: one JSON document
// on standard output (/json), and one event in the Application log for the modes that change a
// workstation.

#include <string>
#include <string_view>
#include <vector>

#include "platform/WindowsTypes.h"

namespace quillet {

inline constexpr const char* kReportSchema = "quillet-setup-report/1";
inline constexpr std::size_t kSummaryLimit = 2048;

struct ReportedDataSource {
  std::string name;
  std::string view;   // "native" or "32-bit"
  std::string state;  // "registered", "complete", "removed", ...
  std::vector<std::string> missing;  // the parts missing (repaired: those added)
  std::vector<std::string> differs;  // the values that hold something else
  std::string reason;                // Windows' text of a failure
};

struct RunReport {
  std::string mode;  // "install", "repair", "check", "uninstall"
  std::vector<ReportedDataSource> dataSources;
  std::vector<std::string> warnings;
  std::string summary;  // the counts, as the log gives them
};

// What the run knows of itself and the machine, beside what its mode reports.
struct ReportFrame {
  std::string computer;
  std::string version;
  win::LocalDate started;
  int exitCode = 0;
  std::string result;  // the log's result words: "success", "failed", ...
  bool sixtyFourBitWindows = true;
  std::string accessDriverView;  // "native" or "32-bit": the view Quillet uses
  bool accessDriverInstalled = false;
};

// Any bytes as a JSON string, quotes included: control characters, quotes and backslashes escaped,
// UTF-8 kept, and each byte that is not part of valid UTF-8 (text in the ANSI code page) written
// as the character of that number.
std::string JsonString(std::string_view text);
// "2026-12-08T09:05:00+01:00".
std::string IsoTime(const win::LocalDate& date);
// The text on one line of at most `limit` bytes, cut at a character's start.
std::string OneLine(std::string_view text, std::size_t limit = kSummaryLimit);
// The run's summary line: the counts and the result.
std::string SummaryLine(const RunReport& report, const ReportFrame& frame);
// The whole document, UTF-8, with a line end after it.
std::string ReportJson(const RunReport& report, const ReportFrame& frame);

}  // namespace quillet
