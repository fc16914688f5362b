#pragma once
// The one place a run is concluded: from its result come the log's lines and result line, the
// /json document or /check's report on standard output, the Application log's event, the line on
// standard error and the boxes a person at the screen is shown. The registry work ends first, so
// that no box ever waits while the lock is held, and the exit code it returns is the process's.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/SystemApi.h"
#include "setup/ExitCodes.h"
#include "setup/report/ReportJson.h"
#include "setup/report/ResultText.h"
#include "setup/report/RunLog.h"
#include "setup/report/RunResult.h"
#include "setup/run/RunPlan.h"

namespace quillet {

struct Concluded {
  int exitCode = 0;
  std::vector<Box> boxes;  // to show, in order, where a person may see them
};

class Conclusion {
 public:
  // `endRegistryWork` closes the views' keys and lets the next run in.
  Conclusion(win::SystemApi& system, RunLog& log, const RunPlan& plan, bool json, bool interactive,
             std::function<void()> endRegistryWork);

  // A line of the run's own for the log, before what the mode says.
  void Note(std::string line) { notes_.push_back(std::move(line)); }
  // Concludes the run, once; a second call returns the first conclusion.
  const Concluded& Conclude(const RunResult& result);
  [[nodiscard]] bool Done() const { return concluded_.has_value(); }
  // The exit code concluded; 1603 before the run was concluded.
  [[nodiscard]] int ExitCode() const {
    return concluded_ ? concluded_->exitCode : kExitInstallFailure;
  }
  // What failed after the run was concluded (a window that cannot be destroyed): said on
  // standard error; the exit code stays the conclusion's.
  void After(const std::string& what);

 private:
  void WriteEvent(const RunResult& result);
  [[nodiscard]] ReportFrame Frame() const;

  win::SystemApi& system_;
  RunLog& log_;
  const RunPlan& plan_;
  bool json_;
  bool interactive_;
  std::function<void()> endRegistryWork_;
  std::vector<std::string> notes_;
  std::optional<Concluded> concluded_;
};

}  // namespace quillet
