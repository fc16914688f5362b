#pragma once
// A run's one result: what its mode found and did to each planned data source, or why it did not
// do its work. The log, /json, the Application log's event, standard error and the boxes are all
// rendered from it, and the process ends with its exit code.

#include <optional>
#include <string>
#include <vector>

#include "odbc/MdlODBC.h"

namespace quillet {

enum class Mode { Install, Repair, Check, Uninstall };

enum class SourceState {
  // the plain run and /repair
  Registered,
  AlreadyPresent,
  Incomplete,
  Repaired,
  // /check
  Complete,
  Customised,
  EarlierDriver,
  Missing,
  Unreadable,
  // /uninstall
  Removed,
  Kept,
  NotPresent,
  // a write or a removal that failed, in any mode that writes
  Failed,
};

// "install": as /json and the event name a mode.
const char* ModeWord(Mode mode);

struct StateName {
  SourceState state;
  const char* word;   // as /json names it: "already-present"
  const char* label;  // as the counts name it: "already present"
};
// The states a mode gives, in the order its counts name them.
const std::vector<StateName>& StatesOf(std::optional<Mode> mode);
const char* StateWord(SourceState state);

// One planned data source in its view, and what became of it.
struct SourceRow {
  std::string name;
  const MdlODBC::RegistryView* view = nullptr;
  std::string where;  // the view as this machine has it: "native view"
  SourceState state = SourceState::Failed;
  std::vector<std::string> missing;  // incomplete: the parts missing; repaired: those added
  std::vector<std::string> differs;  // values that hold something else than this program writes
  std::vector<std::string> added;    // values and keys someone added below it
  std::string earlierDriver;         // the earlier version's "Driver" path it holds
  std::string note;                  // what else became of it: a staging key removed, ...
  bool stagingLeft = false;          // /check: a staging key a cut-off run left beside it
  std::string failure;               // what went wrong, in words
  win::Status status = 0;            // Windows' status of that failure; 0 where none applies
  std::string statusText;            // Windows' text of that status

  // "Quillet-R (native view)": how messages and logs name it.
  [[nodiscard]] std::string Who() const;
  // The failure with Windows' text: "could not write \"DBQ\": Access is denied."
  [[nodiscard]] std::string Reason() const;
  // "DBQ differs; added Engines\Extra": how it differs from what this program writes.
  [[nodiscard]] std::string Customisation() const;
};

// What became of the scheduled task, in a run that had to do with it.
struct TaskOutcome {
  // as /json names it: "registered", "removed", "present", "absent", "not-ours" (a task of the
  // name that runs something else, or as someone else), "unreachable" (no Task Scheduler), "failed"
  std::string word;
  std::string said;  // after its name: "was registered: ...", "could not be removed: ..."
  bool failed = false;
};

struct RunResult {
  std::optional<Mode> mode;  // none: the command line was not understood
  // The mode did not do its work (a command line not understood, a log that cannot be started,
  // the lock, the answer No): `failure` is all it has to say.
  bool refused = false;
  std::vector<SourceRow> rows;        // one per planned data source and view, in plan order
  std::vector<std::string> warnings;  // /check: why Quillet might still not open a data source
  bool nativeDriverExpected = false;  // /check: the native view of 64-bit Windows has no driver
  std::vector<std::string> notes;     // what the log says before the rows
  std::optional<bool> accessDriverInstalled;  // for the view Quillet uses; none when not asked
  std::optional<TaskOutcome> task;            // none where the run had nothing to do with it
  // The plain run and /repair: why nothing may run as SYSTEM from the program's folder, which
  // fails the run.
  std::string unsafeProgramFolder;
  int exitCode = 0;
  std::string failure;    // why the run failed or was refused, in a sentence
  std::string shown;      // a refusal's box, when it says more than `failure`
  std::string stoppedBy;  // a failure that ended the mode's work part way

  [[nodiscard]] int Count(SourceState state) const;
  // The rows in that state, as messages name them.
  [[nodiscard]] std::vector<std::string> Named(SourceState state) const;
};

// A refusal: the mode did not do its work, and says why.
RunResult Refusal(std::optional<Mode> mode, int exitCode, std::string why, std::string shown = {});

}  // namespace quillet
