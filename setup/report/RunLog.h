#pragma once
// The plain-text log of a run (/log): started where the run starts, before anything changes;
// given the lines rendered from the run's result, and finished once at the end, before any box
// waits for a person.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/SystemApi.h"
#include "setup/report/LogFile.h"

namespace quillet {

// The log's first line: the computer, the local date and time the run started, the program's
// version, the archive years the run covers and the command line.
std::string LogHeader(win::SystemApi& system, const win::LocalDate& started,
                      std::int16_t lastArchiveYear);

class RunLog {
 public:
  explicit RunLog(win::SystemApi& system) noexcept : system_(system), file_(system) {}

  // Creates the log's file for `requested` (a file, or a folder to hold "QuilletSetup.log") with
  // its first lines: `header`, then the log's own full path. Nothing when it was created;
  // otherwise why not, in a sentence that names the log.
  std::optional<std::string> Start(const std::string& requested, const std::string& header);
  // Adds lines (each with its line end) to what the log will hold; kept in memory when no log
  // was asked for or it could not be started.
  void Add(const std::string& lines);
  // Writes what was added and the result line, and puts the log in place. Nothing when that
  // worked or no log was asked for; otherwise what went wrong, naming where the log is kept.
  std::optional<std::string> Finish(int exitCode);
  // No log after all: the run ends without one, and says so itself.
  void Abandon() noexcept { requested_.reset(); }
  // Where the log goes: its full path; "" when none was asked for or it could not be started.
  [[nodiscard]] const std::string& Path() const noexcept { return file_.Target(); }

 private:
  win::SystemApi& system_;
  LogFile file_;
  std::optional<std::string> requested_;
  std::optional<std::string> startFailure_;
  std::string text_;
  bool finished_ = false;
};

}  // namespace quillet
