#pragma once
// The plain-text log of a run (/log): started where the run starts, before anything changes;
// written by whichever mode runs, one line per data source in run order, then the counts; and
// finished once at the end, before any box waits for a person.

#include <optional>
#include <string>
#include <vector>

#include "platform/WindowsApi.h"
#include "setup/LogFile.h"
#include "setup/RegistrationRecord.h"

namespace quillet {

// UTF-8 text with Windows line ends: a line per data source, whether the Access driver is there,
// every count. `stoppedBy` names a failure that ended the run early.
std::string FormatRunLog(win::SystemApi& system, const std::vector<RegistrationRecord>& records,
                         const std::string& driverState, const std::string& stoppedBy = {});

// "25 data sources: 25 registered, 0 already present, ...": every count, zeros included.
std::string RegistrationCounts(const std::vector<RegistrationRecord>& records);

// What the log's last line says of an exit code: "success", "something to do", "failed", ...
std::string ResultWords(int exitCode);

// "a, b, c": a list in a log line or a message.
std::string Joined(const std::vector<std::string>& parts);

// The log's first line: the computer, the local date and time, the program's version, the command
// line and the archive years the run covers.
std::string LogHeader(win::SystemApi& system);

class RunLog {
 public:
  explicit RunLog(win::SystemApi& system) noexcept : system_(system), file_(system) {}

  // Creates the log's file for `requested` (a file, or a folder to hold "QuilletSetup.log") with
  // its first lines, which give the time the run started and the log's own full path. Nothing
  // when it was created; otherwise why not, in a sentence that names the log.
  std::optional<std::string> Start(const std::string& requested);
  // Adds lines (each with its line end) to what the log will hold; kept in memory when no log
  // was asked for or it could not be started.
  void Add(const std::string& lines);
  [[nodiscard]] const std::string& Text() const noexcept { return text_; }
  // Writes what was added and the result line, and puts the log in place. Nothing when that
  // worked or no log was asked for; otherwise what went wrong, naming where the log is kept.
  std::optional<std::string> Finish(int exitCode);
  [[nodiscard]] bool Finished() const noexcept { return finished_; }
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
