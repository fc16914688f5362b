#pragma once
// The scheduled task that keeps the set current: at every start of the computer and once a day it
// runs the plain quiet run of the program in the folder only administrators may change, so that
// the archive of the year that ended arrives by itself. A task of that name is this program's only
// where it runs that program as SYSTEM; anyone may register one of the name that runs as
// themselves.

#include <string>

#include "platform/SystemApi.h"
#include "setup/report/RunResult.h"

namespace quillet {

inline constexpr const char* kTaskName = "QuilletSetup";

// A Task Scheduler that is starting (at a computer's start, or on its first use) is waited for,
// up to 30 seconds; before the run lock, so that no other run waits meanwhile.
void WaitForTaskScheduler(win::SystemApi& system);
// /schedule: replaces any task of the name with this program's; only from the program's own
// folder, which the task's action names, and not where `refused` says why not.
TaskOutcome ScheduleTask(win::SystemApi& system, const std::string& refused);
// /uninstall: takes this program's task away, and leaves another's.
TaskOutcome RemoveTask(win::SystemApi& system);
// /check: whether this program's task is there.
TaskOutcome FindTask(win::SystemApi& system);

}  // namespace quillet
