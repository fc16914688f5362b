#include "setup/modes/ScheduledTask.h"

#include <cstdint>
#include <string>

#include "TaskDefinition.h"
#include "platform/TextCase.h"
#include "setup/run/RunLock.h"

namespace quillet {
namespace {

constexpr std::uint32_t kSchedulerWaitMs = 30 * 1000;
constexpr std::uint32_t kSchedulerPollMs = 500;
// SYSTEM and the Administrators may change the task, everyone else may only read it.
constexpr const char* kTaskSecurity = "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;AU)";
constexpr const char* kSystemSid = "S-1-5-18";

TaskOutcome Failed(const std::string& what, win::Status status, win::SystemApi& system) {
  return {"failed", what + ": " + system.ErrorText(status), true};
}

std::string WithoutQuotes(std::string text) {
  std::erase(text, '"');
  return text;
}

// The definition's own arguments, as its Exec action gives them.
std::string OurArguments() {
  const std::string definition = kTaskDefinition;
  const auto from = definition.find("<Arguments>") + 11;
  return definition.substr(from, definition.find("</Arguments>") - from);
}

// Why a task of the name is not this program's; "" where it is. Where Windows gives back neither
// its account nor its program (Wine), it cannot be told apart, and counts as this program's.
std::string NotOurs(const win::FoundTask& task, win::SystemApi& system) {
  if (!task.principalSid.empty() && task.principalSid != kSystemSid) {
    return "it runs as " + task.principalSid + ", not as SYSTEM";
  }
  std::string command = WithoutQuotes(task.command);
  const std::string windir = "%windir%";
  if (win::SameIgnoringCase(command.substr(0, windir.size()), windir)) {
    command = system.WindowsDirectory() + command.substr(windir.size());
  }
  if (command.empty() || win::SameIgnoringCase(command, KeptProgram(system))) return {};
  return "it runs " + task.command;
}

// The task of the name: its status and, where it is there, why it is not this program's ("" where
// it is). One that an administrator's run may not even read is another's.
win::Status Look(win::SystemApi& system, win::FoundTask* found, std::string* another) {
  const win::Status status = system.FindTask(kTaskName, found);
  if (status == win::kErrorSuccess) *another = NotOurs(*found, system);
  if (status != win::kErrorAccessDenied) return status;
  *another = "it may not be read: " + system.ErrorText(status);
  return win::kErrorSuccess;
}

}  // namespace

void WaitForTaskScheduler(win::SystemApi& system) {
  for (std::uint32_t waited = 0;
       system.ConnectTaskScheduler() == win::kSchedServiceNotRunning && waited < kSchedulerWaitMs;
       waited += kSchedulerPollMs) {
    system.Pause(kSchedulerPollMs);
  }
}

TaskOutcome ScheduleTask(win::SystemApi& system, const std::string& refused) {
  if (!refused.empty()) return {"failed", "was not registered: " + refused, true};
  const std::string program = KeptProgram(system);
  const std::string running = system.ProgramPath();
  // The task runs as SYSTEM what lies at that path: a program anywhere else may be in a folder a
  // standard user can change, and is not what the task would run.
  if (program.empty() || !win::SameIgnoringCase(running, program)) {
    return {"failed",
            "was not registered: its action runs " + program +
                ", where only administrators may change it, and this program runs from " +
                (running.empty() ? "a path Windows does not tell" : running) +
                "; copy it there and run that copy with /schedule",
            true};
  }
  // Whatever has the name goes, so that no right its maker gave themselves stays on it.
  win::FoundTask found;
  std::string another;
  win::Status status = Look(system, &found, &another);
  if (status == win::kErrorSuccess) status = system.DeleteTask(kTaskName);
  if (!win::IsAbsent(status) && status != win::kErrorSuccess) {
    return Failed("could not be registered", status, system);
  }
  status = system.RegisterTask(kTaskName, kTaskDefinition, kTaskSecurity);
  if (status != win::kErrorSuccess) return Failed("could not be registered", status, system);
  const std::string replaced = "; it replaced a task of that name that was not this program's (";
  return {"registered",
          "was registered: at every start and once a day it runs " + program +
              (another.empty() ? "" : replaced + another + ")"),
          false};
}

TaskOutcome RemoveTask(win::SystemApi& system) {
  win::FoundTask found;
  std::string another;
  win::Status status = Look(system, &found, &another);
  if (status == win::kSchedServiceNotRunning) {
    return {"unreachable",
            "could not be looked for: " + system.ErrorText(status) +
                "; a task of that name, if there is one, stays",
            false};
  }
  if (!another.empty()) {
    return {"not-ours", "is not this program's (" + another + "): it was left as it is", false};
  }
  if (status == win::kErrorSuccess) status = system.DeleteTask(kTaskName);
  if (win::IsAbsent(status)) return {"absent", "is not there", false};
  if (status != win::kErrorSuccess) return Failed("could not be removed", status, system);
  return {"removed", "was removed", false};
}

TaskOutcome FindTask(win::SystemApi& system) {
  win::FoundTask found;
  std::string another;
  const win::Status status = Look(system, &found, &another);
  if (win::IsAbsent(status)) return {"absent", "is not there", false};
  if (status == win::kSchedServiceNotRunning) {
    return {"unreachable", "could not be looked for: " + system.ErrorText(status), false};
  }
  if (status != win::kErrorSuccess) return Failed("could not be looked for", status, system);
  if (!another.empty()) return {"not-ours", "is not this program's: " + another, false};
  const bool otherArguments =
      !found.command.empty() && WithoutQuotes(found.arguments) != WithoutQuotes(OurArguments());
  return {"present",
          std::string("is there") + (found.enabled ? "" : ", disabled") +
              (otherArguments ? ", with other arguments: " + found.arguments : ""),
          false};
}

}  // namespace quillet
