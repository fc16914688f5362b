#pragma once
// One run at a time on a machine, in every mode, whoever started it (a startup script, a
// deployment tool's retry, a person): a lock file in %windir%\QuilletSetup\Lock, a folder only
// SYSTEM and the Administrators may list or change, opened shared with nobody and deleted when its
// handle closes. A standard user can neither create it nor open it in any way, not even for its
// attributes, so nothing one does makes a run wait, fail or go on without it; a run that is
// killed lets it go with its handles.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/SystemApi.h"

namespace quillet {

inline constexpr const char* kProgramFolder = "QuilletSetup";  // in the Windows directory
inline constexpr const char* kRunLockFolder = "Lock";          // in the program's folder
inline constexpr const char* kRunLockFile = "QuilletSetup.lock";
inline constexpr std::uint32_t kRunLockWaitMs = 60 * 1000;
inline constexpr std::uint32_t kRunLockPollMs = 250;

// The program's folder in the Windows directory, for SYSTEM and the Administrators alone: where
// the package and the install recipe keep the program, and where the run lock lies. "" where
// Windows does not tell its directory.
std::string ProgramFolder(win::SystemApi& system);
// The program kept there, which the scheduled task runs; "" as for the folder.
std::string KeptProgram(win::SystemApi& system);

struct RunLockResult {
  int exitCode = 0;  // 0 once the lock is held; 1618 when the wait ran out; 1603 when it failed
  std::string note;  // why it was refused, or what the run found and took over
  bool notElevated = false;  // this process has no administrator's rights in force
};

class RunLock {
 public:
  explicit RunLock(win::SystemApi& system) : system_(system) {}
  ~RunLock() { Release(); }
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Takes the lock, waiting up to a minute for a run that holds it; `waiting` is told once, when
  // the wait begins, so that whoever may look can be shown why. Looks at the program's folder, its
  // lock folder and the program; with `mend`, what others may only read is made SYSTEM's and the
  // Administrators' alone (whoever may read the program may hold it open, sharing nothing).
  RunLockResult Take(const std::function<void()>& waiting, bool mend);
  // Lets the next run in; nothing when it is not held.
  void Release();
  // Once taken: why what runs as SYSTEM from the program's folder could be another's (a standard
  // user could have changed the folder, its lock folder or the program there); "" where not.
  [[nodiscard]] const std::string& Unsafe() const { return unsafe_; }

 private:
  RunLockResult CouldNotMakeSure(win::Status error);
  // Why the file or folder is not safe to run from as SYSTEM; "" where it is.
  std::string Examine(const std::string& path, bool folder, bool mend, std::string* notes);

  win::SystemApi& system_;
  win::FileHandle held_ = 0;
  std::string unsafe_;
};

}  // namespace quillet
