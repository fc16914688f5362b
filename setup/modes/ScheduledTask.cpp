#include "setup/modes/ScheduledTask.h"

#include <string>

#include "TaskDefinition.h"
#include "platform/TextCase.h"
#include "setup/run/RunLock.h"

namespace quillet {
namespace {

TaskOutcome Failed(const std::string& what, win::Status status, win::SystemApi& system) {
  return {"failed", what + ": " + system.ErrorText(status), true};
}

}  // namespace

TaskOutcome ScheduleTask(win::SystemApi& system) {
  const std::string folder = ProgramFolder(system);
  const std::string program = folder + "\\QuilletSetup.exe";
  const std::string running = system.ProgramPath();
  // The task runs as SYSTEM what lies at that path: a program anywhere else may be in a folder a
  // standard user can change, and is not what the task would run.
  if (folder.empty() || !win::SameIgnoringCase(running, program)) {
    return {"failed",
            "was not registered: its action runs " + program +
                ", where only administrators may change it, and this program runs from " +
                (running.empty() ? "a path Windows does not tell" : running) +
                "; copy it there and run that copy with /schedule",
            true};
  }
  const win::Status status = system.RegisterTask(kTaskName, kTaskDefinition);
  if (status != win::kErrorSuccess) return Failed("could not be registered", status, system);
  return {"registered", "was registered: at every start and once a day it runs " + program, false};
}

TaskOutcome RemoveTask(win::SystemApi& system) {
  const win::Status status = system.DeleteTask(kTaskName);
  if (win::IsAbsent(status)) return {"absent", "is not there", false};
  if (status != win::kErrorSuccess) return Failed("could not be removed", status, system);
  return {"removed", "was removed", false};
}

TaskOutcome FindTask(win::SystemApi& system) {
  const win::Status status = system.FindTask(kTaskName);
  if (win::IsAbsent(status)) return {"absent", "is not there", false};
  if (status != win::kErrorSuccess) return Failed("could not be looked for", status, system);
  return {"present", "is there", false};
}

}  // namespace quillet
