#pragma once
// The scheduled task that keeps the set current: at every start of the computer and once a day it
// runs the plain quiet run of the program in the folder only administrators may change, so that
// the archive of the year that ended arrives by itself.

#include "platform/SystemApi.h"
#include "setup/report/RunResult.h"

namespace quillet {

inline constexpr const char* kTaskName = "QuilletSetup";

// /schedule: registers the task, or brings it up to date; only from the program's own folder,
// which the task's action names.
TaskOutcome ScheduleTask(win::SystemApi& system);
// /uninstall: takes the task away.
TaskOutcome RemoveTask(win::SystemApi& system);
// /check: whether it is there.
TaskOutcome FindTask(win::SystemApi& system);

}  // namespace quillet
