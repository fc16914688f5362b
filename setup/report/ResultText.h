#pragma once
// A run's result in words: the log's lines, the counts, /check's report and the boxes' texts.

#include <optional>
#include <string>
#include <vector>

#include "setup/report/RunResult.h"

namespace quillet {

inline constexpr const char* kLineEnd = "\r\n";
// The caption of the boxes of the plain run, /repair and /uninstall.
inline constexpr const char* kInstallationTitle = "Quillet Installation";

// "a, b, c": a list in a log line or a message.
std::string Joined(const std::vector<std::string>& parts);

// What the log's last line says of an exit code: "success", "something to do", "failed", ...
std::string ResultWords(int exitCode);

// "Quillet-R (native view): registered": what became of one data source.
std::string RowLine(const SourceRow& row, std::optional<Mode> mode);

// "25 data sources: 25 registered, 0 already present, ...": every count of the mode's states,
// zeros included, so that "grep failed" across a hundred logs finds what it should.
std::string Counts(const RunResult& result);

// What the run amounts to in one phrase: the counts, or why it did not do its work.
std::string Summary(const RunResult& result);

// Whether the Access driver is installed for the view Quillet uses (`where`), in a sentence.
std::string DriverSentence(const std::string& where, bool installed);

// /check's report, for standard output and the log.
std::string CheckReport(const RunResult& result);

// Everything the log says of the mode's work, after the run's notes.
std::string LogSection(const RunResult& result, const std::string& quilletWhere);

// A message box as the run would show it.
struct Box {
  std::string text;
  std::string caption;
  std::uint32_t type = 0;
};

// The box that tells a person at the screen how the run ended; none where nothing is to be said
// (a refusal that asks nothing of anyone: the answer No).
std::optional<Box> ClosingBox(const RunResult& result, const std::string& quilletWhere);

}  // namespace quillet
