#pragma once
// One run at a time on a machine, in every mode, whoever started it (a startup script, a
// deployment tool's retry, a person): a named mutex in the global namespace, held for the whole
// run. A second run waits for the first, then does its own work.

#include <cstdint>

#include "platform/NamedMutex.h"
#include "platform/WindowsApi.h"
#include "setup/CommandLine.h"

namespace quillet {

inline constexpr const char* kRunLockName = "Global\\QuilletSetup.OneRunAtATime";
inline constexpr std::uint32_t kRunLockWaitMs = 60 * 1000;

// Takes `lock`, waiting for a run that holds it; an interactive run shows its progress window
// while it waits. A lock abandoned by a run that was killed is taken over. Returns 0 once the
// lock is held; otherwise the exit code (1618 when the wait ran out), after the log and, when
// interactive, a message box have said why.
int TakeRunLock(win::WindowsApi& windows, const CommandLine& command, win::NamedMutex& lock);

}  // namespace quillet
